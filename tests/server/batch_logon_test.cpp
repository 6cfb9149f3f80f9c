// TestBatchLogon and TestFileAccess as the logon facility lets them: the file
// is tried as the user where logged-on tokens can be impersonated, else as
// the service's own account; a failed OpenFile is reported either way.
#include <oscalls/oscalls.h>
#include <server_interface.h>

#include <gtest/gtest.h>

#include "statuses.h"

#include <string>
#include <vector>

namespace {

const bool kCanImpersonate = true;
const bool kCannotImpersonate = false;
const DWORD kImpersonates = 0;
const HANDLE kToken = (HANDLE)0x4321;

// Logs everyone on with a token of its own and records what is done with it.
class RecordingLogon : public Win32LogonCalls {
public:
    virtual BOOL LogonUser(const char*, const char*, const char*, DWORD, DWORD, HANDLE* token)
    {
        calls.push_back("logon");
        *token = kToken;
        return TRUE;
    }
    virtual BOOL CloseToken(HANDLE token)
    {
        EXPECT_EQ(kToken, token);
        calls.push_back("close");
        return TRUE;
    }
    virtual BOOL CanImpersonate() { return canImpersonate; }
    virtual BOOL Impersonate(HANDLE)
    {
        calls.push_back("impersonate");
        SetLastError(impersonationError);
        return impersonationError == kImpersonates;
    }
    virtual BOOL RevertToSelf()
    {
        calls.push_back("revert");
        return TRUE;
    }

    bool canImpersonate = kCanImpersonate;
    DWORD impersonationError = kImpersonates;
    std::vector<std::string> calls;

private:
    ScopedStandIn<LogonCalls> m_installed{*this};
};

typedef std::vector<std::string> Calls;

TEST(AccountTest, FileAccessAsTheLogonFacilityAllows)
{
    char existing[MAX_PATH];
    ASSERT_NE(0u, GetModuleFileNameA(NULL, existing, sizeof existing));
    std::string missing = std::string(existing) + ".missing";
    struct Case {
        const char* name;
        bool canImpersonate;
        DWORD impersonationError;
        const char* file;
        LONG status;
        Calls calls;
    } cases[] = {
        {"as the user", kCanImpersonate, kImpersonates, existing, kStatusDone,
         {"logon", "impersonate", "revert", "close"}},
        {"as the user, file missing", kCanImpersonate, kImpersonates, missing.c_str(),
         ERROR_FILE_NOT_FOUND, {"logon", "impersonate", "revert", "close"}},
        {"impersonation refused", kCanImpersonate, ERROR_ACCESS_DENIED, existing,
         ERROR_ACCESS_DENIED, {"logon", "impersonate", "close"}},
        {"as the service", kCannotImpersonate, kImpersonates, existing, kStatusDone,
         {"logon", "close"}},
        {"as the service, file missing", kCannotImpersonate, kImpersonates, missing.c_str(),
         ERROR_FILE_NOT_FOUND, {"logon", "close"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLogon logon;
        logon.canImpersonate = c.canImpersonate;
        logon.impersonationError = c.impersonationError;
        LONG status = -1;
        EXPECT_EQ(kStatusDone, TestFileAccess("", "alice", "secret", c.file, &status));
        EXPECT_EQ(c.status, status);
        EXPECT_EQ(c.calls, logon.calls);
    }

    RecordingLogon logon;
    LONG status = -1;
    EXPECT_EQ(kStatusDone, TestBatchLogon("", "alice", "secret", &status));
    EXPECT_EQ(kStatusDone, status);
    EXPECT_EQ(Calls({"logon", "close"}), logon.calls);
}

}  // namespace
