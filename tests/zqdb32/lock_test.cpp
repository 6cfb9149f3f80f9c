// gNeoCritical, CNeoCriticalRelease and database threads.
#include <zqdb32/zqdb32.h>

#include <gtest/gtest.h>

namespace {

// Another thread that takes gNeoCritical once, optionally changes the focus
// databases, and leaves.
class LockTaker {
public:
    explicit LockTaker(CNeoDatabase* focus = NULL) : fFocus(focus)
    {
        fThread = CreateThread(NULL, 0, Run, this, 0, NULL);
    }
    ~LockTaker()
    {
        WaitForSingleObject(fThread, INFINITE);
        CloseHandle(fThread);
    }
    // Whether it got the lock (and is done) within the time.
    bool gotIn(DWORD milliseconds) { return WaitForSingleObject(fThread, milliseconds) == WAIT_OBJECT_0; }

private:
    static DWORD WINAPI Run(void* self)
    {
        LockTaker* taker = static_cast<LockTaker*>(self);
        CNeoLock lock;
        if (taker->fFocus)
            gNeoDatabase = gNeoTargetDatabase = taker->fFocus;
        return 0;
    }
    CNeoDatabase* fFocus;
    HANDLE fThread;
};

}  // namespace

TEST(zqdb32Lock, RecursiveEntriesHoldUntilTheLastLeave)
{
    gNeoCritical.enter();
    gNeoCritical.enter();
    gNeoCritical.enter();
    EXPECT_TRUE(gNeoCritical.isHeldByMe());
    LockTaker other;
    EXPECT_FALSE(other.gotIn(100));
    gNeoCritical.leave();
    gNeoCritical.leave();
    EXPECT_TRUE(gNeoCritical.isHeldByMe());
    EXPECT_FALSE(other.gotIn(100));
    gNeoCritical.leave();
    EXPECT_FALSE(gNeoCritical.isHeldByMe());
    EXPECT_TRUE(other.gotIn(5000));
}

TEST(zqdb32Lock, CriticalReleaseLetsOthersInAndRestoresTheFocus)
{
    CNeoDatabase source, target, elsewhere;
    gNeoCritical.enter();
    gNeoCritical.enter();
    gNeoDatabase = &source;
    gNeoTargetDatabase = &target;
    {
        CNeoCriticalRelease release;
        EXPECT_FALSE(gNeoCritical.isHeldByMe());
        LockTaker other(&elsewhere);
        EXPECT_TRUE(other.gotIn(5000));
        EXPECT_EQ(gNeoDatabase, &elsewhere);
    }
    EXPECT_EQ(gNeoDatabase, &source);
    EXPECT_EQ(gNeoTargetDatabase, &target);
    // Both levels are held again.
    LockTaker blocked;
    EXPECT_FALSE(blocked.gotIn(100));
    gNeoCritical.leave();
    EXPECT_TRUE(gNeoCritical.isHeldByMe());
    EXPECT_FALSE(blocked.gotIn(100));
    gNeoCritical.leave();
    EXPECT_TRUE(blocked.gotIn(5000));
    gNeoDatabase = gNeoTargetDatabase = NULL;

    // A thread that does not hold the lock releases nothing.
    {
        CNeoCriticalRelease release;
        EXPECT_FALSE(gNeoCritical.isHeldByMe());
    }
    EXPECT_FALSE(gNeoCritical.isHeldByMe());
}

namespace {

struct SleeperState {
    HANDLE started;
    volatile LONG phase;  // 1 while it sleeps, 2 once it woke up
    BOOL heldWhenStarted;
    CNeoThreadMFC* self;
};

UINT Sleeper(void* data)
{
    SleeperState* state = static_cast<SleeperState*>(data);
    state->heldWhenStarted = gNeoCritical.isHeldByMe();
    state->self = CNeoThreadMFC::FThread();
    SetEvent(state->started);
    Sleep(200);  // busy: the lock stays held
    state->phase = 1;
    state->self->sleep(300);
    state->phase = 2;
    return 7;
}

}  // namespace

TEST(zqdb32Lock, DatabaseThreadLetsOthersInOnlyWhileItSleeps)
{
    SleeperState state = {CreateEvent(NULL, TRUE, FALSE, NULL), 0, FALSE, NULL};
    CNeoThreadMFC thread(NULL, 0, Sleeper, &state, 0, 0);
    ASSERT_NE(thread.getHandle(), (HANDLE)NULL);
    ASSERT_EQ(WaitForSingleObject(state.started, 5000), WAIT_OBJECT_0);
    {
        CNeoLock lock;
        EXPECT_EQ(state.phase, 1);
    }
    ASSERT_EQ(WaitForSingleObject(thread.getHandle(), 5000), WAIT_OBJECT_0);
    DWORD result = 0;
    GetExitCodeThread(thread.getHandle(), &result);
    EXPECT_EQ(result, 7u);
    EXPECT_EQ(state.phase, 2);
    EXPECT_TRUE(state.heldWhenStarted);
    EXPECT_EQ(state.self, &thread);
    EXPECT_FALSE(gNeoCritical.isHeldByMe());
    CloseHandle(state.started);
}

TEST(zqdb32Lock, BorrowedThreadObjectIsTheCurrentOneWhileSwappedIn)
{
    EXPECT_EQ(CNeoThreadMFC::FThread(), nullptr);
    CNeoThreadMFC borrowed(GetCurrentThread(), GetCurrentThreadId(), NULL, NULL, 0, 0);
    EXPECT_EQ(borrowed.getHandle(), (HANDLE)NULL);
    borrowed.handleSwapIn();
    EXPECT_EQ(CNeoThreadMFC::FThread(), &borrowed);
    borrowed.handleSwapOut();
    EXPECT_EQ(CNeoThreadMFC::FThread(), nullptr);
}
