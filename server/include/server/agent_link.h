// AgentLink: the server's client of one agent's AgentInterface, and the
// transport that zqserver installs so that CPAgent reaches agents through it.
//
// A link is short-lived: bound to one host, used for one or two calls by the
// thread that created it, unbound when it goes out of scope.
//
// Lock rule: every remote call is made with gNeoCritical released (the agent
// binds back to this server inside AgentExecuteStep, and that call needs the
// lock). Callers that hold it must check again, after a call, what they read
// before it. ExecuteStep encodes the step while holding it.
//
// Failures: Bind answers the RPC status and leaves the link unbound, never
// raising. GetLoad, ExecuteStep and CancelStep raise a transport failure as
// the runtime does (a structured exception); ExecuteStep throws the agent's
// non-zero status as a long.
#ifndef SERVER_AGENT_LINK_H
#define SERVER_AGENT_LINK_H

#include <server/agent_transport.h>

#include <agent_interface.h>

#include <string>

class AgentLink {
public:
    // Host names longer than this do not fit the network address.
    static const size_t kMaxHostName = 252;

    AgentLink();
    virtual ~AgentLink();
    AgentLink(const AgentLink&) = delete;
    AgentLink& operator=(const AgentLink&) = delete;

    // Binds to the agent on `host` listening on `endpoint` and opens a
    // session; 0, or the status of the failing step (the link stays
    // unbound). A bound link is unbound first.
    RPC_STATUS Bind(const char* host, const char* endpoint = AGENT_PIPE_ENDPOINT);
    void Unbind();
    BOOL IsBound() const { return m_bound; }
    const std::string& GetHostName() const { return m_hostName; }

    long GetLoad();
    // Hands the step (a clone, added to a private image) to the agent; the
    // agent's step handle, or the agent's status thrown as a long.
    long ExecuteStep(CPProcessBase* step);
    // The agent's status.
    long CancelStep(long handle);

private:
    void FreeBinding();

    RPC_BINDING_HANDLE m_binding;
    AgentSessionContext m_session;
    std::string m_hostName;
    BOOL m_bound;
};

// Reaches agents through AgentLink on their machines' "\pipe\zqagent1", and
// starts a stopped agent through its machine's service control manager.
class AgentLinkTransport : public AgentTransport {
public:
    // How long StartAgentService waits for the service to report running.
    static const DWORD kStartTimeout = 30000;

    virtual std::unique_ptr<AgentConnection> Bind(const char* host);
    virtual BOOL StartAgentService(const char* host);

protected:
    // The pipe of the agent on `host`.
    virtual std::string EndpointOf(const char* host);
};

#endif
