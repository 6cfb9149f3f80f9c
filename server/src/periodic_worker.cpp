#include <server/periodic_worker.h>

PeriodicWorker::PeriodicWorker() : m_stopEvent(NULL), m_thread(NULL), m_period(0) {}

PeriodicWorker::~PeriodicWorker()
{
    Stop();
}

void PeriodicWorker::Start(DWORD period, std::function<void()> pass)
{
    if (m_thread)
        return;
    m_period = period;
    m_pass = std::move(pass);
    m_stopEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    m_thread = new CNeoThreadMFC(NULL, 0, Loop, this, 0, 0);
}

BOOL PeriodicWorker::Stop(DWORD timeout)
{
    if (!m_thread)
        return TRUE;
    SetEvent(m_stopEvent);
    DWORD ended;
    {
        CNeoCriticalRelease release;
        ended = WaitForSingleObject(m_thread->getHandle(), timeout);
    }
    BOOL stopped = ended == WAIT_OBJECT_0;
    if (stopped) {
        delete m_thread;
        CloseHandle(m_stopEvent);
    }
    m_thread = NULL;
    m_stopEvent = NULL;
    return stopped;
}

UINT PeriodicWorker::Loop(void* data)
{
    PeriodicWorker* self = static_cast<PeriodicWorker*>(data);
    do {
        self->m_pass();
        CNeoThreadMFC::FThread()->sleep(self->m_period);
    } while (WaitForSingleObject(self->m_stopEvent, 0) != WAIT_OBJECT_0);
    return 0;
}

void SleepReleased(DWORD milliseconds)
{
    CNeoCriticalRelease release;
    Sleep(milliseconds);
}
