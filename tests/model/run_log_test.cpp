// Run logs: the records of the log classes, their rows for display, pruning
// and deletion of a batch's logs.
#include <model/run_log.h>

#include <model/clock.h>

#include <gtest/gtest.h>

#include "model_test_util.h"

#include <utility>
#include <vector>

namespace {

// A fixed clock: 2 March 2024 14:00:00 local time.
time_t FixedNow()
{
    return CTime(2024, 3, 2, 14, 0, 0).GetTime();
}

class RunLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterModelKeys(kServerProgram);
        SetClock(FixedNow);
    }
    void TearDown() override { SetClock(NULL); }
};

// Every field set to something other than its default.
void Fill(CPBatchLogItemBase* item)
{
    item->SetName("name");
    item->SetDescription("description");
    item->SetParentID(3);
    item->SetStartTime(COleDateTime(2024, 1, 2, 3, 4, 5));
    item->SetEndTime(COleDateTime(2024, 1, 2, 4, 5, 6));
    item->SetLoggedDiagramKey(17);
    item->SetExitCode(-3);
    item->SetCount(4);
    item->SetServerMessage("message");
    item->SetStandardOut("out");
    item->SetStandardError("error");
    if (CPBatchLog* log = dynamic_cast<CPBatchLog*>(item)) {
        log->SetRunNumber(12);
        ENeoBlob diagram;
        diagram.setBlob("\x01\x00\x02", 3);
        log->SetBatchBlob(diagram);
    }
    if (CPBatchLogItemLink* link = dynamic_cast<CPBatchLogItemLink*>(item))
        link->SetCondition(4, 10, 20);
    if (CPBatchLogItemTrigger* trigger = dynamic_cast<CPBatchLogItemTrigger*>(item)) {
        trigger->SetDirectory("C:\\in");
        trigger->SetTypeFromClass(kClassTriggerDirNotify);
        trigger->SetChangeFilter(0x11);
        trigger->SetWatchSubtree(TRUE);
        trigger->SetScheduleItemName("daily");
    }
}

struct ItemClass {
    NeoClassID id;
    long emptyLength;  // record length of a new object
    int rowCount;      // rows of a new object
};

// The base record of an empty object is 40 bytes; an item adds three empty
// texts and 28 bytes.
const ItemClass kItemClasses[] = {
    {kClassBatchLogItemBase, 80, 5},
    {kClassBatchLog, 88, 5},
    {kClassBatchLogItemProcess, 80, 9},
    {kClassBatchLogItemTrigger, 100, 7},
    {kClassBatchLogItemLink, 92, 9},
    {kClassBatchLogItemBatch, 80, 5},
};

CPBatchLogItemBase* NewItem(NeoClassID id)
{
    return static_cast<CPBatchLogItemBase*>(CNeoMetaClass::GetMetaClass(id)->create());
}

TEST_F(RunLog, NewItemsHaveTheirDefaults)
{
    for (const ItemClass& c : kItemClasses) {
        SCOPED_TRACE(c.id);
        CPBatchLogItemBase* item = NewItem(c.id);
        EXPECT_EQ(item->getClassID(), c.id);
        EXPECT_EQ(item->GetStartTime(), ClockNowDate());
        EXPECT_EQ(item->GetEndTime().m_dt, 0.0);
        EXPECT_EQ(item->GetLoggedDiagramKey(), 0);
        EXPECT_EQ(item->getFileLength(NeoGetFormat(1)), c.emptyLength);
        EXPECT_EQ(item->GetRowCount(), c.rowCount);
        item->unrefer();
    }
    CPBatchLogConnector connector;
    EXPECT_EQ(connector.getFileLength(NeoGetFormat(1)), 40);
}

TEST_F(RunLog, RecordsRoundTripThroughReadUpdateAndClone)
{
    for (const ItemClass& c : kItemClasses) {
        for (short kind : {0, 1}) {
            SCOPED_TRACE(testing::Message() << "class " << c.id << " kind " << kind);
            CPBatchLogItemBase* item = NewItem(c.id);
            Fill(item);
            std::vector<BYTE> bytes = Record(item, kind);

            // Read back on another day, so that no default can pass for a value.
            SetClock([]() { return FixedNow() + 86400 * 40; });
            CPBatchLogItemBase* back = NewItem(c.id);
            ReadRecord(back, bytes, kind);
            EXPECT_EQ(Record(back, kind), bytes);
            EXPECT_EQ(back->GetStartTime(), COleDateTime(2024, 1, 2, 3, 4, 5));
            EXPECT_EQ(back->GetStandardError(), "error");

            CPBatchLogItemBase* updated = NewItem(c.id);
            updated->update(item);
            EXPECT_EQ(Record(updated, kind), bytes);
            CNeoPersist* copy = item->clone();
            EXPECT_EQ(Record(copy, kind), bytes);
            SetClock(FixedNow);
            for (CNeoPersist* object : {(CNeoPersist*)item, (CNeoPersist*)back,
                                        (CNeoPersist*)updated, copy})
                object->unrefer();
        }
    }
}

TEST_F(RunLog, ValuesByTagAreConvertedToTheTypeAsked)
{
    CPBatchLog log;
    log.SetLoggedDiagramKey(-5);
    log.SetRunNumber(-2);
    long value = 0;
    unsigned long unsignedValue = 0;
    EXPECT_TRUE(log.getValue(kTagLoggedDiagramKey, kNeoLongType, &value));
    EXPECT_EQ(value, -5);
    EXPECT_TRUE(log.getValue(kTagLoggedDiagramKey, kNeoULongType, &unsignedValue));
    EXPECT_EQ(unsignedValue, 0xFFFFFFFBUL);
    EXPECT_TRUE(log.getValue(kTagRunNumberKey, kNeoULongType, &unsignedValue));
    EXPECT_EQ(unsignedValue, 0xFFFFFFFEUL);
    EXPECT_TRUE(log.getValue(kTagRunNumberKey, kNeoLongType, &value));
    EXPECT_EQ(value, -2);
    // The base record's tags still answer; an item is no run log.
    log.SetDiagramKey(8);
    EXPECT_TRUE(log.getValue(kTagDiagramKey, kNeoLongType, &value));
    EXPECT_EQ(value, 8);
    CPBatchLogItemProcess item;
    EXPECT_FALSE(item.getValue(kTagRunNumberKey, kNeoLongType, &value));
}

TEST_F(RunLog, FillLogItemCopiesKeyNameAndDescription)
{
    CPPersistBase step;
    step.SetDiagramKey(21);
    step.SetName("Copy files");
    step.SetDescription("copies the day's files");
    CPBatchLogItemProcess item;
    EXPECT_EQ(step.FillLogItem(&item), &item);
    EXPECT_EQ(item.GetLoggedDiagramKey(), 21);
    EXPECT_EQ(item.GetName(), "Copy files");
    EXPECT_EQ(item.GetDescription(), "copies the day's files");
    EXPECT_EQ(item.GetDiagramKey(), -1);
    EXPECT_EQ(step.FillLogItem(NULL), nullptr);
}

// ---------------------------------------------------------------------------
// Rows for display.
typedef std::vector<std::pair<CString, CString>> Rows;

Rows RowsOf(const CPBatchLogItemBase& item)
{
    Rows rows;
    for (int i = 0; i < item.GetRowCount(); ++i) {
        CString name = "stale", value = "stale";
        item.GetRow(i, name, value);
        rows.push_back({name, value});
    }
    return rows;
}

CString Formatted(const COleDateTime& time)
{
    return time.Format(0x400, 0x400);
}

const COleDateTime kStart(2024, 3, 1, 12, 0, 0);

TEST_F(RunLog, ProcessRowsShowTimesDurationAndOneLineOutput)
{
    CPBatchLogItemProcess item;
    item.SetStartTime(kStart);
    item.SetEndTime(kStart + COleDateTimeSpan(1, 1, 2, 3));  // 25 hours and a bit
    item.SetExitCode(-1);
    item.SetStandardOut("line 1\r\nline 2\n");
    ASSERT_FALSE(Formatted(kStart).IsEmpty());
    EXPECT_EQ(RowsOf(item), (Rows{
                                {"Name", "(no name)"},
                                {"Description", "(no description)"},
                                {"Start time", Formatted(kStart)},
                                {"End time", Formatted(item.GetEndTime())},
                                {"Run duration", "hrs:25 min:2 sec:3"},
                                {"Server message", "(no message)"},
                                {"Exit code", "-1"},
                                {"Standard error", "(no standard error)"},
                                {"Standard out", "line 1line 2"},
                            }));
    CString text = "untouched";
    item.GetRowText("Standard out", text);
    EXPECT_EQ(text, "line 1\r\nline 2\n");
    item.GetRowText("Name", text);
    EXPECT_EQ(text, "line 1\r\nline 2\n");
    CString name = "x", value = "x";
    item.GetRow(9, name, value);
    EXPECT_EQ(name + value, "");
}

TEST_F(RunLog, ItemStillRunningCountsItsDurationUntilNow)
{
    CPBatchLog log;
    log.SetName("Nightly");
    log.SetDescription("all of it");
    log.SetStartTime(ClockNowDate() - COleDateTimeSpan(0, 1, 30, 0));
    Rows rows = RowsOf(log);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0].second, "Nightly");
    EXPECT_EQ(rows[1].second, "all of it");
    EXPECT_EQ(rows[3], std::make_pair(CString("End time"), CString("(Batch still executing)")));
    EXPECT_EQ(rows[4].second, "hrs:1 min:30 sec:0");
    // A new item starts now.
    CPBatchLogItemBatch fresh;
    EXPECT_EQ(RowsOf(fresh)[4].second, "hrs:0 min:0 sec:0");
}

TEST_F(RunLog, LinkRowsNameTheRuleThatMatched)
{
    const struct {
        long op;
        const char* rule;
    } cases[] = {
        {0, "less than 10"},          {1, "greater than 10"},
        {2, "equal to 10"},           {3, "not equal to 10"},
        {4, "between 10 and 20"},     {5, "not between 10 and 20"},
        {7, "!!Error, Logic Range not found."},
    };
    for (const auto& c : cases) {
        CPBatchLogItemLink link;
        link.SetCondition(c.op, 10, 20);
        link.SetCount(2);
        link.SetExitCode(3);
        link.SetServerMessage("Maximum reached");
        Rows rows = RowsOf(link);
        ASSERT_EQ(rows.size(), 9u);
        EXPECT_EQ(Rows(rows.begin() + 5, rows.end()), (Rows{
                                                          {"Recursion count", "2"},
                                                          {"Server message", "Maximum reached"},
                                                          {"Exit code", "3"},
                                                          {"Link rule", c.rule},
                                                      }));
    }
    CPBatchLogItemLink link;
    CString text = "untouched";
    link.GetRowText("Standard out", text);
    EXPECT_EQ(text, "untouched");
    link.SetServerMessage("first\nsecond");
    link.GetRowText("Server message", text);
    EXPECT_EQ(text, "first\nsecond");
}

TEST_F(RunLog, TriggerRowsHideTheTimesAndDescribeTheTrigger)
{
    CPBatchLogItemTrigger directory;
    directory.SetName("Inbox");
    directory.SetTypeFromClass(kClassTriggerDirNotify);
    directory.SetDirectory("C:\\inbox");
    directory.SetChangeFilter(0x11);
    EXPECT_EQ(RowsOf(directory), (Rows{
                                     {"Name", "Inbox"},
                                     {"Description", "(no description)"},
                                     {"", ""},
                                     {"", ""},
                                     {"", ""},
                                     {"Trigger type", "Directory Change Notification"},
                                     {"Triggered time", Formatted(ClockNowDate())},
                                     {"Monitored directory", "C:\\inbox"},
                                     {"Monitor subdirectories", "No"},
                                     {"Conditions", "Filename Change, Modified Date Change, "},
                                 }));
    directory.SetChangeFilter(0x13F);
    directory.SetWatchSubtree(TRUE);
    Rows rows = RowsOf(directory);
    EXPECT_EQ(rows[8].second, "Yes");
    EXPECT_EQ(rows[9].second, "Filename Change, Directory Name Change, Attribute Change, "
                              "File Size Change, Modified Date Change, Security Change ");

    CPBatchLogItemTrigger schedule;
    schedule.SetTypeFromClass(kClassTriggerSchedule);
    schedule.SetScheduleItemName("Weekdays at 6");
    rows = RowsOf(schedule);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[5].second, "Schedule");
    EXPECT_EQ(rows[7], std::make_pair(CString("Schedule item name"), CString("Weekdays at 6")));

    CPBatchLogItemTrigger other;
    other.SetTypeFromClass(kClassTriggerItemBase);
    rows = RowsOf(other);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[5], std::make_pair(CString("Trigger type"), CString("")));
}

// ---------------------------------------------------------------------------
// Logs in a database.
class RunLogDatabase : public RunLog {
protected:
    void SetUp() override
    {
        RunLog::SetUp();
        file = new FileDatabase("run_log.db");
        db = file->get();
    }
    void TearDown() override
    {
        delete file;
        RunLog::TearDown();
    }
    void Reopen()
    {
        file->Reopen();
        db = file->get();
    }

    template <class T>
    T* Add(NeoID parent)
    {
        T* object = new T;
        object->SetParentID(parent);
        db->addObject(object);
        object->unrefer();
        return object;
    }
    // A connector with `count` logs, each with a process and a link item;
    // returns the logs' IDs in the order they were added.
    std::vector<NeoID> AddLogs(CPBatchLogConnector* connector, int count)
    {
        std::vector<NeoID> ids;
        for (int i = 0; i < count; ++i) {
            CPBatchLog* log = Add<CPBatchLog>(connector->getID());
            Add<CPBatchLogItemProcess>(log->getID());
            Add<CPBatchLogItemLink>(log->getID());
            ids.push_back(log->getID());
        }
        db->commit();
        return ids;
    }

    FileDatabase* file = NULL;
    CNeoDatabase* db = NULL;
};

TEST_F(RunLogDatabase, PruningMakesRoomForOneMoreLog)
{
    const struct {
        int present;
        int deleted;  // the oldest ones
    } cases[] = {{9, 0}, {10, 1}, {12, 3}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.present);
        CPBatchLogConnector* connector = Add<CPBatchLogConnector>(0);
        connector->refer();
        std::vector<NeoID> logs = AddLogs(connector, c.present);
        long itemsBefore = db->countObjects(kClassBatchLogItemBase);

        connector->PruneLogs(db, 10);

        EXPECT_EQ(ChildIDs(db, kClassBatchLog, connector->getID()),
                  std::vector<NeoID>(logs.begin() + c.deleted, logs.end()));
        for (int i = 0; i < c.deleted; ++i)
            EXPECT_TRUE(ChildIDs(db, kClassBatchLogItemBase, logs[i]).empty());
        // Each deleted log takes itself and its two items along.
        EXPECT_EQ(db->countObjects(kClassBatchLogItemBase), itemsBefore - 3 * c.deleted);
        connector->unrefer();
    }
}

TEST_F(RunLogDatabase, DeletingAConnectorCommitsEveryTwentyLogs)
{
    CPBatchLogConnector* connector = Add<CPBatchLogConnector>(0);
    connector->refer();
    CPBatchLogConnector* other = Add<CPBatchLogConnector>(0);
    NeoID otherID = other->getID();
    AddLogs(other, 1);
    std::vector<NeoID> logs = AddLogs(connector, 22);

    connector->DeleteWithChildren(db);
    EXPECT_TRUE(ChildIDs(db, kClassBatchLog, connector->getID()).empty());
    EXPECT_EQ(db->countObjects(kClassBatchLogItemBase), 3);  // the other connector's
    NeoID connectorID = connector->getID();
    connector->unrefer();

    // Commits followed the 1st and the 21st log; the 22nd is not yet written.
    Reopen();
    EXPECT_EQ(ChildIDs(db, kClassBatchLog, connectorID), std::vector<NeoID>{logs.back()});
    EXPECT_EQ(ChildIDs(db, kClassBatchLogItemBase, logs.back()).size(), 2u);
    EXPECT_EQ(ChildIDs(db, kClassBatchLog, otherID).size(), 1u);
}

TEST_F(RunLogDatabase, ClassSearchesAndTheRunNumberIndex)
{
    for (const ItemClass& c : kItemClasses) {
        CPBatchLogItemBase* item = NewItem(c.id);
        item->SetParentID(5);
        if (c.id == kClassBatchLog)
            static_cast<CPBatchLog*>(item)->SetRunNumber(31);
        db->addObject(item);
        item->unrefer();
    }
    db->commit();
    Reopen();
    EXPECT_EQ(db->countObjects(kClassBatchLogItemBase), 5);  // not the batch item
    EXPECT_EQ(ChildIDs(db, kClassPersistBase, 5).size(), 6u);
    EXPECT_EQ(ChildIDs(db, kClassBatchLogItemBatch, 5).size(), 1u);

    EXPECT_NE(db->getTagIndex(kClassBatchLog, kTagRunNumberKey), -1);
    CNeoULongSelect byRun(kTagRunNumberKey, 31);
    CPBatchLog* log = static_cast<CPBatchLog*>(db->findObject(kClassBatchLog, &byRun));
    ASSERT_TRUE(log);
    EXPECT_EQ(log->GetRunNumber(), 31);
    log->unrefer();
}

TEST_F(RunLogDatabase, LogCopiesItsItemsIntoAnotherDatabase)
{
    CPBatchLogConnector* connector = Add<CPBatchLogConnector>(0);
    CPBatchLog* log = Add<CPBatchLog>(connector->getID());
    log->refer();
    CPBatchLogItemTrigger* trigger = Add<CPBatchLogItemTrigger>(log->getID());
    trigger->SetScheduleItemName("hourly");
    Add<CPBatchLogItemProcess>(log->getID());
    Add<CPBatchLogItemBatch>(log->getID());  // not a class-43 item: stays behind

    FileDatabase target("run_log_copy.db");
    CPBatchLog* copy = static_cast<CPBatchLog*>(log->clone());
    target->addObject(copy);
    copy->CopyChildren(target.get(), db, log->getID());

    EXPECT_EQ(target->countObjects(kClassBatchLogItemBase), 3);
    CNeoIDSelect byID(trigger->getID());
    CPBatchLogItemTrigger* back =
        static_cast<CPBatchLogItemTrigger*>(target->findObject(kClassBatchLogItemTrigger, &byID));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetScheduleItemName(), "hourly");
    EXPECT_EQ(back->GetParentID(), log->getID());
    back->unrefer();
    copy->unrefer();
    log->unrefer();
}

}  // namespace
