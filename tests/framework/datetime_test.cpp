// COleDateTime, COleDateTimeSpan, CTime and CTimeSpan.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include <vector>

TEST(COleDateTime, FieldsFromDates)
{
    struct Case
    {
        DATE dt;
        int nYear, nMonth, nDay, nHour, nMinute, nSecond, nDayOfWeek, nDayOfYear;
    };
    const Case cases[] = {
        { 0.0, 1899, 12, 30, 0, 0, 0, 7, 364 },
        { 1.5, 1899, 12, 31, 12, 0, 0, 1, 365 },
        { -1.25, 1899, 12, 29, 6, 0, 0, 6, 363 },       // whole days back, time forward
        { -0.5, 1899, 12, 30, 12, 0, 0, 7, 364 },
        { 61.0, 1900, 3, 1, 0, 0, 0, 5, 60 },           // 1900 is no leap year
        { 36526.0, 2000, 1, 1, 0, 0, 0, 7, 1 },
        { 36585.75, 2000, 2, 29, 18, 0, 0, 3, 60 },
        { 36526.0 + 59.6 / 86400, 2000, 1, 1, 0, 1, 0, 7, 1 },   // rounds up a second
        { 36526.0 + 59.4 / 86400, 2000, 1, 1, 0, 0, 59, 7, 1 },
        { 36526.999999, 2000, 1, 2, 0, 0, 0, 1, 2 },    // rounds into the next day
        { -657434.0, 100, 1, 1, 0, 0, 0, 6, 1 },
        { 2958465.0, 9999, 12, 31, 0, 0, 0, 6, 365 },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.dt);
        COleDateTime date(c.dt);
        ASSERT_EQ(COleDateTime::valid, date.GetStatus());
        EXPECT_EQ(c.nYear, date.GetYear());
        EXPECT_EQ(c.nMonth, date.GetMonth());
        EXPECT_EQ(c.nDay, date.GetDay());
        EXPECT_EQ(c.nHour, date.GetHour());
        EXPECT_EQ(c.nMinute, date.GetMinute());
        EXPECT_EQ(c.nSecond, date.GetSecond());
        EXPECT_EQ(c.nDayOfWeek, date.GetDayOfWeek());
        EXPECT_EQ(c.nDayOfYear, date.GetDayOfYear());
    }
}

TEST(COleDateTime, DatesFromFields)
{
    EXPECT_EQ(0.0, (DATE)COleDateTime(1899, 12, 30, 0, 0, 0));
    EXPECT_EQ(-1.25, (DATE)COleDateTime(1899, 12, 29, 6, 0, 0));
    EXPECT_EQ(-2.75, (DATE)COleDateTime(1899, 12, 28, 18, 0, 0));
    EXPECT_EQ(61.0, (DATE)COleDateTime(1900, 3, 1, 0, 0, 0));
    EXPECT_EQ(36526.5, (DATE)COleDateTime(2000, 1, 1, 12, 0, 0));
    EXPECT_EQ(-657434.0, (DATE)COleDateTime(100, 1, 1, 0, 0, 0));

    COleDateTime date;
    EXPECT_EQ(0, date.SetDate(2000, 2, 29));
    EXPECT_EQ(36585.0, (DATE)date);
    EXPECT_EQ(0, date.SetTime(6, 0, 0));
    EXPECT_EQ(0.25, (DATE)date);
}

TEST(COleDateTime, InvalidStatus)
{
    struct Case
    {
        int nYear, nMonth, nDay, nHour, nMin, nSec;
    };
    const Case cases[] = {
        { 2001, 2, 29, 0, 0, 0 }, { 1900, 2, 29, 0, 0, 0 }, { 99, 12, 31, 0, 0, 0 },
        { 10000, 1, 1, 0, 0, 0 }, { 2000, 13, 1, 0, 0, 0 }, { 2000, 0, 1, 0, 0, 0 },
        { 2000, 4, 31, 0, 0, 0 }, { 2000, 1, 1, 24, 0, 0 }, { 2000, 1, 1, 0, 60, 0 },
        { 2000, 1, 1, 0, 0, 60 }, { 2000, 1, 1, -1, 0, 0 },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.nYear << "-" << c.nMonth << "-" << c.nDay << " "
                                        << c.nHour << ":" << c.nMin << ":" << c.nSec);
        COleDateTime date(c.nYear, c.nMonth, c.nDay, c.nHour, c.nMin, c.nSec);
        EXPECT_EQ(COleDateTime::invalid, date.GetStatus());
        EXPECT_EQ(-1, date.GetYear());
        EXPECT_STREQ("", date.Format("%Y"));
    }

    EXPECT_EQ(COleDateTime::invalid, COleDateTime(2958466.0).GetStatus());
    EXPECT_EQ(COleDateTime::invalid, COleDateTime(-657435.0).GetStatus());

    COleDateTime date(2000, 1, 1, 0, 0, 0);
    EXPECT_NE(0, date.SetDate(2000, 2, 30));
    EXPECT_EQ(COleDateTime::invalid, date.GetStatus());
    date.SetStatus(COleDateTime::null);
    EXPECT_EQ(COleDateTime::null, date.GetStatus());
    EXPECT_EQ(COleDateTime::invalid, (date + COleDateTimeSpan(1.0)).GetStatus());
}

TEST(COleDateTime, ArithmeticAndOrderAcrossTheBaseDate)
{
    COleDateTime morning(1899, 12, 29, 6, 0, 0);   // -1.25
    COleDateTime evening(1899, 12, 29, 18, 0, 0);  // -1.75
    EXPECT_TRUE(morning < evening);
    EXPECT_TRUE(evening > morning);
    EXPECT_TRUE(morning <= morning && morning >= morning);
    EXPECT_EQ(-1.75, (DATE)(morning + COleDateTimeSpan(0, 12, 0, 0)));
    EXPECT_EQ(0.75, (DATE)(morning + COleDateTimeSpan(1, 12, 0, 0)));
    EXPECT_EQ(-1.25, (DATE)(COleDateTime(0.75) - COleDateTimeSpan(1, 12, 0, 0)));
    EXPECT_DOUBLE_EQ(1.75, (COleDateTime(1899, 12, 31, 0, 0, 0) - morning).GetTotalDays());

    COleDateTime date(2000, 2, 28, 12, 0, 0);
    date += COleDateTimeSpan(1, 0, 0, 0);
    EXPECT_EQ(29, date.GetDay());
    date -= COleDateTimeSpan(0, 12, 0, 1);
    EXPECT_EQ(28, date.GetDay());
    EXPECT_EQ(23, date.GetHour());
    EXPECT_EQ(59, date.GetSecond());
}

TEST(COleDateTime, ConversionsFromSystemTypes)
{
    SYSTEMTIME st = { 2001, 3, 0, 4, 5, 6, 7, 0 };
    COleDateTime fromSystem(st);
    EXPECT_EQ(1, fromSystem.GetDayOfWeek());  // a Sunday
    EXPECT_EQ(63, fromSystem.GetDayOfYear());
    SYSTEMTIME back = {};
    ASSERT_TRUE(fromSystem.GetAsSystemTime(back));
    EXPECT_EQ(2001, back.wYear);
    EXPECT_EQ(0, back.wDayOfWeek);
    EXPECT_EQ(7, back.wSecond);

    // A FILETIME is UTC and converted to local time.
    FILETIME ftLocal, ftUtc;
    ASSERT_TRUE(SystemTimeToFileTime(&st, &ftLocal));
    ASSERT_TRUE(LocalFileTimeToFileTime(&ftLocal, &ftUtc));
    EXPECT_EQ((DATE)fromSystem, (DATE)COleDateTime(ftUtc));

    // time_t values are local time, like CTime.
    time_t t = 1000000000;
    COleDateTime fromTime(t);
    CTime ctime(t);
    EXPECT_EQ(ctime.GetYear(), fromTime.GetYear());
    EXPECT_EQ(ctime.GetDay(), fromTime.GetDay());
    EXPECT_EQ(ctime.GetHour(), fromTime.GetHour());
    EXPECT_EQ(ctime.GetSecond(), fromTime.GetSecond());

    COleDateTime now = COleDateTime::GetCurrentTime();
    EXPECT_EQ(COleDateTime::valid, now.GetStatus());
    EXPECT_GE(now.GetYear(), 2020);
}

TEST(COleDateTime, Format)
{
    COleDateTime date(2001, 3, 4, 5, 6, 7);
    EXPECT_STREQ("2001-03-04 05:06:07 Sunday", date.Format("%Y-%m-%d %H:%M:%S %A"));
    EXPECT_STREQ("", date.Format(""));

    CString full = date.Format();
    EXPECT_NE(-1, full.Find("2001"));
    EXPECT_NE(-1, full.Find(':'));
    CString dateOnly = date.Format(VAR_DATEVALUEONLY);
    EXPECT_NE(-1, dateOnly.Find("2001"));
    EXPECT_EQ(-1, dateOnly.Find(':'));
}

TEST(COleDateTimeSpan, PartsAndTotals)
{
    struct Case
    {
        COleDateTimeSpan span;
        long lDays, lHours, lMinutes, lSeconds;
        double dblTotalHours, dblTotalMinutes, dblTotalSeconds;
    };
    const Case cases[] = {
        { COleDateTimeSpan(1, 2, 3, 4), 1, 2, 3, 4, 26, 1563, 93784 },
        { -COleDateTimeSpan(1, 2, 3, 4), -1, -2, -3, -4, -26, -1563, -93784 },
        { COleDateTimeSpan(0, 0, 0, 59) + COleDateTimeSpan(0.6 / 86400), 0, 0, 1, 0, 0, 1, 60 },
        { COleDateTimeSpan(0, 47, 59, 59), 1, 23, 59, 59, 47, 2879, 172799 },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.span.m_span);
        EXPECT_EQ(c.lDays, c.span.GetDays());
        EXPECT_EQ(c.lHours, c.span.GetHours());
        EXPECT_EQ(c.lMinutes, c.span.GetMinutes());
        EXPECT_EQ(c.lSeconds, c.span.GetSeconds());
        EXPECT_EQ(c.dblTotalHours, c.span.GetTotalHours());
        EXPECT_EQ(c.dblTotalMinutes, c.span.GetTotalMinutes());
        EXPECT_EQ(c.dblTotalSeconds, c.span.GetTotalSeconds());
    }

    COleDateTimeSpan span;
    span.SetDateTimeSpan(0, 36, 0, 0);
    EXPECT_EQ(1.5, span.GetTotalDays());
    span -= COleDateTimeSpan(0.5);
    EXPECT_TRUE(span == COleDateTimeSpan(1, 0, 0, 0));
    EXPECT_TRUE(span < COleDateTimeSpan(1.5));
    COleDateTimeSpan bad;
    bad.SetStatus(COleDateTimeSpan::invalid);
    EXPECT_EQ(COleDateTimeSpan::invalid, (span + bad).GetStatus());
}

TEST(CTime, FieldsArithmeticAndFormat)
{
    CTime time(2001, 3, 4, 5, 6, 7);
    EXPECT_EQ(2001, time.GetYear());
    EXPECT_EQ(3, time.GetMonth());
    EXPECT_EQ(4, time.GetDay());
    EXPECT_EQ(5, time.GetHour());
    EXPECT_EQ(6, time.GetMinute());
    EXPECT_EQ(7, time.GetSecond());
    EXPECT_EQ(1, time.GetDayOfWeek());
    EXPECT_STREQ("20010304 050607", time.Format("%Y%m%d %H%M%S"));

    CTimeSpan span(1, 2, 3, 4);
    EXPECT_EQ(93784, span.GetTotalSeconds());
    EXPECT_EQ(26, span.GetTotalHours());
    EXPECT_EQ(1563, span.GetTotalMinutes());
    EXPECT_EQ(1, span.GetDays());
    EXPECT_EQ(2, span.GetHours());
    EXPECT_EQ(3, span.GetMinutes());
    EXPECT_EQ(4, span.GetSeconds());

    CTime later = time + span;
    EXPECT_EQ(5, later.GetDay());
    EXPECT_EQ(11, later.GetSecond());
    EXPECT_TRUE(later - time == span);
    EXPECT_TRUE(later - span == time);
    EXPECT_TRUE(time < later);
    later -= CTimeSpan(60);
    EXPECT_EQ(8, later.GetMinute());

    CTime now = CTime::GetCurrentTime();
    EXPECT_GE(now.GetYear(), 2020);
    EXPECT_EQ(now.GetTime(), now.m_time);
}

TEST(DateTimeArchive, Layouts)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        COleDateTime nullDate;
        nullDate.SetStatus(COleDateTime::null);
        ar << COleDateTime(2000, 1, 1, 0, 0, 0) << nullDate << COleDateTimeSpan(0.5)
           << CTime(0x12345678) << CTimeSpan(-2);
    }
    std::vector<BYTE> bytes(file.GetLength());
    file.SeekToBegin();
    file.Read(bytes.data(), (UINT)bytes.size());
    const std::vector<BYTE> expected = {
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xC0, 0xD5, 0xE1, 0x40,  // valid, 36526.0
        0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // null, 0.0
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE0, 0x3F,  // valid, 0.5
        0x78, 0x56, 0x34, 0x12,                                                  // CTime
        0xFE, 0xFF, 0xFF, 0xFF,                                                  // CTimeSpan -2
    };
    EXPECT_EQ(expected, bytes);

    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    COleDateTime date, nullDate;
    COleDateTimeSpan span;
    CTime time;
    CTimeSpan timeSpan;
    ar >> date >> nullDate >> span >> time >> timeSpan;
    EXPECT_EQ(2000, date.GetYear());
    EXPECT_EQ(COleDateTime::null, nullDate.GetStatus());
    EXPECT_EQ(0.5, span.GetTotalDays());
    EXPECT_EQ(0x12345678, time.GetTime());
    EXPECT_EQ(-2, timeSpan.GetTotalSeconds());
}
