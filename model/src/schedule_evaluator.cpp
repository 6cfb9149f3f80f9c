#include <model/calendar.h>
#include <model/clock.h>
#include <model/schedule.h>

#include <locale.h>
#include <string.h>

namespace {

// The local-time breakdown of a time; false when the C run time has none.
bool LocalParts(time_t time, struct tm& parts)
{
    struct tm* local = localtime(&time);
    if (!local)
        return false;
    parts = *local;
    return true;
}

}  // namespace

ScheduleEvaluator::ScheduleEvaluator() : m_owner(NULL)
{
    Init();
}

void ScheduleEvaluator::Init()
{
    setlocale(LC_TIME, "");
    memset(m_minuteSet, 0, sizeof m_minuteSet);
    memset(m_hourSet, 0, sizeof m_hourSet);
    memset(m_daySet, 0, sizeof m_daySet);
    memset(m_weekSet, 0, sizeof m_weekSet);
    memset(m_monthSet, 0, sizeof m_monthSet);
    m_minuteMode = m_hourMode = m_dayMode = m_weekMode = m_monthMode = 0;
    m_daySubMode = 1;
    m_onceTime = m_start = m_end = 0;
    m_including = 1;
    m_type = kScheduleOnce;
    m_afterType = 0;
    m_runCounter = 0;
    m_validity = kValidBetween;
    m_periodUnit = kPeriodHours;
    m_periodCount = 0;
    m_runLimit = 0;
    m_afterRunLimit = 0;
    m_evaluationTime = ClockNow();
    memset(&m_now, 0, sizeof m_now);
    LocalParts(m_evaluationTime, m_now);
}

bool ScheduleEvaluator::IsDueNow()
{
    m_evaluationTime = ClockNow();
    if (!LocalParts(m_evaluationTime, m_now))
        return false;
    // Each chain stops at the first test that fails.
    bool due;
    switch (m_type) {
    case kScheduleOnce:
        due = IsOnceTimeNow();
        break;
    case kScheduleHourly:
        due = IsInValidityWindow(m_evaluationTime) && MinuteMatches();
        break;
    case kScheduleDaily:
        due = IsInValidityWindow(m_evaluationTime) && HourMatches() && MinuteMatches();
        break;
    case kScheduleYearlyByDay:
        due = IsInValidityWindow(m_evaluationTime) && DayOfYearMatches() && HourMatches() &&
              MinuteMatches();
        break;
    case kScheduleWeekly:
        due = IsInValidityWindow(m_evaluationTime) && WeekdayMatches() && HourMatches() &&
              MinuteMatches();
        break;
    case kScheduleMonthly:
        due = IsInValidityWindow(m_evaluationTime) && DayOfMonthMatches() && HourMatches() &&
              MinuteMatches();
        break;
    case kScheduleYearlyByMonth:
        due = IsInValidityWindow(m_evaluationTime) && MonthMatches() && DayOfMonthMatches() &&
              HourMatches() && MinuteMatches();
        break;
    default:
        due = false;
        break;
    }
    if (!due)
        return false;
    ++m_runCounter;
    // The count limits the runs of rule kValidForRuns: it must reach the disk.
    if (m_owner)
        m_owner->setDirty(2);
    return true;
}

bool ScheduleEvaluator::IsInValidityWindow(time_t now) const
{
    switch (m_validity) {
    case kValidBetween:
        return m_start <= now && (m_end == 0 || now <= m_end);
    case kValidForPeriods: {
        if (m_start / 100 > now / 100)
            return false;
        time_t elapsed = now - m_start;
        switch (m_periodUnit) {
        case kPeriodHours:
            elapsed /= 3600;
            break;
        case kPeriodDays:
            elapsed /= 86400;
            break;
        case kPeriodWeeks:
            elapsed /= 604800;
            break;
        case kPeriodMonths:
            return now < AddMonths(m_start, m_periodCount);
        default:
            return false;
        }
        return elapsed >= 0 && elapsed < m_periodCount;
    }
    case kValidForRuns:
        return m_start / 100 <= now / 100 && m_runCounter < m_runLimit;
    default:
        return false;
    }
}

bool ScheduleEvaluator::IsOnceTimeNow() const
{
    struct tm once;
    if (!LocalParts(m_onceTime, once))
        return false;
    return once.tm_year == m_now.tm_year && once.tm_mon == m_now.tm_mon &&
           once.tm_mday == m_now.tm_mday && once.tm_hour == m_now.tm_hour &&
           once.tm_min == m_now.tm_min;
}

int ScheduleEvaluator::GetCurrentValue(int index) const
{
    int year = m_now.tm_year + 1900;
    int day = m_now.tm_mday;
    int daysInMonth = GetDaysInMonth(m_now.tm_mon + 1, year);
    switch (index) {
    case kCurrentMinute:
        return m_now.tm_min;
    case kCurrentHour:
        return m_now.tm_hour;
    case kCurrentWeekday:
        return m_now.tm_wday;
    case kCurrentDay:
        return day;
    case kCurrentWeekFromFirst:
        return (day - 1) / 7 + 1;
    case kCurrentWeekFromLast:
        return (daysInMonth - day) / 7 + 1;
    case kCurrentDaysInMonth:
        return daysInMonth;
    case kCurrentDayOfYear:
        return m_now.tm_yday + 1;
    case kCurrentDaysInYear:
        return GetDaysInYear(year);
    case kCurrentWeekdayWeek: {
        int firstWeekday = ((m_now.tm_wday - (day - 1)) % 7 + 7) % 7;
        return (firstWeekday + day) / 7 + 1;
    }
    case kCurrentWholeWeeksInMonth:
        return daysInMonth / 7;
    case kCurrentWeekOfYear:
        return GetWeekOfYear(day, m_now.tm_mon + 1, year);
    case kCurrentWholeWeeksInYear:
        return GetDaysInYear(year) / 7;
    case kCurrentMonth:
        return m_now.tm_mon;
    default:
        return 0;
    }
}

bool ScheduleEvaluator::MinuteMatches() const
{
    int minute = GetCurrentValue(kCurrentMinute);
    switch (m_minuteMode) {
    case 1:
        return IsBitSet(m_minuteSet, 0);
    case 2:
        return IsBitSet(m_minuteSet, 59 - minute);
    default:
        return IsBitSet(m_minuteSet, minute);
    }
}

bool ScheduleEvaluator::HourMatches() const
{
    int hour = GetCurrentValue(kCurrentHour);
    switch (m_hourMode) {
    case 1:
        return IsBitSet(m_hourSet, 0);
    case 2:
        return IsBitSet(m_hourSet, 23 - hour);
    default:
        return IsBitSet(m_hourSet, hour);
    }
}

bool ScheduleEvaluator::MonthMatches() const
{
    switch (m_monthMode) {
    case 1:
        return IsBitSet(m_monthSet, 1);
    case 2:
        return IsBitSet(m_monthSet, 12);
    default:
        return IsBitSet(m_monthSet, GetCurrentValue(kCurrentMonth));
    }
}

bool ScheduleEvaluator::DayOfYearMatches() const
{
    int day = GetCurrentValue(kCurrentDayOfYear);
    switch (m_dayMode) {
    case 0:
    case 1:
        return IsBitSet(m_daySet, day);
    case 2:
        return IsBitSet(m_daySet, GetCurrentValue(kCurrentDaysInYear) - day + 1);
    default:
        return true;
    }
}

bool ScheduleEvaluator::WeekdayMatches() const
{
    int weekday = GetCurrentValue(kCurrentWeekday);
    switch (m_dayMode) {
    case 0:
        return IsBitSet(m_daySet, weekday);
    case 1:
        return IsBitSet(m_daySet, 0);
    case 2:
        return IsBitSet(m_daySet, 7 - weekday);
    default:
        return true;
    }
}

bool ScheduleEvaluator::DayOfMonthMatches() const
{
    int day = GetCurrentValue(kCurrentDay);
    int weekday = GetCurrentValue(kCurrentWeekday);
    // Sub-mode 0 names the n-th weekday: bits 1-7 are Sunday to Saturday of
    // week 1, bits 8-14 those of week 2, and so on.
    if (m_dayMode == 0)
        return IsBitSet(m_daySet, day);
    if (m_dayMode == 1 && m_daySubMode == 0)
        return IsBitSet(m_daySet, GetCurrentValue(kCurrentWeekFromFirst) * 7 + weekday - 6);
    if (m_dayMode == 1 && m_daySubMode == 1)
        return IsBitSet(m_daySet, day);
    if (m_dayMode == 2 && m_daySubMode == 0)
        return IsBitSet(m_daySet, GetCurrentValue(kCurrentWeekFromLast) * 7 + weekday - 6);
    // Counted from the end: bit 1 is the last day of the month.
    if (m_dayMode == 2 && m_daySubMode == 1)
        return IsBitSet(m_daySet, GetCurrentValue(kCurrentDaysInMonth) - day + 1);
    return true;
}
