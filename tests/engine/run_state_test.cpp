// A batch's runs from trigger to end: phases, statuses, notifications, run
// logs, logon, stop, pause and restart.
#include "engine_fixture.h"

#include <oscalls/oscalls.h>

namespace {
typedef std::vector<Notification> Notes;

Notification Phase(long phase)
{
    return {kNotifyPhaseChanged, phase};
}
Notification Status(long status)
{
    return {kNotifyStatusChanged, status};
}

// Logon answers of the test: success with a token of its own, or failure;
// every logon and every closed token is recorded.
class FakeLogon : public Win32LogonCalls {
public:
    explicit FakeLogon(bool succeeds) : m_succeeds(succeeds) {}
    virtual BOOL LogonUser(const char* user, const char* domain, const char*, DWORD, DWORD,
                           HANDLE* token)
    {
        logons.push_back(std::string(domain) + "|" + user);
        if (!m_succeeds)
            return FALSE;
        *token = CreateEventA(NULL, FALSE, FALSE, NULL);
        tokens.push_back(*token);
        return TRUE;
    }
    virtual BOOL CloseToken(HANDLE handle)
    {
        closed.push_back(handle);
        return ::CloseHandle(handle);
    }
    std::vector<std::string> logons;
    std::vector<HANDLE> tokens, closed;

private:
    bool m_succeeds;
    ScopedStandIn<LogonCalls> m_installed{*this};
};
}  // namespace

TEST_F(EngineTest, ScheduledRunPassesItsPhasesAndLeavesItsLog)
{
    NeoID batch = AddBatch("morning load", kBatchQueued);
    NeoID trigger = AddScheduleTrigger(batch, 10, 15);
    NeoID step = AddStep(batch, "load");
    AddLink(batch, trigger, step, {});

    SetTime(2026, 3, 10, 10, 14, 30);
    Tick();
    EXPECT_EQ(TakeNotifications(), Notes({Phase(kPhaseArmed)}));
    Tick(3);
    EXPECT_EQ(Batch(batch)->GetPhase(), kPhaseArmed);
    EXPECT_TRUE(TakeNotifications().empty());

    SetTime(2026, 3, 10, 10, 15, 5);
    Tick();
    EXPECT_EQ(TakeNotifications(), Notes({Status(kBatchExecuting), Phase(kPhaseStarting)}));
    EXPECT_EQ(Batch(batch)->GetRunNumber(), 1);
    Tick();
    EXPECT_EQ(TakeNotifications(), Notes({Phase(kPhaseMonitoring)}));
    DispatchQueued();
    ASSERT_EQ(m_agents.held.size(), 1u);
    Tick(2);
    EXPECT_TRUE(TakeNotifications().empty());

    SetTime(2026, 3, 10, 10, 15, 40);
    Finish(m_agents.HeldIDs()[0], 0);
    Tick(4);
    EXPECT_EQ(TakeNotifications(),
              Notes({Phase(kPhaseFinished), Phase(kPhaseClosing), Phase(kPhaseEnding),
                     Phase(kPhaseLogon), Status(kBatchQueued)}));
    EXPECT_EQ(Batch(batch)->GetStatus(), kBatchQueued);
    EXPECT_EQ(StoredInstances(batch), 0);

    CNeoFoundObjects found;
    std::vector<CPBatchLog*> logs = RunLogs(batch, found);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0]->GetRunNumber(), 1);
    EXPECT_EQ(logs[0]->GetStartTime(), COleDateTime(2026, 3, 10, 10, 15, 5));
    EXPECT_EQ(logs[0]->GetEndTime(), COleDateTime(2026, 3, 10, 10, 15, 40));
    std::vector<CPBatchLogItemBase*> triggers = LogItems(logs[0], kClassBatchLogItemTrigger, found);
    ASSERT_EQ(triggers.size(), 1u);
    EXPECT_EQ(static_cast<CPBatchLogItemTrigger*>(triggers[0])->GetTriggerType(), kTriggerLogSchedule);
    EXPECT_EQ(static_cast<CPBatchLogItemTrigger*>(triggers[0])->GetScheduleItemName(), "morning");
    std::vector<CPBatchLogItemBase*> steps = LogItems(logs[0], kClassBatchLogItemProcess, found);
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0]->GetName(), "load");
    EXPECT_EQ(steps[0]->GetEndTime(), COleDateTime(2026, 3, 10, 10, 15, 40));
    EXPECT_EQ(steps[0]->GetCounter(), 1);

    // Armed again, and not fired a second time in the same minute.
    Tick(3);
    EXPECT_EQ(Batch(batch)->GetPhase(), kPhaseArmed);
    EXPECT_EQ(Batch(batch)->GetRunNumber(), 1);
}

TEST_F(EngineTest, BatchWithoutTriggerItemsMakesEmptyRunsAndKeepsTenLogs)
{
    NeoID batch = AddBatch("empty", kBatchQueued);
    Tick(2);
    EXPECT_EQ(TakeNotifications(), Notes({Phase(kPhaseArmed), Phase(kPhaseFinished)}));
    Tick(3);
    EXPECT_EQ(TakeNotifications(), Notes({Phase(kPhaseClosing), Phase(kPhaseEnding),
                                          Phase(kPhaseLogon), Status(kBatchQueued)}));
    Tick(5 * 10);
    EXPECT_EQ(Batch(batch)->GetRunNumber(), 11);
    CNeoFoundObjects found;
    std::vector<CPBatchLog*> logs = RunLogs(batch, found);
    ASSERT_EQ(logs.size(), 10u);
    EXPECT_EQ(logs.front()->GetRunNumber(), 2);
    EXPECT_EQ(logs.back()->GetRunNumber(), 11);
    for (CPBatchLog* log : logs) {
        EXPECT_NE(log->GetEndTime().m_dt, 0);
        EXPECT_TRUE(LogItems(log, kClassBatchLogItemBase, found).empty());
    }
}

TEST_F(EngineTest, StopAfterTheRunHasEndedKeepsThatRunsEndTime)
{
    NeoID batch = AddBatch("empty", kBatchQueued);
    Tick(5);  // one empty run from start to end
    CNeoFoundObjects found;
    std::vector<CPBatchLog*> logs = RunLogs(batch, found);
    ASSERT_EQ(logs.size(), 1u);
    COleDateTime ended = logs.back()->GetEndTime();
    ASSERT_NE(ended.m_dt, 0);
    SetTime(2026, 3, 10, 11, 0, 0);
    Batch(batch)->SetStatus(kBatchStopping);
    Tick();
    EXPECT_EQ(Batch(batch)->GetStatus(), kBatchIdle);
    CNeoFoundObjects again;
    EXPECT_EQ(RunLogs(batch, again).back()->GetEndTime(), ended);
}

TEST_F(EngineTest, ConsoleStartRunsEveryTriggerItemAndReturnsToTheSavedStatus)
{
    NeoID batch = AddBatch("on demand", kBatchIdle);
    NeoID schedule = AddScheduleTrigger(batch, 23, 59);
    NeoID watch = AddDirectoryTrigger(batch, "C:\\no such folder\\at all");
    AddLink(batch, schedule, AddStep(batch, "first"), {});
    AddLink(batch, watch, AddStep(batch, "second"), {});

    Tick(3);
    EXPECT_EQ(Batch(batch)->GetPhase(), kPhaseLogon);  // idle batches do not tick
    Batch(batch)->SetStatus(kBatchExecuting);
    Tick(3);
    EXPECT_EQ(Batch(batch)->GetRunNumber(), 2);
    DispatchQueued();
    EXPECT_EQ(m_agents.held.size(), 2u);
    FinishAll(0);
    Tick(4);
    EXPECT_EQ(Batch(batch)->GetStatus(), kBatchIdle);
    CNeoFoundObjects found;
    std::vector<CPBatchLog*> logs = RunLogs(batch, found);
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_TRUE(LogItems(logs[0], kClassBatchLogItemTrigger, found).empty());
    EXPECT_EQ(LogItems(logs[0], kClassBatchLogItemProcess, found).size(), 2u);
}

TEST_F(EngineTest, RunAsAccountLogsOnForEachRunAndClosesItsToken)
{
    NeoID batch = AddBatch("as user", kBatchQueued);
    Batch(batch)->SetAccount("OFFICE\\night");
    Batch(batch)->SetPassword("secret");
    {
        FakeLogon refused(false);
        Tick(3);
        EXPECT_EQ(TakeNotifications(), Notes({Phase(kPhaseClosing), Phase(kPhaseEnding),
                                              Phase(kPhaseLogon), Status(kBatchQueued)}));
        EXPECT_EQ(refused.logons[0], "OFFICE|night");
        // A batch that never ran gets no run log.
        CNeoFoundObjects found;
        EXPECT_TRUE(RunLogs(batch, found).empty());
    }
    FakeLogon accepted(true);
    Tick(5);
    ASSERT_EQ(accepted.tokens.size(), 1u);
    EXPECT_EQ(accepted.closed, accepted.tokens);
    EXPECT_EQ(Batch(batch)->GetLogonToken(), (HANDLE)NULL);
    Tick();
    EXPECT_EQ(accepted.tokens.size(), 2u);
    Batch(batch)->SetStatus(kBatchStopping);
    Tick();
    EXPECT_EQ(accepted.closed, accepted.tokens);
}

// A running batch: the agent holds "accepted"; "waiting" may run on no
// agent and waits in the step queue; "next" follows "accepted" when it ends
// with 0.
class StoppableRun : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_batch = AddBatch("stoppable", kBatchQueued);
        NeoID trigger = AddScheduleTrigger(m_batch, 9, 0);
        NeoID accepted = AddStep(m_batch, "accepted");
        NeoID waiting = AddStep(m_batch, "waiting");
        NeoID next = AddStep(m_batch, "next");
        Step(waiting)->GetAllowedAgents().RemoveAll();
        AddLink(m_batch, trigger, accepted, {});
        AddLink(m_batch, trigger, waiting, {});
        AddLink(m_batch, accepted, next, {{kEqualTo, 0, 0}});
        Tick(3);
        DispatchQueued();
        ASSERT_EQ(m_agents.held.size(), 1u);
        m_accepted = m_agents.HeldIDs()[0];
        TakeNotifications();
    }

    // "accepted" ends with 0, the agent takes "next", and the batch is
    // stopped at 9:30.
    void StopWhileNextRuns()
    {
        Finish(m_accepted, 0);
        Tick();
        DispatchQueued();
        ASSERT_EQ(m_agents.held.size(), 1u);
        TakeNotifications();
        SetTime(2026, 3, 10, 9, 30, 0);
        Batch(m_batch)->SetStatus(kBatchStopping);
        Tick();
    }

    NeoID m_batch = 0;
    NeoID m_accepted = 0;
};

TEST_F(StoppableRun, PauseFreezesTheRunUntilItContinues)
{
    Batch(m_batch)->SetStatus(kBatchPaused);
    Finish(m_accepted, 0);
    Tick(3);
    EXPECT_EQ(Batch(m_batch)->GetPhase(), kPhaseMonitoring);
    EXPECT_EQ(Step(m_accepted)->GetRunState(), kStepFinished);  // stored, not followed yet
    Batch(m_batch)->SetStatus(kBatchExecuting);
    Tick();
    EXPECT_FALSE(Step(m_accepted));
    DispatchQueued();
    EXPECT_EQ(m_agents.held.size(), 1u);
}

TEST_F(StoppableRun, StopCancelsTheRunsStepsAndEndsItsLog)
{
    ASSERT_NO_FATAL_FAILURE(StopWhileNextRuns());
    EXPECT_EQ(TakeNotifications(),
              Notes({Status(kBatchStopping), Phase(kPhaseLogon), Status(kBatchIdle)}));
    EXPECT_TRUE(m_agents.cancelled.empty());  // agents are called by the queue's worker
    DispatchQueued();
    EXPECT_EQ(m_agents.cancelled, std::vector<long>({m_agents.held[0].handle}));
    EXPECT_TRUE(gStepQueue.IsEmpty());  // the step no agent took
    EXPECT_EQ(Batch(m_batch)->GetRunningList().getCount(), 0);
    CNeoFoundObjects found;
    EXPECT_EQ(RunLogs(m_batch, found)[0]->GetEndTime(), COleDateTime(2026, 3, 10, 9, 30, 0));
}

// The agent still returns the cancelled step: its log item is completed
// and the instance is let go, nothing follows.
TEST_F(StoppableRun, LateResultOfACancelledStepCompletesItsLogItemAndStartsNothing)
{
    ASSERT_NO_FATAL_FAILURE(StopWhileNextRuns());
    NeoID late = m_agents.HeldIDs()[0];
    Finish(late, 3);
    EXPECT_FALSE(Step(late));
    CNeoFoundObjects found;
    std::vector<CPBatchLogItemBase*> items =
        LogItems(RunLogs(m_batch, found)[0], kClassBatchLogItemProcess, found);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1]->GetExitCode(), 3);
    Tick(3);
    EXPECT_TRUE(m_agents.held.empty());
    EXPECT_EQ(StoredInstances(m_batch), 1);  // the one that waited in the queue
}

TEST_F(EngineTest, RestartQueuesTheInterruptedRunClosesItsLogAndDropsItsInstances)
{
    NeoID batch = AddBatch("interrupted", kBatchQueued);
    NeoID trigger = AddScheduleTrigger(batch, 9, 0);
    AddLink(batch, trigger, AddStep(batch, "long"), {});
    Tick(3);
    DispatchQueued();
    NeoID interrupted = m_agents.HeldIDs()[0];
    ASSERT_EQ(Batch(batch)->GetStatus(), kBatchExecuting);

    SetTime(2026, 3, 10, 9, 5, 0);
    Batch(batch)->ResetAfterRestart();
    EXPECT_EQ(Batch(batch)->GetStatus(), kBatchQueued);
    EXPECT_EQ(Batch(batch)->GetSavedStatus(), kBatchQueued);
    EXPECT_EQ(Batch(batch)->GetPhase(), kPhaseLogon);
    CNeoFoundObjects found;
    EXPECT_EQ(RunLogs(batch, found)[0]->GetEndTime(), COleDateTime(2026, 3, 10, 9, 5, 0));

    // The next run starts afresh without the old instance.
    SetTime(2026, 3, 11, 9, 0, 0);
    Tick(2);
    EXPECT_EQ(Batch(batch)->GetRunNumber(), 2);
    EXPECT_FALSE(Step(interrupted));
    Finish(interrupted, 0);  // a late result of the old run is dropped
    EXPECT_EQ(StoredInstances(batch), 0);
}
