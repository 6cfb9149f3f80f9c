// The pool of database thread objects lent to remote-procedure threads.
#include <server/object_access.h>
#include <server/thread_mediator.h>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

TEST(ThreadMediator, PoolLendsTheObjectGivenBackLongestAgo)
{
    ThreadMediator::Stop();
    CNeoLock lock;
    CNeoThreadMFC* first = ThreadMediator::Take();
    CNeoThreadMFC* second = ThreadMediator::Take();
    EXPECT_NE(first, second);
    ThreadMediator::GiveBack(first);
    ThreadMediator::GiveBack(second);
    EXPECT_EQ(ThreadMediator::Take(), first);
    EXPECT_EQ(ThreadMediator::Take(), second);
    ThreadMediator::GiveBack(first);
    ThreadMediator::GiveBack(second);
    testing::internal::CaptureStdout();
    ThreadMediator::Stop();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Stopping thread mediator......stopped.\n");
    EXPECT_EQ(ThreadMediator::PooledCount(), 0);
}

TEST(ThreadMediator, GuardHoldsTheLockAndGivesBackOnEveryWayOut)
{
    ThreadMediator::Stop();
    CNeoThreadMFC* before = CNeoThreadMFC::FThread();
    {
        ThreadMediatorGuard guard;
        EXPECT_TRUE(gNeoCritical.isHeldByMe());
        EXPECT_NE(CNeoThreadMFC::FThread(), nullptr);
        EXPECT_NE(CNeoThreadMFC::FThread(), before);
    }
    EXPECT_FALSE(gNeoCritical.isHeldByMe());
    EXPECT_EQ(CNeoThreadMFC::FThread(), before);
    EXPECT_EQ(ThreadMediator::PooledCount(), 1);

    try {
        ThreadMediatorGuard guard;
        throw (long)kStatusNotFound;
    } catch (long code) {
        EXPECT_EQ(code, (long)kStatusNotFound);
    }
    EXPECT_FALSE(gNeoCritical.isHeldByMe());
    EXPECT_EQ(ThreadMediator::PooledCount(), 1);
}

TEST(ThreadMediator, OverlappingCallsRunOneAfterTheOtherOnOneObject)
{
    ThreadMediator::Stop();
    std::atomic<int> inside(0), most(0);
    CNeoThreadMFC* lent[2] = {};
    auto call = [&](int index) {
        ThreadMediatorGuard guard;
        lent[index] = CNeoThreadMFC::FThread();
        int now = ++inside;
        if (now > most)
            most = now;
        Sleep(100);
        --inside;
    };
    std::thread a(call, 0);
    Sleep(20);
    std::thread b(call, 1);
    a.join();
    b.join();
    EXPECT_EQ(most.load(), 1);
    EXPECT_EQ(lent[0], lent[1]);
    EXPECT_EQ(ThreadMediator::PooledCount(), 1);
}

}  // namespace
