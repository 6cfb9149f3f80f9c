// The library's lock, the focus databases and database threads.
#include <zqdb32/zqdb32.h>

CNeoCritical gNeoCritical;
CNeoDatabase* gNeoDatabase = NULL;
CNeoDatabase* gNeoTargetDatabase = NULL;

void CNeoCritical::setUp()
{
    if (InterlockedCompareExchange(&fState, 1, 0) == 0) {
        InitializeCriticalSection(&fSection);
        InterlockedExchange(&fState, 2);
        return;
    }
    while (InterlockedCompareExchange(&fState, 2, 2) != 2)
        Sleep(0);
}

// The section is entered once by its outermost holder; nested holds only
// count. Only the holder finds its own ID in fOwner.
void CNeoCritical::enter()
{
    DWORD me = GetCurrentThreadId();
    if (fOwner == me) {
        ++fDepth;
        return;
    }
    if (InterlockedCompareExchange(&fState, 2, 2) != 2)
        setUp();
    EnterCriticalSection(&fSection);
    fOwner = me;
    fDepth = 1;
}

void CNeoCritical::leave()
{
    if (--fDepth > 0)
        return;
    fOwner = 0;
    LeaveCriticalSection(&fSection);
}

BOOL CNeoCritical::isHeldByMe() const
{
    return fOwner == GetCurrentThreadId();
}

int CNeoCritical::releaseAll()
{
    if (!isHeldByMe())
        return 0;
    int depth = fDepth;
    for (int i = 0; i < depth; ++i)
        leave();
    return depth;
}

void CNeoCritical::reacquire(int depth)
{
    for (int i = 0; i < depth; ++i)
        enter();
}

CNeoCriticalRelease::CNeoCriticalRelease()
    : fDepth(0), fDatabase(gNeoDatabase), fTarget(gNeoTargetDatabase)
{
    fDepth = gNeoCritical.releaseAll();
}

CNeoCriticalRelease::~CNeoCriticalRelease()
{
    gNeoCritical.reacquire(fDepth);
    // Only a thread that held the lock owns the focus; others leave it alone.
    if (fDepth > 0) {
        gNeoDatabase = fDatabase;
        gNeoTargetDatabase = fTarget;
    }
}

// ---------------------------------------------------------------------------
// The calling thread's database thread object lives in Win32 thread-local
// storage.
static DWORD CurrentThreadSlot()
{
    static DWORD slot = TlsAlloc();
    return slot;
}

CNeoThreadMFC::CNeoThreadMFC(HANDLE thread, DWORD threadID, NeoThreadProc routine, void* data,
                             long, long)
    : fThread(thread), fThreadID(threadID), fOwnsHandle(FALSE), fRoutine(routine), fData(data),
      fPrevious(NULL)
{
    CurrentThreadSlot();
    if (routine) {
        fThread = CreateThread(NULL, 0, Start, this, 0, &fThreadID);
        if (!fThread)
            CNeoException::Failure(GetLastError(), "The database thread could not be created");
        fOwnsHandle = TRUE;
    }
}

CNeoThreadMFC::~CNeoThreadMFC()
{
    if (fOwnsHandle && fThread)
        CloseHandle(fThread);
}

DWORD WINAPI CNeoThreadMFC::Start(void* self)
{
    CNeoThreadMFC* thread = static_cast<CNeoThreadMFC*>(self);
    TlsSetValue(CurrentThreadSlot(), thread);
    gNeoCritical.enter();
    UINT result = thread->fRoutine(thread->fData);
    gNeoCritical.releaseAll();
    TlsSetValue(CurrentThreadSlot(), NULL);
    return result;
}

CNeoThreadMFC* CNeoThreadMFC::FThread()
{
    return static_cast<CNeoThreadMFC*>(TlsGetValue(CurrentThreadSlot()));
}

void CNeoThreadMFC::handleSwapIn()
{
    fPrevious = FThread();
    TlsSetValue(CurrentThreadSlot(), this);
}

void CNeoThreadMFC::handleSwapOut()
{
    TlsSetValue(CurrentThreadSlot(), fPrevious);
    fPrevious = NULL;
}

void CNeoThreadMFC::RecycleInit(HANDLE thread, DWORD threadID, long)
{
    fThread = thread;
    fThreadID = threadID;
    fPrevious = NULL;
}

void CNeoThreadMFC::sleep(DWORD milliseconds)
{
    CNeoCriticalRelease release;
    Sleep(milliseconds);
}

void CNeoThreadMFC::yield()
{
    CNeoCriticalRelease release;
    SwitchToThread();
}
