#include <framework/archive.h>
#include <framework/datetime.h>

#include <cmath>
#include <vector>

namespace
{
const LONGLONG kSecondsPerDay = 86400;

// Day numbers relative to 1899-12-30 of the first and last valid days
// (1 January 100 and 31 December 9999).
const LONGLONG kMinDay = -657434;
const LONGLONG kMaxDay = 2958465;

// Days from 1970-01-01 to the given day of the proleptic Gregorian calendar.
LONGLONG DaysFromCivil(LONGLONG y, int m, int d)
{
    y -= m <= 2;
    LONGLONG era = (y >= 0 ? y : y - 399) / 400;
    LONGLONG yoe = y - era * 400;
    LONGLONG doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    LONGLONG doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(LONGLONG z, int& y, int& m, int& d)
{
    z += 719468;
    LONGLONG era = (z >= 0 ? z : z - 146096) / 146097;
    LONGLONG doe = z - era * 146097;
    LONGLONG yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    LONGLONG doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    LONGLONG mp = (5 * doy + 2) / 153;
    d = (int)(doy - (153 * mp + 2) / 5 + 1);
    m = (int)(mp < 10 ? mp + 3 : mp - 9);
    y = (int)(yoe + era * 400 + (m <= 2));
}

const LONGLONG kOleEpoch = DaysFromCivil(1899, 12, 30);

// A negative DATE counts whole days back from 1899-12-30 while its
// fraction still counts the time of day forward: -1.25 is 1899-12-29 06:00.
// The linear value (-0.75 there) is continuous time in days.
double LinearFromDate(DATE dt)
{
    if (dt >= 0)
        return dt;
    double whole = std::trunc(dt);
    return whole - (dt - whole);
}

DATE DateFromLinear(double linear)
{
    if (linear >= 0)
        return linear;
    double whole = std::floor(linear);
    return whole - (linear - whole);
}

bool IsLeapYear(int nYear)
{
    return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
}

int DaysInMonth(int nYear, int nMonth)
{
    static const int kDays[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
    return nMonth == 2 && IsLeapYear(nYear) ? 29 : kDays[nMonth - 1];
}

CString FormatTm(LPCTSTR lpszFormat, const struct tm& tmValue)
{
    if (lpszFormat == NULL || *lpszFormat == '\0')
        return CString();
    // strftime reports 0 both for "too small" and for empty output; stop
    // growing at a size no sane format needs.
    for (size_t nSize = 256; nSize <= 0x10000; nSize *= 4)
    {
        std::vector<char> buffer(nSize);
        size_t nLength = std::strftime(buffer.data(), nSize, lpszFormat, &tmValue);
        if (nLength > 0)
            return CString(buffer.data(), (int)nLength);
    }
    return CString();
}
}  // namespace

COleDateTimeSpan::COleDateTimeSpan(long lDays, int nHours, int nMins, int nSecs)
{
    SetDateTimeSpan(lDays, nHours, nMins, nSecs);
}

void COleDateTimeSpan::SetDateTimeSpan(long lDays, int nHours, int nMins, int nSecs)
{
    m_span = lDays + (nHours * 3600.0 + nMins * 60.0 + nSecs) / kSecondsPerDay;
    m_status = valid;
}

LONGLONG COleDateTimeSpan::RoundedSeconds() const
{
    return (LONGLONG)std::llround(m_span * kSecondsPerDay);
}

double COleDateTimeSpan::GetTotalHours() const
{
    return (double)(RoundedSeconds() / 3600);
}

double COleDateTimeSpan::GetTotalMinutes() const
{
    return (double)(RoundedSeconds() / 60);
}

double COleDateTimeSpan::GetTotalSeconds() const
{
    return (double)RoundedSeconds();
}

long COleDateTimeSpan::GetDays() const
{
    return (long)(RoundedSeconds() / kSecondsPerDay);
}

long COleDateTimeSpan::GetHours() const
{
    return (long)(RoundedSeconds() / 3600 % 24);
}

long COleDateTimeSpan::GetMinutes() const
{
    return (long)(RoundedSeconds() / 60 % 60);
}

long COleDateTimeSpan::GetSeconds() const
{
    return (long)(RoundedSeconds() % 60);
}

COleDateTimeSpan COleDateTimeSpan::operator+(const COleDateTimeSpan& other) const
{
    COleDateTimeSpan result(m_span + other.m_span);
    if (m_status != valid || other.m_status != valid)
        result.m_status = invalid;
    return result;
}

COleDateTimeSpan COleDateTimeSpan::operator-(const COleDateTimeSpan& other) const
{
    return *this + -other;
}

COleDateTimeSpan COleDateTimeSpan::operator-() const
{
    COleDateTimeSpan result(-m_span);
    result.m_status = m_status;
    return result;
}

COleDateTime COleDateTime::GetCurrentTime()
{
    return COleDateTime(std::time(NULL));
}

COleDateTime::COleDateTime(DATE dtSrc) : m_dt(dtSrc), m_status(valid)
{
    Fields fields;
    if (!GetFields(fields))
        m_status = invalid;
}

COleDateTime::COleDateTime(time_t timeSrc) : m_dt(0), m_status(invalid)
{
    struct tm tmLocal;
    if (localtime_s(&tmLocal, &timeSrc) == 0)
        SetDateTime(tmLocal.tm_year + 1900, tmLocal.tm_mon + 1, tmLocal.tm_mday, tmLocal.tm_hour,
                    tmLocal.tm_min, tmLocal.tm_sec);
}

COleDateTime::COleDateTime(const SYSTEMTIME& st) : m_dt(0), m_status(valid)
{
    SetDateTime(st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond);
}

COleDateTime::COleDateTime(const FILETIME& filetimeSrc) : m_dt(0), m_status(invalid)
{
    FILETIME ftLocal;
    SYSTEMTIME st;
    if (FileTimeToLocalFileTime(&filetimeSrc, &ftLocal) && FileTimeToSystemTime(&ftLocal, &st))
        *this = COleDateTime(st);
}

COleDateTime::COleDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec)
    : m_dt(0), m_status(valid)
{
    SetDateTime(nYear, nMonth, nDay, nHour, nMin, nSec);
}

int COleDateTime::SetDateTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec)
{
    if (nYear < 100 || nYear > 9999 || nMonth < 1 || nMonth > 12 || nDay < 1 ||
        nDay > DaysInMonth(nYear, nMonth) || nHour < 0 || nHour > 23 || nMin < 0 || nMin > 59 ||
        nSec < 0 || nSec > 59)
    {
        m_dt = 0;
        m_status = invalid;
        return 1;
    }
    LONGLONG nDays = DaysFromCivil(nYear, nMonth, nDay) - kOleEpoch;
    double dblTime = (nHour * 3600.0 + nMin * 60.0 + nSec) / kSecondsPerDay;
    m_dt = nDays >= 0 ? nDays + dblTime : nDays - dblTime;
    m_status = valid;
    return 0;
}

int COleDateTime::SetDate(int nYear, int nMonth, int nDay)
{
    return SetDateTime(nYear, nMonth, nDay, 0, 0, 0);
}

int COleDateTime::SetTime(int nHour, int nMin, int nSec)
{
    return SetDateTime(1899, 12, 30, nHour, nMin, nSec);
}

BOOL COleDateTime::GetFields(Fields& fields) const
{
    if (m_status != valid || !std::isfinite(m_dt))
        return FALSE;
    double dblSeconds = std::floor(LinearFromDate(m_dt) * kSecondsPerDay + 0.5);
    if (dblSeconds < (double)(kMinDay * kSecondsPerDay) ||
        dblSeconds >= (double)((kMaxDay + 1) * kSecondsPerDay))
        return FALSE;
    LONGLONG nSeconds = (LONGLONG)dblSeconds;
    LONGLONG nDays = nSeconds >= 0 ? nSeconds / kSecondsPerDay
                                   : -((-nSeconds + kSecondsPerDay - 1) / kSecondsPerDay);
    int nSecondOfDay = (int)(nSeconds - nDays * kSecondsPerDay);

    CivilFromDays(nDays + kOleEpoch, fields.nYear, fields.nMonth, fields.nDay);
    fields.nHour = nSecondOfDay / 3600;
    fields.nMinute = nSecondOfDay / 60 % 60;
    fields.nSecond = nSecondOfDay % 60;
    // Day 0 (1899-12-30) was a Saturday.
    fields.nDayOfWeek = (int)(((nDays + 6) % 7 + 7) % 7) + 1;
    fields.nDayOfYear = (int)(nDays + kOleEpoch - DaysFromCivil(fields.nYear, 1, 1)) + 1;
    return TRUE;
}

int COleDateTime::GetYear() const
{
    Fields f;
    return GetFields(f) ? f.nYear : -1;
}

int COleDateTime::GetMonth() const
{
    Fields f;
    return GetFields(f) ? f.nMonth : -1;
}

int COleDateTime::GetDay() const
{
    Fields f;
    return GetFields(f) ? f.nDay : -1;
}

int COleDateTime::GetHour() const
{
    Fields f;
    return GetFields(f) ? f.nHour : -1;
}

int COleDateTime::GetMinute() const
{
    Fields f;
    return GetFields(f) ? f.nMinute : -1;
}

int COleDateTime::GetSecond() const
{
    Fields f;
    return GetFields(f) ? f.nSecond : -1;
}

int COleDateTime::GetDayOfWeek() const
{
    Fields f;
    return GetFields(f) ? f.nDayOfWeek : -1;
}

int COleDateTime::GetDayOfYear() const
{
    Fields f;
    return GetFields(f) ? f.nDayOfYear : -1;
}

BOOL COleDateTime::GetAsSystemTime(SYSTEMTIME& st) const
{
    Fields f;
    if (!GetFields(f))
        return FALSE;
    st.wYear = (WORD)f.nYear;
    st.wMonth = (WORD)f.nMonth;
    st.wDay = (WORD)f.nDay;
    st.wDayOfWeek = (WORD)(f.nDayOfWeek - 1);
    st.wHour = (WORD)f.nHour;
    st.wMinute = (WORD)f.nMinute;
    st.wSecond = (WORD)f.nSecond;
    st.wMilliseconds = 0;
    return TRUE;
}

COleDateTime COleDateTime::operator+(const COleDateTimeSpan& span) const
{
    if (m_status != valid || span.m_status != COleDateTimeSpan::valid)
    {
        COleDateTime result;
        result.m_status = invalid;
        return result;
    }
    return COleDateTime(DateFromLinear(LinearFromDate(m_dt) + span.m_span));
}

COleDateTime COleDateTime::operator-(const COleDateTimeSpan& span) const
{
    return *this + -span;
}

COleDateTimeSpan COleDateTime::operator-(const COleDateTime& date) const
{
    COleDateTimeSpan span(LinearFromDate(m_dt) - LinearFromDate(date.m_dt));
    if (m_status != valid || date.m_status != valid)
        span.m_status = COleDateTimeSpan::invalid;
    return span;
}

bool COleDateTime::operator<(const COleDateTime& date) const
{
    return LinearFromDate(m_dt) < LinearFromDate(date.m_dt);
}

CString COleDateTime::Format(LPCTSTR lpszFormat) const
{
    Fields f;
    if (!GetFields(f))
        return CString();
    struct tm tmValue = {};
    tmValue.tm_year = f.nYear - 1900;
    tmValue.tm_mon = f.nMonth - 1;
    tmValue.tm_mday = f.nDay;
    tmValue.tm_hour = f.nHour;
    tmValue.tm_min = f.nMinute;
    tmValue.tm_sec = f.nSecond;
    tmValue.tm_wday = f.nDayOfWeek - 1;
    tmValue.tm_yday = f.nDayOfYear - 1;
    tmValue.tm_isdst = -1;
    return FormatTm(lpszFormat, tmValue);
}

CString COleDateTime::Format(DWORD dwFlags, LCID lcid) const
{
    if (m_status != valid)
        return CString();
    BSTR bstr = NULL;
    if (FAILED(VarBstrFromDate(m_dt, lcid, dwFlags, &bstr)))
        return CString();
    CString result;
    int nLength = WideCharToMultiByte(CP_ACP, 0, bstr, SysStringLen(bstr), NULL, 0, NULL, NULL);
    if (nLength > 0)
    {
        WideCharToMultiByte(CP_ACP, 0, bstr, SysStringLen(bstr), result.GetBufferSetLength(nLength),
                            nLength, NULL, NULL);
    }
    SysFreeString(bstr);
    return result;
}

CTimeSpan::CTimeSpan(LONG lDays, int nHours, int nMins, int nSecs)
    : m_timeSpan(((time_t)lDays * 24 + nHours) * 3600 + (time_t)nMins * 60 + nSecs)
{
}

CTime CTime::GetCurrentTime()
{
    return CTime(std::time(NULL));
}

CTime::CTime(int nYear, int nMonth, int nDay, int nHour, int nMin, int nSec, int nDST)
{
    struct tm tmLocal = {};
    tmLocal.tm_year = nYear - 1900;
    tmLocal.tm_mon = nMonth - 1;
    tmLocal.tm_mday = nDay;
    tmLocal.tm_hour = nHour;
    tmLocal.tm_min = nMin;
    tmLocal.tm_sec = nSec;
    tmLocal.tm_isdst = nDST;
    m_time = std::mktime(&tmLocal);
}

struct tm CTime::LocalTm() const
{
    struct tm tmLocal = {};
    localtime_s(&tmLocal, &m_time);
    return tmLocal;
}

CString CTime::Format(LPCTSTR lpszFormat) const
{
    return FormatTm(lpszFormat, LocalTm());
}

CArchive& operator<<(CArchive& ar, const COleDateTime& date)
{
    return ar << (LONG)date.m_status << date.m_dt;
}

CArchive& operator>>(CArchive& ar, COleDateTime& date)
{
    LONG lStatus;
    ar >> lStatus >> date.m_dt;
    date.m_status = (COleDateTime::DateTimeStatus)lStatus;
    return ar;
}

CArchive& operator<<(CArchive& ar, const COleDateTimeSpan& span)
{
    return ar << (LONG)span.m_status << span.m_span;
}

CArchive& operator>>(CArchive& ar, COleDateTimeSpan& span)
{
    LONG lStatus;
    ar >> lStatus >> span.m_span;
    span.m_status = (COleDateTimeSpan::DateTimeSpanStatus)lStatus;
    return ar;
}

CArchive& operator<<(CArchive& ar, CTime time)
{
    return ar << (DWORD)time.m_time;
}

CArchive& operator>>(CArchive& ar, CTime& time)
{
    DWORD dwTime;
    ar >> dwTime;
    time.m_time = dwTime;
    return ar;
}

CArchive& operator<<(CArchive& ar, CTimeSpan span)
{
    return ar << (LONG)span.m_timeSpan;
}

CArchive& operator>>(CArchive& ar, CTimeSpan& span)
{
    LONG lSpan;
    ar >> lSpan;
    span.m_timeSpan = lSpan;
    return ar;
}
