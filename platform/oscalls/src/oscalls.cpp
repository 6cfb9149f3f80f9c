#include <oscalls/oscalls.h>

#include <tlhelp32.h>
#include <stdio.h>

namespace {

// Wine runs the programs on Linux, where logons give placeholder tokens and
// no token carries the service privileges. It cannot be told apart by
// what the calls return (they succeed), so it is recognised by the export
// its ntdll adds.
bool RunsOnWine()
{
    static const bool onWine = [] {
        HMODULE ntdll = GetModuleHandleA("ntdll.dll");
        return ntdll && GetProcAddress(ntdll, "wine_get_version") != NULL;
    }();
    return onWine;
}

// The one real or fallback implementation a facility uses on this platform.
template <class Real, class Fallback>
Real& PlatformChoice()
{
    static Real real;
    static Fallback fallback;
    if (RunsOnWine())
        return fallback;
    return real;
}

}  // namespace

// ---------------------------------------------------------------------------
// Logon.

LogonCalls& LogonCalls::Platform()
{
    return PlatformChoice<Win32LogonCalls, FallbackLogonCalls>();
}

BOOL Win32LogonCalls::LogonUser(const char* user, const char* domain, const char* password,
                                DWORD logonType, DWORD provider, HANDLE* token)
{
    return ::LogonUserA(user, domain, password, logonType, provider, token);
}

BOOL Win32LogonCalls::CloseToken(HANDLE token)
{
    return ::CloseHandle(token);
}

BOOL Win32LogonCalls::CanImpersonate()
{
    return TRUE;
}

BOOL FallbackLogonCalls::CanImpersonate()
{
    return FALSE;
}

BOOL Win32LogonCalls::Impersonate(HANDLE token)
{
    return ::ImpersonateLoggedOnUser(token);
}

BOOL Win32LogonCalls::RevertToSelf()
{
    return ::RevertToSelf();
}

// ---------------------------------------------------------------------------
// Accounts.

AccountCalls& AccountCalls::Platform()
{
    return PlatformChoice<Win32AccountCalls, FallbackAccountCalls>();
}

BOOL Win32AccountCalls::OpenProcessToken(DWORD access, HANDLE* token)
{
    return ::OpenProcessToken(GetCurrentProcess(), access, token);
}

BOOL Win32AccountCalls::LookupPrivilegeValue(const char* system, const char* name, LUID* luid)
{
    return ::LookupPrivilegeValueA(system, name, luid);
}

BOOL Win32AccountCalls::GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass,
                                            void* info, DWORD length, DWORD* returned)
{
    return ::GetTokenInformation(token, infoClass, info, length, returned);
}

BOOL Win32AccountCalls::CloseToken(HANDLE token)
{
    return ::CloseHandle(token);
}

const char* Win32AccountCalls::WhyNoServicePrivileges()
{
    return NULL;
}

const char* FallbackAccountCalls::WhyNoServicePrivileges()
{
    return "Running under Wine";
}

NTSTATUS Win32AccountCalls::LsaOpenPolicy(LSA_UNICODE_STRING* system,
                                          LSA_OBJECT_ATTRIBUTES* attributes, ACCESS_MASK access,
                                          LSA_HANDLE* policy)
{
    return ::LsaOpenPolicy(system, attributes, access, policy);
}

NTSTATUS Win32AccountCalls::LsaAddAccountRights(LSA_HANDLE policy, PSID sid,
                                                LSA_UNICODE_STRING* rights, ULONG count)
{
    return ::LsaAddAccountRights(policy, sid, rights, count);
}

NTSTATUS Win32AccountCalls::LsaRemoveAccountRights(LSA_HANDLE policy, PSID sid,
                                                   BOOLEAN allRights, LSA_UNICODE_STRING* rights,
                                                   ULONG count)
{
    return ::LsaRemoveAccountRights(policy, sid, allRights, rights, count);
}

NTSTATUS Win32AccountCalls::LsaClose(LSA_HANDLE policy)
{
    return ::LsaClose(policy);
}

BOOL Win32AccountCalls::LookupAccountName(const char* system, const char* account, PSID sid,
                                          DWORD* sidSize, char* domain, DWORD* domainSize,
                                          SID_NAME_USE* use)
{
    return ::LookupAccountNameA(system, account, sid, sidSize, domain, domainSize, use);
}

NET_API_STATUS Win32AccountCalls::NetGetDCName(const wchar_t* server, const wchar_t* domain,
                                               BYTE** buffer)
{
    return ::NetGetDCName(server, domain, buffer);
}

NET_API_STATUS Win32AccountCalls::NetWkstaGetInfo(const wchar_t* server, DWORD level,
                                                  BYTE** buffer)
{
    return ::NetWkstaGetInfo(const_cast<wchar_t*>(server), level, buffer);
}

NET_API_STATUS Win32AccountCalls::NetApiBufferFree(void* buffer)
{
    return ::NetApiBufferFree(buffer);
}

// ---------------------------------------------------------------------------
// Event log.

EventLogCalls& EventLogCalls::Platform()
{
    static Win32EventLogCalls real;
    return real;
}

void Win32EventLogCalls::Report(const char* source, WORD type, const char* text)
{
    HANDLE eventSource = RegisterEventSourceA(NULL, source);
    if (!eventSource)
        return;
    const char* strings[1] = {text};
    ReportEventA(eventSource, type, 0, 0xC0000000, NULL, 1, 0, strings, NULL);
    DeregisterEventSource(eventSource);
}

// ---------------------------------------------------------------------------
// Process times.

ProcessTimeCalls& ProcessTimeCalls::Platform()
{
    return PlatformChoice<Win32ProcessTimeCalls, FallbackProcessTimeCalls>();
}

BOOL Win32ProcessTimeCalls::GetProcessTimes(HANDLE process, DWORD, FILETIME* creation,
                                            FILETIME* exit, FILETIME* kernel, FILETIME* user)
{
    return ::GetProcessTimes(process, creation, exit, kernel, user);
}

namespace {
ULONGLONG FileTimeValue(const FILETIME& time)
{
    return ((ULONGLONG)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

FILETIME ToFileTime(ULONGLONG value)
{
    FILETIME time = {(DWORD)value, (DWORD)(value >> 32)};
    return time;
}
}  // namespace

BOOL FallbackProcessTimeCalls::GetProcessTimes(HANDLE process, DWORD processId, FILETIME* creation,
                                               FILETIME* exit, FILETIME* kernel, FILETIME* user)
{
    if (!Win32ProcessTimeCalls::GetProcessTimes(process, processId, creation, exit, kernel, user))
        return FALSE;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return FALSE;
    ULONGLONG kernelSum = 0, userSum = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID != processId)
            continue;
        HANDLE thread = OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID);
        if (!thread)
            continue;
        FILETIME threadCreation, threadExit, threadKernel, threadUser;
        if (GetThreadTimes(thread, &threadCreation, &threadExit, &threadKernel, &threadUser)) {
            kernelSum += FileTimeValue(threadKernel);
            userSum += FileTimeValue(threadUser);
        }
        CloseHandle(thread);
    }
    CloseHandle(snapshot);
    *kernel = ToFileTime(kernelSum);
    *user = ToFileTime(userSum);
    return TRUE;
}

// ---------------------------------------------------------------------------
// Announcement slots.

SlotCalls& SlotCalls::Platform()
{
    return PlatformChoice<Win32SlotCalls, FallbackSlotCalls>();
}

namespace {
HANDLE OpenSlot(const char* format, const char* name)
{
    char path[MAX_PATH];
    if (_snprintf(path, sizeof path, format, name) < 0 || strlen(path) >= sizeof path - 1)
        return INVALID_HANDLE_VALUE;
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
}
}  // namespace

HANDLE Win32SlotCalls::OpenBroadcastSlot(const char* name)
{
    return OpenSlot("\\\\*\\mailslot\\remote\\%s", name);
}

HANDLE FallbackSlotCalls::OpenBroadcastSlot(const char* name)
{
    return OpenSlot("\\\\.\\mailslot\\remote\\%s", name);
}

// ---------------------------------------------------------------------------
// Pipe bindings.

PipeBindingCalls& PipeBindingCalls::Platform()
{
    return PlatformChoice<Win32PipeBindingCalls, FallbackPipeBindingCalls>();
}

RPC_STATUS Win32PipeBindingCalls::Compose(const char* address, const char* endpoint,
                                          const char* options, RPC_BINDING_HANDLE* binding)
{
    *binding = NULL;
    RPC_CSTR text = NULL;
    RPC_STATUS status =
        RpcStringBindingComposeA(NULL, (RPC_CSTR) "ncacn_np", (RPC_CSTR)address,
                                 (RPC_CSTR)endpoint, (RPC_CSTR)options, &text);
    if (status != RPC_S_OK)
        return status;
    status = RpcBindingFromStringBindingA(text, binding);
    RpcStringFreeA(&text);
    return status;
}

RPC_STATUS Win32PipeBindingCalls::Bind(const char* address, const char* endpoint,
                                       RPC_BINDING_HANDLE* binding)
{
    return Compose(address, endpoint, NULL, binding);
}

RPC_STATUS FallbackPipeBindingCalls::Bind(const char* address, const char* endpoint,
                                          RPC_BINDING_HANDLE* binding)
{
    static LONG bindings = 0;
    char options[32];
    snprintf(options, sizeof options, "association=%ld", InterlockedIncrement(&bindings));
    return Compose(address, endpoint, options, binding);
}
