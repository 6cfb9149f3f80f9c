// Inside a run: links and their conditions, retries, single and concurrent
// instances, the choice of agent and the result queue.
#include "engine_fixture.h"

namespace {
// Holds for every exit code the tests use.
const Condition kAny = {kNotEqualTo, 0x12345678, 0};
// An operator the server does not know.
const long kUnknownOperator = kNotBetween + 1;

int CountDispatches(const StandInAgent& agents, const std::string& host = "alpha")
{
    int count = 0;
    for (const std::string& offered : agents.offeredTo)
        count += offered == host;
    return count;
}
}  // namespace

TEST_F(EngineTest, LinkConditionsCompareExitCodesUnsigned)
{
    struct Case {
        long op;
        unsigned long value, upper, exitCode;
        bool followed;
    } cases[] = {
        {kLessThan, 5, 0, 4, true},          {kLessThan, 5, 0, 5, false},
        {kGreaterThan, 5, 0, 6, true},       {kGreaterThan, 5, 0, 0xFFFFFFFF, true},
        {kGreaterThan, 0xFFFFFFFE, 0, 0xFFFFFFFF, true},
        {kEqualTo, 0xFFFFFFFF, 0, 0xFFFFFFFF, true}, {kEqualTo, 1, 0, 2, false},
        {kNotEqualTo, 0, 0, 0, false},       {kNotEqualTo, 0, 0, 0xFFFFFFFF, true},
        {kBetween, 1, 5, 1, true},           {kBetween, 1, 5, 5, true},
        {kBetween, 1, 5, 6, false},          {kBetween, 1, 5, 0xFFFFFFFF, false},
        {kNotBetween, 1, 5, 0, true},        {kNotBetween, 1, 5, 3, false},
        {kNotBetween, 1, 5, 0xFFFFFFFF, true}, {kUnknownOperator, 0, 0xFFFFFFFF, 3, false},
    };
    NeoID batch = AddBatch("links", kBatchIdle);
    NeoID a = AddStep(batch, "a"), b = AddStep(batch, "b");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "operator " << c.op << " value " << c.value
                                        << " exit code " << c.exitCode);
        CNeoRef<CPBatchLink> link(
            Find<CPBatchLink>(kClassBatchLink, AddLink(batch, a, b, {{c.op, c.value, c.upper}})));
        EXPECT_EQ(link->Evaluate(c.exitCode), c.followed);
        EXPECT_EQ(link->GetLastExitCode(), c.exitCode);
    }

    // With two conditions the last one that holds is remembered and logged.
    CNeoRef<CPBatchLink> link(Find<CPBatchLink>(
        kClassBatchLink, AddLink(batch, a, b, {{kLessThan, 1, 0}, {kGreaterThan, 10, 0}})));
    struct Logged {
        unsigned long exitCode;
        bool followed;
        long op;
    } logged[] = {{0, true, kLessThan}, {20, true, kGreaterThan}, {5, false, kGreaterThan}};
    for (const Logged& l : logged) {
        EXPECT_EQ(link->Evaluate(l.exitCode), l.followed);
        CNeoRef<CPBatchLogItemLink> item(static_cast<CPBatchLogItemLink*>(link->FillLogItem(NULL)));
        EXPECT_EQ(item->GetOperator(), l.op);
        EXPECT_EQ((unsigned long)item->GetExitCode(), l.exitCode);
    }
    EXPECT_EQ(link->GetTraversalCount(), 3);
}

TEST_F(EngineTest, LoopRunsUpToItsTraversalMaximumAndLogsTheRefusal)
{
    NeoID batch = AddBatch("loop", kBatchQueued);
    NeoID trigger = AddScheduleTrigger(batch, 9, 0);
    NeoID step = AddStep(batch, "again");
    AddLink(batch, trigger, step, {});
    AddLink(batch, step, step, {kAny}, 3);
    Tick(3);
    for (int round = 0; round < 10 && Batch(batch)->GetPhase() == kPhaseMonitoring; ++round) {
        DispatchQueued();
        FinishAll(0);
        Tick();
    }
    EXPECT_EQ(CountDispatches(m_agents), 4);
    EXPECT_EQ(Batch(batch)->GetPhase(), kPhaseFinished);
    CNeoFoundObjects found;
    std::vector<CPBatchLogItemBase*> links =
        LogItems(RunLogs(batch, found)[0], kClassBatchLogItemLink, found);
    ASSERT_EQ(links.size(), 4u);
    EXPECT_EQ(links[2]->GetServerMessage(), "");
    EXPECT_EQ(links[3]->GetServerMessage(), "too many rounds");
    EXPECT_EQ(links[3]->GetCount(), 4);
}

TEST_F(EngineTest, RetryRulesDispatchAgainBeforeTheLinksAreFollowed)
{
    struct Case {
        const char* name;
        Condition rule;
        long maximum;
        std::vector<unsigned long> exitCodes;  // of the successive dispatches
        int dispatches;
    } cases[] = {
        {"not 0, at most 2, always 1", {kNotEqualTo, 0, 0}, 2, {1, 1, 1}, 3},
        {"between 1 and 5, exit 7", {kBetween, 1, 5}, 3, {7}, 1},
        {"no retries", {kNotEqualTo, 0, 0}, 0, {1}, 1},
        {"equal 1 until it succeeds", {kEqualTo, 1, 0}, 5, {1, 1, 0}, 3},
        {"above any value: 0xFFFFFFFF", {kGreaterThan, 0x7FFFFFFF, 0}, 1, {0xFFFFFFFF, 0}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_agents.offeredTo.clear();
        NeoID batch = AddBatch(c.name, kBatchQueued);
        NeoID trigger = AddScheduleTrigger(batch, 9, 0);
        NeoID step = AddStep(batch, "flaky"), after = AddStep(batch, "after");
        Step(step)->SetRetryMaximum(c.maximum);
        Step(step)->SetRetryRule(c.rule.op, c.rule.value, c.rule.upper);
        AddLink(batch, trigger, step, {});
        AddLink(batch, step, after, {kAny});
        Tick(3);
        DispatchQueued();
        NeoID instance = m_agents.HeldIDs().at(0);
        for (size_t i = 0; i < c.exitCodes.size(); ++i) {
            if (i > 0)
                DispatchQueued();  // the retry went through the step queue
            Finish(instance, c.exitCodes[i]);
            Tick();
        }
        EXPECT_EQ(CountDispatches(m_agents), c.dispatches);
        EXPECT_FALSE(Step(instance));  // finished and let go
        DispatchQueued();
        ASSERT_EQ(m_agents.held.size(), 1u);
        EXPECT_EQ(m_agents.held[0].step->GetName(), "after");
        FinishAll(0);
        Tick(5);
        Batch(batch)->SetStatus(kBatchIdle);
        EXPECT_EQ(Step(step)->GetDispatchCount(), c.dispatches);
    }
}

TEST_F(EngineTest, RetryThatNoAgentTakesWaitsInTheStepQueue)
{
    NeoID batch = AddBatch("retry later", kBatchQueued);
    NeoID trigger = AddScheduleTrigger(batch, 9, 0);
    NeoID step = AddStep(batch, "flaky");
    Step(step)->SetRetryMaximum(1);
    Step(step)->SetRetryRule(kNotEqualTo, 0, 0);
    AddLink(batch, trigger, step, {});
    Tick(3);
    DispatchQueued();
    NeoID instance = m_agents.HeldIDs()[0];
    m_agents.hosts["alpha"].refusal = kAgentStopping;
    Finish(instance, 1);
    Tick(5);
    EXPECT_TRUE(gStepQueue.Contains(Step(instance).get()));
    EXPECT_EQ(Step(instance)->GetRetryCount(), 1);
    EXPECT_EQ(Step(instance)->GetRunState(), kStepRunning);
    m_agents.hosts["alpha"].refusal = 0;
    DispatchQueued();
    ASSERT_EQ(m_agents.HeldIDs(), std::vector<NeoID>({instance}));
    Finish(instance, 0);
    Tick();
    EXPECT_EQ(Batch(batch)->GetPhase(), kPhaseFinished);
}

TEST_F(EngineTest, ABatchDeletedWhileAnAgentTakesItsStepLeavesNothingRunning)
{
    NeoID batch = AddBatch("short-lived", kBatchQueued);
    NeoID trigger = AddScheduleTrigger(batch, 9, 0);
    AddLink(batch, trigger, AddStep(batch, "taken"), {});
    Tick(3);
    // A console deletes the batch while the queue's worker waits for the agent.
    m_agents.hosts["alpha"].whileTaking = [&] {
        CNeoRef<CPBatch> doomed(Batch(batch));
        doomed->ArmTriggers(FALSE);
        gStepQueue.RemoveBatch(batch);
        doomed->DeleteWithChildren(db());
        db()->removeObject(doomed.get(), TRUE);
    };
    DispatchQueued();
    ASSERT_EQ(m_agents.held.size(), 1u);
    EXPECT_EQ(m_agents.cancelled, std::vector<long>({m_agents.held[0].handle}));
    EXPECT_FALSE(Batch(batch));
    EXPECT_TRUE(gStepQueue.IsEmpty());
    DispatchQueued();
    EXPECT_EQ(m_agents.offeredTo.size(), 1u);
}

TEST_F(EngineTest, SingleInstanceStepWaitsOrReplacesItsRunningInstance)
{
    for (long replace : {0, 1}) {
        SCOPED_TRACE(replace ? "replace" : "wait");
        m_agents.offeredTo.clear();
        m_agents.cancelled.clear();
        NeoID batch = AddBatch(replace ? "replace" : "wait", kBatchQueued);
        NeoID trigger = AddScheduleTrigger(batch, 9, 0);
        NeoID single = AddStep(batch, "single"), other = AddStep(batch, "other");
        Step(single)->SetInstanceMode(kSingleInstance);
        Step(single)->SetReplaceFlag(replace);
        AddLink(batch, trigger, single, {});
        AddLink(batch, trigger, other, {});
        AddLink(batch, other, single, {kAny});
        Tick(3);
        DispatchQueued();
        ASSERT_EQ(m_agents.held.size(), 2u);
        NeoID first = m_agents.held[0].step->GetName() == "single" ? m_agents.HeldIDs()[0]
                                                                     : m_agents.HeldIDs()[1];
        NeoID second = m_agents.HeldIDs()[0] == first ? m_agents.HeldIDs()[1] : m_agents.HeldIDs()[0];
        Finish(second, 0);  // "other" finishes and reaches the running single step
        Tick();
        DispatchQueued();
        if (!replace) {
            EXPECT_EQ(m_agents.HeldIDs(), std::vector<NeoID>({first}));  // the new one waits
            EXPECT_EQ(Step(single)->GetWaitingList().GetCount(), 1);
            Finish(first, 0);
            Tick();
            DispatchQueued();
            ASSERT_EQ(m_agents.held.size(), 1u);
        } else {
            EXPECT_EQ(m_agents.cancelled.size(), 1u);
            EXPECT_FALSE(Step(first));
            ASSERT_EQ(m_agents.held.size(), 2u);  // the replaced one still runs at its agent
            Finish(first, 0);                    // and its late result is dropped
        }
        FinishAll(0);
        Tick();
        CNeoFoundObjects found;
        for (CPBatchLogItemBase* item :
             LogItems(RunLogs(batch, found)[0], kClassBatchLogItemProcess, found))
            EXPECT_NE(item->GetEndTime().m_dt, 0) << item->GetName();
        EXPECT_EQ(Batch(batch)->GetPhase(), kPhaseFinished);
        EXPECT_EQ(CountDispatches(m_agents), 3);
        Batch(batch)->SetStatus(kBatchIdle);
    }
}

TEST_F(EngineTest, ConcurrentLimitHoldsForLinkStartsButNotForTriggerStarts)
{
    NeoID batch = AddBatch("fan out", kBatchQueued);
    NeoID trigger = AddScheduleTrigger(batch, 9, 0);
    NeoID worker = AddStep(batch, "worker"), first = AddStep(batch, "first");
    Step(worker)->SetActiveInstanceLimit(2);
    for (int i = 0; i < 3; ++i)
        AddLink(batch, trigger, worker, {});
    Tick(3);
    DispatchQueued();
    EXPECT_EQ(m_agents.held.size(), 3u);
    FinishAll(0);
    Tick(5);

    // The next run: three links from a finished step.
    CNeoFoundObjects links;
    FindChildren(db(), kClassBatchLink, batch, TRUE, &links);
    for (int i = 0; i < links.GetSize(); ++i) {
        links.at<CPBatchLink>(i)->SetSourceID(first);
        links.at<CPBatchLink>(i)->setDirty(2);
    }
    AddLink(batch, trigger, first, {});
    for (int i = 0; i < links.GetSize(); ++i) {
        CPBatchLinkItem* item = new CPBatchLinkItem;
        item->SetCondition(kAny.op, kAny.value, kAny.upper);
        item->SetParentID(links.at<CPBatchLink>(i)->getID());
        db()->addObject(item);
        item->unrefer();
    }
    SetTime(2026, 3, 11, 9, 0, 0);
    Tick(3);
    DispatchQueued();
    FinishAll(0);
    Tick();
    DispatchQueued();
    EXPECT_EQ(m_agents.held.size(), 2u);
    EXPECT_EQ(Step(worker)->GetActiveInstances().getCount(), 2);
}

// Agents "busy", "down" and "idle" beside "alpha"; a Queued batch whose one
// step may run on the hosts a test names.
class AgentChoice : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        AddAgent("busy");
        AddAgent("down");
        AddAgent("idle");
        m_agents.hosts["busy"].load = 30;
        m_agents.hosts["down"].reachable = false;
        m_agents.hosts["idle"].load = 10;
    }

    // Starts the batch's run: its step is offered to the agents.
    void RunStepOn(std::vector<const char*> hosts)
    {
        NeoID batch = AddBatch("placed", kBatchQueued);
        NeoID trigger = AddScheduleTrigger(batch, 9, 0);
        NeoID step = AddStep(batch, "placed");
        {
            CNeoRef<CPProcessBase> definition(Step(step));
            definition->GetAllowedAgents().RemoveAll();
            for (const char* host : hosts) {
                CNeoStringSelect byName(kTagName, host);
                CNeoRef<CNeoPersist> agent(db()->findObject(kClassAgent, &byName));
                if (agent)
                    definition->GetAllowedAgents().Append(agent.get());
            }
        }
        AddLink(batch, trigger, step, {});
        Tick(3);
        DispatchQueued();
    }
};

TEST_F(AgentChoice, StepsGoToTheLeastLoadedAgentThatAccepts)
{
    m_agents.hosts["idle"].refusal = kAgentCannotCallBack;
    RunStepOn({"busy", "down", "idle", "gone"});
    EXPECT_EQ(m_agents.offeredTo, std::vector<std::string>({"idle", "busy"}));
    ASSERT_EQ(m_agents.held.size(), 1u);
    EXPECT_EQ(m_agents.held[0].host, "busy");
}

TEST_F(AgentChoice, AnAgentThatCannotBeBoundIsStartedOnceAndAskedAgain)
{
    m_agents.hosts["down"].startable = true;
    RunStepOn({"busy", "down", "idle"});
    EXPECT_EQ(m_agents.serviceStarts, 1);
    ASSERT_FALSE(m_agents.offeredTo.empty());
    EXPECT_EQ(m_agents.offeredTo.front(), "down");
}

TEST_F(EngineTest, ResultQueueTakesFifteenAndDropsWhatItCannotApply)
{
    NeoID batch = AddBatch("many", kBatchQueued);
    NeoID trigger = AddScheduleTrigger(batch, 9, 0);
    NeoID step = AddStep(batch, "many");
    for (int i = 0; i < 16; ++i)
        AddLink(batch, trigger, step, {});
    Tick(3);
    DispatchQueued();
    ASSERT_EQ(m_agents.held.size(), 16u);
    std::vector<NeoID> ids = m_agents.HeldIDs();
    for (int i = 0; i < 16; ++i) {
        SetTime(2026, 3, 10, 9, 1, i);
        EXPECT_EQ(m_agents.Finish(ids[i], i), i < 15 ? kStatusDone : kStatusRefused)
            << "result " << i;
    }
    EXPECT_EQ(gAgentUpdates.Post(ids[0], "not a stream", 12), kStatusRefused);  // still full
    gAgentUpdates.Apply();
    EXPECT_EQ(gAgentUpdates.GetQueuedCount(), 0);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(Step(ids[i])->GetRunState(), i < 15 ? kStepFinished : kStepRunning) << i;

    // Malformed streams and results for unknown instances are dropped.
    EXPECT_EQ(gAgentUpdates.Post(ids[15], "not a stream", 12), kStatusDone);
    gAgentUpdates.Apply();
    EXPECT_EQ(Step(ids[15])->GetRunState(), kStepRunning);
}
