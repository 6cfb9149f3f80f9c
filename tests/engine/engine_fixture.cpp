#include "engine_fixture.h"

#include "sample_batch.h"

#include <model/clock.h>
#include <model/schedule.h>

namespace {
time_t gNow;

time_t TestNow()
{
    return gNow;
}

}  // namespace

// ---------------------------------------------------------------------------
class StandInConnection : public AgentConnection {
public:
    StandInConnection(StandInAgent& agent, const std::string& host) : m_agent(agent), m_host(host) {}

    virtual long GetLoad() { return m_agent.hosts[m_host].load; }

    virtual long ExecuteStep(CPProcessBase* step)
    {
        m_agent.offeredTo.push_back(m_host);
        if (std::function<void()> meanwhile = std::move(m_agent.hosts[m_host].whileTaking))
            meanwhile();
        long refusal = m_agent.hosts[m_host].refusal;
        if (refusal != 0)
            throw refusal;
        step->refer();
        long handle = ++m_agent.m_nextHandle;
        m_agent.held.push_back({handle, m_host, step});
        return handle;
    }

    // The step is still held: its result may come back all the same.
    virtual long CancelStep(long handle)
    {
        m_agent.cancelled.push_back(handle);
        return 0;
    }

private:
    StandInAgent& m_agent;
    std::string m_host;
};

StandInAgent::~StandInAgent()
{
    for (HeldStep& step : held)
        step.step->unrefer();
}

std::unique_ptr<AgentConnection> StandInAgent::Bind(const char* host)
{
    auto found = hosts.find(host);
    if (found == hosts.end() || !found->second.reachable)
        return nullptr;
    return std::unique_ptr<AgentConnection>(new StandInConnection(*this, host));
}

BOOL StandInAgent::StartAgentService(const char* host)
{
    auto found = hosts.find(host);
    if (found == hosts.end() || !found->second.startable)
        return FALSE;
    ++serviceStarts;
    found->second.reachable = true;
    return TRUE;
}

long StandInAgent::Finish(NeoID instanceID, unsigned long exitCode, const char* output)
{
    for (auto it = held.begin(); it != held.end(); ++it) {
        if (it->step->getID() != instanceID)
            continue;
        CNeoRef<CPProcessBase> step(it->step);
        held.erase(it);
        step->SetExitCode(exitCode);
        step->SetStandardOutput(output);
        // The result travels as an object stream, as from a real agent.
        CNeoMemLocation location;
        CNeoDatabase image;
        image.setLocation(&location);
        ResetImage(&image);
        image.addObject(step.get());
        unsigned long length = 0;
        const BYTE* bytes = GetImageBytes(&image, &length);
        long answer = gAgentUpdates.Post(instanceID, bytes, length);
        image.close();
        return answer;
    }
    ADD_FAILURE() << "no agent holds step " << instanceID;
    return -1;
}

std::vector<NeoID> StandInAgent::HeldIDs() const
{
    std::vector<NeoID> ids;
    for (const HeldStep& step : held)
        ids.push_back(step.step->getID());
    return ids;
}

// ---------------------------------------------------------------------------
EngineTest::EngineTest() : m_scheduler(m_db.get()) {}

void EngineTest::SetUp()
{
    SetTime(2026, 3, 10, 9, 0, 0);
    SetClock(TestNow);
    SetAgentTransport(&m_agents);
    gAgentUpdates.SetDatabase(db());
    gClientNotify.AddConsole(m_console);
    m_agentID = AddAgent("alpha");
}

void EngineTest::TearDown()
{
    gClientNotify.RemoveConsole(m_console.get());
    gClientNotify.DiscardQueue();
    gAgentUpdates.Apply();
    ForEachBatch(db(), [](CPBatch* batch) {
        gStepQueue.RemoveBatch(batch->getID());
        batch->ArmTriggers(FALSE);
    });
    SetAgentTransport(NULL);
    SetClock(NULL);
}

NeoID EngineTest::AddBatch(const char* name, long status)
{
    CPBatch* batch = new CPBatch;
    batch->SetStatusValue(status);
    batch->SetSavedStatus(status);
    return FileUnder(db(), batch, 0, name);
}

NeoID EngineTest::AddAgent(const char* host)
{
    m_agents.hosts[host];
    return FileUnder(db(), new CPAgent, 0, host);
}

NeoID EngineTest::AddStep(NeoID batch, const char* name)
{
    CPProcessExe* step = new CPProcessExe;
    step->SetProgramPath("C:\\tools\\work.exe");
    NeoID id = FileUnder(db(), step, batch, name);
    CNeoRef<CPProcessBase> stored(Step(id));
    CNeoRef<CPPersistBase> agent(CPPersistBase::FindByID(db(), kClassAgent, m_agentID));
    stored->GetAllowedAgents().Append(agent.get());
    return id;
}

NeoID EngineTest::AddLink(NeoID batch, NeoID from, NeoID to, std::vector<Condition> conditions,
                          long traversalMaximum)
{
    CPBatchLink* link = new CPBatchLink;
    link->SetSourceID(from);
    link->SetTargetID(to);
    link->SetTraversalMaximum(traversalMaximum);
    link->SetTerminationMessage("too many rounds");
    NeoID id = FileUnder(db(), link, batch, "link");
    for (const Condition& c : conditions) {
        CPBatchLinkItem* item = new CPBatchLinkItem;
        item->SetCondition(c.op, c.value, c.upper);
        FileUnder(db(), item, id, "");
    }
    return id;
}

NeoID EngineTest::AddScheduleTrigger(NeoID batch, int hour, int minute)
{
    CPTriggerSchedule* trigger = new CPTriggerSchedule;
    NeoID id = FileUnder(db(), trigger, batch, "daily");
    NeoID schedule = FileUnder(db(), new CPSchedule, id, "every day", 1);
    Find<CPTriggerSchedule>(kClassTriggerSchedule, id)->SetScheduleID(schedule);
    CPScheduleItem* item = new CPScheduleItem;
    ScheduleEvaluator& e = item->GetEvaluator();
    e.m_type = kScheduleDaily;
    e.m_validity = 0;
    memset(e.m_daySet, 0xFF, sizeof e.m_daySet);
    memset(e.m_monthSet, 0xFF, sizeof e.m_monthSet);
    ScheduleEvaluator::SetBit(e.m_hourSet, hour);
    ScheduleEvaluator::SetBit(e.m_minuteSet, minute);
    FileUnder(db(), item, schedule, "morning", 1);
    return id;
}

NeoID EngineTest::AddDirectoryTrigger(NeoID batch, const std::string& folder)
{
    CPTriggerDirNotify* trigger = new CPTriggerDirNotify;
    trigger->SetDirectory(folder.c_str());
    trigger->SetChangeFilter(FILE_NOTIFY_CHANGE_FILE_NAME);
    return FileUnder(db(), trigger, batch, "incoming");
}

void EngineTest::Tick(int passes)
{
    for (int i = 0; i < passes; ++i)
        m_scheduler.Pass();
}

void EngineTest::DispatchQueued()
{
    CFocusDatabases focus(db(), db());
    gStepQueue.Process();
}

void EngineTest::Finish(NeoID instanceID, unsigned long exitCode)
{
    ASSERT_EQ(m_agents.Finish(instanceID, exitCode), kStatusDone);
    gAgentUpdates.Apply();
}

void EngineTest::FinishAll(unsigned long exitCode)
{
    for (NeoID id : m_agents.HeldIDs())
        Finish(id, exitCode);
}

void EngineTest::SetTime(int year, int month, int day, int hour, int minute, int second)
{
    gNow = CTime(year, month, day, hour, minute, second).GetTime();
}

std::vector<Notification> EngineTest::TakeNotifications()
{
    std::vector<Notification> taken;
    const CObList& queue = gClientNotify.GetQueue();
    for (POSITION at = queue.GetHeadPosition(); at;) {
        const ConsoleNotification* record = static_cast<const ConsoleNotification*>(queue.GetNext(at));
        taken.push_back({record->code, record->value});
    }
    gClientNotify.DiscardQueue();
    return taken;
}

std::vector<CPBatchLog*> EngineTest::RunLogs(NeoID batch, CNeoFoundObjects& found)
{
    std::vector<CPBatchLog*> logs;
    CNeoFoundObjects connectors;
    FindChildren(db(), kClassBatchLogConnector, batch, TRUE, &connectors);
    if (connectors.GetSize() == 0)
        return logs;
    int first = found.GetSize();
    FindChildren(db(), kClassBatchLog, connectors.at<CPPersistBase>(0)->getID(), TRUE, &found);
    for (int i = first; i < found.GetSize(); ++i)
        logs.push_back(found.at<CPBatchLog>(i));
    return logs;
}

std::vector<CPBatchLogItemBase*> EngineTest::LogItems(CPBatchLog* log, NeoClassID classID,
                                                      CNeoFoundObjects& found)
{
    std::vector<CPBatchLogItemBase*> items;
    int first = found.GetSize();
    FindChildren(db(), classID, log->getID(), FALSE, &found);
    for (int i = first; i < found.GetSize(); ++i)
        items.push_back(found.at<CPBatchLogItemBase>(i));
    return items;
}

int EngineTest::StoredInstances(NeoID batch)
{
    CNeoFoundObjects steps;
    FindChildren(db(), kClassProcessBase, batch, TRUE, &steps);
    int count = 0;
    for (int i = 0; i < steps.GetSize(); ++i)
        count += steps.at<CPProcessBase>(i)->GetRunInstance() == 1;
    return count;
}
