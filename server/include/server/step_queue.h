// The step queue: started run instances wait here until an agent accepts
// them. Its worker offers every queued instance to the agents every 250 ms.
#ifndef SERVER_STEP_QUEUE_H
#define SERVER_STEP_QUEUE_H

#include <server/periodic_worker.h>

#include <model/steps.h>

#include <vector>

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
    // Sends the waiting cancels, then offers every queued instance to the
    // agents; the accepted ones leave the queue, the others keep their place.
    virtual void Process();

    // Asks the agent to cancel a step it runs; the worker sends it at its
    // next pass (or the stop, before it ends), so that no other thread calls
    // agents.
    void AddCancel(NeoID agentID, long handle);

    // Drops the queued instances of a batch, or one instance.
    void RemoveBatch(NeoID batchID);
    void Remove(CPProcessBase* instance);
    BOOL Contains(const CPProcessBase* instance);

private:
    // Takes out (and lets go) every queued instance that `drop` selects.
    template <class Predicate>
    void RemoveIf(Predicate drop);

    // Sends the cancels waiting now, to the agents of the focus database.
    void SendCancels();

    struct Cancel {
        NeoID agentID;
        long handle;
    };
    std::vector<Cancel> m_cancels;
    CRITICAL_SECTION m_lock;
    CNeoDatabase* m_database;
    PeriodicWorker m_worker;
};

// The server's step queue.
extern GenericThreadQueueManager gStepQueue;

#endif
