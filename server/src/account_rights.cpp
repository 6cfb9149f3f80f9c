#include <server/account_rights.h>

#include <stdlib.h>
#include <string.h>

namespace {

const DWORD kGrantFailed = 13;

void MakeLsaString(LSA_UNICODE_STRING* target, const wchar_t* text)
{
    USHORT length = (USHORT)wcslen(text);
    target->Buffer = const_cast<wchar_t*>(text);
    target->Length = (USHORT)(length * sizeof(wchar_t));
    target->MaximumLength = (USHORT)((length + 1) * sizeof(wchar_t));
}

}  // namespace

void AnsiToWide(wchar_t* target, const char* text, int length)
{
    if (!target || !text || length <= 0)
        return;
    memset(target, 0, (length + 1) * sizeof(wchar_t));
    MultiByteToWideChar(CP_ACP, MB_USEGLYPHCHARS, text, -1, target, length);
}

NTSTATUS OpenLsaPolicy(const wchar_t* system, ACCESS_MASK access, LSA_HANDLE* policy)
{
    LSA_OBJECT_ATTRIBUTES attributes;
    memset(&attributes, 0, sizeof attributes);
    LSA_UNICODE_STRING systemName;
    LSA_UNICODE_STRING* systemArgument = NULL;
    if (system) {
        MakeLsaString(&systemName, system);
        systemArgument = &systemName;
    }
    return Os<AccountCalls>().LsaOpenPolicy(systemArgument, &attributes, access, policy);
}

NTSTATUS SetAccountRight(LSA_HANDLE policy, PSID sid, const wchar_t* right, BOOL add)
{
    LSA_UNICODE_STRING rightName;
    MakeLsaString(&rightName, right);
    if (add)
        return Os<AccountCalls>().LsaAddAccountRights(policy, sid, &rightName, 1);
    return Os<AccountCalls>().LsaRemoveAccountRights(policy, sid, FALSE, &rightName, 1);
}

BOOL GetAccountSid(const char* system, const char* account, PSID* sid)
{
    AccountCalls& accounts = Os<AccountCalls>();
    HANDLE heap = GetProcessHeap();
    DWORD sidSize = 128;
    DWORD domainSize = 16;
    *sid = HeapAlloc(heap, 0, sidSize);
    char* domain = (char*)HeapAlloc(heap, 0, domainSize);
    BOOL found = FALSE;
    while (*sid && domain) {
        SID_NAME_USE use;
        if (accounts.LookupAccountName(system, account, *sid, &sidSize, domain, &domainSize,
                                       &use)) {
            found = TRUE;
            break;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
        PSID largerSid = HeapReAlloc(heap, 0, *sid, sidSize);
        if (!largerSid)
            break;
        *sid = largerSid;
        char* largerDomain = (char*)HeapReAlloc(heap, 0, domain, domainSize);
        if (!largerDomain)
            break;
        domain = largerDomain;
    }
    if (domain)
        HeapFree(heap, 0, domain);
    if (!found && *sid) {
        HeapFree(heap, 0, *sid);
        *sid = NULL;
    }
    return found;
}

DWORD GrantAccountRight(const char* domain, const char* account, const char* right)
{
    int rightLength = (int)strlen(right);
    wchar_t* wideRight = new wchar_t[rightLength + 1];
    AnsiToWide(wideRight, right, rightLength);
    wideRight[rightLength] = 0;

    AccountCalls& accounts = Os<AccountCalls>();
    DWORD result = kGrantFailed;
    BYTE* controller = NULL;
    LSA_HANDLE policy = NULL;
    PSID sid = NULL;
    if (domain && *domain && accounts.NetGetDCName(NULL, NULL, &controller) != NERR_Success) {
        controller = NULL;
    } else if (OpenLsaPolicy((const wchar_t*)controller, POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES,
                             &policy) != 0) {
        policy = NULL;
    } else if (GetAccountSid(NULL, account, &sid) &&
               SetAccountRight(policy, sid, wideRight, TRUE) == 0) {
        result = 0;
    }
    if (policy)
        accounts.LsaClose(policy);
    if (sid)
        HeapFree(GetProcessHeap(), 0, sid);
    if (controller)
        accounts.NetApiBufferFree(controller);
    delete[] wideRight;
    return result;
}

BOOL TokenHasPrivilege(HANDLE token, const char* system, const char* privilege)
{
    AccountCalls& accounts = Os<AccountCalls>();
    LUID luid;
    if (!accounts.LookupPrivilegeValue(system, privilege, &luid))
        return FALSE;
    DWORD size = 16;
    BYTE* buffer = new BYTE[size];
    if (!accounts.GetTokenInformation(token, TokenPrivileges, buffer, size, &size)) {
        delete[] buffer;
        buffer = new BYTE[size];
        if (!accounts.GetTokenInformation(token, TokenPrivileges, buffer, size, &size)) {
            delete[] buffer;
            return FALSE;
        }
    }
    const TOKEN_PRIVILEGES* list = (const TOKEN_PRIVILEGES*)buffer;
    BOOL held = FALSE;
    for (DWORD i = 0; i < list->PrivilegeCount && !held; ++i)
        held = list->Privileges[i].Luid.LowPart == luid.LowPart &&
               list->Privileges[i].Luid.HighPart == luid.HighPart;
    delete[] buffer;
    return held;
}

NET_API_STATUS GetLocalComputerName(char* buffer, DWORD length)
{
    AccountCalls& accounts = Os<AccountCalls>();
    BYTE* info = NULL;
    NET_API_STATUS status = accounts.NetWkstaGetInfo(NULL, 100, &info);
    if (status != NERR_Success)
        return status;
    size_t written = wcstombs(buffer, ((const WKSTA_INFO_100*)info)->wki100_computername, length);
    if (length && written >= length)
        buffer[length - 1] = '\0';  // a name that filled the buffer stays terminated
    accounts.NetApiBufferFree(info);
    return NERR_Success;
}
