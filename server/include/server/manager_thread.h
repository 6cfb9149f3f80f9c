// The thread of a manager that touches no database: it runs until
// its stop event is set, and its stop waits a bounded time.
#ifndef SERVER_MANAGER_THREAD_H
#define SERVER_MANAGER_THREAD_H

#include <windows.h>

class ManagerThread {
public:
    ManagerThread() : m_stopEvent(NULL), m_thread(NULL) {}
    ~ManagerThread() { Stop(0); }
    ManagerThread(const ManagerThread&) = delete;
    ManagerThread& operator=(const ManagerThread&) = delete;

    // Starts `routine(data)` on a new thread; FALSE when it cannot start.
    BOOL Start(LPTHREAD_START_ROUTINE routine, void* data)
    {
        m_stopEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
        m_thread = CreateThread(NULL, 0, routine, data, 0, NULL);
        return m_thread != NULL;
    }
    // For the thread: TRUE once the stop is asked for, waiting at most
    // `milliseconds` for it.
    BOOL WaitForStop(DWORD milliseconds)
    {
        return WaitForSingleObject(m_stopEvent, milliseconds) != WAIT_TIMEOUT;
    }
    // Asks the thread to stop and waits at most `timeout` ms for its end.
    void Stop(DWORD timeout)
    {
        if (!m_thread)
            return;
        SetEvent(m_stopEvent);
        WaitForSingleObject(m_thread, timeout);
        CloseHandle(m_thread);
        CloseHandle(m_stopEvent);
        m_thread = NULL;
        m_stopEvent = NULL;
    }
    BOOL IsRunning() const { return m_thread != NULL; }

private:
    HANDLE m_stopEvent;
    HANDLE m_thread;
};

#endif
