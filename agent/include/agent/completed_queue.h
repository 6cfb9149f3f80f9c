// CompletedQueueManager: finished steps waiting to go back to their servers.
// Once a second its worker returns each queued step, the most recently
// finished first, through its host's ServerLink; a step leaves the queue only
// when its server has stored it, and then leaves the process list.
//
// Lock rule: the queue lock guards the list only and is never held across a
// remote call; a pass walks a snapshot of the list and calls servers with
// gNeoCritical released.
#ifndef AGENT_COMPLETED_QUEUE_H
#define AGENT_COMPLETED_QUEUE_H

#include <model/object_stream.h>
#include <model/steps.h>
#include <server/periodic_worker.h>

#include <list>

class CompletedQueueManager
{
public:
    CompletedQueueManager();
    ~CompletedQueueManager();
    CompletedQueueManager(const CompletedQueueManager&) = delete;
    CompletedQueueManager& operator=(const CompletedQueueManager&) = delete;

    // Starts the worker; returns 1.
    BOOL Start();
    // Puts a finished step at the head of the queue (keeping a reference).
    void Add(CPProcessBase* step);
    // Takes a step out of the queue; nothing when it is not queued.
    void Remove(CPProcessBase* step);
    int Count();
    // One pass over the queue (the worker's; tests call it directly).
    void ReturnCompleted();
    // Stops the worker (bounded wait) and lets every queued step go.
    void Stop();

    static constexpr DWORD kPeriod = 1000;
    static constexpr DWORD kStopWait = 2000;

private:
    // Sends one step to its server: 0 when the server stored it.
    long ReturnStep(CPProcessBase* step);

    std::list<CPProcessBase*> m_queue;  // referenced
    CRITICAL_SECTION m_lock;
    PeriodicWorker m_worker;
    CNeoMemLocation m_location;
    CNeoDatabase m_database;
};

// The agent's one CompletedQueueManager while it runs (NULL before and after).
extern CompletedQueueManager* gCompletedQueue;

#endif
