#include <agent/process_list.h>

#include <agent/agent_service.h>
#include <agent/completed_queue.h>

#include <objbase.h>
#include <stdio.h>

#include <vector>

ProcessListManager* gProcessList = NULL;

ProcessListManager::ProcessListManager() : m_lastHandle(0), m_stopping(FALSE) {}

ProcessListManager::~ProcessListManager()
{
    Stop();
}

long ProcessListManager::Add(CPProcessBase* step)
{
    if (m_stopping)
        return 0;
    step->refer();  // the list's reference
    step->refer();  // the thread's, let go when its run ends
    CNeoThreadMFC* thread;
    {
        CFocusDatabases focus(NULL, NULL);
        thread = new CNeoThreadMFC(NULL, 0, StepThreadProc, step, 0, 0);
    }
    long handle = ++m_lastHandle;
    m_steps[handle] = Entry{step, thread};
    return handle;
}

UINT ProcessListManager::StepThreadProc(void* data)
{
    CPProcessBase* step = static_cast<CPProcessBase*>(data);
    CoInitialize(NULL);
    long result = step->Start();
    CNeoThreadMFC::FThread()->yield();
    CoUninitialize();
    step->unrefer();
    return (UINT)result;
}

CPProcessBase* ProcessListManager::FindStep(long handle) const
{
    auto entry = m_steps.find(handle);
    return entry == m_steps.end() ? NULL : entry->second.step;
}

ProcessListManager::Iterator ProcessListManager::Find(CPProcessBase* step)
{
    for (Iterator entry = m_steps.begin(); entry != m_steps.end(); ++entry)
        if (entry->second.step == step)
            return entry;
    return m_steps.end();
}

void ProcessListManager::Unmap(Iterator entry)
{
    Entry taken = entry->second;
    m_steps.erase(entry);
    HANDLE thread = taken.thread->getHandle();
    DWORD ended;
    {
        CNeoCriticalRelease release;
        ended = WaitForSingleObject(thread, kThreadEndWait);
    }
    // A thread that is still running keeps its object.
    if (ended == WAIT_OBJECT_0)
        delete taken.thread;
    taken.step->unrefer();
}

BOOL ProcessListManager::HostHasSteps(const CString& host) const
{
    for (const auto& entry : m_steps)
        if (entry.second.step->GetHostName() == host)
            return TRUE;
    return FALSE;
}

void ProcessListManager::DropServerLinkIfIdle(const CString& host)
{
    if (HostHasSteps(host))
        return;
    auto found = m_links.find((LPCTSTR)host);
    if (found == m_links.end())
        return;
    std::shared_ptr<ServerLink> link = found->second;
    m_links.erase(found);
    CNeoCriticalRelease release;
    link->Unbind();
}

void ProcessListManager::CancelStep(CPProcessBase* step)
{
    Iterator entry = Find(step);
    if (entry == m_steps.end())
        return;
    if (gCompletedQueue)
        gCompletedQueue->Remove(step);
    CString host = step->GetHostName();
    step->Kill();
    Unmap(entry);
    DropServerLinkIfIdle(host);
}

void ProcessListManager::CancelServerSteps(const char* host)
{
    std::vector<CPProcessBase*> steps;
    for (const auto& entry : m_steps)
        if (entry.second.step->GetHostName() == host)
            steps.push_back(entry.second.step);
    for (CPProcessBase* step : steps) {
        Iterator entry = Find(step);
        if (entry == m_steps.end())
            continue;
        if (gCompletedQueue)
            gCompletedQueue->Remove(step);
        step->Kill();
        Unmap(entry);
    }
    DropServerLinkIfIdle(host);
}

void ProcessListManager::Remove(CPProcessBase* step)
{
    Iterator entry = Find(step);
    if (entry == m_steps.end())
        return;
    CString host = step->GetHostName();
    Unmap(entry);
    DropServerLinkIfIdle(host);
}

long ProcessListManager::BindServerLink(const char* host)
{
    if (m_links.count(host))
        return 0;
    std::shared_ptr<ServerLink> link(new ServerLink(host));
    long bound;
    {
        CNeoCriticalRelease release;
        bound = link->Bind();
    }
    if (bound != 0)
        return bound;
    if (m_links.count(host) || m_stopping) {
        // Another call bound the host meanwhile, or the agent is stopping.
        CNeoCriticalRelease release;
        link->Unbind();
        return m_stopping ? (long)ERROR_SERVICE_NOT_ACTIVE : 0;
    }
    m_links[host] = link;
    return 0;
}

std::shared_ptr<ServerLink> ProcessListManager::FindServerLink(const char* host) const
{
    auto found = m_links.find(host);
    return found == m_links.end() ? NULL : found->second;
}

void ProcessListManager::Stop()
{
    if (m_stopping)
        return;
    printf("Stopping process list manager.....");
    fflush(stdout);
    m_stopping = TRUE;
    while (!m_steps.empty()) {
        Iterator entry = m_steps.begin();
        entry->second.step->Kill();
        Unmap(entry);
    }
    std::map<std::string, std::shared_ptr<ServerLink>> links;
    links.swap(m_links);
    {
        CNeoCriticalRelease release;
        for (auto& link : links)
            link.second->Unbind();
    }
    printf("stopped!\n");
    fflush(stdout);
}
