// Calendar routines against facts computed by Python's datetime, the Julian
// routines, and local-time arithmetic across daylight-saving changes.
#include <model/calendar.h>
#include <model/schedule.h>

#include <model/clock.h>

#include <gtest/gtest.h>

#include "processes.h"

#include <stdlib.h>
#include <string.h>

#include <functional>

namespace {

struct CalendarYear {
    int year, leap, daysInYear, newYearWeekday, lastDayWeek, newYearWeek, daysInFebruary;
};
struct CalendarDate {
    int day, month, year, weekday, week;
    long daysFrom2000;
};
#include "fixtures/calendar_fixture.inc"

TEST(Calendar, YearsAgreeWithTheFixture)
{
    for (const CalendarYear& y : kCalendarYears) {
        SCOPED_TRACE(y.year);
        EXPECT_EQ(IsLeapYear(y.year), y.leap != 0);
        EXPECT_EQ(GetDaysInYear(y.year), y.daysInYear);
        EXPECT_EQ(GetDaysInMonth(2, y.year), y.daysInFebruary);
        EXPECT_EQ(GetISODayOfWeek(1, 1, y.year), y.newYearWeekday);
        EXPECT_EQ(GetDayOfWeek(y.year, 1, 1), y.newYearWeekday % 7);
        EXPECT_EQ(GetWeekOfYear(31, 12, y.year), y.lastDayWeek);
        EXPECT_EQ(GetWeekOfYear(1, 1, y.year), y.newYearWeek);
    }
}

TEST(Calendar, DatesAgreeWithTheFixture)
{
    for (const CalendarDate& d : kCalendarDates) {
        SCOPED_TRACE(testing::Message() << d.day << "." << d.month << "." << d.year);
        EXPECT_EQ(GetISODayOfWeek(d.day, d.month, d.year), d.weekday);
        EXPECT_EQ(GetDayOfWeek(d.year, d.month, d.day), d.weekday % 7);
        EXPECT_EQ(GetWeekOfYear(d.day, d.month, d.year), d.week);
        EXPECT_EQ(DaysBetween(1, 1, 2000, d.day, d.month, d.year), d.daysFrom2000);
        EXPECT_EQ(DaysBetween(d.day, d.month, d.year, 1, 1, 2000), -d.daysFrom2000);
    }
}

TEST(Calendar, LeapYearRulesAndMonthLengths)
{
    struct {
        int year;
        bool gregorian, julian;
    } years[] = {{1900, false, true}, {2000, true, true}, {2004, true, true}, {2001, false, false},
                 {0, true, false},    {-1, true, true},   {-4, false, false}, {-5, true, true}};
    for (const auto& y : years) {
        SCOPED_TRACE(y.year);
        EXPECT_EQ(IsLeapYear(y.year), y.gregorian);
        EXPECT_EQ(IsJulianLeapYear(y.year), y.julian);
    }
    EXPECT_EQ(GetDaysInMonthJulian(2, 1900), 29);
    EXPECT_EQ(GetDaysInMonth(2, 1900), 28);
    EXPECT_EQ(GetDaysInMonthJulian(4, 1900), 30);
    for (int month : {0, 13}) {
        EXPECT_EQ(GetDaysInMonth(month, 2024), 0);
        EXPECT_EQ(GetDaysInMonthJulian(month, 2024), 0);
    }
    EXPECT_EQ(DaysBeforeMonth(3), 61);  // February counted as 30 days
    EXPECT_EQ(DaysBeforeYear(1), 365);
    EXPECT_EQ(GetDayOfWeek(1, 1, 1), 1);  // 1 January of year 1 is a Monday
}

TEST(Calendar, JulianWeekdays)
{
    // Julian dates and the weekdays of their Gregorian equivalents.
    struct {
        int day, month, year, weekday;
    } dates[] = {{4, 10, 1582, 4}, {25, 12, 1642, 7}, {29, 2, 1900, 2}, {1, 1, 2000, 5}};
    for (const auto& d : dates) {
        SCOPED_TRACE(d.year);
        EXPECT_EQ(GetDayOfWeekJulian(d.day, d.month, d.year), d.weekday);
    }
}

TEST(Calendar, TheReformSkipsTenDays)
{
    EXPECT_EQ(DaysBetween(4, 10, 1582, 15, 10, 1582), 1);
    EXPECT_EQ(DaysBetween(15, 10, 1582, 4, 10, 1582), -1);
    EXPECT_EQ(DaysBetween(1, 10, 1582, 3, 10, 1582), 2);
    EXPECT_EQ(DaysBetween(1, 9, 1582, 1, 11, 1582), 51);
    EXPECT_EQ(DaysBetween(20, 10, 1582, 1, 1, 1583), 73);
    // Weekdays of 1582 follow the days actually lived.
    EXPECT_EQ(GetISODayOfWeek(15, 10, 1582), 5);
    EXPECT_EQ(GetISODayOfWeek(4, 10, 1582), 4);
    EXPECT_EQ(GetISODayOfWeek(1, 1, 1582), GetDayOfWeekJulian(1, 1, 1582));
}

TEST(Calendar, WeekOfYearAtTheTurnOfTheYear)
{
    EXPECT_EQ(GetWeekOfYear(31, 12, 2003), 1);
    EXPECT_EQ(GetWeekOfYear(1, 1, 2005), 53);
    EXPECT_EQ(GetWeekOfYear(3, 1, 2010), 53);
    EXPECT_EQ(GetWeekOfYear(4, 1, 2010), 1);
}

TEST(Calendar, DateComparisonsGoByYearMonthDay)
{
    EXPECT_TRUE(IsEarlierDate(31, 12, 2023, 1, 1, 2024));
    EXPECT_TRUE(IsEarlierDate(30, 4, 2024, 1, 5, 2024));
    EXPECT_FALSE(IsEarlierDate(1, 5, 2024, 1, 5, 2024));
    EXPECT_TRUE(IsLaterDate(2, 5, 2024, 1, 5, 2024));
    EXPECT_FALSE(IsLaterDate(1, 5, 2024, 1, 5, 2024));
}

time_t Local(int year, int month, int day, int hour, int minute)
{
    return CTime(year, month, day, hour, minute, 0).GetTime();
}

struct tm LocalParts(time_t time)
{
    return *localtime(&time);
}

TEST(Calendar, AddMonthsCutsTheDayAndCarriesTheYear)
{
    struct {
        time_t from;
        int months;
        time_t to;
    } cases[] = {
        {Local(2023, 1, 31, 9, 30), 1, Local(2023, 2, 28, 9, 30)},
        {Local(2024, 1, 31, 9, 30), 1, Local(2024, 2, 29, 9, 30)},
        {Local(2023, 10, 31, 9, 30), 4, Local(2024, 2, 29, 9, 30)},
        {Local(2023, 11, 15, 9, 30), 14, Local(2025, 1, 15, 9, 30)},
        {Local(2023, 11, 15, 9, 30), 0, Local(2023, 11, 15, 9, 30)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.months);
        EXPECT_EQ(AddMonths(c.from, c.months), c.to);
    }
}

// The C run time reads the time zone once per process, so checks that need
// daylight saving run in a child process that starts with TZ set.
const char kZoneWithDaylightSaving[] = "CET-1CEST";

void InZoneWithDaylightSaving(const std::function<void()>& checks)
{
    const char* zone = getenv("TZ");
    if (zone && strcmp(zone, kZoneWithDaylightSaving) == 0) {
        // Without daylight saving in effect the checks would prove nothing.
        ASSERT_EQ(LocalParts(Local(2024, 7, 15, 12, 0)).tm_isdst, 1);
        ASSERT_EQ(LocalParts(Local(2024, 1, 15, 12, 0)).tm_isdst, 0);
        ASSERT_EQ(Local(2024, 7, 15, 12, 0) - Local(2024, 1, 15, 12, 0), 182 * 86400 - 3600);
        checks();
        return;
    }
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    char program[MAX_PATH];
    GetModuleFileNameA(NULL, program, MAX_PATH);
    CString command;
    command.Format("\"%s\" --gtest_filter=%s.%s", program, test->test_suite_name(), test->name());
    SetEnvironmentVariableA("TZ", kZoneWithDaylightSaving);
    std::string output;
    int exitCode = RunProgram((const char*)command, output, 60000);
    SetEnvironmentVariableA("TZ", NULL);
    EXPECT_EQ(exitCode, 0) << "the checks failed in the child process:\n" << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

TEST(DaylightSaving, AddMonthsKeepsTheLocalTimeOfDay)
{
    InZoneWithDaylightSaving([] {
        // Winter to summer and summer to winter.
        for (time_t from : {Local(2024, 1, 15, 12, 0), Local(2024, 7, 15, 12, 0)}) {
            struct tm start = LocalParts(from);
            struct tm to = LocalParts(AddMonths(from, 6));
            EXPECT_NE(to.tm_isdst, start.tm_isdst);
            EXPECT_EQ(to.tm_hour, 12);
            EXPECT_EQ(to.tm_min, 0);
            EXPECT_EQ(to.tm_mday, 15);
            EXPECT_EQ(to.tm_mon, (start.tm_mon + 6) % 12);
        }
    });
}

time_t gNow;
time_t TestNow()
{
    return gNow;
}

TEST(DaylightSaving, ItemsAreDueAtTheLocalTime)
{
    InZoneWithDaylightSaving([] {
        SetClock(TestNow);
        ScheduleEvaluator daily;
        daily.m_type = kScheduleDaily;
        ScheduleEvaluator::SetBit(daily.m_hourSet, 12);
        ScheduleEvaluator::SetBit(daily.m_minuteSet, 0);
        for (time_t at : {Local(2024, 1, 15, 12, 0), Local(2024, 7, 15, 12, 0)}) {
            gNow = at;
            EXPECT_TRUE(daily.IsDueNow());
            gNow = at + 3600;
            EXPECT_FALSE(daily.IsDueNow());
        }

        // Valid for one month from mid-February: until noon local time in March,
        // after the clocks went forward.
        ScheduleEvaluator month;
        month.m_validity = kValidForPeriods;
        month.m_periodUnit = kPeriodMonths;
        month.m_periodCount = 1;
        month.m_start = (long)Local(2024, 2, 15, 12, 0);
        ASSERT_EQ(LocalParts(Local(2024, 3, 15, 12, 0)).tm_isdst, 1);
        EXPECT_TRUE(month.IsInValidityWindow(Local(2024, 3, 15, 11, 59)));
        EXPECT_FALSE(month.IsInValidityWindow(Local(2024, 3, 15, 12, 0)));
        EXPECT_FALSE(month.IsInValidityWindow(Local(2024, 3, 15, 12, 30)));
        SetClock(NULL);
    });
}

}  // namespace
