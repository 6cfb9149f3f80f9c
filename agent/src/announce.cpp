#include <agent/announce.h>

#include <oscalls/oscalls.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

AgentAnnounceManager* gAnnouncer = NULL;

AgentAnnounceManager::AgentAnnounceManager() : m_intervals(0) {}

AgentAnnounceManager::~AgentAnnounceManager()
{
    Stop();
}

int AgentAnnounceManager::Start(const char* slotName)
{
    AccountCalls& accounts = Os<AccountCalls>();
    BYTE* buffer = NULL;
    if (accounts.NetWkstaGetInfo(NULL, 101, &buffer) != 0)
        return 1;
    char name[261] = "";
    wcstombs(name, ((WKSTA_INFO_101*)buffer)->wki101_computername, sizeof name - 1);
    accounts.NetApiBufferFree(buffer);
    m_computerName = name;
    m_slotName = slotName;
    m_intervals = 0;
    return m_thread.Start(ThreadProc, this) ? 0 : 1;
}

DWORD AgentAnnounceManager::NextInterval()
{
    if (m_intervals >= 0 && m_intervals < kShortIntervals) {
        ++m_intervals;
        return kShortInterval;
    }
    return kLongInterval;
}

BOOL AgentAnnounceManager::Send(AnnouncementKind kind)
{
    HANDLE slot = Os<SlotCalls>().OpenBroadcastSlot(m_slotName.c_str());
    if (slot == INVALID_HANDLE_VALUE)
        return FALSE;
    BYTE record[AgentAnnouncement::kRecordBytes];
    AgentAnnouncement::Encode(kind, m_computerName.c_str(), record);
    DWORD written = 0;
    BOOL sent = WriteFile(slot, record, sizeof record, &written, NULL) && written == sizeof record;
    CloseHandle(slot);
    return sent;
}

DWORD WINAPI AgentAnnounceManager::ThreadProc(void* data)
{
    AgentAnnounceManager* self = static_cast<AgentAnnounceManager*>(data);
    do {
        self->Send(kAnnounce);
    } while (!self->m_thread.WaitForStop(self->NextInterval()));
    return 0;
}

void AgentAnnounceManager::Stop()
{
    if (!m_thread.IsRunning())
        return;
    printf("Stopping agent update manager......");
    fflush(stdout);
    m_thread.Stop(kStopWait);
    Send(kLeaving);
    printf("stopped.\n");
    fflush(stdout);
}
