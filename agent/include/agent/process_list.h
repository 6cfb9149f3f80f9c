// ProcessListManager: every running or finished-but-unreturned step with the
// database thread that runs it, the handles that name steps to servers, and
// the links back to the servers (one per host, dropped once its host has no
// step left).
//
// Lock rule: used on database threads or under a ThreadMediatorGuard, so
// gNeoCritical serialises it; remote calls through links run with it
// released. A step handle is never 0 and never handed out twice.
#ifndef AGENT_PROCESS_LIST_H
#define AGENT_PROCESS_LIST_H

#include <agent/server_link.h>

#include <model/steps.h>

#include <map>
#include <memory>
#include <string>

class ProcessListManager
{
public:
    ProcessListManager();
    ~ProcessListManager();
    ProcessListManager(const ProcessListManager&) = delete;
    ProcessListManager& operator=(const ProcessListManager&) = delete;

    // Starts the step on a database thread of its own and keeps a reference
    // to it; its handle, or 0 when the list is stopping.
    long Add(CPProcessBase* step);
    // The mapped step with this handle, or NULL.
    CPProcessBase* FindStep(long handle) const;
    int Count() const { return (int)m_steps.size(); }
    // Kills a running step, takes a finished one out of the completed queue
    // (it is never returned), unmaps it and drops its host's link when that
    // was the host's last step.
    void CancelStep(CPProcessBase* step);
    // CancelStep for every step of a host; drops the host's link.
    void CancelServerSteps(const char* host);
    // Unmaps a step that has been returned.
    void Remove(CPProcessBase* step);
    BOOL IsStopping() const { return m_stopping; }
    // Kills every step, waits (bounded) for their threads and drops every
    // link.
    void Stop();

    // The bound link to a host, binding a new one when there is none: 0, or
    // the bind's code.
    long BindServerLink(const char* host);
    // The host's link, shared so that it outlives a drop during a call; NULL
    // when there is none.
    std::shared_ptr<ServerLink> FindServerLink(const char* host) const;
    int ServerLinkCount() const { return (int)m_links.size(); }

    // How long a stop or cancel waits for a step's thread to end.
    static constexpr DWORD kThreadEndWait = 2000;

private:
    struct Entry {
        CPProcessBase* step;  // referenced
        CNeoThreadMFC* thread;
    };
    typedef std::map<long, Entry>::iterator Iterator;

    static UINT StepThreadProc(void* data);
    Iterator Find(CPProcessBase* step);
    // Takes a step out of the map: waits (bounded) for its thread and lets
    // the step go.
    void Unmap(Iterator entry);
    BOOL HostHasSteps(const CString& host) const;
    void DropServerLinkIfIdle(const CString& host);

    std::map<long, Entry> m_steps;
    long m_lastHandle;
    std::map<std::string, std::shared_ptr<ServerLink>> m_links;
    volatile BOOL m_stopping;
};

// The agent's one ProcessListManager while it runs (NULL before and after).
extern ProcessListManager* gProcessList;

#endif
