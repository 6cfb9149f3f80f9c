// Schedules, schedule items, trigger items: their records, the due test of an
// item and of a schedule, and copying and deleting a trigger's schedule.
#include <model/schedule.h>
#include <model/triggers.h>

#include <model/clock.h>

#include <gtest/gtest.h>

#include "model_test_util.h"

#include <string.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

time_t gNow;
time_t TestNow()
{
    return gNow;
}

time_t Local(int year, int month, int day, int hour, int minute, int second = 0)
{
    return CTime(year, month, day, hour, minute, second).GetTime();
}

// Runs the code under test at a clock the test sets.
class ScheduleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterModelKeys(kServerProgram);
        SetClock(TestNow);
        gNow = Local(2024, 5, 14, 10, 15);
    }
    void TearDown() override { SetClock(NULL); }
};

// Every item field away from its default.
void Fill(CPScheduleItem* item)
{
    item->SetName("period");
    item->SetRunInstance(1);
    item->SetParentID(8);
    ScheduleEvaluator& e = item->GetEvaluator();
    long* numbers[] = {&e.m_minuteMode, &e.m_hourMode, &e.m_dayMode, &e.m_daySubMode,
                       &e.m_weekMode, &e.m_monthMode, &e.m_onceTime, &e.m_start, &e.m_end,
                       &e.m_type, &e.m_afterType, &e.m_runCounter, &e.m_validity,
                       &e.m_periodUnit, &e.m_periodCount, &e.m_runLimit, &e.m_afterRunLimit};
    long value = 0x01020300;
    for (long* number : numbers)
        *number = ++value;
    e.m_including = 0;
    for (unsigned char* set : {e.m_minuteSet, e.m_hourSet, e.m_daySet, e.m_weekSet, e.m_monthSet})
        set[1] = 0xA5;
    e.m_minuteSet[7] = e.m_daySet[45] = e.m_weekSet[6] = 0x5A;
    item->StampTime(0);
    gNow += 60;
    item->StampTime(1);
}

struct RecordCase {
    const char* name;
    NeoClassID classID;
    std::function<void(CPPersistBase*)> fill;
    long extraBytes;  // after the base record, when filled
};

TEST_F(ScheduleTest, EveryRecordRoundTripsInBothFormatKinds)
{
    const RecordCase cases[] = {
        {"schedule", kClassSchedule, [](CPPersistBase* o) { o->SetName("nightly"); }, 0},
        {"schedule item", kClassScheduleItem,
         [](CPPersistBase* o) { Fill(static_cast<CPScheduleItem*>(o)); }, 143},
        {"trigger item", kClassTriggerItemBase,
         [](CPPersistBase* o) { static_cast<CPTriggerItemBase*>(o)->SetExecuteNow(TRUE); }, 4},
        {"directory trigger", kClassTriggerDirNotify,
         [](CPPersistBase* o) {
             CPTriggerDirNotify* t = static_cast<CPTriggerDirNotify*>(o);
             t->SetExecuteNow(TRUE);
             t->SetDirectory("C:\\incoming");
             t->SetWatchSubtree(TRUE);
             t->SetChangeFilter(0x111);
         },
         4 + 4 + 11 + 8},
        {"schedule trigger", kClassTriggerSchedule,
         [](CPPersistBase* o) {
             CPTriggerSchedule* t = static_cast<CPTriggerSchedule*>(o);
             t->SetNote("note");
             t->SetScheduleID(77);
             t->SetLastFireTime(COleDateTime(2024, 5, 14, 10, 15, 0));
         },
         4 + 4 + 4 + 12},
        {"trigger", kClassTrigger,
         [](CPPersistBase* o) {
             static_cast<CPTrigger*>(o)->GetParts().addPart(5);
             static_cast<CPTrigger*>(o)->GetParts().addPart(9);
         },
         4 + 8},
    };
    for (const RecordCase& c : cases) {
        SCOPED_TRACE(c.name);
        CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(c.classID);
        ASSERT_TRUE(meta);
        std::unique_ptr<CPPersistBase> fresh(static_cast<CPPersistBase*>(meta->create()));
        std::unique_ptr<CPPersistBase> full(static_cast<CPPersistBase*>(meta->create()));
        ASSERT_EQ(full->getClassID(), c.classID);
        c.fill(full.get());
        for (CPPersistBase* object : {fresh.get(), full.get()}) {
            for (short kind : {0, 1}) {
                SCOPED_TRACE(kind);
                std::vector<BYTE> written = Record(object, kind);
                std::unique_ptr<CPPersistBase> back(static_cast<CPPersistBase*>(meta->create()));
                ReadRecord(back.get(), written, kind);
                EXPECT_EQ(Record(back.get(), kind), written);
            }
        }
        CPPersistBase base;
        base.SetName(full->GetName());
        EXPECT_EQ(full->getFileLength(NeoGetFormat(1)),
                  base.getFileLength(NeoGetFormat(1)) + c.extraBytes);
        // update takes every stored field.
        std::unique_ptr<CPPersistBase> updated(static_cast<CPPersistBase*>(meta->create()));
        updated->update(full.get());
        EXPECT_EQ(Record(updated.get(), 1), Record(full.get(), 1));
    }
}

TEST_F(ScheduleTest, ConstructorDefaults)
{
    CPSchedule schedule;
    EXPECT_EQ(schedule.GetStepType(), 5);
    EXPECT_EQ(schedule.GetTypeName(), "Schedule");
    schedule.SetName("weekdays");
    EXPECT_EQ(schedule.GetTypeDetails(), "weekdays");

    std::unique_ptr<CPScheduleItem> item(static_cast<CPScheduleItem*>(CPScheduleItem::Create()));
    const ScheduleEvaluator& e = item->GetEvaluator();
    EXPECT_EQ(e.m_including, 1);
    EXPECT_EQ(e.m_daySubMode, 1);
    EXPECT_EQ(e.m_type, kScheduleOnce);
    EXPECT_EQ(e.m_runCounter, 0);
    EXPECT_EQ(item->GetTimeStamp(0), (long)gNow);
    EXPECT_EQ(item->GetTimeStamp(1), 0);
    gNow += 3600;
    item->StampTime(1);
    item->StampTime(2);  // names no stamp
    EXPECT_EQ(item->GetTimeStamp(0), (long)gNow - 3600);
    EXPECT_EQ(item->GetTimeStamp(1), (long)gNow);
    EXPECT_EQ(CPScheduleItem().GetTimeStamp(0), 0);

    CPTriggerSchedule scheduleTrigger;
    EXPECT_EQ(scheduleTrigger.GetScheduleID(), -1);
    EXPECT_EQ((DATE)scheduleTrigger.GetLastFireTime(), 0.0);
    EXPECT_EQ(scheduleTrigger.GetTriggerKind(), kTriggerSchedule);
    EXPECT_EQ(scheduleTrigger.GetTypeName(), "Schedule");
    EXPECT_EQ(scheduleTrigger.GetTypeDetails(), "");
    EXPECT_FALSE(scheduleTrigger.IsFired());

    CPTriggerDirNotify directoryTrigger;
    EXPECT_EQ(directoryTrigger.GetTriggerKind(), kTriggerDirectory);
    EXPECT_EQ(directoryTrigger.GetTypeName(), "Directory Change");
    directoryTrigger.SetDirectory("D:\\drop");
    EXPECT_EQ(directoryTrigger.GetTypeDetails(), "D:\\drop");
    EXPECT_EQ(CPTriggerItemBase().GetTriggerKind(), kTriggerNone);
}

// ---------------------------------------------------------------------------
// The due test of one item at a given local time.

struct DueCase {
    const char* name;
    std::function<void(ScheduleEvaluator&)> setup;
    time_t at;
    bool due;
};

// Every bit of every set, so that only the field under test can refuse.
void AllBits(ScheduleEvaluator& e)
{
    memset(e.m_minuteSet, 0xFF, sizeof e.m_minuteSet);
    memset(e.m_hourSet, 0xFF, sizeof e.m_hourSet);
    memset(e.m_daySet, 0xFF, sizeof e.m_daySet);
    memset(e.m_monthSet, 0xFF, sizeof e.m_monthSet);
}

enum Field { kNoField, kMinuteSet, kHourSet, kDaySet, kMonthSet };

// An item of a type with every bit set except in one field, which has only
// the given bits and the given mode (and the day sub-mode).
std::function<void(ScheduleEvaluator&)> Only(long type, Field field, std::vector<int> bits,
                                             long mode = 0, long subMode = 1)
{
    return [=](ScheduleEvaluator& e) {
        e.m_type = type;
        AllBits(e);
        e.m_daySubMode = subMode;
        unsigned char* set = NULL;
        size_t size = 0;
        long* fieldMode = NULL;
        switch (field) {
        case kMinuteSet:
            set = e.m_minuteSet, size = sizeof e.m_minuteSet, fieldMode = &e.m_minuteMode;
            break;
        case kHourSet:
            set = e.m_hourSet, size = sizeof e.m_hourSet, fieldMode = &e.m_hourMode;
            break;
        case kDaySet:
            set = e.m_daySet, size = sizeof e.m_daySet, fieldMode = &e.m_dayMode;
            break;
        case kMonthSet:
            set = e.m_monthSet, size = sizeof e.m_monthSet, fieldMode = &e.m_monthMode;
            break;
        case kNoField:
            return;
        }
        memset(set, 0, size);
        for (int bit : bits)
            set[bit / 8] |= (unsigned char)(1 << (bit % 8));
        *fieldMode = mode;
    };
}

std::function<void(ScheduleEvaluator&)> Validity(long rule, long unit, long count, time_t start,
                                                 time_t end = 0)
{
    return [=](ScheduleEvaluator& e) {
        e.m_type = kScheduleHourly;
        AllBits(e);
        e.m_validity = rule;
        e.m_periodUnit = unit;
        e.m_periodCount = count;
        e.m_start = (long)start;
        e.m_end = (long)end;
    };
}

TEST_F(ScheduleTest, ItemDueByTypeModeAndValidity)
{
    // 14 May 2024 is a Tuesday, the 135th day of a leap year; May has 31 days.
    const time_t tue14 = Local(2024, 5, 14, 10, 15);
    const time_t may31 = Local(2024, 5, 31, 10, 15);
    auto once = [](time_t at) { return [at](ScheduleEvaluator& e) { e.m_onceTime = (long)at; }; };
    const DueCase cases[] = {
        {"once, that minute", once(tue14 + 30), tue14, true},
        {"once, next minute", once(tue14), tue14 + 60, false},
        {"once, next day", once(tue14), tue14 + 86400, false},
        {"hourly minute 15", Only(kScheduleHourly, kMinuteSet, {15}), tue14, true},
        {"hourly minute 16", Only(kScheduleHourly, kMinuteSet, {16}), tue14, false},
        {"hourly mode 1 reads bit 0", Only(kScheduleHourly, kMinuteSet, {0}, 1), tue14, true},
        {"hourly mode 2 counts from 59", Only(kScheduleHourly, kMinuteSet, {44}, 2), tue14, true},
        {"daily hour 10", Only(kScheduleDaily, kHourSet, {10}), tue14, true},
        {"daily hour 11", Only(kScheduleDaily, kHourSet, {11}), tue14, false},
        {"daily mode 2 counts from 23", Only(kScheduleDaily, kHourSet, {13}, 2), tue14, true},
        {"daily checks the minute", Only(kScheduleDaily, kMinuteSet, {14}), tue14, false},
        {"weekly Tuesday", Only(kScheduleWeekly, kDaySet, {2}), tue14, true},
        {"weekly Monday", Only(kScheduleWeekly, kDaySet, {1}), tue14, false},
        {"weekly mode 1 reads bit 0", Only(kScheduleWeekly, kDaySet, {0}, 1), tue14, true},
        {"weekly mode 2 counts from 7", Only(kScheduleWeekly, kDaySet, {5}, 2), tue14, true},
        {"weekly other mode passes", Only(kScheduleWeekly, kDaySet, {}, 3), tue14, true},
        {"monthly 14th", Only(kScheduleMonthly, kDaySet, {14}, 0), tue14, true},
        {"monthly 15th", Only(kScheduleMonthly, kDaySet, {15}, 0), tue14, false},
        {"monthly mode 1 day 14", Only(kScheduleMonthly, kDaySet, {14}, 1, 1), tue14, true},
        // Week 2 from the first: 2 * 7 + 2 - 6 = bit 10.
        {"monthly 2nd Tuesday", Only(kScheduleMonthly, kDaySet, {10}, 1, 0), tue14, true},
        {"monthly 1st Tuesday", Only(kScheduleMonthly, kDaySet, {3}, 1, 0), tue14, false},
        {"monthly 2nd Tuesday on the 7th", Only(kScheduleMonthly, kDaySet, {10}, 1, 0),
         tue14 - 7 * 86400, false},
        // 28 May is in the last 7 days: week 1 from the end, bit 3.
        {"monthly last Tuesday", Only(kScheduleMonthly, kDaySet, {3}, 2, 0), tue14 + 14 * 86400, true},
        {"monthly last Tuesday on the 21st", Only(kScheduleMonthly, kDaySet, {3}, 2, 0),
         tue14 + 7 * 86400, false},
        {"monthly last day", Only(kScheduleMonthly, kDaySet, {1}, 2, 1), may31, true},
        {"monthly last day on the 30th", Only(kScheduleMonthly, kDaySet, {1}, 2, 1), may31 - 86400,
         false},
        {"monthly 2nd last day on the 30th", Only(kScheduleMonthly, kDaySet, {2}, 2, 1),
         may31 - 86400, true},
        {"monthly last day of a leap February", Only(kScheduleMonthly, kDaySet, {1}, 2, 1),
         Local(2024, 2, 29, 10, 15), true},
        {"monthly 31st bit on the last day", Only(kScheduleMonthly, kDaySet, {31}, 2, 1), may31,
         false},
        {"monthly other sub-mode passes", Only(kScheduleMonthly, kDaySet, {}, 1, 2), tue14, true},
        {"yearly day 135", Only(kScheduleYearlyByDay, kDaySet, {135}), tue14, true},
        {"yearly day 136", Only(kScheduleYearlyByDay, kDaySet, {136}), tue14, false},
        {"yearly day mode 1", Only(kScheduleYearlyByDay, kDaySet, {135}, 1), tue14, true},
        {"yearly day counted from the end", Only(kScheduleYearlyByDay, kDaySet, {232}, 2), tue14, true},
        {"yearly May", Only(kScheduleYearlyByMonth, kMonthSet, {4}), tue14, true},
        {"yearly June", Only(kScheduleYearlyByMonth, kMonthSet, {5}), tue14, false},
        {"yearly month mode 1 reads bit 1", Only(kScheduleYearlyByMonth, kMonthSet, {1}, 1), tue14,
         true},
        {"yearly month mode 2 reads bit 12", Only(kScheduleYearlyByMonth, kMonthSet, {12}, 2), tue14,
         true},
        {"yearly by month checks the day", Only(kScheduleYearlyByMonth, kDaySet, {15}), tue14, false},
        {"type 3", Only(3, kNoField, {}), tue14, false},
        {"type 5", Only(5, kNoField, {}), tue14, false},
        {"type 9", Only(9, kNoField, {}), tue14, false},
        {"rule 0 open", Validity(kValidBetween, 0, 0, 0), tue14, true},
        {"rule 0 not started", Validity(kValidBetween, 0, 0, tue14 + 1), tue14, false},
        {"rule 0 ended", Validity(kValidBetween, 0, 0, tue14 - 7200, tue14 - 1), tue14, false},
        {"rule 0 ends now", Validity(kValidBetween, 0, 0, tue14 - 7200, tue14), tue14, true},
        {"rule 1 hour 2 of 3", Validity(kValidForPeriods, kPeriodHours, 3, tue14 - 7200), tue14,
         true},
        {"rule 1 hour 3 of 2", Validity(kValidForPeriods, kPeriodHours, 2, tue14 - 7200), tue14,
         false},
        {"rule 1 days", Validity(kValidForPeriods, kPeriodDays, 2, tue14 - 86400), tue14, true},
        {"rule 1 days over", Validity(kValidForPeriods, kPeriodDays, 1, tue14 - 86400), tue14,
         false},
        {"rule 1 weeks", Validity(kValidForPeriods, kPeriodWeeks, 1, tue14 - 6 * 86400), tue14,
         true},
        {"rule 1 weeks over", Validity(kValidForPeriods, kPeriodWeeks, 1, tue14 - 7 * 86400),
         tue14, false},
        {"rule 1 not started", Validity(kValidForPeriods, kPeriodHours, 5, tue14 + 3600), tue14,
         false},
        {"rule 1 month into leap February",
         Validity(kValidForPeriods, kPeriodMonths, 1, Local(2024, 1, 31, 10, 15)),
         Local(2024, 2, 29, 10, 14), true},
        {"rule 1 month over", Validity(kValidForPeriods, kPeriodMonths, 1, Local(2024, 1, 31, 10, 15)),
         Local(2024, 2, 29, 10, 15), false},
        {"rule 1 unknown unit", Validity(kValidForPeriods, 4, 5, tue14 - 60), tue14, false},
        {"unknown rule", Validity(3, 0, 5, 0), tue14, false},
    };
    for (const DueCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScheduleEvaluator e;
        c.setup(e);
        gNow = c.at;
        EXPECT_EQ(e.IsDueNow(), c.due);
        EXPECT_EQ(e.m_runCounter, c.due ? 1 : 0);
    }
}

TEST_F(ScheduleTest, RunLimitAllowsThatManyRuns)
{
    ScheduleEvaluator e;
    Validity(kValidForRuns, 0, 0, gNow)(e);
    e.m_runLimit = 3;
    int runs = 0;
    for (int minute = 0; minute < 5; ++minute, gNow += 60)
        runs += e.IsDueNow();
    EXPECT_EQ(runs, 3);
    EXPECT_EQ(e.m_runCounter, 3);
}

TEST_F(ScheduleTest, CurrentValuesOfTheMonthAndYear)
{
    ScheduleEvaluator e;
    struct {
        time_t at;
        int index;
        int value;
    } cases[] = {
        {Local(2024, 5, 7, 0, 0), kCurrentWeekFromFirst, 1},
        {Local(2024, 5, 8, 0, 0), kCurrentWeekFromFirst, 2},
        {Local(2024, 5, 15, 0, 0), kCurrentWeekFromFirst, 3},
        {Local(2024, 5, 25, 0, 0), kCurrentWeekFromLast, 1},
        {Local(2024, 5, 24, 0, 0), kCurrentWeekFromLast, 2},
        {Local(2024, 5, 18, 0, 0), kCurrentWeekFromLast, 2},
        {Local(2024, 2, 10, 0, 0), kCurrentDaysInMonth, 29},
        {Local(2023, 12, 31, 23, 59), kCurrentDayOfYear, 365},
        {Local(2024, 12, 31, 23, 59), kCurrentDaysInYear, 366},
        {Local(2024, 5, 14, 0, 0), kCurrentWeekdayWeek, 3},  // the 1st is a Wednesday
        {Local(2024, 2, 10, 0, 0), kCurrentWholeWeeksInMonth, 4},
        {Local(2024, 12, 30, 0, 0), kCurrentWeekOfYear, 1},
        {Local(2024, 5, 14, 0, 0), kCurrentWholeWeeksInYear, 52},
        {Local(2024, 5, 14, 0, 0), kCurrentMonth, 4},
        {Local(2024, 5, 14, 0, 0), 14, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.index);
        gNow = c.at;
        e.IsDueNow();
        EXPECT_EQ(e.GetCurrentValue(c.index), c.value);
    }
}

// ---------------------------------------------------------------------------
// Schedules and trigger items in database files.

class ScheduleDatabase : public ScheduleTest {
protected:
    void SetUp() override
    {
        ScheduleTest::SetUp();
        sourceFile = new FileDatabase("schedule_source.db");
        targetFile = new FileDatabase("schedule_target.db");
        source = sourceFile->get();
        target = targetFile->get();
    }
    void TearDown() override
    {
        delete sourceFile;
        delete targetFile;
        ScheduleTest::TearDown();
    }
    void ReopenSource()
    {
        sourceFile->Reopen();
        source = sourceFile->get();
    }

    // Adds an object under a parent; the database keeps it.
    template <class T>
    T* Add(CNeoDatabase* db, NeoID parent, long runInstance = 1)
    {
        T* object = new T;
        object->SetParentID(parent);
        object->SetRunInstance(runInstance);
        db->addObject(object);
        object->unrefer();
        return object;
    }
    // An hourly item due at minute 15 of every hour.
    CPScheduleItem* AddItem(CNeoDatabase* db, NeoID schedule, bool including,
                            long runInstance = 1)
    {
        CPScheduleItem* item = Add<CPScheduleItem>(db, schedule, runInstance);
        ScheduleEvaluator& e = item->GetEvaluator();
        e.m_type = kScheduleHourly;
        e.m_including = including;
        ScheduleEvaluator::SetBit(e.m_minuteSet, 15);
        return item;
    }

    FileDatabase* sourceFile = NULL;
    FileDatabase* targetFile = NULL;
    CNeoDatabase* source = NULL;
    CNeoDatabase* target = NULL;
};

TEST_F(ScheduleDatabase, ExcludingItemVetoesAndIncludingItemIsRecorded)
{
    CPSchedule* schedule = Add<CPSchedule>(source, 1);
    CPScheduleItem* excluding = AddItem(source, schedule->getID(), false);
    CPScheduleItem* first = AddItem(source, schedule->getID(), true);
    CPScheduleItem* second = AddItem(source, schedule->getID(), true);

    EXPECT_FALSE(schedule->IsDue());
    EXPECT_EQ(excluding->GetEvaluator().m_runCounter, 1);
    EXPECT_EQ(first->GetEvaluator().m_runCounter, 0);
    EXPECT_EQ(second->GetEvaluator().m_runCounter, 0);

    ScheduleEvaluator::SetBit(excluding->GetEvaluator().m_minuteSet, 15, false);
    EXPECT_TRUE(schedule->IsDue());
    EXPECT_EQ(schedule->GetDueItemID(), first->getID());
    EXPECT_EQ(first->GetEvaluator().m_runCounter, 1);
    EXPECT_EQ(second->GetEvaluator().m_runCounter, 0);

    gNow += 60;  // minute 16: nothing is due
    EXPECT_FALSE(schedule->IsDue());
    CPSchedule empty;
    EXPECT_FALSE(empty.IsDue());  // in no database
}

TEST_F(ScheduleDatabase, RunLimitSurvivesCommitPurgeAndReopening)
{
    CPSchedule* schedule = Add<CPSchedule>(source, 1);
    NeoID scheduleID = schedule->getID();
    CPScheduleItem* item = AddItem(source, scheduleID, true);
    item->GetEvaluator().m_validity = kValidForRuns;
    item->GetEvaluator().m_runLimit = 2;
    source->commit();

    auto dueNow = [&]() {
        CPSchedule* stored = static_cast<CPSchedule*>(CPPersistBase::FindByID(source, kClassSchedule, scheduleID));
        bool due = stored->IsDue();
        stored->unrefer();
        source->commit();
        source->purge(1000);
        gNow += 3600;
        return due;
    };
    EXPECT_TRUE(dueNow());
    ReopenSource();
    EXPECT_TRUE(dueNow());
    ReopenSource();
    EXPECT_FALSE(dueNow());
}

TEST_F(ScheduleDatabase, CopyingAScheduleTakesOnlyItsRunInstanceItems)
{
    CPSchedule* schedule = Add<CPSchedule>(source, 1);
    NeoID item = AddItem(source, schedule->getID(), true)->getID();
    AddItem(source, schedule->getID(), true, 0);  // not a schedule item's flag
    CPSchedule* copy = static_cast<CPSchedule*>(schedule->clone());
    target->addObject(copy);
    copy->CopyChildren(target, source, schedule->getID());
    EXPECT_EQ(ChildIDs(target, kClassScheduleItem, copy->getID()), std::vector<NeoID>{item});
    copy->unrefer();
}

TEST_F(ScheduleDatabase, ScheduleTriggerCopiesAndDeletesItsScheduleWithItems)
{
    CPTriggerSchedule* trigger = Add<CPTriggerSchedule>(source, 1, 0);
    CPSchedule* schedule = Add<CPSchedule>(source, trigger->getID());
    trigger->SetScheduleID(schedule->getID());
    std::vector<NeoID> items = {AddItem(source, schedule->getID(), true)->getID(),
                                AddItem(source, schedule->getID(), false)->getID()};
    Add<CPSchedule>(source, trigger->getID(), 0);  // a template under it is no copy of its own

    CPTriggerSchedule* copy = static_cast<CPTriggerSchedule*>(trigger->clone());
    target->addObject(copy);
    copy->CopyChildren(target, source, trigger->getID());
    EXPECT_EQ(ChildIDs(target, kClassSchedule, copy->getID()),
              std::vector<NeoID>{schedule->getID()});
    EXPECT_EQ(ChildIDs(target, kClassScheduleItem, schedule->getID()), items);

    // Copied again: the existing copies take the source's fields.
    schedule->SetName("renamed");
    copy->CopyChildren(target, source, trigger->getID());
    EXPECT_EQ(target->countObjects(kClassSchedule), 1);
    EXPECT_EQ(target->countObjects(kClassScheduleItem), 2);
    CPPersistBase* copied = CPPersistBase::FindByID(target, kClassSchedule, schedule->getID());
    ASSERT_TRUE(copied);
    EXPECT_EQ(copied->GetName(), "renamed");
    copied->unrefer();

    copy->DeleteWithChildren(target);
    EXPECT_EQ(target->countObjects(kClassSchedule), 0);
    EXPECT_EQ(target->countObjects(kClassScheduleItem), 0);
    EXPECT_EQ(target->countObjects(kClassTriggerSchedule), 1);  // the trigger itself stays
    copy->unrefer();
    target->commit();

    // A trigger without its schedule deletes nothing.
    CPTriggerSchedule orphan;
    orphan.DeleteWithChildren(source);
    EXPECT_EQ(source->countObjects(kClassScheduleItem), 2);
}

TEST_F(ScheduleDatabase, TriggerPartsAreUpdatedOrClonedOnce)
{
    CPPersistBase* existing = Add<CPPersistBase>(source, 0);
    CPPersistBase* missing = Add<CPPersistBase>(source, 0);
    existing->SetName("new name");
    CPPersistBase* stale = new CPPersistBase;
    stale->setID(existing->getID());
    stale->SetName("old name");
    target->addObject(stale);

    CPTrigger* trigger = new CPTrigger;
    trigger->setID(1000);
    trigger->GetParts().addPart(existing->getID());
    trigger->GetParts().addPart(missing->getID());
    target->addObject(trigger);
    trigger->CopyChildren(target, source, 0);

    EXPECT_EQ(stale->GetName(), "new name");
    CPPersistBase* cloned = CPPersistBase::FindByID(target, kClassPersistBase, missing->getID());
    EXPECT_TRUE(cloned);
    if (cloned)
        cloned->unrefer();
    EXPECT_EQ(trigger->GetParts().getCount(), 2);
    stale->unrefer();
    trigger->unrefer();
}

}  // namespace
