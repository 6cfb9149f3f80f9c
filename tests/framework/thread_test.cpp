// CWinThread, AfxBeginThread and CWinApp.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include <vector>

static UINT SetFlag(LPVOID pParam)
{
    *(volatile LONG*)pParam = 1;
    return 42;
}

TEST(CWinThread, BeginThreadSuspendedRunsAfterResume)
{
    volatile LONG lFlag = 0;
    CWinThread* pThread = AfxBeginThread(SetFlag, (LPVOID)&lFlag, THREAD_PRIORITY_BELOW_NORMAL,
                                         0, CREATE_SUSPENDED);
    ASSERT_TRUE(pThread != NULL);
    EXPECT_TRUE(pThread->m_bAutoDelete);
    EXPECT_NE(0u, pThread->m_nThreadID);
    EXPECT_EQ(THREAD_PRIORITY_BELOW_NORMAL, GetThreadPriority(pThread->m_hThread));
    Sleep(50);
    EXPECT_EQ(0, lFlag);

    pThread->m_bAutoDelete = FALSE;  // keep the handle to wait on
    pThread->ResumeThread();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pThread->m_hThread, 5000));
    EXPECT_EQ(1, lFlag);
    DWORD dwExitCode = 0;
    GetExitCodeThread(pThread->m_hThread, &dwExitCode);
    EXPECT_EQ(42u, dwExitCode);
    delete pThread;
}

// Signals an event from its destructor, so a test sees the auto-delete.
class CSignallingThread : public CWinThread
{
public:
    explicit CSignallingThread(HANDLE hDeleted) : m_hDeleted(hDeleted) {}
    ~CSignallingThread() { SetEvent(m_hDeleted); }
    HANDLE m_hDeleted;
};

static UINT ReturnZero(LPVOID)
{
    return 0;
}

TEST(CWinThread, AutoDeletesWhenTheThreadEnds)
{
    HANDLE hDeleted = CreateEventA(NULL, TRUE, FALSE, NULL);

    // Without a thread function, InitInstance fails and the thread ends.
    CSignallingThread* pThread = new CSignallingThread(hDeleted);
    ASSERT_TRUE(pThread->CreateThread());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hDeleted, 5000));

    // An AfxBeginThread worker ends too; its object is deleted with it.
    CWinThread* pWorker = AfxBeginThread(ReturnZero, NULL, THREAD_PRIORITY_NORMAL, 0,
                                         CREATE_SUSPENDED);
    HANDLE hCopy;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), pWorker->m_hThread, GetCurrentProcess(),
                                &hCopy, 0, FALSE, DUPLICATE_SAME_ACCESS));
    pWorker->ResumeThread();
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(hCopy, 5000));
    CloseHandle(hCopy);
    CloseHandle(hDeleted);
}

// Records the idle counts it sees. The first idle round stops at count 1
// with a timer pending; the timer message restarts idling, and the next
// round posts WM_QUIT.
template<class BASE>
class CIdleRecorder : public BASE
{
public:
    BOOL OnIdle(LONG lCount) override
    {
        m_counts.push_back(lCount);
        if (m_nTimer == 0 && lCount == 1)
        {
            m_nTimer = SetTimer(NULL, 0, 30, NULL);
            return FALSE;
        }
        if (m_nTimer != 0)
        {
            KillTimer(NULL, m_nTimer);
            PostQuitMessage(7);
        }
        return TRUE;
    }
    std::vector<LONG> m_counts;
    UINT_PTR m_nTimer = 0;
};

class CIdleThread : public CIdleRecorder<CWinThread>
{
public:
    BOOL InitInstance() override { return TRUE; }
};

TEST(CWinThread, RunsMessageLoopOnItsOwnThread)
{
    CIdleThread* pThread = new CIdleThread;
    pThread->m_bAutoDelete = FALSE;
    ASSERT_TRUE(pThread->CreateThread());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(pThread->m_hThread, 5000));
    DWORD dwExitCode = 0;
    GetExitCodeThread(pThread->m_hThread, &dwExitCode);
    EXPECT_EQ(7u, dwExitCode);
    EXPECT_EQ((std::vector<LONG>{ 0, 1, 0 }), pThread->m_counts);
    delete pThread;
}

typedef CIdleRecorder<CWinApp> CTestApp;

TEST(CWinApp, RegistersItselfAndRunsUntilQuit)
{
    EXPECT_EQ(NULL, AfxGetApp());
    {
        CTestApp app;
        EXPECT_EQ(&app, AfxGetApp());
        EXPECT_EQ(GetModuleHandleA(NULL), AfxGetInstanceHandle());
        EXPECT_STREQ("framework_tests", app.m_pszExeName);
        EXPECT_STREQ("framework_tests", app.m_pszAppName);
        EXPECT_TRUE(app.InitInstance());
        EXPECT_EQ(7, app.Run());
        EXPECT_EQ((std::vector<LONG>{ 0, 1, 0 }), app.m_counts);
    }
    EXPECT_EQ(NULL, AfxGetApp());
}
