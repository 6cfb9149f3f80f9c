// Calendar arithmetic, the random draw, the local host name and time zone.
#include <mail/codecs.h>

#include <winsock2.h>

#include <string.h>

long DwJulianDay(int year, int month, int day)
{
    long y = year, m = month, d = day;
    return (1461 * (y + 4800 + (m - 14) / 12)) / 4 + (367 * (m - 2 - 12 * ((m - 14) / 12))) / 12 -
           (3 * ((y + 4900 + (m - 14) / 12) / 100)) / 4 + d - 32075;
}

void DwFromJulianDay(long julianDay, int& year, int& month, int& day)
{
    long l = julianDay + 68569;
    long n = 4 * l / 146097;
    l = l - (146097 * n + 3) / 4;
    long i = 4000 * (l + 1) / 1461001;
    l = l - 1461 * i / 4 + 31;
    long j = 80 * l / 2447;
    day = (int)(l - 2447 * j / 80);
    l = j / 11;
    month = (int)(j + 2 - 12 * l);
    year = (int)(100 * (n - 49) + i + l);
}

long long DwSecondsSince1970(int year, int month, int day, int hour, int minute, int second)
{
    long long days = DwJulianDay(year, month, day) - 2440588L;
    return days * 86400 + hour * 3600L + minute * 60L + second;
}

long DwRandomDraw(long& seed)
{
    const long long kModulus = 2147483647LL;
    seed = (long)((long long)seed * 16807 % kModulus);
    return seed;
}

long DwProcessRandomDraw()
{
    static volatile LONG state = 0;
    for (;;) {
        LONG seen = state;
        long next = seen;
        if (next == 0) {
            FILETIME now;
            GetSystemTimeAsFileTime(&now);
            next = (long)((now.dwLowDateTime ^ (GetCurrentProcessId() << 16) ^ GetTickCount()) %
                          2147483646UL) + 1;
        }
        DwRandomDraw(next);
        if (InterlockedCompareExchange(&state, next, seen) == seen)
            return next;
    }
}

void DwLocalHostName(char* buffer, size_t size)
{
    if (!buffer || size == 0)
        return;
    buffer[0] = 0;
    WSADATA data;
    bool started = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    char name[256];
    if (started && gethostname(name, sizeof name) == 0) {
        struct hostent* host = gethostbyname(name);
        if (host && host->h_name && strlen(host->h_name) < size)
            strcpy(buffer, host->h_name);
    }
    if (started)
        WSACleanup();
    if (buffer[0])
        return;
    DWORD length = sizeof name;
    const char* chosen = GetComputerNameA(name, &length) ? name : "noname";
    strncpy(buffer, chosen, size - 1);
    buffer[size - 1] = 0;
}

namespace {

int DaysInMonth(int year, int month)
{
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[(month - 1) % 12];
}

// The local wall-clock moment, in seconds since 1970, at which a transition
// rule fires in `year`.
long long TransitionInYear(const SYSTEMTIME& rule, int year)
{
    int day = rule.wDay;
    if (rule.wYear == 0) {
        int firstWeekday = (int)((DwJulianDay(year, rule.wMonth, 1) + 1) % 7);
        day = 1 + (rule.wDayOfWeek - firstWeekday + 7) % 7 + (rule.wDay - 1) * 7;
        while (day > DaysInMonth(year, rule.wMonth))
            day -= 7;
    } else {
        year = rule.wYear;
    }
    return DwSecondsSince1970(year, rule.wMonth, day, rule.wHour, rule.wMinute, rule.wSecond);
}

DwString Narrow(const WCHAR* name)
{
    char text[128];
    int n = WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof text, NULL, NULL);
    return n > 0 ? DwString(text) : DwString();
}

}  // namespace

void DwZoneAt(const TIME_ZONE_INFORMATION& zone, bool known, time_t when, int& offsetMinutes,
              DwString& name)
{
    if (!known) {
        offsetMinutes = -zone.Bias;
        name = DwString();
        return;
    }
    long standardOffset = -(zone.Bias + zone.StandardBias);
    bool daylight = false;
    if (zone.StandardDate.wMonth != 0 && zone.DaylightDate.wMonth != 0) {
        long long localStandard = (long long)when + standardOffset * 60LL;
        int year, month, day;
        DwFromJulianDay((long)(localStandard / 86400 + 2440588), year, month, day);
        long long start = TransitionInYear(zone.DaylightDate, year) - standardOffset * 60LL;
        long long end = TransitionInYear(zone.StandardDate, year) +
                        (zone.Bias + zone.DaylightBias) * 60LL;
        long long t = when;
        daylight = start < end ? (t >= start && t < end) : (t >= start || t < end);
    }
    offsetMinutes = daylight ? -(zone.Bias + zone.DaylightBias) : standardOffset;
    name = Narrow(daylight ? zone.DaylightName : zone.StandardName);
}

void DwLocalZone(time_t when, int& offsetMinutes, DwString& name)
{
    TIME_ZONE_INFORMATION zone;
    memset(&zone, 0, sizeof zone);
    DWORD result = GetTimeZoneInformation(&zone);
    bool known = result == TIME_ZONE_ID_STANDARD || result == TIME_ZONE_ID_DAYLIGHT;
    DwZoneAt(zone, known, when, offsetMinutes, name);
}
