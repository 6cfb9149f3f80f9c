// Lends remote-procedure threads a database thread object for one call.
// The pool is touched only while gNeoCritical is held.
#ifndef SERVER_THREAD_MEDIATOR_H
#define SERVER_THREAD_MEDIATOR_H

#include <zqdb32/zqdb32.h>

class ThreadMediator {
public:
    // A thread object for the calling thread: the one given back longest
    // ago, or a new one when the pool is empty.
    static CNeoThreadMFC* Take();
    static void GiveBack(CNeoThreadMFC* thread);
    // Deletes every pooled object.
    static void Stop();
    static int PooledCount();
};

// While it lives, its thread holds gNeoCritical and runs as a database
// thread.
class ThreadMediatorGuard {
public:
    ThreadMediatorGuard();
    ~ThreadMediatorGuard();
    ThreadMediatorGuard(const ThreadMediatorGuard&) = delete;
    ThreadMediatorGuard& operator=(const ThreadMediatorGuard&) = delete;

private:
    void Release();

    CNeoThreadMFC* m_thread;
    BOOL m_entered;
    BOOL m_swappedIn;
};

#endif
