// The scheduler thread, its commits, directory triggers and the
// notification queue's limits.
#include "engine_fixture.h"

#include "watched_folder.h"

TEST_F(EngineTest, DirectoryTriggersFireOnChangesOneRunAtATime)
{
    WatchedFolder firstFolder("first"), secondFolder("second");
    const std::string& first = firstFolder.path;
    const std::string& second = secondFolder.path;
    NeoID batch = AddBatch("watching", kBatchQueued);
    AddDirectoryTrigger(batch, first);
    AddDirectoryTrigger(batch, second);
    NeoID missing = AddBatch("missing folder", kBatchQueued);
    AddDirectoryTrigger(missing, first + "\\not there");
    Tick(3);
    EXPECT_EQ(Batch(batch)->GetRunNumber(), 0);

    // Changes reach the notifications a little later: tick until they do.
    auto tickUntilRun = [&](long run) {
        for (int i = 0; i < 250 && Batch(batch)->GetRunNumber() < run; ++i) {
            Sleep(20);
            Tick();
        }
        return Batch(batch)->GetRunNumber();
    };
    ASSERT_TRUE(firstFolder.AddFile());
    ASSERT_TRUE(secondFolder.AddFile());
    EXPECT_EQ(tickUntilRun(1), 1);
    // The second trigger, still signalled, starts the next run.
    EXPECT_EQ(tickUntilRun(2), 2);
    Tick(14);
    EXPECT_EQ(Batch(batch)->GetRunNumber(), 2);
    EXPECT_EQ(Batch(missing)->GetPhase(), kPhaseArmed);

    CNeoFoundObjects found;
    std::vector<CPBatchLog*> logs = RunLogs(batch, found);
    ASSERT_EQ(logs.size(), 2u);
    std::vector<std::string> directories;
    for (CPBatchLog* log : logs) {
        std::vector<CPBatchLogItemBase*> items = LogItems(log, kClassBatchLogItemTrigger, found);
        ASSERT_EQ(items.size(), 1u);
        CPBatchLogItemTrigger* item = static_cast<CPBatchLogItemTrigger*>(items[0]);
        EXPECT_EQ(item->GetTriggerType(), kTriggerLogDirectory);
        directories.push_back((LPCTSTR)item->GetDirectory());
    }
    EXPECT_EQ(directories, std::vector<std::string>({first, second}));

    // Stopping disarms the watches and lets the items go.
    for (NeoID id : {batch, missing})
        Batch(id)->SetStatus(kBatchStopping);
    Tick();
    CNeoFoundObjects triggers;
    FindChildren(db(), kClassTriggerDirNotify, batch, TRUE, &triggers);
    for (int i = 0; i < triggers.GetSize(); ++i)
        EXPECT_FALSE(triggers.at<CPTriggerDirNotify>(i)->IsArmed());
}

TEST_F(EngineTest, NotificationsWaitOnlyForRegisteredConsolesAndUpToTheLimit)
{
    NeoID batch = AddBatch("noisy", kBatchIdle);
    for (int i = 0; i < 2500; ++i)
        Batch(batch)->SetStatus(i % 2 ? kBatchIdle : kBatchPaused);
    EXPECT_EQ(gClientNotify.GetQueue().GetCount(), ClientNotifyManager::kMaxQueued);
    gClientNotify.DiscardQueue();
    gClientNotify.RemoveConsole(m_console.get());
    Batch(batch)->SetStatus(kBatchQueued);
    Tick(2);
    EXPECT_EQ(Batch(batch)->GetPhase(), kPhaseFinished);  // stored, but told to nobody
    EXPECT_TRUE(gClientNotify.GetQueue().IsEmpty());
}

// The scheduler as zqserver runs it: its own thread on a database file.
TEST(BatchSchedulerThread, CommitsRunStartsAndShutsRunsDownWhenStopped)
{
    FileDatabase file("scheduler.db");
    NeoID batchID;
    {
        CPBatch* batch = new CPBatch;
        batch->SetName("threaded");
        batch->SetStatusValue(kBatchExecuting);
        batch->SetSavedStatus(kBatchQueued);
        file->addObject(batch);
        batchID = batch->getID();
        // A step that no agent takes keeps the run in its monitoring phase.
        CPTriggerItemBase* trigger = new CPTriggerDirNotify;
        trigger->SetParentID(batchID);
        file->addObject(trigger);
        CPProcessExe* step = new CPProcessExe;
        step->SetParentID(batchID);
        file->addObject(step);
        CPBatchLink* link = new CPBatchLink;
        link->SetParentID(batchID);
        link->SetSourceID(trigger->getID());
        link->SetTargetID(step->getID());
        file->addObject(link);
        for (CNeoPersist* object : {(CNeoPersist*)trigger, (CNeoPersist*)step, (CNeoPersist*)link,
                                    (CNeoPersist*)batch})
            object->unrefer();
        file->commit();
    }
    BatchScheduler scheduler;
    auto batchPhase = [&] {
        CNeoLock lock;
        CNeoRef<CPBatch> batch(
            static_cast<CPBatch*>(CPPersistBase::FindByID(file.get(), kClassBatch, batchID)));
        return batch->GetPhase();
    };
    scheduler.Start(file.get());
    for (int i = 0; i < 100 && batchPhase() != kPhaseMonitoring; ++i)
        Sleep(50);
    ASSERT_EQ(batchPhase(), kPhaseMonitoring);
    Sleep(300);  // a whole pass after the start

    // The run's start was committed without waiting for a stop: the bytes
    // on disk hold its open run log.
    {
        CNeoLock lock;
        HANDLE handle = CreateFileA(file.path().c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        std::vector<BYTE> bytes(GetFileSize(handle, NULL));
        DWORD read = 0;
        ReadFile(handle, bytes.data(), (DWORD)bytes.size(), &read, NULL);
        CloseHandle(handle);
        // Opened as a file, as after a crash: a live file may run on past its
        // log (with zeros), which an image in memory may not.
        FileDatabase onDisk("scheduler-on-disk.db");
        onDisk->close();
        handle = CreateFileA(onDisk.path().c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(handle, bytes.data(), (DWORD)bytes.size(), &written, NULL);
        CloseHandle(handle);
        onDisk->open(0xC0000000, FALSE);
        CNeoRef<CPBatchLog> log(static_cast<CPBatchLog*>(onDisk->findObject(kClassBatchLog, NULL)));
        ASSERT_TRUE(log);
        EXPECT_EQ(log->GetRunNumber(), 1);
        EXPECT_EQ(log->GetEndTime().m_dt, 0);
    }

    {
        CNeoLock lock;
        scheduler.Stop();
        gStepQueue.RemoveBatch(batchID);
    }
    file.Reopen();
    CNeoRef<CPBatch> batch(
        static_cast<CPBatch*>(CPPersistBase::FindByID(file.get(), kClassBatch, batchID)));
    EXPECT_EQ(batch->GetStatus(), kBatchExecuting);
    EXPECT_EQ(batch->GetSavedStatus(), kBatchExecuting);
    EXPECT_EQ(batch->GetPhase(), kPhaseLogon);
    CNeoRef<CPBatchLog> log(static_cast<CPBatchLog*>(file->findObject(kClassBatchLog, NULL)));
    ASSERT_TRUE(log);
    EXPECT_NE(log->GetEndTime().m_dt, 0);
}
