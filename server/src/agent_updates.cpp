#include <server/agent_updates.h>
#include <server/section_lock.h>

#include <model/batch.h>
#include <model/steps.h>

#include <stdio.h>

AgentUpdateManager gAgentUpdates;

namespace {
const DWORD kApplyPeriod = 1000;

// A run instance whose batch no longer watches it belongs to a run that was
// stopped or replaced, or that a restart interrupted.
BOOL IsWatched(CPProcessBase* instance)
{
    CNeoRef<CPBatch> batch(static_cast<CPBatch*>(
        CPPersistBase::FindByID(instance->getDatabase(), kClassBatch, instance->GetParentID())));
    return batch && batch->GetRunningList().contains(instance->getID());
}
}  // namespace

AgentUpdate::AgentUpdate(long id, const void* data, unsigned long length)
    : processID(id), bytes(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + length)
{
}

AgentUpdateManager::AgentUpdateManager() : m_database(NULL)
{
    InitializeCriticalSection(&m_lock);
    m_view.setLocation(&m_location);
    m_view.fSetting = 2;
}

AgentUpdateManager::~AgentUpdateManager()
{
    for (AgentUpdate* update : m_queue)
        delete update;
    DeleteCriticalSection(&m_lock);
}

void AgentUpdateManager::OpenView()
{
    ResetImage(&m_view);
}

BOOL AgentUpdateManager::Start(CNeoDatabase* database)
{
    m_database = database;
    m_worker.Start(kApplyPeriod, [this] { Apply(); });
    return TRUE;
}

BOOL AgentUpdateManager::Stop()
{
    printf("Stopping agent update manager......");
    fflush(stdout);
    m_worker.Stop();
    // Results answered 0 are kept: those still queued are applied now,
    // before the server's last commit.
    Apply();
    {
        CNeoLock lock;
        if (m_view.isOpen())
            m_view.close(FALSE);
    }
    printf("stopped.\n");
    fflush(stdout);
    return TRUE;
}

long AgentUpdateManager::Post(long processID, const void* bytes, unsigned long length)
{
    SectionLock lock(m_lock);
    if ((int)m_queue.size() >= kMaxQueued)
        return 1;
    m_queue.push_back(new AgentUpdate(processID, bytes, length));
    return 0;
}

int AgentUpdateManager::GetQueuedCount()
{
    SectionLock lock(m_lock);
    return (int)m_queue.size();
}

void AgentUpdateManager::Apply()
{
    CNeoLock databaseLock;
    std::vector<AgentUpdate*> queue;
    {
        SectionLock lock(m_lock);
        queue.swap(m_queue);
    }
    CFocusDatabases focus(gNeoDatabase, gNeoTargetDatabase);
    for (AgentUpdate* update : queue) {
        ApplyOne(*update);
        delete update;
    }
}

void AgentUpdateManager::ApplyOne(const AgentUpdate& update)
{
    try {
        LoadImage(&m_view, update.bytes.empty() ? NULL : &update.bytes[0],
                  (unsigned long)update.bytes.size());
    } catch (CNeoException* e) {
        // Not an object stream: nothing to apply.
        e->Delete();
        OpenView();
        return;
    }
    CNeoRef<CPProcessBase> received(static_cast<CPProcessBase*>(
        CPPersistBase::FindByID(&m_view, kClassProcessBase, update.processID)));
    gNeoDatabase = gNeoTargetDatabase = m_database;
    CNeoRef<CPProcessBase> stored(static_cast<CPProcessBase*>(
        CPPersistBase::FindByID(m_database, kClassProcessBase, update.processID)));
    if (received && stored) {
        printf("Updating process %s\n", (LPCTSTR)received->GetName());
        fflush(stdout);
        stored->update(received.get());
        if (IsWatched(stored.get())) {
            stored->OnAgentUpdate();
            stored->setDirty(2);
        } else {
            // Nothing follows a result of a run that is over: log it and let
            // the instance go.
            stored->CompleteLogItem();
            m_database->removeObject(stored.get());
        }
    }
    OpenView();
}

long CPProcessBase::OnAgentUpdate()
{
    if (m_instanceMode == kSingleInstance) {
        CNeoRef<CPProcessBase> definition(FindDefinition());
        if (definition)
            definition->SetState(kStepIdle, NULL);
        SetState(kStepFinished, NULL);
    } else if (m_instanceMode == kConcurrentInstances) {
        SetState(kStepFinished, this);
    }
    CompleteLogItem();
    return 0;
}
