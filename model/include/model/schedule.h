// Schedules: a schedule template or a trigger's copy of one (CPSchedule), its
// periods (CPScheduleItem) and the evaluator that decides whether a period is
// due in the current minute.
#ifndef MODEL_SCHEDULE_H
#define MODEL_SCHEDULE_H

#include <model/persist_base.h>

#include <stddef.h>
#include <time.h>

// Item types.
enum ScheduleItemType {
    kScheduleOnce = 0,
    kScheduleHourly = 1,
    kScheduleDaily = 2,
    kScheduleYearlyByDay = 4,
    kScheduleWeekly = 6,
    kScheduleMonthly = 7,
    kScheduleYearlyByMonth = 8,
};

// Validity rules and the units of rule kValidForPeriods.
enum ScheduleValidity { kValidBetween = 0, kValidForPeriods = 1, kValidForRuns = 2 };
enum SchedulePeriodUnit { kPeriodHours = 0, kPeriodDays = 1, kPeriodWeeks = 2, kPeriodMonths = 3 };

// What GetCurrentValue reports of the current local time.
enum ScheduleCurrentValue {
    kCurrentMinute = 0,
    kCurrentHour = 1,
    kCurrentWeekday = 2,         // 0 = Sunday
    kCurrentDay = 3,
    kCurrentWeekFromFirst = 4,   // days 1-7 are week 1
    kCurrentWeekFromLast = 5,    // the last 7 days are week 1
    kCurrentDaysInMonth = 6,
    kCurrentDayOfYear = 7,
    kCurrentDaysInYear = 8,
    kCurrentWeekdayWeek = 9,     // (weekday of the 1st + day) / 7 + 1
    kCurrentWholeWeeksInMonth = 10,
    kCurrentWeekOfYear = 11,     // ISO 8601
    kCurrentWholeWeeksInYear = 12,
    kCurrentMonth = 13,          // 0 = January
};

// Decides whether one schedule period is due in the current minute. Bit n of
// a set is bit n % 8 of byte n / 8. Times are seconds since 1970, read in
// local time. The fields are the period's stored record (CPScheduleItem).
class ScheduleEvaluator {
public:
    ScheduleEvaluator();
    // Clears every field and stamps the evaluation time with the current time.
    void Init();

    // Whether the period is due in the current minute; a due period counts a
    // run and marks its owner changed, so that the count is committed.
    bool IsDueNow();
    bool IsInValidityWindow(time_t now) const;
    // The once time falls in the current minute.
    bool IsOnceTimeNow() const;
    // A ScheduleCurrentValue of the evaluation time; 0 above 13.
    int GetCurrentValue(int index) const;

    // The stored object that holds this evaluator.
    void SetOwner(CNeoPersist* owner) { m_owner = owner; }

    template <size_t N>
    static void SetBit(unsigned char (&set)[N], int bit, bool on = true)
    {
        if (bit < 0 || bit >= (int)N * 8)
            return;
        if (on)
            set[bit / 8] |= (unsigned char)(1 << (bit % 8));
        else
            set[bit / 8] &= (unsigned char)~(1 << (bit % 8));
    }
    // Bits outside the set are clear.
    template <size_t N>
    static bool IsBitSet(const unsigned char (&set)[N], int bit)
    {
        return bit >= 0 && bit < (int)N * 8 && (set[bit / 8] >> (bit % 8)) & 1;
    }

    unsigned char m_minuteSet[8];   // bits 0-59
    long m_minuteMode;              // 0 the minute, 1 bit 0, 2 counted from 59
    unsigned char m_hourSet[3];     // bits 0-23
    long m_hourMode;                // 0 the hour, 1 bit 0, 2 counted from 23
    // Days of the year (1-366), of the month (1-31), weekdays (0-6) or
    // (week - 1) * 7 + weekday + 1, by type.
    unsigned char m_daySet[46];
    long m_dayMode;
    long m_daySubMode;              // monthly: 0 weeks and weekdays, 1 days
    unsigned char m_weekSet[7];
    long m_weekMode;
    unsigned char m_monthSet[2];    // bits 0-11
    long m_monthMode;               // 0 the month, 1 bit 1, 2 bit 12
    long m_onceTime;
    long m_start;
    long m_end;                     // 0: open
    unsigned char m_including;      // 1 including, 0 excluding
    long m_type;                    // ScheduleItemType; others are never due
    long m_afterType;               // kept and copied
    long m_runCounter;
    long m_validity;                // ScheduleValidity
    long m_periodUnit;              // SchedulePeriodUnit
    long m_periodCount;
    long m_runLimit;
    long m_afterRunLimit;           // kept and copied

private:
    bool MinuteMatches() const;
    bool HourMatches() const;
    bool MonthMatches() const;
    bool DayOfYearMatches() const;
    bool WeekdayMatches() const;
    bool DayOfMonthMatches() const;

    time_t m_evaluationTime;
    struct tm m_now;  // m_evaluationTime in local time
    CNeoPersist* m_owner;
};

// One period of a schedule, always stored with run-instance flag 1.
class CPScheduleItem : public CPPersistBase {
    DECLARE_DYNCREATE(CPScheduleItem)
public:
    CPScheduleItem();
    // The class factory: a new item whose first time stamp is now.
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassScheduleItem; }
    // The evaluator's fields and the two time stamps, 143 bytes.
    virtual const FieldTable& GetStoredFields() const;

    ScheduleEvaluator& GetEvaluator() { return m_evaluator; }
    const ScheduleEvaluator& GetEvaluator() const { return m_evaluator; }
    // Stamps the first (0) or the second (1) time stamp with the current time.
    void StampTime(int which);
    long GetTimeStamp(int which) const { return which == 0 ? m_firstStamp : m_secondStamp; }

private:
    ScheduleEvaluator m_evaluator;
    long m_firstStamp;
    long m_secondStamp;
};

// A schedule: due in a minute when none of its excluding items and at least
// one of its including items is due.
class CPSchedule : public CPPersistBase {
    DECLARE_DYNCREATE(CPSchedule)
public:
    CPSchedule();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassSchedule; }
    // Copies the schedule's items (run-instance flag 1) under this copy.
    virtual void CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID);
    virtual CString GetTypeName() const;
    virtual CString GetTypeDetails() const;
    virtual void DeleteWithChildren(CNeoDatabase* database);
    // Removes every item of the schedule from the database.
    void DeleteItems(CNeoDatabase* database);

    // Asks the items in the schedule's database; when due, the including item
    // that was due is recorded.
    BOOL IsDue();
    NeoID GetDueItemID() const { return m_dueItemID; }

private:
    NeoID m_dueItemID;
};

#endif
