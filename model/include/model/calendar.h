// Calendar arithmetic of the schedule evaluator. Days, months (1-12) and
// years are whole numbers; the Gregorian calendar applies from year 0 on,
// the Julian one below it and in the routines named so.
#ifndef MODEL_CALENDAR_H
#define MODEL_CALENDAR_H

#include <time.h>

bool IsJulianLeapYear(int year);
bool IsLeapYear(int year);
// 0 for a month outside 1-12.
int GetDaysInMonthJulian(int month, int year);
int GetDaysInMonth(int month, int year);
int GetDaysInYear(int year);

// Compare year, then month, then day.
bool IsEarlierDate(int day1, int month1, int year1, int day2, int month2, int year2);
bool IsLaterDate(int day1, int month1, int year1, int day2, int month2, int year2);
// Days from the first date to the second (negative when the second is
// earlier); a span across the calendar reform leaves out 5 to 14 October 1582.
long DaysBetween(int day1, int month1, int year1, int day2, int month2, int year2);

// 1 Monday to 7 Sunday.
int GetDayOfWeekJulian(int day, int month, int year);
int GetISODayOfWeek(int day, int month, int year);
// The ISO 8601 week number.
int GetWeekOfYear(int day, int month, int year);

// 0 Sunday to 6 Saturday.
int GetDayOfWeek(int year, int month, int day);
// Days before the first of a month in a year whose February has 30 days.
long DaysBeforeMonth(int month);
// Days of that many whole years counted from 1 January of year 1.
long DaysBeforeYear(long years);

// The same local time `months` months later; the day is cut to the length of
// the new month.
time_t AddMonths(time_t time, int months);

#endif
