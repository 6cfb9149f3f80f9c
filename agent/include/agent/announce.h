// AgentAnnounceManager: makes the agent visible to servers by writing an
// AgentAnnouncement with this computer's name to the announcement mailslot
// of every machine: at once, six more times at 10-second intervals, then
// once a minute, and a leaving record when it stops.
#ifndef AGENT_ANNOUNCE_H
#define AGENT_ANNOUNCE_H

#include <server/agent_announcement.h>
#include <server/manager_thread.h>

#include <string>

class AgentAnnounceManager
{
public:
    AgentAnnounceManager();
    ~AgentAnnounceManager();
    AgentAnnounceManager(const AgentAnnounceManager&) = delete;
    AgentAnnounceManager& operator=(const AgentAnnounceManager&) = delete;

    // Reads the computer name and starts the announcement thread: 0, or 1
    // when the workstation information cannot be read.
    int Start(const char* slotName);
    // Ends the thread (waiting at most 1 s) and sends the leaving record.
    void Stop();

    // The wait before the next announcement: 10 s six times, then 60 s.
    DWORD NextInterval();
    // Writes one record to the slot; FALSE when the slot cannot be opened.
    BOOL Send(AnnouncementKind kind);
    const std::string& GetComputerName() const { return m_computerName; }

    static constexpr DWORD kShortInterval = 10000;
    static constexpr DWORD kLongInterval = 60000;
    static constexpr int kShortIntervals = 6;
    static constexpr DWORD kStopWait = 1000;

private:
    static DWORD WINAPI ThreadProc(void* self);

    std::string m_computerName;
    std::string m_slotName;
    ManagerThread m_thread;
    int m_intervals;
};

// The agent's one AgentAnnounceManager while it runs (NULL before and after).
extern AgentAnnounceManager* gAnnouncer;

#endif
