// The step queue: started run instances wait here until an agent accepts
// them. Its worker offers every queued instance to the agents every 250 ms.
#ifndef SERVER_STEP_QUEUE_H
#define SERVER_STEP_QUEUE_H

#include <server/periodic_worker.h>

#include <model/steps.h>

class GenericThreadQueueManager : public CNodeList<CPProcessBase*, CPProcessBase*> {
public:
    GenericThreadQueueManager();
    virtual ~GenericThreadQueueManager();

    // Starts the worker on `database`; returns 1.
    virtual BOOL Start(CNeoDatabase* database);
    // Ends the worker; returns 1.
    virtual BOOL Stop();
    // One pass of the worker with the server database in focus.
    virtual void ProcessLocked();
    // Queues the instance (referenced while queued); returns 1.
    virtual BOOL Add(CPProcessBase* instance);
    // Offers every queued instance to the agents; the accepted ones leave
    // the queue, the others keep their place.
    virtual void Process();

    // Drops the queued instances of a batch, or one instance.
    void RemoveBatch(NeoID batchID);
    void Remove(CPProcessBase* instance);
    BOOL Contains(const CPProcessBase* instance);

private:
    // Takes out (and lets go) every queued instance that `drop` selects.
    template <class Predicate>
    void RemoveIf(Predicate drop);

    CRITICAL_SECTION m_lock;
    CNeoDatabase* m_database;
    PeriodicWorker m_worker;
};

// The server's step queue.
extern GenericThreadQueueManager gStepQueue;

#endif
