#include <server/agent_transport.h>

namespace {
class NoAgents : public AgentTransport {
public:
    virtual std::unique_ptr<AgentConnection> Bind(const char*) { return nullptr; }
    virtual BOOL StartAgentService(const char*) { return FALSE; }
};

NoAgents gNoAgents;
AgentTransport* gTransport = &gNoAgents;
}  // namespace

AgentTransport& Agents()
{
    return *gTransport;
}

AgentTransport* SetAgentTransport(AgentTransport* transport)
{
    AgentTransport* previous = gTransport == &gNoAgents ? NULL : gTransport;
    gTransport = transport ? transport : &gNoAgents;
    return previous;
}
