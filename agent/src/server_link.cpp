#include <agent/server_link.h>

#include <server/rpc_listener.h>
#include <server/section_lock.h>

#include <oscalls/oscalls.h>
#include <seguard/seguard.h>

#include <string>

namespace
{

std::string gEndpoint = SERVER_PIPE_ENDPOINT;

// Guards ServerInterface_Binding, which the stubs of calls without a session
// context read. Every link's calls take it: the RPC runtime here can abort the
// process when two threads' calls to servers fail at the same time.
CRITICAL_SECTION* BindingLock()
{
    static CRITICAL_SECTION* lock = [] {
        static CRITICAL_SECTION section;
        InitializeCriticalSection(&section);
        return &section;
    }();
    return lock;
}

// Runs a call that goes through ServerInterface_Binding with `binding` in it;
// 0 or the code it raised.
template <class Call>
DWORD CallThrough(RPC_BINDING_HANDLE binding, Call call)
{
    SectionLock lock(*BindingLock());
    ServerInterface_Binding = binding;
    DWORD code = Guarded(call);
    ServerInterface_Binding = NULL;
    return code;
}

}  // namespace

void ServerLink::SetEndpoint(const char* endpoint)
{
    gEndpoint = endpoint;
}

ServerLink::ServerLink(const char* host)
    : m_host(host),
      m_binding(NULL),
      m_session(NULL),
      m_clientNumber(0),
      m_openStatus(0),
      m_bound(FALSE)
{
    InitializeCriticalSection(&m_callLock);
}

ServerLink::~ServerLink()
{
    if (m_session)
        RpcSsDestroyClientContext(&m_session);
    if (m_binding)
        RpcBindingFree(&m_binding);
    DeleteCriticalSection(&m_callLock);
}

BOOL ServerLink::IsRebindCode(DWORD code)
{
    switch (code) {
    case ERROR_INVALID_HANDLE:      // 6: a session of the server's last run
    case RPC_S_SERVER_UNAVAILABLE:  // 1722
    case RPC_S_CALL_FAILED:         // 1726
    case RPC_S_CALL_FAILED_DNE:     // 1727
    case EPT_S_NOT_REGISTERED:      // 1753
        return TRUE;
    default:
        return FALSE;
    }
}

long ServerLink::Bind()
{
    SectionLock lock(m_callLock);
    SectionLock calls(*BindingLock());
    return BindLocked();
}

long ServerLink::BindLocked()
{
    if (m_bound || m_binding)
        UnbindLocked(FALSE);
    RPC_STATUS status = Os<PipeBindingCalls>().Bind(m_host, gEndpoint.c_str(), &m_binding);
    if (status != RPC_S_OK)
        return status;
    RpcBlob empty = {0, NULL};
    LONG numberStatus = 0;
    DWORD code = CallThrough(m_binding, [&] {
        NextClientNumber(&m_clientNumber, &numberStatus);
        OpenSession(&m_session, &empty, &m_openStatus);
    });
    if (code == 0 && m_openStatus != 0)
        code = (DWORD)m_openStatus;
    if (code != 0) {
        UnbindLocked(TRUE);
        return (long)code;
    }
    m_bound = TRUE;
    return 0;
}

void ServerLink::Unbind()
{
    SectionLock lock(m_callLock);
    SectionLock calls(*BindingLock());
    UnbindLocked(FALSE);
}

void ServerLink::UnbindLocked(BOOL sessionDead)
{
    if (m_session) {
        DWORD code =
            sessionDead ? ERROR_INVALID_HANDLE : Guarded([&] { CloseSession(&m_session); });
        // Closing a session the server no longer knows can break later
        // calls to that pipe: drop it on this side only.
        if (code != 0 && m_session)
            RpcSsDestroyClientContext(&m_session);
        m_session = NULL;
    }
    if (m_binding)
        RpcBindingFree(&m_binding);
    m_binding = NULL;
    m_bound = FALSE;
}

long ServerLink::RebindLocked()
{
    UnbindLocked(TRUE);
    return BindLocked();
}

long ServerLink::ReturnStep(long stepID, const BYTE* bytes, unsigned long length)
{
    SectionLock lock(m_callLock);
    SectionLock calls(*BindingLock());
    BOOL rebound = FALSE;
    if (!m_bound) {
        long bound = BindLocked();
        if (bound != 0)
            return bound;
        rebound = TRUE;
    }
    if (!rebound) {
        DWORD code = CallThrough(m_binding, [] { Ping(); });
        if (IsRebindCode(code)) {
            rebound = TRUE;
            long bound = RebindLocked();
            if (bound != 0)
                return bound;
        }
    }
    RpcBlob blob = {length, const_cast<BYTE*>(bytes)};
    for (;;) {
        LONG status = -1;
        DWORD code = Guarded([&] { PostProcessUpdate(m_session, stepID, &blob, &status); });
        if (code == 0)
            return status;
        if (rebound || !IsRebindCode(code))
            return (long)code;
        rebound = TRUE;
        long bound = RebindLocked();
        if (bound != 0)
            return bound;
    }
}
