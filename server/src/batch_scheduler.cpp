#include <server/batch_scheduler.h>
#include <server/service_shell.h>

#include <model/batch.h>

#include <memory>

namespace {
const DWORD kTickPeriod = 250;
// Every 500th pass that found changes trims the cache.
const unsigned long kPurgeEveryDirtyPasses = 500;
const long kPurgeAmount = 2000;
}  // namespace

void ForEachBatch(CNeoDatabase* database, const std::function<void(CPBatch*)>& work)
{
    CFocusDatabases focus(database, database);
    std::unique_ptr<CNeoIndexIterator> batches(database->getIterator(kClassBatch, NULL));
    for (CNeoPersist* object = batches->first(); object; object = batches->nextObject()) {
        CNeoRef<CPBatch> batch(static_cast<CPBatch*>(object));
        try {
            work(batch.get());
        } catch (CNeoException* e) {
            CString text;
            text.Format("The batch %s could not be run: %s", (LPCTSTR)batch->GetName(),
                        (LPCTSTR)e->getText());
            e->Delete();
            ReportEngineError(text);
        }
    }
}

void CommitChanges(CNeoDatabase* database)
{
    if (!database->isDirty())
        return;
    try {
        database->commit(FALSE, TRUE, NULL);
    } catch (CNeoException* e) {
        CString text;
        text.Format("The database could not be saved: %s", (LPCTSTR)e->getText());
        e->Delete();
        ReportEngineError(text);
    }
}

void ReportEngineError(const CString& text)
{
    if (ServiceShell::Instance())
        ServiceShell::Instance()->WriteEventLog(EVENTLOG_ERROR_TYPE, text);
}

BatchScheduler::BatchScheduler(CNeoDatabase* database) : m_database(database), m_dirtyPasses(0) {}

void BatchScheduler::Start(CNeoDatabase* database)
{
    m_database = database;
    m_worker.Start(kTickPeriod, [this] { Pass(); });
}

void BatchScheduler::Stop()
{
    if (!m_worker.IsRunning())
        return;
    SleepReleased(1000);
    m_worker.Stop();
    ForEachBatch(m_database, [](CPBatch* batch) { batch->ShutDownRun(); });
    CommitChanges(m_database);
}

void BatchScheduler::Pass()
{
    CFocusDatabases focus(m_database, m_database);
    if (m_database->isDirty() && ++m_dirtyPasses % kPurgeEveryDirtyPasses == 0)
        m_database->purge(kPurgeAmount);
    ForEachBatch(m_database, [](CPBatch* batch) { batch->RunTick(); });
    // What the pass changed, and what the queue and the result worker changed
    // since, is on disk before the next pass: a crash loses no run's record.
    CommitChanges(m_database);
}
