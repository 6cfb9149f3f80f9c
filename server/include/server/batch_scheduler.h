// The batch scheduler: one database thread that gives every stored batch a
// tick of its run state machine every 250 ms.
#ifndef SERVER_BATCH_SCHEDULER_H
#define SERVER_BATCH_SCHEDULER_H

#include <server/periodic_worker.h>

#include <functional>

class CPBatch;

class BatchScheduler {
public:
    explicit BatchScheduler(CNeoDatabase* database = NULL);

    // Starts the scheduler thread on `database`.
    void Start(CNeoDatabase* database);
    // Ends the thread, shuts down the run of every batch and commits.
    void Stop();
    // One pass over every batch (the thread's work).
    void Pass();

private:
    CNeoDatabase* m_database;
    unsigned long m_dirtyPasses;
    PeriodicWorker m_worker;
};

// Calls `work` on every stored batch of the database, with the batch's
// database in focus; a database failure on one batch is reported and the
// walk goes on.
void ForEachBatch(CNeoDatabase* database, const std::function<void(CPBatch*)>& work);

// Commits the database when it has changes; a failure is reported, not
// thrown, so that it ends no worker.
void CommitChanges(CNeoDatabase* database);

// Writes an error entry of the running service (printed under -debug).
void ReportEngineError(const CString& text);

#endif
