// Structured exceptions inside a guard become statuses.
#include <seguard/seguard.h>

#include <gtest/gtest.h>

#include "statuses.h"

#include <stdexcept>

namespace {

volatile int* volatile nowhere = nullptr;

// A code of the range applications raise their own errors in.
const DWORD kOtherLibraryCode = 0xE0001234;

TEST(StructuredExceptionGuard, FaultsAndRaisedCodesBecomeStatuses)
{
    struct Case {
        const char* what;
        void (*body)();
        DWORD expected;
    } cases[] = {
        {"nothing raised", [] {}, kNothingRaised},
        {"access violation", [] { *nowhere = 1; }, EXCEPTION_ACCESS_VIOLATION},
        {"server unavailable", [] { RaiseException(RPC_S_SERVER_UNAVAILABLE, 0, 0, NULL); },
         RPC_S_SERVER_UNAVAILABLE},
        {"call failed",
         [] { RaiseException(RPC_S_CALL_FAILED, EXCEPTION_NONCONTINUABLE, 0, NULL); },
         RPC_S_CALL_FAILED},
        {"error raised by another library", [] { RaiseException(kOtherLibraryCode, 0, 0, NULL); },
         kOtherLibraryCode},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Guarded(c.body), c.expected) << c.what;
    // The thread is still usable after every fault.
    int value = 0;
    EXPECT_EQ(Guarded([&] { value = 7; }), kNothingRaised);
    EXPECT_EQ(value, 7);
}

TEST(StructuredExceptionGuard, InnermostGuardCatchesAndOuterGoesOn)
{
    DWORD inner = 0;
    bool after = false;
    DWORD outer = Guarded([&] {
        inner = Guarded([] { RaiseException(ERROR_INVALID_HANDLE, 0, 0, NULL); });
        after = true;
    });
    EXPECT_EQ(inner, (DWORD)ERROR_INVALID_HANDLE);
    EXPECT_TRUE(after);
    EXPECT_EQ(outer, kNothingRaised);
    // With the inner guard gone, a fault reaches the outer one.
    EXPECT_EQ(Guarded([] { Guarded([] {}); *nowhere = 2; }), (DWORD)EXCEPTION_ACCESS_VIOLATION);
}

TEST(StructuredExceptionGuard, CppExceptionsPassThrough)
{
    EXPECT_THROW(Guarded([] { throw std::runtime_error("passes"); }), std::runtime_error);
    // The guard frame was left: a later fault outside a guard is not ours,
    // and a new guard still works.
    EXPECT_EQ(Guarded([] { RaiseException(RPC_S_SERVER_UNAVAILABLE, 0, 0, NULL); }),
              (DWORD)RPC_S_SERVER_UNAVAILABLE);
}

DWORD WINAPI FaultInAGuard(void* code)
{
    *static_cast<DWORD*>(code) = Guarded([] { *nowhere = 3; });
    return 0;
}

TEST(StructuredExceptionGuard, EachThreadHasItsOwnGuards)
{
    DWORD code = 0;
    HANDLE thread = CreateThread(NULL, 0, FaultInAGuard, &code, 0, NULL);
    ASSERT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(code, (DWORD)EXCEPTION_ACCESS_VIOLATION);
}

}  // namespace
