// The thread of a server manager: a database thread that runs one pass of
// the manager's work, sleeps for its period with the database lock released,
// and ends when its stop event is set.
#ifndef SERVER_PERIODIC_WORKER_H
#define SERVER_PERIODIC_WORKER_H

#include <zqdb32/zqdb32.h>

#include <functional>

class PeriodicWorker {
public:
    PeriodicWorker();
    ~PeriodicWorker();
    PeriodicWorker(const PeriodicWorker&) = delete;
    PeriodicWorker& operator=(const PeriodicWorker&) = delete;

    // Starts the thread; each pass runs while holding the database lock.
    void Start(DWORD period, std::function<void()> pass);
    // Sets the stop event and waits, with the database lock released, for
    // the thread to finish its pass and end; FALSE when it did not end
    // within `timeout` ms (its thread object is then left to it).
    BOOL Stop(DWORD timeout = INFINITE);
    BOOL IsRunning() const { return m_thread != NULL; }

private:
    static UINT Loop(void* self);

    HANDLE m_stopEvent;
    CNeoThreadMFC* m_thread;
    DWORD m_period;
    std::function<void()> m_pass;
};

// Sleeps with the database lock released, on a database thread or not.
void SleepReleased(DWORD milliseconds);

#endif
