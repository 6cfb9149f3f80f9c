// The agent list on a mailslot of this process's own: announcements,
// leaving records and the forgetting of agents not heard for an hour, with a
// clock the test moves; and the unregistered agents a console is offered.
#include <server/agent_announcement.h>
#include <server/agent_list.h>
#include <server/client_session.h>
#include <server/object_access.h>
#include <server/transfer_records.h>

#include <model/batch.h>

#include "model_test_util.h"
#include "sample_batch.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

const long kOtherKind = 7;
const char kLongName[] = "abcdefghijklmnopqrstuvwxy";  // 25 characters
const char kLongNameHeld[] = "abcdefghijklmnopqrs";    // its first 19
const DWORD kNotARecordBytes = 10;

// Minutes on the test's clock, from 09:00 of a fixed day.
int gMinute = 0;
COleDateTime MinuteClock(int minute)
{
    return COleDateTime(2026, 3, 10, 9, 0, 0) + COleDateTimeSpan(0, 0, minute, 0);
}
COleDateTime TestClock()
{
    return MinuteClock(gMinute);
}

std::string SlotName()
{
    return "\\\\.\\mailslot\\vantorel-" + std::to_string(GetCurrentProcessId()) + "-agents";
}

// One message into the slot, as an agent writes it.
bool Write(const std::string& slot, const BYTE* bytes, DWORD length)
{
    HANDLE file = CreateFileA(slot.c_str(), GENERIC_WRITE, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes, length, &written, NULL);
    CloseHandle(file);
    return ok && written == length;
}

bool Announce(const std::string& slot, long kind, const char* name)
{
    BYTE record[AgentAnnouncement::kRecordBytes];
    AgentAnnouncement::Encode((AnnouncementKind)kind, name, record);
    return Write(slot, record, sizeof record);
}

// The entries as "name@minute" rows, in name order.
std::string Entries(AgentListManager& list)
{
    std::map<std::string, int> entries;
    list.SetLocked(TRUE);
    for (POSITION at = list.GetFirstPosition(); at;) {
        const AgentListManager::Entry* entry = list.GetNextEntry(at);
        double minutes = (entry->lastSeen - MinuteClock(0)).GetTotalDays() * 1440;
        entries[entry->name] = (int)(minutes + (minutes < 0 ? -0.5 : 0.5));
    }
    list.SetLocked(FALSE);
    std::string rows;
    for (const auto& entry : entries)
        rows += entry.first + "@" + std::to_string(entry.second) + "\n";
    return rows;
}

class AgentListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        gMinute = 0;
        AgentListManager::SetClock(TestClock);
    }
    void TearDown() override { AgentListManager::SetClock(NULL); }

    const std::string m_slot = SlotName();
};

TEST_F(AgentListTest, AnnouncementsAndLeavingRecordsChangeTheListAtTheirPass)
{
    AgentListManager list;
    ASSERT_EQ(list.Start(m_slot.c_str()), 0);
    struct Message {
        int minute;
        long kind;  // kOtherKind with a null name: bytes that are no record
        const char* name;
        const char* entries;
    } messages[] = {
        {0, kAnnounce, "alpha", "alpha@0\n"},
        {5, kAnnounce, "alpha", "alpha@5\n"},  // one entry, the later time
        {6, kAnnounce, kLongName, "abcdefghijklmnopqrs@6\nalpha@5\n"},
        {7, kOtherKind, "alpha", "abcdefghijklmnopqrs@6\nalpha@5\n"},
        {8, kOtherKind, NULL, "abcdefghijklmnopqrs@6\nalpha@5\n"},
        {9, kLeaving, "never-heard", "abcdefghijklmnopqrs@6\nalpha@5\n"},
        {10, kLeaving, "alpha", "abcdefghijklmnopqrs@6\n"},
        {11, kAnnounce, "alpha", "abcdefghijklmnopqrs@6\nalpha@11\n"},
    };
    for (const Message& m : messages) {
        SCOPED_TRACE(testing::Message() << "minute " << m.minute);
        gMinute = m.minute;
        if (m.name)
            ASSERT_TRUE(Announce(m_slot, m.kind, m.name));
        else
            ASSERT_TRUE(Write(m_slot, (const BYTE*)"0123456789", kNotARecordBytes));
        list.ReadAnnouncements();
        EXPECT_EQ(Entries(list), m.entries);
    }
    EXPECT_EQ(std::string(kLongNameHeld).size(), (size_t)AgentListManager::kMaxNameChars);
    list.Stop();
}

TEST_F(AgentListTest, AgentsUnheardForMoreThanAnHourAreForgottenAtAPassWithoutMessages)
{
    AgentListManager list;
    ASSERT_EQ(list.Start(m_slot.c_str()), 0);
    ASSERT_TRUE(Announce(m_slot, kAnnounce, "alpha"));
    list.ReadAnnouncements();
    gMinute = 1;
    ASSERT_TRUE(Announce(m_slot, kAnnounce, "beta"));
    list.ReadAnnouncements();
    struct Pass {
        int minute;
        const char* entries;
    } passes[] = {
        {60, "alpha@0\nbeta@1\n"},  // 60 minutes unheard: kept
        {61, "beta@1\n"},           // 61: forgotten
        {62, ""},
    };
    for (const Pass& p : passes) {
        SCOPED_TRACE(testing::Message() << "minute " << p.minute);
        gMinute = p.minute;
        list.ReadAnnouncements();
        EXPECT_EQ(Entries(list), p.entries);
    }
    list.Stop();
}

TEST_F(AgentListTest, UnregisteredAgentsLeaveOutTheStoredOnes)
{
    InMemoryDatabase db;
    FileUnder(db.get(), new CPAgent, 0, "alpha");
    ASSERT_EQ(gAgentList.Start(m_slot.c_str()), 0);
    for (const char* name : {"alpha", "beta", "gamma"})
        ASSERT_TRUE(Announce(m_slot, kAnnounce, name));
    gAgentList.ReadAnnouncements();

    std::vector<std::string> names;
    {
        CNeoLock lock;
        ClientSession session(db.get());
        RpcBlob reply = {0, NULL};
        ObjectAccess::ListUnregisteredAgents(&session, &reply);
        CObList list;
        LoadTransferList(reply.data, reply.size, list);
        for (POSITION at = list.GetHeadPosition(); at;)
            names.push_back((const char*)static_cast<CSObjectNames*>(list.GetNext(at))->GetName());
        DeleteTransferList(list);
        MIDL_user_free(reply.data);
    }
    gAgentList.Stop();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, std::vector<std::string>({"beta", "gamma"}));
}

}  // namespace
