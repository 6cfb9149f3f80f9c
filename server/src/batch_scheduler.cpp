#include <server/batch_scheduler.h>
#include <server/service_shell.h>

#include <model/batch.h>

#include <memory>

namespace {
const DWORD kTickPeriod = 250;
// Without run-state commits, the scheduler commits every 500th pass in
// which the database had changes, and then trims the cache.
const unsigned long kCommitEveryDirtyPasses = 500;
const long kPurgeAmount = 2000;

volatile LONG gCommitRequested = 0;
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

void RequestRunStateCommit()
{
    InterlockedExchange(&gCommitRequested, 1);
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
    InterlockedExchange(&gCommitRequested, 0);
    Commit();
}

void BatchScheduler::Pass()
{
    CFocusDatabases focus(m_database, m_database);
    if (m_database->isDirty() && ++m_dirtyPasses % kCommitEveryDirtyPasses == 0) {
        Commit();
        m_database->purge(kPurgeAmount);
    }
    ForEachBatch(m_database, [](CPBatch* batch) { batch->RunTick(); });
    if (InterlockedExchange(&gCommitRequested, 0))
        Commit();
}

void BatchScheduler::Commit()
{
    try {
        m_database->commit(FALSE, TRUE, NULL);
    } catch (CNeoException* e) {
        CString text;
        text.Format("The database could not be saved: %s", (LPCTSTR)e->getText());
        e->Delete();
        ReportEngineError(text);
    }
}
