// How the server reaches the agents. CPAgent's members bind a connection to
// an agent's host, start the agent's service when it cannot be bound, and
// make their calls through it. Tests install a stand-in agent here.
#ifndef SERVER_AGENT_TRANSPORT_H
#define SERVER_AGENT_TRANSPORT_H

#include <model/steps.h>

#include <memory>

// One bound conversation with an agent; unbound when deleted.
class AgentConnection {
public:
    virtual ~AgentConnection() {}
    virtual long GetLoad() = 0;
    // Hands a step to the agent and returns its step handle; throws the
    // agent's status (a long) when the agent refuses the step.
    virtual long ExecuteStep(CPProcessBase* step) = 0;
    // Asks the agent to cancel a step; returns the agent's status.
    virtual long CancelStep(long handle) = 0;
};

class AgentTransport {
public:
    virtual ~AgentTransport() {}
    // A connection to the agent on `host`, or NULL when none can be bound.
    virtual std::unique_ptr<AgentConnection> Bind(const char* host) = 0;
    // Starts the agent service on `host`; TRUE once it runs.
    virtual BOOL StartAgentService(const char* host) = 0;
};

// The transport in use. Until the agent link is installed no agent can be
// reached: steps wait in the step queue.
AgentTransport& Agents();
// Installs `transport` (NULL: none); returns the previous one.
AgentTransport* SetAgentTransport(AgentTransport* transport);

#endif
