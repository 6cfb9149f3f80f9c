// The server's members of steps and agents: starting run instances under
// the instance rules, retries, the choice of agent and the calls to it.
#include <server/agent_transport.h>
#include <server/batch_scheduler.h>
#include <server/step_queue.h>

#include <model/batch.h>
#include <model/run_log.h>

#include <seguard/seguard.h>

#include <algorithm>
#include <vector>

namespace {

// A connection to the agent, starting its service once when it cannot be
// bound at first.
std::unique_ptr<AgentConnection> BindAgent(CPAgent* agent, BOOL startService)
{
    CString host = agent->GetName();
    std::unique_ptr<AgentConnection> connection = Agents().Bind(host);
    if (!connection && startService && agent->StartAgentService())
        connection = Agents().Bind(host);
    return connection;
}

// Runs a call to an agent; a transport failure (raised or thrown as a
// structured exception) gives FALSE instead of ending the calling thread.
template <class Call>
BOOL CallAgent(Call call)
{
    try {
        return Guarded(call) == 0;
    } catch (long) {
        return FALSE;
    }
}
}  // namespace

// ---------------------------------------------------------------------------
// CPProcessBase

long CPProcessBase::Start(CPProcessBase* instance)
{
    if (m_runInstance == 1) {
        SetState(kStepRunning, NULL);
        gStepQueue.Add(this);
        return 0;
    }
    if (!instance)
        return 0;
    setDirty(2);
    if (m_instanceMode == kConcurrentInstances) {
        m_activeInstances.addPart(instance->getID());
        instance->Start(NULL);
    } else if (m_instanceMode == kSingleInstance &&
               (m_runState == kStepIdle || (m_runState == kStepRunning && m_replaceFlag))) {
        SetCurrentInstance(instance);
        SetState(kStepRunning, instance);
        instance->Start(NULL);
    } else if (m_instanceMode == kSingleInstance && m_runState == kStepRunning) {
        m_waitingList.Append(instance);
    } else {
        instance->Start(NULL);
    }
    return 0;
}

void CPProcessBase::SetState(long state, CPProcessBase* other)
{
    m_runState = state;
    setDirty(2);
    if (m_instanceMode == kSingleInstance && other) {
        other->SetState(state, NULL);
    } else if (m_instanceMode == kConcurrentInstances && state == kStepFinished) {
        CNeoRef<CPProcessBase> owner(FindDefinition());
        if (owner && owner->m_activeInstances.removePart(other ? other->getID() : getID()))
            owner->setDirty(2);
    }
}

CPProcessBase* CPProcessBase::FindDefinition()
{
    if (m_runInstance == 0) {
        refer();
        return this;
    }
    CNeoAndSelect select;
    select.addTerm(new CNeoIDSelect(m_originalID));
    select.addTerm(new CNeoLongSelect(kTagRunInstance, 0));
    return static_cast<CPProcessBase*>(getDatabase()->findObject(kClassProcessBase, &select));
}

CPProcessBase* CPProcessBase::FindCurrentInstance()
{
    if (m_currentInstance == -1 || m_currentInstance == 0)
        return NULL;
    return static_cast<CPProcessBase*>(FindByID(getDatabase(), kClassProcessBase, m_currentInstance));
}

void CPProcessBase::SetCurrentInstance(CPProcessBase* instance)
{
    m_currentInstance = instance->getID();
}

void CPProcessBase::MarkRunInstance(long flag, NeoID originalID, NeoID runNumber)
{
    setID(0);
    m_runInstance = flag;
    m_originalID = originalID;
    m_runNumber = runNumber;
}

void CPProcessBase::ResetForRun()
{
    m_activeInstances.removeAll();
    m_waitingList.RemoveAll();
    m_retryCount = 0;
    m_currentInstance = 0;
    m_dispatchCount = 0;
    m_counter = 0;
    m_runState = kStepIdle;
    m_runCounter = 0;
    setDirty(2);
}

BOOL CPProcessBase::RetryRuleMatches()
{
    if (m_retryMaximum == 0 || m_retryCount >= m_retryMaximum)
        return FALSE;
    ++m_retryCount;
    setDirty(2);
    return ExitCodeMatches(m_retryOperator, m_retryValue, m_retryUpperValue, m_exitCode);
}

void CPProcessBase::Stop()
{
    // The scheduler stops steps in the middle of its pass: the call to the
    // agent is left to the step queue's worker.
    if (m_agentID != 0 && m_agentStepHandle != 0)
        gStepQueue.AddCancel(m_agentID, m_agentStepHandle);
}

long CPProcessBase::DispatchToAgent()
{
    // Agents are asked with the database lock released: after each call the
    // instance may be gone (its batch deleted meanwhile).
    CNeoFoundObjects candidates;
    GetCandidateAgents(&candidates);
    long handle = 0;
    for (int i = 0; i < candidates.GetSize() && handle == 0 && getDatabase(); ++i) {
        CPAgent* agent = candidates.at<CPAgent>(i);
        if (!agent->getDatabase())
            continue;  // deleted while another agent was asked
        if (m_logItemID == 0)
            CreateLogItem();
        // The instance and its log item are on disk before an agent has the
        // step, so that its result finds them after a crash of this server.
        CommitChanges(getDatabase());
        handle = agent->CreateProcess(this);
        m_agentStepHandle = handle;
        if (handle != 0)
            m_agentID = agent->getID();
    }
    candidates.releaseAll();
    if (!getDatabase())
        return 0;
    ++m_counter;
    CNeoRef<CPProcessBase> definition(FindDefinition());
    if (definition) {
        definition->m_dispatchCount++;
        definition->setDirty(2);
    }
    setDirty(2);
    return handle;
}

void CPProcessBase::GetCandidateAgents(CObArray* agents)
{
    struct Candidate {
        NeoID id;
        long load;
    };
    std::vector<Candidate> candidates;
    CNeoDatabase* database = getDatabase();
    int count = m_allowedAgents.GetCount();
    for (int i = 0; i < count; ++i) {
        CNeoRef<CPAgent> agent(
            static_cast<CPAgent*>(m_allowedAgents.FindObjectAt(i, database, kClassAgent)));
        if (!agent)
            continue;
        long pair[2];
        agent->QueryLoad(pair);
        candidates.push_back({agent->getID(), pair[1]});
    }
    std::stable_sort(candidates.begin(), candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.load < b.load; });
    for (const Candidate& candidate : candidates) {
        if (candidate.load == -1)
            continue;
        CPPersistBase* agent = FindByID(database, kClassAgent, candidate.id);
        if (agent)
            agents->Add(agent);
    }
}

BOOL CPProcessBase::isPurgeable() const
{
    return m_currentInstance == -1 || m_currentInstance == 0;
}

// ---------------------------------------------------------------------------
// CPAgent

BOOL CPAgent::QueryLoad(long pair[2])
{
    pair[0] = 0;
    pair[1] = -1;
    std::unique_ptr<AgentConnection> connection = BindAgent(this, TRUE);
    if (!connection)
        return FALSE;
    long load = 0;
    if (!CallAgent([&] { load = connection->GetLoad(); }))
        return FALSE;
    pair[0] = getID();
    pair[1] = load;
    return TRUE;
}

BOOL CPAgent::StartAgentService()
{
    return Agents().StartAgentService(GetName());
}

long CPAgent::CreateProcess(CPProcessBase* step)
{
    std::unique_ptr<AgentConnection> connection = BindAgent(this, TRUE);
    if (!connection)
        return 0;
    CNeoRef<CPProcessBase> clone(static_cast<CPProcessBase*>(step->clone()));
    long handle = 0;
    if (!CallAgent([&] { handle = connection->ExecuteStep(clone.get()); }))
        return 0;
    if (!step->getDatabase()) {
        // Deleted while the agent took it: nothing would take its result.
        CallAgent([&] { connection->CancelStep(handle); });
        return 0;
    }
    // Its result may have arrived already while the lock was released.
    if (step->GetRunState() != kStepFinished)
        step->SetState(kStepRunning, step);
    return handle;
}

void CPAgent::StopProcess(long handle)
{
    std::unique_ptr<AgentConnection> connection = BindAgent(this, FALSE);
    if (connection)
        CallAgent([&] { connection->CancelStep(handle); });
}
