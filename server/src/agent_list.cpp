#include <server/agent_list.h>

#include <server/agent_announcement.h>
#include <server/section_lock.h>

#include <stdio.h>
#include <string.h>

#include <cmath>
#include <string>
#include <vector>

AgentListManager gAgentList;

namespace {
COleDateTime LocalNow()
{
    return COleDateTime::GetCurrentTime();
}
AgentListManager::Clock gClock = LocalNow;

// The zero date: an entry given it is forgotten at the next pruning.
const COleDateTime kForgotten(0.0);
}  // namespace

void AgentListManager::SetClock(Clock clock)
{
    gClock = clock ? clock : LocalNow;
}

AgentListManager::AgentListManager() : m_entries(10), m_slot(INVALID_HANDLE_VALUE)
{
    InitializeCriticalSection(&m_lock);
}

AgentListManager::~AgentListManager()
{
    EndReader();
    DeleteEntries();
    DeleteCriticalSection(&m_lock);
}

int AgentListManager::Start(const char* slotName)
{
    m_slot = CreateMailslotA(slotName, 0, 0, NULL);
    if (m_slot == INVALID_HANDLE_VALUE)
        return 1;
    if (!m_thread.Start(ReaderThread, this)) {
        CloseHandle(m_slot);
        m_slot = INVALID_HANDLE_VALUE;
        return 1;
    }
    return 0;
}

void AgentListManager::Stop()
{
    printf("Stopping agent list manager......");
    fflush(stdout);
    EndReader();
    printf("stopped.\n");
    fflush(stdout);
}

void AgentListManager::EndReader()
{
    // The reader never blocks for long (its reads do not wait), so it is
    // joined before the slot goes; it may need the lock to finish its pass.
    m_thread.Stop(INFINITE);
    if (m_slot != INVALID_HANDLE_VALUE)
        CloseHandle(m_slot);
    m_slot = INVALID_HANDLE_VALUE;
}

DWORD WINAPI AgentListManager::ReaderThread(void* data)
{
    AgentListManager* self = static_cast<AgentListManager*>(data);
    do {
        self->ReadAnnouncements();
    } while (!self->m_thread.WaitForStop(kReadPeriod));
    return 0;
}

void AgentListManager::ReadAnnouncements()
{
    SectionLock lock(m_lock);
    // The count of waiting messages can read short: read until none is left.
    DWORD next = 0;
    while (GetMailslotInfo(m_slot, NULL, &next, NULL, NULL) && next != MAILSLOT_NO_MESSAGE) {
        std::vector<BYTE> message(next ? next : 1);
        DWORD read = 0;
        if (!ReadFile(m_slot, message.data(), next, &read, NULL))
            break;
        LONG kind = 0;
        std::string name;
        if (AgentAnnouncement::Decode(message.data(), read, &kind, &name))
            Heard(kind, name);
    }
    Prune();
}

void AgentListManager::Heard(LONG kind, const std::string& name)
{
    void* found = NULL;
    BOOL known = m_entries.Lookup(name.c_str(), found);
    if (kind == kAnnounce) {
        Entry* entry = static_cast<Entry*>(found);
        if (!known) {
            entry = new Entry;
            memset(entry->name, 0, sizeof entry->name);
            strncpy(entry->name, name.c_str(), kMaxNameChars);
            m_entries.SetAt(name.c_str(), entry);
        }
        entry->lastSeen = gClock();
    } else if (kind == kLeaving && known) {
        static_cast<Entry*>(found)->lastSeen = kForgotten;
    }
}

void AgentListManager::Prune()
{
    COleDateTime now = gClock();
    std::vector<CString> forgotten;
    for (POSITION at = m_entries.GetStartPosition(); at;) {
        CString key;
        void* value = NULL;
        m_entries.GetNextAssoc(at, key, value);
        Entry* entry = static_cast<Entry*>(value);
        // Whole minutes of the span taken to the millisecond first: a date
        // holds a time of day as a fraction, and 61 minutes can read 60.999.
        long long milliseconds = std::llround((now - entry->lastSeen).GetTotalDays() * 86400000.0);
        long minutes = (long)(milliseconds / 60000);
        if (minutes > kForgetMinutes) {
            forgotten.push_back(key);
            delete entry;
        }
    }
    for (const CString& key : forgotten)
        m_entries.RemoveKey(key);
}

void AgentListManager::SetLocked(BOOL locked)
{
    if (locked)
        EnterCriticalSection(&m_lock);
    else
        LeaveCriticalSection(&m_lock);
}

POSITION AgentListManager::GetFirstPosition() const
{
    return m_entries.GetStartPosition();
}

const AgentListManager::Entry* AgentListManager::GetNextEntry(POSITION& position) const
{
    CString key;
    void* value = NULL;
    m_entries.GetNextAssoc(position, key, value);
    return static_cast<const Entry*>(value);
}

void AgentListManager::DeleteEntries()
{
    SectionLock lock(m_lock);
    for (POSITION at = m_entries.GetStartPosition(); at;) {
        CString key;
        void* value = NULL;
        m_entries.GetNextAssoc(at, key, value);
        delete static_cast<Entry*>(value);
    }
    m_entries.RemoveAll();
}
