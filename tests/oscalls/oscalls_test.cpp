// What each facility decides, real calls against fallback, and stand-ins
// taking the place of the platform's choice.
#include <oscalls/oscalls.h>

#include <gtest/gtest.h>

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
}

}  // namespace
