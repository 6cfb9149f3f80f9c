// A run's steps: preparing the run, starting the start steps, and on every
// monitoring tick retrying or following the finished run instances and
// starting the next steps under their instance rules.
#include <server/step_queue.h>

#include <model/batch.h>
#include <model/run_log.h>
#include <model/steps.h>
#include <model/triggers.h>

#include <vector>

void CPBatch::PrepareRun(CPTriggerItemBase* item, ENeoPartMgr& startList)
{
    ForgetRunInstances();
    m_runningList.removeAll();
    CNeoDatabase* database = getDatabase();
    CNeoFoundObjects steps;
    FindChildren(database, kClassProcessBase, getID(), TRUE, &steps);
    for (int i = 0; i < steps.GetSize(); ++i) {
        CPProcessBase* step = steps.at<CPProcessBase>(i);
        if (step->GetRunInstance() == 0)
            step->ResetForRun();
    }
    CNeoFoundObjects links;
    FindChildren(database, kClassBatchLink, getID(), TRUE, &links);
    for (int i = 0; i < links.GetSize(); ++i)
        links.at<CPBatchLink>(i)->ResetForRun();
    CollectStartSteps(item, startList);
    ++m_runNumber;
    setDirty(2);
}

void CPBatch::ForgetRunInstances()
{
    // Instances of an earlier run (stopped, replaced or interrupted by a
    // restart) have nothing more to do: no agent result is followed for them.
    gStepQueue.RemoveBatch(getID());
    CNeoFoundObjects steps;
    FindChildren(getDatabase(), kClassProcessBase, getID(), TRUE, &steps);
    for (int i = 0; i < steps.GetSize(); ++i) {
        CPProcessBase* step = steps.at<CPProcessBase>(i);
        if (step->GetRunInstance() == 1)
            getDatabase()->removeObject(step);
    }
}

void CPBatch::CollectStartSteps(CPTriggerItemBase* item, ENeoPartMgr& startList)
{
    CNeoFoundObjects links;
    CNeoLongSelect fromItem(kTagLinkSource, item->getID());
    getDatabase()->findObject(kClassBatchLink, &fromItem, TRUE, NULL, &links);
    for (int i = 0; i < links.GetSize(); ++i) {
        CNeoRef<CPPersistBase> step(
            FindByID(getDatabase(), kClassProcessBase, links.at<CPBatchLink>(i)->GetTargetID()));
        if (step)
            startList.addPart(step->getID());
    }
}

CPProcessBase* CPBatch::NewRunInstance(CPProcessBase* definition)
{
    CPProcessBase* instance = static_cast<CPProcessBase*>(definition->clone());
    instance->SetAlternateAccount(GetAccount());
    instance->SetAlternatePassword(GetPassword());
    instance->MarkRunInstance(1, definition->getID(), m_runNumber);
    instance->SetRunState(kStepIdle);
    getDatabase()->addObject(instance, TRUE, NULL);
    return instance;
}

void CPBatch::StartSteps()
{
    std::vector<NeoID> started;
    for (long i = 0; i < m_startList.getCount(); ++i) {
        CNeoRef<CPProcessBase> definition(static_cast<CPProcessBase*>(m_startList.getPart(i)));
        if (!definition)
            continue;
        CNeoRef<CPProcessBase> instance(NewRunInstance(definition.get()));
        if (definition->Start(instance.get()) == 0 && !m_runningList.contains(instance->getID()))
            m_runningList.addPart(instance->getID());
        started.push_back(definition->getID());
    }
    for (NeoID id : started)
        m_startList.removePart(id);
    if (m_runningList.getCount() == 0)
        SetPhase(kPhaseFinished);
}

void CPBatch::MonitorSteps()
{
    CNeoDatabase* database = getDatabase();
    CNeoFoundObjects finished, newInstances;
    std::vector<NeoID> watched;
    for (long i = 0; i < m_runningList.getCount(); ++i)
        watched.push_back(m_runningList.getPartID(i));
    for (NeoID id : watched) {
        if (!m_runningList.contains(id))
            continue;  // replaced earlier in this tick
        CNeoRef<CPProcessBase> instance(
            static_cast<CPProcessBase*>(FindByID(database, kClassProcessBase, id)));
        if (!instance) {
            // Gone from the database: it can never finish.
            m_runningList.removePart(id);
            continue;
        }
        if (instance->GetRunState() != kStepFinished)
            continue;
        if (instance->RetryRuleMatches()) {
            RetryStep(instance.get());
            continue;
        }
        if (instance->GetInstanceMode() == kSingleInstance)
            StartNextWaiting(instance.get(), newInstances);
        instance->refer();
        finished.Add(instance.get());
        CNeoFoundObjects next;
        FollowLinks(instance.get(), &next);
        for (int n = 0; n < next.GetSize(); ++n) {
            CPProcessBase* definition = next.at<CPProcessBase>(n);
            if (definition->GetInstanceMode() == kConcurrentInstances)
                StartNextConcurrent(definition, newInstances);
            else if (definition->GetInstanceMode() == kSingleInstance)
                StartNextSingle(definition, newInstances);
        }
    }
    for (int i = 0; i < finished.GetSize(); ++i) {
        CPProcessBase* instance = finished.at<CPProcessBase>(i);
        m_runningList.removePart(instance->getID());
        if (instance->getDatabase())
            database->removeObject(instance);
    }
    for (int i = 0; i < newInstances.GetSize(); ++i) {
        NeoID id = newInstances.at<CPProcessBase>(i)->getID();
        if (!m_runningList.contains(id))
            m_runningList.addPart(id);
    }
    if (m_runningList.getCount() == 0)
        SetPhase(kPhaseFinished);
    setDirty(2);
}

void CPBatch::StartNextConcurrent(CPProcessBase* definition, CNeoFoundObjects& newInstances)
{
    unsigned long limit = (unsigned long)definition->GetActiveInstanceLimit();
    unsigned long active = (unsigned long)definition->GetActiveInstances().getCount();
    if (limit != 0 && active >= limit)
        return;  // a link start beyond the limit is dropped
    CPProcessBase* instance = NewRunInstance(definition);
    definition->Start(instance);
    newInstances.Add(instance);
}

void CPBatch::StartNextSingle(CPProcessBase* definition, CNeoFoundObjects& newInstances)
{
    CNeoRef<CPProcessBase> instance(NewRunInstance(definition));
    // The definition's Start makes the instance current and queues it when
    // the step is idle or replaces its instance; otherwise it waits.
    BOOL startsNow = definition->GetRunState() == kStepIdle ||
                     (definition->GetRunState() == kStepRunning && definition->GetReplaceFlag());
    if (definition->GetReplaceFlag()) {
        CNeoRef<CPProcessBase> current(definition->FindCurrentInstance());
        if (current && current.get() != instance.get() &&
            current->GetRunState() != kStepFinished)
            CancelReplacedInstance(current.get(), newInstances);
    }
    if (startsNow) {
        instance->refer();
        newInstances.Add(instance.get());
    }
    definition->Start(instance.get());
}

void CPBatch::CancelReplacedInstance(CPProcessBase* replaced, CNeoFoundObjects& newInstances)
{
    for (int i = 0; i < newInstances.GetSize(); ++i) {
        if (newInstances.GetAt(i) == replaced) {
            newInstances.RemoveAt(i);
            replaced->unrefer();
            break;
        }
    }
    m_runningList.removePart(replaced->getID());
    gStepQueue.Remove(replaced);
    replaced->Stop();
    CNeoRef<CPBatchLogItemBase> logItem(static_cast<CPBatchLogItemBase*>(
        FindByID(getDatabase(), kClassBatchLogItemProcess, replaced->GetLogItemID())));
    if (logItem && logItem->GetEndTime().m_dt == 0) {
        logItem->SetEndTimeNow();
        logItem->setDirty(2);
    }
    getDatabase()->removeObject(replaced);
}

void CPBatch::StartNextWaiting(CPProcessBase* finished, CNeoFoundObjects& newInstances)
{
    CNeoRef<CPProcessBase> definition(finished->FindDefinition());
    if (!definition)
        return;
    PersistentIdArray& waiting = definition->GetWaitingList();
    CPProcessBase* next = NULL;
    while (!next && waiting.GetCount() > 0)
        next = static_cast<CPProcessBase*>(waiting.PopFirst());
    if (!next) {
        definition->SetState(kStepIdle, NULL);
        return;
    }
    newInstances.Add(next);
    definition->SetState(kStepRunning, next);
    definition->SetCurrentInstance(next);
    next->Start(NULL);
}

void CPBatch::RetryStep(CPProcessBase* instance)
{
    // The retry goes through the step queue like any other start: agents are
    // never called in the middle of the scheduler's pass, and a retry that no
    // agent takes waits there instead of using up its retries without running.
    instance->Start(NULL);
}
