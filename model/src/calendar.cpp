#include <model/calendar.h>

#include <stdlib.h>

namespace {

long FloorDiv(long a, long b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

long FloorMod(long a, long b)
{
    return a - FloorDiv(a, b) * b;
}

int DaysInMonth(int month, bool leap)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12)
        return 0;
    return month == 2 && leap ? 29 : days[month - 1];
}

// Days from 1 January of the year to the date.
int DaysSinceNewYear(int day, int month, int year)
{
    int days = day - 1;
    for (int m = 1; m < month; ++m)
        days += GetDaysInMonth(m, year);
    return days;
}

int WeeksInYear(int year)
{
    int newYear = GetISODayOfWeek(1, 1, year);
    return newYear == 4 || (newYear == 3 && IsLeapYear(year)) ? 53 : 52;
}

}  // namespace

bool IsJulianLeapYear(int year)
{
    if (year > 0)
        return year % 4 == 0;
    return abs(year) % 4 == 1;
}

bool IsLeapYear(int year)
{
    if (year < 0)
        return IsJulianLeapYear(year);
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int GetDaysInMonthJulian(int month, int year)
{
    return DaysInMonth(month, IsJulianLeapYear(year));
}

int GetDaysInMonth(int month, int year)
{
    return DaysInMonth(month, IsLeapYear(year));
}

int GetDaysInYear(int year)
{
    int days = 0;
    for (int month = 1; month <= 12; ++month)
        days += GetDaysInMonth(month, year);
    return days;
}

bool IsEarlierDate(int day1, int month1, int year1, int day2, int month2, int year2)
{
    if (year1 != year2)
        return year1 < year2;
    if (month1 != month2)
        return month1 < month2;
    return day1 < day2;
}

bool IsLaterDate(int day1, int month1, int year1, int day2, int month2, int year2)
{
    return IsEarlierDate(day2, month2, year2, day1, month1, year1);
}

long DaysBetween(int day1, int month1, int year1, int day2, int month2, int year2)
{
    long days = DaysSinceNewYear(day2, month2, year2) - DaysSinceNewYear(day1, month1, year1);
    for (int year = year1; year < year2; ++year)
        days += GetDaysInYear(year);
    for (int year = year2; year < year1; ++year)
        days -= GetDaysInYear(year);
    // The reform went from 4 October 1582 straight to 15 October.
    bool firstBefore = !IsLaterDate(day1, month1, year1, 4, 10, 1582);
    bool secondBefore = !IsLaterDate(day2, month2, year2, 4, 10, 1582);
    bool firstAfter = !IsEarlierDate(day1, month1, year1, 15, 10, 1582);
    bool secondAfter = !IsEarlierDate(day2, month2, year2, 15, 10, 1582);
    if (firstBefore && secondAfter)
        days -= 10;
    else if (secondBefore && firstAfter)
        days += 10;
    return days;
}

int GetDayOfWeekJulian(int day, int month, int year)
{
    // Zeller's congruence: January and February count as months 13 and 14 of
    // the year before; h is 0 on a Saturday.
    if (month < 3) {
        month += 12;
        year -= 1;
    }
    long h = FloorMod(day + 13 * (month + 1) / 5 + year + FloorDiv(year, 4) + 5, 7);
    return (int)((h + 5) % 7) + 1;
}

int GetISODayOfWeek(int day, int month, int year)
{
    // Dates of 1582 are counted from the first Gregorian day, a Friday.
    if (year == 1582)
        return (int)FloorMod(4 + DaysBetween(15, 10, 1582, day, month, year), 7) + 1;
    long n = year / 4 - year / 100 + year / 400 + year + DaysSinceNewYear(day, month, year) -
             (IsLeapYear(year) ? 1 : 0);
    int weekday = (int)FloorMod(n, 7);
    return weekday == 0 ? 7 : weekday;
}

int GetWeekOfYear(int day, int month, int year)
{
    int dayOfYear = DaysSinceNewYear(day, month, year) + 1;
    int week = (dayOfYear - GetISODayOfWeek(day, month, year) + 10) / 7;
    if (week < 1)
        return WeeksInYear(year - 1);
    if (week > WeeksInYear(year))
        return 1;
    return week;
}

long DaysBeforeMonth(int month)
{
    return (month * 3057L - 3007) / 100;
}

long DaysBeforeYear(long years)
{
    return years * 365 + years / 4 - years / 100 + years / 400;
}

int GetDayOfWeek(int year, int month, int day)
{
    long n = DaysBeforeMonth(month) + day + DaysBeforeYear(year - 1);
    if (month > 2)
        n -= IsLeapYear(year) ? 1 : 2;
    return (int)FloorMod(n, 7);
}

time_t AddMonths(time_t time, int months)
{
    if (months == 0)
        return time;
    struct tm* parts = localtime(&time);
    if (!parts)
        return (time_t)-1;
    struct tm date = *parts;
    long month = date.tm_mon + (long)months;
    date.tm_year += (int)FloorDiv(month, 12);
    date.tm_mon = (int)FloorMod(month, 12);
    int days = GetDaysInMonth(date.tm_mon + 1, date.tm_year + 1900);
    if (date.tm_mday > days)
        date.tm_mday = days;
    // Let mktime decide whether daylight saving applies on the new date, so
    // the local time of day stays the same across a change.
    date.tm_isdst = -1;
    return mktime(&date);
}
