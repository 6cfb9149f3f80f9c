// What each facility decides, real calls against fallback, and stand-ins
// taking the place of the platform's choice.
#include <oscalls/oscalls.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const bool kCan = true;
const bool kCannot = false;

TEST(Facilities, RealAndFallbackDecisions)
{
    Win32LogonCalls realLogon;
    FallbackLogonCalls fallbackLogon;
    Win32AccountCalls realAccounts;
    FallbackAccountCalls fallbackAccounts;
    struct Case {
        const char* decision;
        bool real;
        bool fallback;
        bool expectedReal;
        bool expectedFallback;
    } cases[] = {
        {"a logged-on token can be impersonated", realLogon.CanImpersonate() != FALSE,
         fallbackLogon.CanImpersonate() != FALSE, kCan, kCannot},
        {"a service can hold its privileges", realAccounts.WhyNoServicePrivileges() == NULL,
         fallbackAccounts.WhyNoServicePrivileges() == NULL, kCan, kCannot},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.decision);
        EXPECT_EQ(c.expectedReal, c.real);
        EXPECT_EQ(c.expectedFallback, c.fallback);
    }
}

// The platform's answer is what its calls do: a token that the facility says
// can be impersonated is impersonated.
TEST(Facilities, PlatformChoiceMatchesImpersonation)
{
    char user[256];
    DWORD size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    LogonCalls& logon = Os<LogonCalls>();
    HANDLE token = NULL;
    if (!logon.LogonUser(user, NULL, "", LOGON32_LOGON_INTERACTIVE, LOGON32_PROVIDER_DEFAULT,
                         &token))
        GTEST_SKIP() << "this platform refuses the logon without a password";
    BOOL impersonated = logon.Impersonate(token);
    if (impersonated)
        logon.RevertToSelf();
    logon.CloseToken(token);
    EXPECT_EQ(logon.CanImpersonate(), impersonated);
}

template <class Facility, class StandIn>
void ExpectStandInsTakeItsPlace()
{
    Facility& platform = Os<Facility>();
    EXPECT_EQ(&Facility::Platform(), &platform);
    {
        StandIn outer;
        ScopedStandIn<Facility> installOuter(outer);
        EXPECT_EQ(&outer, &Os<Facility>());
        {
            StandIn inner;
            ScopedStandIn<Facility> installInner(inner);
            EXPECT_EQ(&inner, &Os<Facility>());
        }
        EXPECT_EQ(&outer, &Os<Facility>());
    }
    EXPECT_EQ(&platform, &Os<Facility>());
}

TEST(Facilities, StandInsNestAndLeaveThePlatformsChoice)
{
    ExpectStandInsTakeItsPlace<LogonCalls, FallbackLogonCalls>();
    ExpectStandInsTakeItsPlace<AccountCalls, FallbackAccountCalls>();
    ExpectStandInsTakeItsPlace<EventLogCalls, Win32EventLogCalls>();
    ExpectStandInsTakeItsPlace<ProcessTimeCalls, FallbackProcessTimeCalls>();
    ExpectStandInsTakeItsPlace<SlotCalls, FallbackSlotCalls>();
    ExpectStandInsTakeItsPlace<PipeBindingCalls, FallbackPipeBindingCalls>();
}

ULONGLONG Ticks(const FILETIME& time)
{
    return ((ULONGLONG)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

// The fallback counts another process's own threads: a process that has
// barely run has used far less CPU than this one after a busy second.
TEST(Facilities, FallbackProcessTimesAreTheOtherProcesssOwn)
{
    DWORD busyUntil = GetTickCount() + 1000;
    while (GetTickCount() < busyUntil) {
    }
    char command[] = "cmd.exe /c exit";
    STARTUPINFOA startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessA(NULL, command, NULL, NULL, FALSE, CREATE_SUSPENDED, NULL, NULL,
                               &startup, &process));
    FallbackProcessTimeCalls fallback;
    FILETIME creation, exit, kernel, user;
    EXPECT_TRUE(fallback.GetProcessTimes(process.hProcess, process.dwProcessId, &creation, &exit,
                                         &kernel, &user));
    const ULONGLONG kHalfSecond = 5000000;
    EXPECT_LT(Ticks(kernel) + Ticks(user), kHalfSecond);
    EXPECT_NE(0u, Ticks(creation));
    TerminateProcess(process.hProcess, 0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

TEST(Facilities, FallbackSlotIsThisMachinesSlotOfTheName)
{
    std::string name = "vantorel-slot-" + std::to_string(GetCurrentProcessId());
    HANDLE reader =
        CreateMailslotA(("\\\\.\\mailslot\\remote\\" + name).c_str(), 0, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);
    FallbackSlotCalls fallback;
    HANDLE writer = fallback.OpenBroadcastSlot(name.c_str());
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    DWORD written = 0, read = 0;
    EXPECT_TRUE(WriteFile(writer, "hello", 5, &written, NULL));
    char text[8] = "";
    EXPECT_TRUE(ReadFile(reader, text, sizeof text, &read, NULL));
    EXPECT_EQ(std::string("hello"), std::string(text, read));
    CloseHandle(writer);
    CloseHandle(reader);
}

}  // namespace

