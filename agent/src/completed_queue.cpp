#include <agent/completed_queue.h>

#include <agent/agent_service.h>
#include <agent/process_list.h>
#include <server/section_lock.h>

#include <stdio.h>

#include <algorithm>
#include <vector>

CompletedQueueManager* gCompletedQueue = NULL;

CompletedQueueManager::CompletedQueueManager()
{
    InitializeCriticalSection(&m_lock);
    m_database.fSetting = 2;
    m_database.setLocation(&m_location);
}

CompletedQueueManager::~CompletedQueueManager()
{
    Stop();
    DeleteCriticalSection(&m_lock);
}

BOOL CompletedQueueManager::Start()
{
    {
        CNeoLock lock;
        ResetImage(&m_database);
    }
    m_worker.Start(kPeriod, [this] { ReturnCompleted(); });
    return TRUE;
}

void CompletedQueueManager::Add(CPProcessBase* step)
{
    step->refer();
    SectionLock lock(m_lock);
    m_queue.push_front(step);
}

void CompletedQueueManager::Remove(CPProcessBase* step)
{
    BOOL found = FALSE;
    {
        SectionLock lock(m_lock);
        auto entry = std::find(m_queue.begin(), m_queue.end(), step);
        if (entry != m_queue.end()) {
            m_queue.erase(entry);
            found = TRUE;
        }
    }
    if (found)
        step->unrefer();
}

int CompletedQueueManager::Count()
{
    SectionLock lock(m_lock);
    return (int)m_queue.size();
}

long CompletedQueueManager::ReturnStep(CPProcessBase* step)
{
    std::shared_ptr<ServerLink> link = gProcessList->FindServerLink(step->GetHostName());
    if (!link)
        return ERROR_NOT_FOUND;
    std::vector<BYTE> image;
    {
        CFocusDatabases focus(&m_database, &m_database);
        ResetImage(&m_database);
        CNeoRef<CPProcessBase> clone(static_cast<CPProcessBase*>(step->clone()));
        clone->setDirty(2);
        m_database.addObject(clone.get(), TRUE, NULL);
        unsigned long length = 0;
        const BYTE* bytes = GetImageBytes(&m_database, &length);
        image.assign(bytes, bytes + length);
        m_database.removeObject(clone.get(), TRUE);
    }
    CNeoCriticalRelease release;
    return link->ReturnStep(step->getID(), image.data(), (unsigned long)image.size());
}

void CompletedQueueManager::ReturnCompleted()
{
    if (gProcessList == NULL)
        return;
    CFocusDatabases focus(gNeoDatabase, gNeoTargetDatabase);
    // A snapshot: steps added or removed during the pass wait for the next.
    std::vector<CPProcessBase*> snapshot;
    {
        SectionLock lock(m_lock);
        for (CPProcessBase* step : m_queue) {
            step->refer();
            snapshot.push_back(step);
        }
    }
    for (CPProcessBase* step : snapshot) {
        long status = ReturnStep(step);
        if (status == 0) {
            printf("Returning completed process %s\n", (LPCTSTR)step->GetName());
            fflush(stdout);
            Remove(step);
            gProcessList->Remove(step);
        }
        step->unrefer();
    }
}

void CompletedQueueManager::Stop()
{
    if (!m_worker.IsRunning())
        return;
    printf("Stopping completed queue manager.....");
    fflush(stdout);
    m_worker.Stop(kStopWait);
    std::list<CPProcessBase*> left;
    {
        SectionLock lock(m_lock);
        left.swap(m_queue);
    }
    for (CPProcessBase* step : left)
        step->unrefer();
    m_database.close(FALSE);
    printf("stopped.");
    fflush(stdout);
}
