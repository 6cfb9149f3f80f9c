#include <server/security_api.h>

namespace {
Win32Security gWin32Security;
SecurityApi* gSecurity = &gWin32Security;
}  // namespace

SecurityApi& Security()
{
    return *gSecurity;
}

SecurityApi* SetSecurity(SecurityApi* api)
{
    SecurityApi* previous = gSecurity;
    gSecurity = api ? api : &gWin32Security;
    return previous;
}

BOOL Win32Security::OpenProcessToken(DWORD access, HANDLE* token)
{
    return ::OpenProcessToken(GetCurrentProcess(), access, token);
}

BOOL Win32Security::LookupPrivilegeValue(const char* system, const char* name, LUID* luid)
{
    return ::LookupPrivilegeValueA(system, name, luid);
}

BOOL Win32Security::GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass,
                                        void* info, DWORD length, DWORD* returned)
{
    return ::GetTokenInformation(token, infoClass, info, length, returned);
}

BOOL Win32Security::CloseHandle(HANDLE handle)
{
    return ::CloseHandle(handle);
}

BOOL Win32Security::LogonUser(const char* user, const char* domain, const char* password,
                              DWORD logonType, DWORD provider, HANDLE* token)
{
    return ::LogonUserA(user, domain, password, logonType, provider, token);
}

NTSTATUS Win32Security::LsaOpenPolicy(LSA_UNICODE_STRING* system,
                                      LSA_OBJECT_ATTRIBUTES* attributes, ACCESS_MASK access,
                                      LSA_HANDLE* policy)
{
    return ::LsaOpenPolicy(system, attributes, access, policy);
}

NTSTATUS Win32Security::LsaAddAccountRights(LSA_HANDLE policy, PSID sid,
                                            LSA_UNICODE_STRING* rights, ULONG count)
{
    return ::LsaAddAccountRights(policy, sid, rights, count);
}

NTSTATUS Win32Security::LsaRemoveAccountRights(LSA_HANDLE policy, PSID sid, BOOLEAN allRights,
                                               LSA_UNICODE_STRING* rights, ULONG count)
{
    return ::LsaRemoveAccountRights(policy, sid, allRights, rights, count);
}

NTSTATUS Win32Security::LsaClose(LSA_HANDLE policy)
{
    return ::LsaClose(policy);
}

BOOL Win32Security::LookupAccountName(const char* system, const char* account, PSID sid,
                                      DWORD* sidSize, char* domain, DWORD* domainSize,
                                      SID_NAME_USE* use)
{
    return ::LookupAccountNameA(system, account, sid, sidSize, domain, domainSize, use);
}

NET_API_STATUS Win32Security::NetGetDCName(const wchar_t* server, const wchar_t* domain,
                                           BYTE** buffer)
{
    return ::NetGetDCName(server, domain, buffer);
}

NET_API_STATUS Win32Security::NetWkstaGetInfo(const wchar_t* server, DWORD level, BYTE** buffer)
{
    return ::NetWkstaGetInfo(const_cast<wchar_t*>(server), level, buffer);
}

NET_API_STATUS Win32Security::NetApiBufferFree(void* buffer)
{
    return ::NetApiBufferFree(buffer);
}

BOOL Win32Security::RunsOnWine()
{
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != NULL;
}
