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
    void Commit();

    CNeoDatabase* m_database;
    unsigned long m_dirtyPasses;
    PeriodicWorker m_worker;
};

// Calls `work` on every stored batch of the database, with the batch's
// database in focus; a database failure on one batch is reported and the
// walk goes on.
void ForEachBatch(CNeoDatabase* database, const std::function<void(CPBatch*)>& work);

// Asks for a commit at the end of the current scheduler pass: run starts,
// run ends and status changes are committed at once, so that a crash loses
// no run's record.
void RequestRunStateCommit();

// Writes an error entry of the running service (printed under -debug).
void ReportEngineError(const CString& text);

#endif
