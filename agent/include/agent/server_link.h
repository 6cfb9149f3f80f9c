// ServerLink: the agent's client link to one server host over the
// ServerInterface client stubs. It keeps a binding and a session of its own
// and returns finished steps with PostProcessUpdate.
//
// Lock rule: call Bind, Unbind and ReturnStep with gNeoCritical released;
// calls through one link are serialised by the link's own lock, and the
// calls of all links by one process-wide lock, under which calls without a
// session context borrow the process-wide ServerInterface_Binding.
#ifndef AGENT_SERVER_LINK_H
#define AGENT_SERVER_LINK_H

#include <framework/framework.h>

#include <server_interface.h>

class ServerLink
{
public:
    explicit ServerLink(const char* host);
    // Frees the binding; makes no remote call (Unbind first).
    ~ServerLink();
    ServerLink(const ServerLink&) = delete;
    ServerLink& operator=(const ServerLink&) = delete;

    // Binds to the host's server, takes a client number and opens a
    // session: 0, or the runtime's or server's code.
    long Bind();
    // Closes the session and frees the binding.
    void Unbind();
    BOOL IsBound() const { return m_bound; }
    const CString& GetHost() const { return m_host; }
    LONG GetClientNumber() const { return m_clientNumber; }

    // Sends a step image: 0 when the server stored it, else the server's
    // status or the RPC code. A server that restarted or went away (6, 1722,
    // 1726, 1727, 1753 from Ping or PostProcessUpdate) is bound again once
    // per call, and the step sent through the new session.
    long ReturnStep(long stepID, const BYTE* bytes, unsigned long length);

    // The endpoint every link binds to (tests' stand-in servers use their
    // own); the default is \pipe\zqserver1.
    static void SetEndpoint(const char* endpoint);

private:
    long BindLocked();
    // `sessionDead`: the server no longer knows the session, so it is only
    // dropped here instead of closed.
    void UnbindLocked(BOOL sessionDead);
    long RebindLocked();
    static BOOL IsRebindCode(DWORD code);

    CString m_host;
    RPC_BINDING_HANDLE m_binding;
    ServerInterfaceContext m_session;
    LONG m_clientNumber;
    LONG m_openStatus;
    BOOL m_bound;
    CRITICAL_SECTION m_callLock;
};

#endif
