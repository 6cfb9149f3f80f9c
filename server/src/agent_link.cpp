#include <server/agent_link.h>

#include <server/account_rights.h>

#include <model/object_stream.h>

#include <oscalls/oscalls.h>
#include <seguard/seguard.h>

namespace {

// Runs a stub call with gNeoCritical released; 0 or the code it raised. The
// release stays outside the guard, whose jump would skip its destructor.
template <class Call>
DWORD CallReleased(Call call)
{
    CNeoCriticalRelease release;
    return Guarded(call);
}

// A transport failure after the bind reaches the caller as a thrown code.
void ThrowIfFailed(DWORD code)
{
    if (code != 0)
        throw (long)code;
}

// The text by which the agent binds back to this server: "\\" + its name.
std::string ServerHostText()
{
    char name[MAX_COMPUTERNAME_LENGTH + 32] = "";
    GetLocalComputerName(name, sizeof name);
    return std::string("\\\\") + name;
}

}  // namespace

AgentLink::AgentLink() : m_binding(NULL), m_session(NULL), m_bound(FALSE) {}

AgentLink::~AgentLink()
{
    if (m_bound)
        Unbind();
    FreeBinding();
}

void AgentLink::FreeBinding()
{
    if (m_session)
        RpcSsDestroyClientContext(&m_session);
    m_session = NULL;
    if (m_binding)
        RpcBindingFree(&m_binding);
    m_binding = NULL;
}

RPC_STATUS AgentLink::Bind(const char* host, const char* endpoint)
{
    if (m_bound)
        Unbind();
    FreeBinding();
    if (strlen(host) > kMaxHostName)
        return RPC_S_STRING_TOO_LONG;
    std::string address = std::string("\\\\") + host;
    RPC_STATUS status = Os<PipeBindingCalls>().Bind(address.c_str(), endpoint, &m_binding);
    if (status == RPC_S_OK) {
        RpcBlob empty = {0, NULL};
        long openStatus = 0;
        status = CallReleased([&] { AgentOpenSession(m_binding, &m_session, &empty, &openStatus); });
    }
    if (status != RPC_S_OK) {
        FreeBinding();
        return status;
    }
    m_bound = TRUE;
    m_hostName = host;
    return RPC_S_OK;
}

void AgentLink::Unbind()
{
    m_hostName.clear();
    if (m_session && CallReleased([&] { AgentCloseSession(m_binding, &m_session); }) == 0)
        m_session = NULL;
    FreeBinding();
    m_bound = FALSE;
}

long AgentLink::GetLoad()
{
    long load = 0;
    ThrowIfFailed(CallReleased([&] { AgentGetLoad(m_binding, &m_session, &load); }));
    return load;
}

long AgentLink::ExecuteStep(CPProcessBase* step)
{
    std::string host = ServerHostText();
    CNeoMemLocation location;
    CNeoDatabase image;
    image.fSetting = 2;
    image.setLocation(&location);
    ResetImage(&image);
    step->setDirty(2);
    image.addObject(step, TRUE, NULL);
    unsigned long length = 0;
    const BYTE* bytes = GetImageBytes(&image, &length);
    RpcBlob blob = {length, const_cast<BYTE*>(bytes)};
    long handle = 0;
    long status = 0;
    DWORD code = CallReleased(
        [&] { AgentExecuteStep(m_binding, host.c_str(), &blob, &handle, &status); });
    image.removeObject(step, TRUE);
    image.close(FALSE);
    ThrowIfFailed(code);
    if (status != 0)
        throw status;
    return handle;
}

long AgentLink::CancelStep(long handle)
{
    long status = 0;
    ThrowIfFailed(CallReleased([&] { AgentCancelStep(m_binding, handle, &status); }));
    return status;
}

// ---------------------------------------------------------------------------
// AgentLinkTransport

namespace {
class LinkConnection : public AgentConnection {
public:
    virtual long GetLoad() { return link.GetLoad(); }
    virtual long ExecuteStep(CPProcessBase* step) { return link.ExecuteStep(step); }
    virtual long CancelStep(long handle) { return link.CancelStep(handle); }

    AgentLink link;
};

// Closes a service control handle when it goes out of scope.
struct ServiceHandle {
    explicit ServiceHandle(SC_HANDLE h) : handle(h) {}
    ~ServiceHandle()
    {
        if (handle)
            CloseServiceHandle(handle);
    }
    SC_HANDLE handle;
};
}  // namespace

std::string AgentLinkTransport::EndpointOf(const char*)
{
    return AGENT_PIPE_ENDPOINT;
}

std::unique_ptr<AgentConnection> AgentLinkTransport::Bind(const char* host)
{
    std::unique_ptr<LinkConnection> connection(new LinkConnection);
    if (connection->link.Bind(host, EndpointOf(host).c_str()) != RPC_S_OK)
        return nullptr;
    return std::move(connection);
}

BOOL AgentLinkTransport::StartAgentService(const char* host)
{
    // Touches no database: the whole wait runs with the lock released.
    CNeoCriticalRelease release;
    ServiceHandle manager(OpenSCManagerA(host, NULL, SC_MANAGER_ALL_ACCESS));
    if (!manager.handle)
        return FALSE;
    ServiceHandle service(OpenServiceA(manager.handle, "zqagent", SERVICE_ALL_ACCESS));
    if (!service.handle || !StartServiceA(service.handle, 0, NULL))
        return FALSE;
    // A service that stays pending, or reports another state, has not started.
    DWORD waited = 0;
    SERVICE_STATUS state;
    while (QueryServiceStatus(service.handle, &state)) {
        if (state.dwCurrentState == SERVICE_RUNNING)
            return TRUE;
        if (state.dwCurrentState != SERVICE_START_PENDING || waited >= kStartTimeout)
            return FALSE;
        DWORD pause = state.dwWaitHint < 100 ? 100 : state.dwWaitHint > 1000 ? 1000 : state.dwWaitHint;
        Sleep(pause);
        waited += pause;
    }
    return FALSE;
}
