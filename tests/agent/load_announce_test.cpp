// Load statistics and announcements: the weighted load, the sample window,
// the announcement record, its intervals and the leaving record.
#include <agent/announce.h>
#include <agent/load_statistics.h>

#include <oscalls/oscalls.h>

#include <gtest/gtest.h>

#include <string.h>

#include <string>

namespace {

TEST(LoadStatistics, LoadIsTheMeanOfWeightedSamples)
{
    struct Case {
        LONG processor, memory, weighted;
    } cases[] = {
        {100, 100, 99},
        {50, 10, 36},
        {0, 0, 0},
        {1, 2, 0},
    };
    for (const Case& c : cases) {
        PerformanceSample sample = {c.processor, c.memory};
        EXPECT_EQ(c.weighted, sample.GetWeightedLoad());
    }
    PerformanceStatisticsManager statistics;
    EXPECT_EQ(0, statistics.GetLoad());  // no sample yet
    statistics.AddSample({100, 100});
    statistics.AddSample({50, 10});
    EXPECT_EQ((99 + 36) / 2, statistics.GetLoad());
}

TEST(LoadStatistics, TheLastSixtySamplesAreKept)
{
    PerformanceStatisticsManager statistics;
    statistics.AddSample({100, 100});
    for (int i = 0; i < PerformanceStatisticsManager::kMaxSamples; ++i)
        statistics.AddSample({0, 0});
    EXPECT_EQ(PerformanceStatisticsManager::kMaxSamples, statistics.SampleCount());
    EXPECT_EQ(0, statistics.GetLoad());  // the first sample is gone

    statistics.Start();
    statistics.Stop();
    EXPECT_EQ(0, statistics.SampleCount());
}

TEST(Announcements, RecordsCarryTheKindAndTheNameZeroFilled)
{
    struct Case {
        AnnouncementKind kind;
        std::string name;
        std::string stored;
    } cases[] = {
        {kAnnounce, "NIGHTSHIFT-0015", "NIGHTSHIFT-0015"},
        {kLeaving, "A", "A"},
        {kAnnounce, std::string(40, 'n'), std::string(31, 'n')},
    };
    for (const Case& c : cases) {
        BYTE record[AgentAnnouncement::kRecordBytes];
        AgentAnnouncement::Encode(c.kind, c.name.c_str(), record);
        BYTE expected[AgentAnnouncement::kRecordBytes] = {(BYTE)c.kind};
        memcpy(expected + 4, c.stored.data(), c.stored.size());
        EXPECT_EQ(0, memcmp(expected, record, sizeof record)) << c.name;
    }
}

TEST(Announcements, IntervalsAreSixShortOnesThenLongOnes)
{
    const DWORD kShort = AgentAnnounceManager::kShortInterval;
    const DWORD kLong = AgentAnnounceManager::kLongInterval;
    const DWORD expected[] = {kShort, kShort, kShort, kShort, kShort, kShort, kLong, kLong};
    AgentAnnounceManager announcer;
    for (DWORD interval : expected)
        EXPECT_EQ(interval, announcer.NextInterval());
}

const DWORD kReadTimeout = 5000;

// Reads one record from a slot (created with a read timeout).
std::string ReadRecord(HANDLE slot)
{
    BYTE record[64];
    DWORD read = 0;
    if (!ReadFile(slot, record, sizeof record, &read, NULL))
        return "";
    return std::string((const char*)record, read);
}

TEST(Announcements, AStartedAgentAnnouncesAtOnceAndLeavesWhenItStops)
{
    FallbackSlotCalls localSlots;
    ScopedStandIn<SlotCalls> installed(localSlots);
    std::string name = "zqbrowser-test-" + std::to_string(GetCurrentProcessId());
    HANDLE slot =
        CreateMailslotA(("\\\\.\\mailslot\\remote\\" + name).c_str(), 0, kReadTimeout, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, slot);
    AgentAnnounceManager announcer;
    ASSERT_EQ(0, announcer.Start(name.c_str()));
    BYTE expected[AgentAnnouncement::kRecordBytes];
    AgentAnnouncement::Encode(kAnnounce, announcer.GetComputerName().c_str(), expected);
    EXPECT_EQ(std::string((const char*)expected, sizeof expected), ReadRecord(slot));
    announcer.Stop();
    AgentAnnouncement::Encode(kLeaving, announcer.GetComputerName().c_str(), expected);
    EXPECT_EQ(std::string((const char*)expected, sizeof expected), ReadRecord(slot));
    EXPECT_FALSE(announcer.GetComputerName().empty());
    CloseHandle(slot);
}

}  // namespace
