// Dates and times: COleDateTime/COleDateTimeSpan hold OLE DATE values
// (days since 30 December 1899, the fraction being the time of day);
// CTime/CTimeSpan hold seconds since 1970 (time_t).
#pragma once

#include <ctime>
#include <oleauto.h>
#include <framework/cstring.h>

// windows.h maps GetCurrentTime to GetTickCount; the classes below use the name.
#ifdef GetCurrentTime
#undef GetCurrentTime
#endif

class CArchive;

class COleDateTimeSpan
{
public:
    enum DateTimeSpanStatus { valid = 0, invalid = 1, null = 2 };

    COleDateTimeSpan() : m_span(0), m_status(valid) {}
    COleDateTimeSpan(double dblSpanSrc) : m_span(dblSpanSrc), m_status(valid) {}
    COleDateTimeSpan(long lDays, int nHours, int nMins, int nSecs);

    DateTimeSpanStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeSpanStatus status) { m_status = status; }
    void SetDateTimeSpan(long lDays, int nHours, int nMins, int nSecs);

    // Totals count whole units and parts are the components of the span,
    // both after rounding to the nearest second; GetTotalDays is exact.
    double GetTotalDays() const { return m_span; }
    double GetTotalHours() const;
    double GetTotalMinutes() const;
    double GetTotalSeconds() const;
    long GetDays() const;
    long GetHours() const;
    long GetMinutes() const;
    long GetSeconds() const;

    COleDateTimeSpan operator+(const COleDateTimeSpan& other) const;
    COleDateTimeSpan operator-(const COleDateTimeSpan& other) const;
    COleDateTimeSpan operator-() const;
    COleDateTimeSpan& operator+=(const COleDateTimeSpan& other) { return *this = *this + other; }
    COleDateTimeSpan& operator-=(const COleDateTimeSpan& other) { return *this = *this - other; }

    bool operator==(const COleDateTimeSpan& other) const { return m_span == other.m_span; }
    bool operator!=(const COleDateTimeSpan& other) const { return m_span != other.m_span; }
    bool operator<(const COleDateTimeSpan& other) const { return m_span < other.m_span; }
    bool operator>(const COleDateTimeSpan& other) const { return m_span > other.m_span; }
    bool operator<=(const COleDateTimeSpan& other) const { return m_span <= other.m_span; }
    bool operator>=(const COleDateTimeSpan& other) const { return m_span >= other.m_span; }

    double m_span;
    DateTimeSpanStatus m_status;

private:
    // The span in seconds, rounded to the nearest second.
    LONGLONG RoundedSeconds() const;
};

class COleDateTime
{
public:
    enum DateTimeStatus { valid = 0, invalid = 1, null = 2 };

    static COleDateTime GetCurrentTime();

    COleDateTime() : m_dt(0), m_status(valid) {}
    COleDateTime(DATE dtSrc);
    COleDateTime(time_t timeSrc);  // converted to local time
    COleDateTime(const SYSTEMTIME& systimeSrc);
    COleDateTime(const FILETIME& filetimeSrc);  // UTC, converted to local time
    COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);

    DateTimeStatus GetStatus() const { return m_status; }
    void SetStatus(DateTimeStatus status) { m_status = status; }

    // Each returns 0 on success; out-of-range fields make the value invalid.
    int SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec);
    int SetDate(int nYear, int nMonth, int nDay);
    int SetTime(int nHour, int nMin, int nSec);

    // Fields of the value rounded to the nearest second; -1 when invalid.
    int GetYear() const;
    int GetMonth() const;
    int GetDay() const;
    int GetHour() const;
    int GetMinute() const;
    int GetSecond() const;
    int GetDayOfWeek() const;  // 1 = Sunday
    int GetDayOfYear() const;  // 1 = 1 January
    BOOL GetAsSystemTime(SYSTEMTIME& sysTime) const;

    operator DATE() const { return m_dt; }

    COleDateTime operator+(const COleDateTimeSpan& span) const;
    COleDateTime operator-(const COleDateTimeSpan& span) const;
    COleDateTime& operator+=(const COleDateTimeSpan& span) { return *this = *this + span; }
    COleDateTime& operator-=(const COleDateTimeSpan& span) { return *this = *this - span; }
    COleDateTimeSpan operator-(const COleDateTime& date) const;

    // Comparisons follow time order, also for dates before 1899-12-30.
    bool operator==(const COleDateTime& date) const { return m_dt == date.m_dt; }
    bool operator!=(const COleDateTime& date) const { return m_dt != date.m_dt; }
    bool operator<(const COleDateTime& date) const;
    bool operator>(const COleDateTime& date) const { return date < *this; }
    bool operator<=(const COleDateTime& date) const { return !(date < *this); }
    bool operator>=(const COleDateTime& date) const { return !(*this < date); }

    // strftime format; empty when the value is not valid.
    CString Format(LPCTSTR lpszFormat) const;
    // Locale format; dwFlags as for VarBstrFromDate (e.g. VAR_DATEVALUEONLY).
    CString Format(DWORD dwFlags = 0, LCID lcid = LANG_USER_DEFAULT) const;

    DATE m_dt;
    DateTimeStatus m_status;

private:
    struct Fields
    {
        int nYear, nMonth, nDay, nHour, nMinute, nSecond, nDayOfWeek, nDayOfYear;
    };
    BOOL GetFields(Fields& fields) const;
};

class CTimeSpan
{
public:
    CTimeSpan(time_t time = 0) : m_timeSpan(time) {}
    CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs);

    LONG GetDays() const { return (LONG)(m_timeSpan / 86400); }
    LONG GetTotalHours() const { return (LONG)(m_timeSpan / 3600); }
    int GetHours() const { return (int)(GetTotalHours() - GetDays() * 24); }
    LONG GetTotalMinutes() const { return (LONG)(m_timeSpan / 60); }
    int GetMinutes() const { return (int)(GetTotalMinutes() - GetTotalHours() * 60); }
    LONG GetTotalSeconds() const { return (LONG)m_timeSpan; }
    int GetSeconds() const { return (int)(GetTotalSeconds() - GetTotalMinutes() * 60); }

    CTimeSpan operator+(CTimeSpan other) const { return m_timeSpan + other.m_timeSpan; }
    CTimeSpan operator-(CTimeSpan other) const { return m_timeSpan - other.m_timeSpan; }
    CTimeSpan& operator+=(CTimeSpan other) { m_timeSpan += other.m_timeSpan; return *this; }
    CTimeSpan& operator-=(CTimeSpan other) { m_timeSpan -= other.m_timeSpan; return *this; }

    bool operator==(CTimeSpan other) const { return m_timeSpan == other.m_timeSpan; }
    bool operator!=(CTimeSpan other) const { return m_timeSpan != other.m_timeSpan; }
    bool operator<(CTimeSpan other) const { return m_timeSpan < other.m_timeSpan; }
    bool operator>(CTimeSpan other) const { return m_timeSpan > other.m_timeSpan; }
    bool operator<=(CTimeSpan other) const { return m_timeSpan <= other.m_timeSpan; }
    bool operator>=(CTimeSpan other) const { return m_timeSpan >= other.m_timeSpan; }

    time_t m_timeSpan;
};

// Fields of a CTime are in local time.
class CTime
{
public:
    static CTime GetCurrentTime();

    CTime(time_t time = 0) : m_time(time) {}
    // Local time; nDST -1 lets the C library decide whether summer time applies.
    CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST = -1);

    time_t GetTime() const { return m_time; }
    int GetYear() const { return LocalTm().tm_year + 1900; }
    int GetMonth() const { return LocalTm().tm_mon + 1; }
    int GetDay() const { return LocalTm().tm_mday; }
    int GetHour() const { return LocalTm().tm_hour; }
    int GetMinute() const { return LocalTm().tm_min; }
    int GetSecond() const { return LocalTm().tm_sec; }
    int GetDayOfWeek() const { return LocalTm().tm_wday + 1; }  // 1 = Sunday

    CString Format(LPCTSTR lpszFormat) const;

    CTimeSpan operator-(CTime time) const { return m_time - time.m_time; }
    CTime operator+(CTimeSpan span) const { return m_time + span.m_timeSpan; }
    CTime operator-(CTimeSpan span) const { return m_time - span.m_timeSpan; }
    CTime& operator+=(CTimeSpan span) { m_time += span.m_timeSpan; return *this; }
    CTime& operator-=(CTimeSpan span) { m_time -= span.m_timeSpan; return *this; }

    bool operator==(CTime time) const { return m_time == time.m_time; }
    bool operator!=(CTime time) const { return m_time != time.m_time; }
    bool operator<(CTime time) const { return m_time < time.m_time; }
    bool operator>(CTime time) const { return m_time > time.m_time; }
    bool operator<=(CTime time) const { return m_time <= time.m_time; }
    bool operator>=(CTime time) const { return m_time >= time.m_time; }

    time_t m_time;

private:
    struct tm LocalTm() const;
};

// Archive forms are listed with the archive format in archive.cpp.
CArchive& operator<<(CArchive& ar, const COleDateTime& date);
CArchive& operator>>(CArchive& ar, COleDateTime& date);
CArchive& operator<<(CArchive& ar, const COleDateTimeSpan& span);
CArchive& operator>>(CArchive& ar, COleDateTimeSpan& span);
CArchive& operator<<(CArchive& ar, CTime time);
CArchive& operator>>(CArchive& ar, CTime& time);
CArchive& operator<<(CArchive& ar, CTimeSpan span);
CArchive& operator>>(CArchive& ar, CTimeSpan& span);
