// AgentListManager: the agents heard on this machine's announcement mailslot.
// A reader thread reads the slot every 5 s: an announcement records its
// computer's name with the time it was heard, a leaving record forgets it,
// and every pass forgets the names not heard for more than 60 minutes.
// ListUnregisteredAgents walks the names.
//
// Lock rule: the map is guarded by the agent list lock. A walker takes it
// with SetLocked(TRUE) around GetFirstPosition/GetNextEntry and gives it back
// with SetLocked(FALSE). Stop waits for the reader without holding it.
#ifndef SERVER_AGENT_LIST_H
#define SERVER_AGENT_LIST_H

#include <server/manager_thread.h>

#include <framework/framework.h>

class AgentListManager {
public:
    // A name is held in 20 bytes with its NUL.
    static constexpr int kMaxNameChars = 19;
    // Names unheard for more whole minutes than this are forgotten.
    static constexpr long kForgetMinutes = 60;
    static constexpr DWORD kReadPeriod = 5000;

    struct Entry {
        char name[kMaxNameChars + 1];
        COleDateTime lastSeen;  // local time
    };

    AgentListManager();
    ~AgentListManager();
    AgentListManager(const AgentListManager&) = delete;
    AgentListManager& operator=(const AgentListManager&) = delete;

    // Creates the mailslot and starts the reader: 0, or 1 when the slot
    // cannot be created (the list then stays empty).
    int Start(const char* slotName);
    // Prints its stop lines, ends the reader and closes the slot.
    void Stop();

    void SetLocked(BOOL locked);
    POSITION GetFirstPosition() const;
    const Entry* GetNextEntry(POSITION& position) const;

    // One reader pass: every waiting record, then the pruning.
    void ReadAnnouncements();

    // The clock of last-seen times and pruning (tests move it on).
    typedef COleDateTime (*Clock)();
    static void SetClock(Clock clock);

private:
    static DWORD WINAPI ReaderThread(void* self);
    void EndReader();
    void Heard(LONG kind, const std::string& name);
    void Prune();
    void DeleteEntries();

    CMapStringToPtr m_entries;
    HANDLE m_slot;
    ManagerThread m_thread;
    CRITICAL_SECTION m_lock;
};

// The server's agent list.
extern AgentListManager gAgentList;

#endif
