// The platform's security and network-information calls, behind one
// interface so that tests can make accounts fail and tokens lack privileges.
// Win32Security makes the real calls.
#ifndef SERVER_SECURITY_API_H
#define SERVER_SECURITY_API_H

#include <windows.h>
#include <ntsecapi.h>
#include <lm.h>

class SecurityApi {
public:
    virtual ~SecurityApi() {}

    // Tokens and privileges.
    virtual BOOL OpenProcessToken(DWORD access, HANDLE* token) = 0;
    virtual BOOL LookupPrivilegeValue(const char* system, const char* name, LUID* luid) = 0;
    virtual BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info,
                                     DWORD length, DWORD* returned) = 0;
    virtual BOOL CloseHandle(HANDLE handle) = 0;
    virtual BOOL LogonUser(const char* user, const char* domain, const char* password,
                           DWORD logonType, DWORD provider, HANDLE* token) = 0;

    // Local security authority.
    virtual NTSTATUS LsaOpenPolicy(LSA_UNICODE_STRING* system, LSA_OBJECT_ATTRIBUTES* attributes,
                                   ACCESS_MASK access, LSA_HANDLE* policy) = 0;
    virtual NTSTATUS LsaAddAccountRights(LSA_HANDLE policy, PSID sid, LSA_UNICODE_STRING* rights,
                                         ULONG count) = 0;
    virtual NTSTATUS LsaRemoveAccountRights(LSA_HANDLE policy, PSID sid, BOOLEAN allRights,
                                            LSA_UNICODE_STRING* rights, ULONG count) = 0;
    virtual NTSTATUS LsaClose(LSA_HANDLE policy) = 0;
    virtual BOOL LookupAccountName(const char* system, const char* account, PSID sid,
                                   DWORD* sidSize, char* domain, DWORD* domainSize,
                                   SID_NAME_USE* use) = 0;

    // Network information; buffers are freed with NetApiBufferFree.
    virtual NET_API_STATUS NetGetDCName(const wchar_t* server, const wchar_t* domain,
                                        BYTE** buffer) = 0;
    virtual NET_API_STATUS NetWkstaGetInfo(const wchar_t* server, DWORD level, BYTE** buffer) = 0;
    virtual NET_API_STATUS NetApiBufferFree(void* buffer) = 0;

    // TRUE under Wine, whose tokens lack privileges a real service holds.
    virtual BOOL RunsOnWine() = 0;
};

class Win32Security : public SecurityApi {
public:
    virtual BOOL OpenProcessToken(DWORD access, HANDLE* token);
    virtual BOOL LookupPrivilegeValue(const char* system, const char* name, LUID* luid);
    virtual BOOL GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS infoClass, void* info,
                                     DWORD length, DWORD* returned);
    virtual BOOL CloseHandle(HANDLE handle);
    virtual BOOL LogonUser(const char* user, const char* domain, const char* password,
                           DWORD logonType, DWORD provider, HANDLE* token);
    virtual NTSTATUS LsaOpenPolicy(LSA_UNICODE_STRING* system, LSA_OBJECT_ATTRIBUTES* attributes,
                                   ACCESS_MASK access, LSA_HANDLE* policy);
    virtual NTSTATUS LsaAddAccountRights(LSA_HANDLE policy, PSID sid, LSA_UNICODE_STRING* rights,
                                         ULONG count);
    virtual NTSTATUS LsaRemoveAccountRights(LSA_HANDLE policy, PSID sid, BOOLEAN allRights,
                                            LSA_UNICODE_STRING* rights, ULONG count);
    virtual NTSTATUS LsaClose(LSA_HANDLE policy);
    virtual BOOL LookupAccountName(const char* system, const char* account, PSID sid,
                                   DWORD* sidSize, char* domain, DWORD* domainSize,
                                   SID_NAME_USE* use);
    virtual NET_API_STATUS NetGetDCName(const wchar_t* server, const wchar_t* domain,
                                        BYTE** buffer);
    virtual NET_API_STATUS NetWkstaGetInfo(const wchar_t* server, DWORD level, BYTE** buffer);
    virtual NET_API_STATUS NetApiBufferFree(void* buffer);
    virtual BOOL RunsOnWine();
};

// The calls in use: the real ones unless a test installed others.
SecurityApi& Security();
// Installs `api` (NULL: the real calls again); returns the previous one.
SecurityApi* SetSecurity(SecurityApi* api);

#endif
