#include "recording_shell.h"

#include <server/account_rights.h>
#include <server/server_service.h>

#include <gtest/gtest.h>

#include <map>

namespace {

// LSA statuses; ntstatus.h, which names them, clashes with windows.h.
const NTSTATUS kLsaSuccess = 0;
const NTSTATUS kLsaAccessDenied = (NTSTATUS)0xC0000022;

// Platform calls with chosen answers; what is not overridden is real.
class FakeAccounts : public Win32AccountCalls {
public:

    // Tokens: privileges by name with their attribute bits.
    virtual BOOL OpenProcessToken(DWORD, HANDLE* token)
    {
        *token = (HANDLE)0x1234;
        return tokenOpens;
    }
    virtual BOOL CloseToken(HANDLE handle)
    {
        closedHandles.push_back(handle);
        return TRUE;
    }
    virtual BOOL LookupPrivilegeValue(const char*, const char* name, LUID* luid)
    {
        luid->HighPart = 7;
        luid->LowPart = Luid(name);
        return TRUE;
    }
    virtual BOOL GetTokenInformation(HANDLE, TOKEN_INFORMATION_CLASS infoClass, void* info,
                                     DWORD length, DWORD* returned)
    {
        EXPECT_EQ(TokenPrivileges, infoClass);
        DWORD needed = sizeof(DWORD) + (DWORD)privileges.size() * sizeof(LUID_AND_ATTRIBUTES);
        *returned = needed;
        if (length < needed) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        TOKEN_PRIVILEGES* list = (TOKEN_PRIVILEGES*)info;
        list->PrivilegeCount = 0;
        for (const auto& privilege : privileges) {
            LUID_AND_ATTRIBUTES& entry = list->Privileges[list->PrivilegeCount++];
            entry.Luid.HighPart = 7;
            entry.Luid.LowPart = Luid(privilege.first);
            entry.Attributes = privilege.second;
        }
        return TRUE;
    }

    // LSA and accounts.
    virtual NTSTATUS LsaOpenPolicy(LSA_UNICODE_STRING* system, LSA_OBJECT_ATTRIBUTES*,
                                   ACCESS_MASK access, LSA_HANDLE* policy)
    {
        policySystem = system ? std::wstring(system->Buffer, system->Length / 2) : L"";
        policyAccess = access;
        *policy = (LSA_HANDLE)0x99;
        ++policiesOpened;
        return policyStatus;
    }
    virtual NTSTATUS LsaAddAccountRights(LSA_HANDLE, PSID, LSA_UNICODE_STRING* rights, ULONG count)
    {
        EXPECT_EQ(1u, count);
        addedRights.push_back(std::wstring(rights->Buffer, rights->Length / 2));
        return addStatus;
    }
    virtual NTSTATUS LsaClose(LSA_HANDLE)
    {
        ++policiesClosed;
        return kLsaSuccess;
    }
    virtual BOOL LookupAccountName(const char*, const char* account, PSID sid, DWORD* sidSize,
                                   char* domain, DWORD* domainSize, SID_NAME_USE* use)
    {
        ++lookups;
        if (account != knownAccount) {
            SetLastError(ERROR_NONE_MAPPED);
            return FALSE;
        }
        // First asks for more room, as for a long domain name.
        if (*domainSize < 40) {
            *sidSize = 200;
            *domainSize = 40;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        memset(sid, 0, *sidSize);
        strcpy(domain, "A-DOMAIN-NAME-OF-SOME-LENGTH");
        *use = SidTypeUser;
        return TRUE;
    }
    virtual NET_API_STATUS NetGetDCName(const wchar_t*, const wchar_t*, BYTE** buffer)
    {
        if (dcStatus != NERR_Success)
            return dcStatus;
        static const wchar_t controller[] = L"\\\\CONTROLLER";
        NetApiBufferAllocate(sizeof controller, (void**)buffer);
        memcpy(*buffer, controller, sizeof controller);
        return NERR_Success;
    }
    virtual NET_API_STATUS NetWkstaGetInfo(const wchar_t* server, DWORD level, BYTE** buffer)
    {
        if (wkstaStatus != NERR_Success)
            return wkstaStatus;
        return Win32AccountCalls::NetWkstaGetInfo(server, level, buffer);
    }
    virtual NET_API_STATUS NetApiBufferFree(void* buffer)
    {
        ++buffersFreed;
        return Win32AccountCalls::NetApiBufferFree(buffer);
    }
    virtual const char* WhyNoServicePrivileges() { return noPrivilegesReason; }

    static DWORD Luid(const std::string& name)
    {
        DWORD value = 1;
        for (char c : name)
            value = value * 31 + (unsigned char)c;
        return value;
    }

    BOOL tokenOpens = TRUE;
    std::map<std::string, DWORD> privileges;
    std::vector<HANDLE> closedHandles;
    NTSTATUS policyStatus = kLsaSuccess;
    NTSTATUS addStatus = kLsaSuccess;
    NET_API_STATUS dcStatus = NERR_Success;
    NET_API_STATUS wkstaStatus = NERR_Success;
    std::string knownAccount = "alice";
    std::wstring policySystem;
    ACCESS_MASK policyAccess = 0;
    std::vector<std::wstring> addedRights;
    int policiesOpened = 0;
    int policiesClosed = 0;
    int lookups = 0;
    int buffersFreed = 0;
    const char* noPrivilegesReason = NULL;

private:
    ScopedStandIn<AccountCalls> m_installed{*this};
};

const char kTcb[] = "SeTcbPrivilege";
const char kAssign[] = "SeAssignPrimaryTokenPrivilege";

TEST(PrivilegeCheck, FailureTextsInOrder)
{
    const char* noToken = "The internal function: OpenProcessToken failed because the Service "
                          "Logon Account has insufficient privileges";
    const char* noTcb = "The Service Logon Account has insufficient user rights. Requires \"Act "
                        "as part of the sperating system\"";
    const char* noAssign = "The Service Logon Account has insufficient user rights. Requires "
                           "\"Replace a process level token\"";
    struct Case {
        const char* name;
        BOOL tokenOpens;
        std::map<std::string, DWORD> privileges;
        const char* failure;  // NULL: the check passes
    } cases[] = {
        {"token cannot be opened", FALSE, {{kTcb, 0}, {kAssign, 0}}, noToken},
        {"no privileges", TRUE, {}, noTcb},
        {"tcb missing whatever the other", TRUE, {{kAssign, SE_PRIVILEGE_ENABLED}}, noTcb},
        {"assign missing", TRUE, {{kTcb, SE_PRIVILEGE_ENABLED}, {"SeDebugPrivilege", 0}}, noAssign},
        {"both held, one disabled", TRUE, {{kTcb, 0}, {kAssign, SE_PRIVILEGE_ENABLED}}, NULL},
    };
    ServerApp app;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAccounts accounts;
        accounts.tokenOpens = c.tokenOpens;
        accounts.privileges = c.privileges;
        RecordingSink sink;
        ServerService service(app);
        EXPECT_EQ(c.failure == NULL, service.CheckPrivileges());
        if (c.failure) {
            ASSERT_EQ(1u, sink.entries.size());
            EXPECT_EQ(EVENTLOG_ERROR_TYPE, sink.entries[0].type);
            EXPECT_EQ(c.failure, sink.entries[0].text);
        } else {
            EXPECT_TRUE(sink.entries.empty());
        }
        if (c.tokenOpens) {
            EXPECT_EQ(1u, accounts.closedHandles.size());
        }
    }
}

TEST(PrivilegeCheck, PassesWithANoteWhereNoServiceHoldsThem)
{
    ServerApp app;
    FakeAccounts accounts;
    accounts.noPrivilegesReason = "No service holds them here";
    accounts.privileges = {{kTcb, SE_PRIVILEGE_ENABLED}};
    RecordingSink sink;
    ServerService service(app);
    EXPECT_TRUE(service.CheckPrivileges());
    ASSERT_EQ(1u, sink.entries.size());
    EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, sink.entries[0].type);
    EXPECT_EQ("No service holds them here: privilege check passed without: The Service Logon "
              "Account has insufficient user rights. Requires \"Replace a process level token\"",
              sink.entries[0].text);
}

TEST(TokenPrivileges, ListedPrivilegesCountEnabledOrNot)
{
    FakeAccounts accounts;
    accounts.privileges = {{kTcb, 0}, {"SeBackupPrivilege", SE_PRIVILEGE_ENABLED},
                           {"SeDebugPrivilege", SE_PRIVILEGE_ENABLED_BY_DEFAULT}};
    HANDLE token = (HANDLE)0x1234;
    EXPECT_TRUE(TokenHasPrivilege(token, "", kTcb));
    EXPECT_TRUE(TokenHasPrivilege(token, "", "SeDebugPrivilege"));
    EXPECT_FALSE(TokenHasPrivilege(token, "", kAssign));
}

TEST(TokenPrivileges, RealProcessToken)
{
    HANDLE token;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    EXPECT_TRUE(TokenHasPrivilege(token, "", kTcb));
    EXPECT_FALSE(TokenHasPrivilege(token, "", "NoSuchPrivilege"));
    CloseHandle(token);
}

TEST(GrantAccountRight, FoldsEveryFailureTo13)
{
    struct Case {
        const char* name;
        const char* domain;
        const char* account;
        NET_API_STATUS dcStatus;
        NTSTATUS policyStatus;
        NTSTATUS addStatus;
        DWORD result;
        int policiesOpened;
        int rightsAdded;
    } cases[] = {
        {"granted", NULL, "alice", NERR_Success, kLsaSuccess, kLsaSuccess, ERROR_SUCCESS, 1, 1},
        {"empty domain is this computer", "", "alice", NERR_DCNotFound, kLsaSuccess, kLsaSuccess,
         ERROR_SUCCESS, 1, 1},
        {"unknown account", NULL, "mallory", NERR_Success, kLsaSuccess, kLsaSuccess,
         ERROR_INVALID_DATA, 1, 0},
        {"policy refused", NULL, "alice", NERR_Success, kLsaAccessDenied, kLsaSuccess,
         ERROR_INVALID_DATA, 1, 0},
        {"add refused", NULL, "alice", NERR_Success, kLsaSuccess, kLsaAccessDenied,
         ERROR_INVALID_DATA, 1, 1},
        {"no domain controller", "CORP", "alice", NERR_DCNotFound, kLsaSuccess, kLsaSuccess,
         ERROR_INVALID_DATA, 0, 0},
        {"on the domain controller", "CORP", "alice", NERR_Success, kLsaSuccess, kLsaSuccess,
         ERROR_SUCCESS, 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeAccounts accounts;
        accounts.dcStatus = c.dcStatus;
        accounts.policyStatus = c.policyStatus;
        accounts.addStatus = c.addStatus;
        EXPECT_EQ(c.result, GrantAccountRight(c.domain, c.account, "SeBatchLogonRight"));
        EXPECT_EQ(c.policiesOpened, accounts.policiesOpened);
        EXPECT_EQ(c.rightsAdded, (int)accounts.addedRights.size());
        if (c.rightsAdded) {
            EXPECT_EQ(L"SeBatchLogonRight", accounts.addedRights[0]);
        }
        if (c.policiesOpened) {
            EXPECT_EQ((ACCESS_MASK)(POLICY_CREATE_ACCOUNT | POLICY_LOOKUP_NAMES),
                      accounts.policyAccess);
            EXPECT_EQ(c.domain && *c.domain ? L"\\\\CONTROLLER" : L"", accounts.policySystem);
        }
        // The policy is closed (when it was opened) and the controller's
        // name freed on every way out.
        EXPECT_EQ(c.policyStatus == kLsaSuccess ? c.policiesOpened : 0, accounts.policiesClosed);
        EXPECT_EQ(c.domain && *c.domain && c.dcStatus == NERR_Success ? 1 : 0,
                  accounts.buffersFreed);
    }
}

TEST(GrantAccountRight, RealCalls)
{
    char user[256];
    DWORD size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    EXPECT_EQ((DWORD)ERROR_SUCCESS, GrantAccountRight(NULL, user, "SeBatchLogonRight"));
    EXPECT_EQ((DWORD)ERROR_SUCCESS, GrantAccountRight(NULL, user, "SeBatchLogonRight"));  // held
    EXPECT_EQ((DWORD)ERROR_INVALID_DATA,
              GrantAccountRight(NULL, "no-such-account-xyz", "SeBatchLogonRight"));
}

TEST(AccountSid, GrowsItsBuffersAndFreesOnFailure)
{
    FakeAccounts accounts;
    PSID sid = NULL;
    EXPECT_TRUE(GetAccountSid(NULL, "alice", &sid));
    EXPECT_TRUE(sid != NULL);
    EXPECT_EQ(2, accounts.lookups);
    HeapFree(GetProcessHeap(), 0, sid);
    EXPECT_FALSE(GetAccountSid(NULL, "mallory", &sid));
    EXPECT_TRUE(sid == NULL);
}

TEST(LocalComputerName, NameOrStatus)
{
    char name[256] = "";
    ASSERT_EQ((NET_API_STATUS)NERR_Success, GetLocalComputerName(name, sizeof name));
    char expected[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD size = sizeof expected;
    ASSERT_TRUE(GetComputerNameA(expected, &size));
    EXPECT_STRCASEEQ(expected, name);

    char shortBuffer[3];
    ASSERT_EQ((NET_API_STATUS)NERR_Success, GetLocalComputerName(shortBuffer, sizeof shortBuffer));
    EXPECT_EQ(2u, strlen(shortBuffer));

    FakeAccounts accounts;
    accounts.wkstaStatus = ERROR_ACCESS_DENIED;
    strcpy(name, "untouched");
    EXPECT_EQ((NET_API_STATUS)ERROR_ACCESS_DENIED, GetLocalComputerName(name, sizeof name));
    EXPECT_STREQ("untouched", name);
}

TEST(AnsiToWide, ZeroFillsAndConverts)
{
    wchar_t target[8];
    wmemset(target, L'x', 8);
    AnsiToWide(target, "abc", 6);
    EXPECT_STREQ(L"abc", target);
    for (int i = 3; i <= 6; ++i)
        EXPECT_EQ(L'\0', target[i]);
    EXPECT_EQ(L'x', target[7]);
    AnsiToWide(NULL, "abc", 3);  // nothing to do, no crash
    AnsiToWide(target, NULL, 3);
}

}  // namespace
