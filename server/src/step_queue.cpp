#include <server/step_queue.h>

#include <server/batch_scheduler.h>
#include <server/section_lock.h>

#include <model/batch.h>

#include <stdio.h>
#include <vector>

GenericThreadQueueManager gStepQueue;

namespace {
const DWORD kQueuePeriod = 250;

}  // namespace

GenericThreadQueueManager::GenericThreadQueueManager() : m_database(NULL)
{
    InitializeCriticalSection(&m_lock);
}

GenericThreadQueueManager::~GenericThreadQueueManager()
{
    DeleteCriticalSection(&m_lock);
}

BOOL GenericThreadQueueManager::Start(CNeoDatabase* database)
{
    m_database = database;
    m_worker.Start(kQueuePeriod, [this] { ProcessLocked(); });
    return TRUE;
}

BOOL GenericThreadQueueManager::Stop()
{
    printf("Stopping generic thread queue manager......");
    fflush(stdout);
    SleepReleased(500);
    m_worker.Stop();
    RemoveIf([](CPProcessBase*) { return true; });
    if (m_database) {
        CFocusDatabases focus(m_database, m_database);
        SendCancels();
    }
    printf("stopped.\n");
    fflush(stdout);
    return TRUE;
}

void GenericThreadQueueManager::ProcessLocked()
{
    CFocusDatabases focus(m_database, m_database);
    Process();
}

void GenericThreadQueueManager::AddCancel(NeoID agentID, long handle)
{
    SectionLock lock(m_lock);
    m_cancels.push_back({agentID, handle});
}

void GenericThreadQueueManager::SendCancels()
{
    std::vector<Cancel> cancels;
    {
        SectionLock lock(m_lock);
        cancels.swap(m_cancels);
    }
    for (const Cancel& cancel : cancels) {
        CNeoRef<CPAgent> agent(
            static_cast<CPAgent*>(CPPersistBase::FindByID(gNeoDatabase, kClassAgent, cancel.agentID)));
        if (agent)
            agent->StopProcess(cancel.handle);
    }
}

BOOL GenericThreadQueueManager::Add(CPProcessBase* instance)
{
    SectionLock lock(m_lock);
    instance->refer();
    AddTail(instance);
    return TRUE;
}

void GenericThreadQueueManager::Process()
{
    SendCancels();
    // The agents are asked without holding the queue's lock: a call to an
    // agent gives up the database lock while it waits, and a thread that
    // holds the database lock may be waiting for the queue's lock.
    CNeoFoundObjects pending;
    {
        SectionLock lock(m_lock);
        for (POSITION at = GetHeadPosition(); at;) {
            CPProcessBase* instance = GetNext(at);
            instance->refer();
            pending.Add(instance);
        }
    }
    for (int i = 0; i < pending.GetSize(); ++i) {
        CPProcessBase* instance = pending.at<CPProcessBase>(i);
        if (!Contains(instance))
            continue;  // its batch was stopped meanwhile
        if (!instance->getDatabase()) {
            Remove(instance);  // deleted with its batch
            continue;
        }
        if (instance->DispatchToAgent() == 0)
            continue;
        if (Contains(instance))
            Remove(instance);
        else
            instance->Stop();  // its run ended while the agent was asked
        // Which agent holds the step, under which handle.
        CommitChanges(instance->getDatabase());
    }
}

template <class Predicate>
void GenericThreadQueueManager::RemoveIf(Predicate drop)
{
    std::vector<CPProcessBase*> dropped;
    {
        SectionLock lock(m_lock);
        for (POSITION at = GetHeadPosition(); at;) {
            POSITION here = at;
            CPProcessBase* instance = GetNext(at);
            if (drop(instance)) {
                RemoveAt(here);
                dropped.push_back(instance);
            }
        }
    }
    for (CPProcessBase* instance : dropped)
        instance->unrefer();
}

void GenericThreadQueueManager::RemoveBatch(NeoID batchID)
{
    RemoveIf([batchID](CPProcessBase* instance) { return instance->GetParentID() == batchID; });
}

void GenericThreadQueueManager::Remove(CPProcessBase* instance)
{
    RemoveIf([instance](CPProcessBase* queued) { return queued == instance; });
}

BOOL GenericThreadQueueManager::Contains(const CPProcessBase* instance)
{
    SectionLock lock(m_lock);
    for (POSITION at = GetHeadPosition(); at;)
        if (GetNext(at) == instance)
            return TRUE;
    return FALSE;
}
