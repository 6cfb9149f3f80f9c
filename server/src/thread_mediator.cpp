#include <server/thread_mediator.h>

#include <stdio.h>

namespace {
// Taken from the front, given back at the end: first in, first out.
CPtrArray gPool;
}  // namespace

CNeoThreadMFC* ThreadMediator::Take()
{
    if (gPool.GetSize() > 0) {
        CNeoThreadMFC* thread = static_cast<CNeoThreadMFC*>(gPool.GetAt(0));
        gPool.RemoveAt(0);
        thread->RecycleInit(GetCurrentThread(), GetCurrentThreadId(), 0);
        return thread;
    }
    return new CNeoThreadMFC(GetCurrentThread(), GetCurrentThreadId(), NULL, NULL, 0, 0);
}

void ThreadMediator::GiveBack(CNeoThreadMFC* thread)
{
    gPool.Add(thread);
}

void ThreadMediator::Stop()
{
    printf("Stopping thread mediator......");
    for (int i = 0; i < gPool.GetSize(); ++i)
        delete static_cast<CNeoThreadMFC*>(gPool.GetAt(i));
    gPool.RemoveAll();
    printf("stopped.\n");
    fflush(stdout);
}

int ThreadMediator::PooledCount()
{
    return (int)gPool.GetSize();
}

ThreadMediatorGuard::ThreadMediatorGuard() : m_thread(NULL), m_entered(FALSE), m_swappedIn(FALSE)
{
    try {
        gNeoCritical.enter();
        m_entered = TRUE;
        m_thread = ThreadMediator::Take();
        m_thread->handleSwapIn();
        m_swappedIn = TRUE;
    } catch (CException*) {
        Release();
        throw;
    }
}

ThreadMediatorGuard::~ThreadMediatorGuard()
{
    Release();
}

// Swap out, give back, leave: always in this order.
void ThreadMediatorGuard::Release()
{
    if (m_swappedIn)
        m_thread->handleSwapOut();
    if (m_thread)
        ThreadMediator::GiveBack(m_thread);
    if (m_entered)
        gNeoCritical.leave();
    m_thread = NULL;
    m_entered = FALSE;
    m_swappedIn = FALSE;
}
