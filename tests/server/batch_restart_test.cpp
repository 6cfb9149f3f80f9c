// zqserver running a batch as a process, watched through ServerInterface:
// directory triggers start its runs, a server killed in the middle of a run
// comes back with that run ended and its triggers armed again, and a
// console's pause and stop act on a running batch.
#include "model_test_util.h"
#include "rpc_reply.h"
#include "status_names.h"
#include "statuses.h"
#include "watched_folder.h"
#include "zqserver_copy.h"

#include <model/batch.h>
#include <model/run_log.h>
#include <model/steps.h>
#include <model/triggers.h>

#include <seguard/seguard.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

namespace {

// How long the server gets for each step it is waited for.
const DWORD kWaitMs = 30000;

struct BatchState {
    long status;
    long phase;
    long runNumber;
};

std::ostream& operator<<(std::ostream& out, const BatchState& state)
{
    return out << "batch status " << BatchStatusName(state.status) << ", phase "
               << RunPhaseName(state.phase) << ", run " << state.runNumber;
}

bool Armed(const BatchState& state)
{
    return state.status == kBatchQueued && state.phase == kPhaseArmed;
}

// Run `run` has ended and the batch is queued for the next.
std::function<bool(const BatchState&)> Ended(long run)
{
    return [run](const BatchState& state) {
        return state.runNumber == run && state.status == kBatchQueued;
    };
}

// Run `run` has started its step, which waits for an agent for ever.
std::function<bool(const BatchState&)> MidRun(long run)
{
    return [run](const BatchState& state) {
        return state.runNumber == run && state.status == kBatchExecuting &&
               state.phase == kPhaseMonitoring;
    };
}

// The server's database holds one Queued batch with two directory triggers.
// A new file in folder A starts a run without steps, which ends by itself.
// A new file in folder B starts a run of one step that no agent takes (this
// server reaches none), so that run stays in its monitoring phase.
class ZqserverBatchRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.copied);
        RegisterModelKeys(kServerProgram);
        std::unique_ptr<CNeoDatabase> database = m_server.OpenDatabase(TRUE);
        CNeoRef<CPBatch> batch(static_cast<CPBatch*>(CPBatch::Create()));
        batch->SetName("watcher");
        batch->SetStatusValue(kBatchQueued);
        batch->SetSavedStatus(kBatchQueued);
        database->addObject(batch.get());
        m_batchID = batch->getID();
        AddUnderBatch(database.get(), Trigger(m_folderA));
        NeoID triggerB = AddUnderBatch(database.get(), Trigger(m_folderB));
        CPProcessExe* step = static_cast<CPProcessExe*>(CPProcessExe::Create());
        step->SetName("step");
        NeoID stepID = AddUnderBatch(database.get(), step);
        CPBatchLink* link = static_cast<CPBatchLink*>(CPBatchLink::Create());
        link->SetSourceID(triggerB);
        link->SetTargetID(stepID);
        AddUnderBatch(database.get(), link);
        database->commit();
        database->close();
    }

    void TearDown() override
    {
        Disconnect();
        if (m_database)
            m_database->close();
    }

    static CPTriggerDirNotify* Trigger(const WatchedFolder& folder)
    {
        CPTriggerDirNotify* trigger =
            static_cast<CPTriggerDirNotify*>(CPTriggerDirNotify::Create());
        trigger->SetName(folder.path.c_str());
        trigger->SetDirectory(folder.path.c_str());
        trigger->SetWatchSubtree(FALSE);
        trigger->SetChangeFilter(FILE_NOTIFY_CHANGE_FILE_NAME);
        return trigger;
    }

    // Stores a new object under the batch and drops the creator's reference;
    // the object's ID.
    NeoID AddUnderBatch(CNeoDatabase* database, CPPersistBase* object)
    {
        CNeoRef<CPPersistBase> created(object);
        object->SetParentID(m_batchID);
        database->addObject(object);
        return object->getID();
    }

    // Binds to the server's pipe and opens a session, retrying while the
    // server starts to listen.
    bool Connect()
    {
        if (BindServerInterface("") != RPC_S_OK)
            return false;
        RpcBlob empty = {0, NULL};
        for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(100)) {
            LONG status = -1;
            if (Guarded([&] { OpenSession(&m_context, &empty, &status); }) == kNothingRaised &&
                status == kStatusDone)
                return true;
        }
        return false;
    }

    // Ends the session and the binding. The session of a killed server is
    // only let go in this process: after a call that failed on the dead
    // pipe, every later call to the pipe from this process failed (1727),
    // even to a new server.
    void Disconnect(bool serverKilled = false)
    {
        if (m_context && serverKilled)
            RpcSsDestroyClientContext(&m_context);
        else if (m_context)
            Guarded([&] { CloseSession(&m_context); });
        m_context = NULL;
        UnbindServerInterface();
    }

    // The batch as GetObjectByID sends it; all -1 when it does not arrive.
    BatchState Read()
    {
        m_last = {-1, -1, -1};
        Reply reply;
        LONG status = -1;
        DWORD fault =
            Guarded([&] { GetObjectByID(m_context, kClassBatch, m_batchID, &reply, &status); });
        if (fault != kNothingRaised || status != kStatusDone)
            return m_last;
        InMemoryDatabase image;
        image.Load(reply.Bytes());
        CNeoRef<CPBatch> batch(
            static_cast<CPBatch*>(CPPersistBase::FindByID(image.get(), kClassBatch, m_batchID)));
        if (batch)
            m_last = {batch->GetStatus(), batch->GetPhase(), (long)batch->GetRunNumber()};
        return m_last;
    }

    // Reads the batch until `done` holds (every 100 ms, at most kWaitMs).
    bool WaitFor(const std::function<bool(const BatchState&)>& done)
    {
        for (DWORD start = GetTickCount(); GetTickCount() - start < kWaitMs; Sleep(100))
            if (done(Read()))
                return true;
        return false;
    }

    LONG SetStatus(long batchStatus)
    {
        LONG status = -1;
        EXPECT_EQ(kNothingRaised,
                  Guarded([&] { SetBatchStatus(m_context, m_batchID, batchStatus, &status); }));
        return status;
    }

    // Starts the server and waits until the batch is armed.
    void StartArmed()
    {
        ASSERT_TRUE(m_server.StartDebug());
        ASSERT_TRUE(Connect());
        ASSERT_TRUE(WaitFor(Armed)) << m_last;
    }

    // Run 1 ends by itself, run 2 is started; the server is killed in the
    // middle of run 2, started again and connected to.
    void KillInTheMiddleOfRunTwo()
    {
        ASSERT_NO_FATAL_FAILURE(StartArmed());
        ASSERT_TRUE(m_folderA.AddFile());
        ASSERT_TRUE(WaitFor(Ended(1))) << m_last;
        ASSERT_TRUE(WaitFor(Armed)) << m_last;
        ASSERT_TRUE(m_folderB.AddFile());
        ASSERT_TRUE(WaitFor(MidRun(2))) << m_last;
        m_server.Kill();
        Disconnect(true);
        ASSERT_TRUE(m_server.StartDebug());
        ASSERT_TRUE(Connect());
    }

    // After the restart, run 3 ends by itself; the server is stopped and its
    // database opened in this process.
    void RunThreeAfterTheRestartAndStop()
    {
        ASSERT_NO_FATAL_FAILURE(KillInTheMiddleOfRunTwo());
        ASSERT_TRUE(WaitFor(Armed)) << m_last;
        ASSERT_TRUE(m_folderA.AddFile());
        ASSERT_TRUE(WaitFor(Ended(3))) << m_last;
        Disconnect();
        std::string output;
        ASSERT_EQ(EXIT_SUCCESS, m_server.StopDebug(output)) << output;
        m_database = m_server.OpenDatabase();
        ASSERT_TRUE(m_database);
    }

    // Declared before the server, so that the server ends before they go.
    WatchedFolder m_folderA{"watched-a"};
    WatchedFolder m_folderB{"watched-b"};
    ZqserverCopy m_server;
    NeoID m_batchID = 0;
    ServerInterfaceContext m_context = NULL;
    BatchState m_last = {-1, -1, -1};
    std::unique_ptr<CNeoDatabase> m_database;  // closed by TearDown
};

TEST_F(ZqserverBatchRun, ATriggeredRunEndsAndTheBatchIsArmedAgain)
{
    ASSERT_NO_FATAL_FAILURE(StartArmed());
    ASSERT_TRUE(m_folderA.AddFile());
    ASSERT_TRUE(WaitFor(Ended(1))) << m_last;
    EXPECT_LE(m_last.phase, kPhaseArmed) << m_last;
    ASSERT_TRUE(WaitFor(Armed)) << m_last;
}

TEST_F(ZqserverBatchRun, AKilledServerRestartsWithTheInterruptedRunEndedAndTheBatchArmed)
{
    ASSERT_NO_FATAL_FAILURE(KillInTheMiddleOfRunTwo());
    BatchState restarted = Read();
    EXPECT_EQ(kBatchQueued, restarted.status) << restarted;
    EXPECT_EQ(2, restarted.runNumber) << restarted;
    ASSERT_TRUE(WaitFor(Armed)) << m_last;
}

TEST_F(ZqserverBatchRun, RunsGoOnAfterTheRestartAndTheStopKeepsTheBatchQueued)
{
    ASSERT_NO_FATAL_FAILURE(RunThreeAfterTheRestartAndStop());
    CNeoRef<CPBatch> batch(static_cast<CPBatch*>(
        CPPersistBase::FindByID(m_database.get(), kClassBatch, m_batchID)));
    ASSERT_TRUE(batch);
    EXPECT_EQ(BatchStatusName(kBatchQueued), BatchStatusName(batch->GetStatus()));
    EXPECT_EQ(3, (long)batch->GetRunNumber());
}

TEST_F(ZqserverBatchRun, EachRunLogEndsBeforeTheNextRunStartsAndNamesItsTriggerFolder)
{
    ASSERT_NO_FATAL_FAILURE(RunThreeAfterTheRestartAndStop());
    CNeoFoundObjects connectors, logs;
    FindChildren(m_database.get(), kClassBatchLogConnector, m_batchID, TRUE, &connectors);
    ASSERT_EQ(1, connectors.GetSize());
    FindChildren(m_database.get(), kClassBatchLog, connectors.at<CPPersistBase>(0)->getID(), TRUE,
                 &logs);
    ASSERT_EQ(3, logs.GetSize());
    // Run 2 was ended at the restart, before run 3 began.
    const std::string* folders[] = {&m_folderA.path, &m_folderB.path, &m_folderA.path};
    DATE previousEnd = 0;
    for (long run = 1; run <= 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        CPBatchLog* log = NULL;
        for (int i = 0; i < logs.GetSize(); ++i)
            if (logs.at<CPBatchLog>(i)->GetRunNumber() == run)
                log = logs.at<CPBatchLog>(i);
        ASSERT_TRUE(log != NULL);
        DATE start = log->GetStartTime().m_dt, end = log->GetEndTime().m_dt;
        EXPECT_NE(0, start);
        EXPECT_LE(previousEnd, start);
        EXPECT_LE(start, end);
        previousEnd = end;
        CNeoFoundObjects triggers;
        FindChildren(m_database.get(), kClassBatchLogItemTrigger, log->getID(), TRUE, &triggers);
        ASSERT_EQ(1, triggers.GetSize());
        CPBatchLogItemTrigger* trigger = triggers.at<CPBatchLogItemTrigger>(0);
        EXPECT_EQ(kTriggerLogDirectory, trigger->GetTriggerType());
        EXPECT_STREQ(folders[run - 1]->c_str(), trigger->GetDirectory());
    }
}

TEST_F(ZqserverBatchRun, PauseHoldsARunAndStopEndsIt)
{
    ASSERT_NO_FATAL_FAILURE(StartArmed());
    ASSERT_TRUE(m_folderB.AddFile());
    ASSERT_TRUE(WaitFor(MidRun(1))) << m_last;

    ASSERT_EQ(kStatusDone, SetStatus(kBatchPaused));
    for (int read = 0; read < 8; ++read) {  // about five scheduler passes
        Sleep(150);
        BatchState paused = Read();
        ASSERT_EQ(kBatchPaused, paused.status) << paused;
        ASSERT_EQ(kPhaseMonitoring, paused.phase) << paused;
    }

    ASSERT_EQ(kStatusDone, SetStatus(kBatchStopping));
    ASSERT_TRUE(WaitFor([](const BatchState& state) { return state.status == kBatchIdle; }))
        << m_last;
    EXPECT_EQ(kPhaseLogon, m_last.phase) << m_last;
    Reply reply;
    LONG status = -1;
    ASSERT_EQ(kNothingRaised, Guarded([&] {
        GetObjectsByClass(m_context, kDefinitionsAndRuns, kClassBatchLog, &reply, &status);
    }));
    ASSERT_EQ(kStatusDone, status);
    InMemoryDatabase logs;
    logs.Load(reply.Bytes());
    ASSERT_EQ(1, logs->countObjects(kClassBatchLog));
    CNeoRef<CPBatchLog> log(static_cast<CPBatchLog*>(logs->findObject(kClassBatchLog, NULL)));
    EXPECT_EQ(1, log->GetRunNumber());
    EXPECT_NE(0, log->GetStartTime().m_dt);
    EXPECT_LE(log->GetStartTime().m_dt, log->GetEndTime().m_dt);
}

}  // namespace
