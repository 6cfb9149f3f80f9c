// CString operations.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

TEST(CString, Construction)
{
    EXPECT_STREQ("", CString());
    EXPECT_STREQ("", CString((LPCTSTR)NULL));
    EXPECT_STREQ("abc", CString("abc"));
    EXPECT_STREQ("ab", CString("abcdef", 2));
    EXPECT_STREQ("zzz", CString('z', 3));
    EXPECT_STREQ("", CString('z', 0));
    CString s = "x";
    s = 'y';
    EXPECT_STREQ("y", s);
}

TEST(CString, EditsTable)
{
    struct Case
    {
        const char* name;
        const char* input;
        std::function<void(CString&)> edit;
        const char* expected;
    };
    const Case cases[] = {
        { "MakeUpper", "aBc1", [](CString& s) { s.MakeUpper(); }, "ABC1" },
        { "MakeLower", "aBc1", [](CString& s) { s.MakeLower(); }, "abc1" },
        { "TrimLeft", " \t\nab ", [](CString& s) { s.TrimLeft(); }, "ab " },
        { "TrimRight", " ab \r\n", [](CString& s) { s.TrimRight(); }, " ab" },
        { "TrimLeft char", "xxaxb", [](CString& s) { s.TrimLeft('x'); }, "axb" },
        { "TrimRight set", "ab.,;", [](CString& s) { s.TrimRight(",;."); }, "ab" },
        { "Trim all", "xxx", [](CString& s) { s.TrimRight('x'); }, "" },
        { "Replace char", "a.b.c", [](CString& s) { EXPECT_EQ(2, s.Replace('.', '/')); }, "a/b/c" },
        { "Replace grows", "aXbXX", [](CString& s) { EXPECT_EQ(3, s.Replace("X", "XYZ")); },
          "aXYZbXYZXYZ" },
        { "Replace shrinks", "abab", [](CString& s) { EXPECT_EQ(2, s.Replace("ab", "")); }, "" },
        { "Replace empty old", "ab", [](CString& s) { EXPECT_EQ(0, s.Replace("", "x")); }, "ab" },
        { "Remove", "a-b--c", [](CString& s) { EXPECT_EQ(3, s.Remove('-')); }, "abc" },
        { "Insert char", "ac", [](CString& s) { EXPECT_EQ(3, s.Insert(1, 'b')); }, "abc" },
        { "Insert past end", "ab", [](CString& s) { EXPECT_EQ(4, s.Insert(9, "cd")); }, "abcd" },
        { "Delete", "abcdef", [](CString& s) { EXPECT_EQ(3, s.Delete(1, 3)); }, "aef" },
        { "Delete past end", "abc", [](CString& s) { EXPECT_EQ(1, s.Delete(1, 10)); }, "a" },
        { "SetAt", "abc", [](CString& s) { s.SetAt(1, 'X'); }, "aXc" },
        { "Empty", "abc", [](CString& s) { s.Empty(); }, "" },
        { "+= mix", "a", [](CString& s) { s += "b"; s += 'c'; s += CString("d"); }, "abcd" },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        CString s(c.input);
        c.edit(s);
        EXPECT_STREQ(c.expected, s);
        EXPECT_EQ((int)strlen(c.expected), s.GetLength());
    }
}

TEST(CString, Extraction)
{
    CString s("hello world");
    EXPECT_STREQ("world", s.Mid(6));
    EXPECT_STREQ("lo w", s.Mid(3, 4));
    EXPECT_STREQ("d", s.Mid(10, 5));
    EXPECT_STREQ("", s.Mid(20));
    EXPECT_STREQ("hello", s.Left(5));
    EXPECT_STREQ(s, s.Left(50));
    EXPECT_STREQ("rld", s.Right(3));
    EXPECT_STREQ(s, s.Right(50));
    EXPECT_STREQ("", s.Left(-1));
    EXPECT_EQ('e', s[1]);
    EXPECT_EQ('e', s.GetAt(1));
}

TEST(CString, Searching)
{
    CString s("abcabc");
    EXPECT_EQ(1, s.Find('b'));
    EXPECT_EQ(4, s.Find('b', 2));
    EXPECT_EQ(-1, s.Find('z'));
    EXPECT_EQ(-1, s.Find('a', 6));
    EXPECT_EQ(3, s.Find("abc", 1));
    EXPECT_EQ(-1, s.Find("abd"));
    EXPECT_EQ(4, s.ReverseFind('b'));
    EXPECT_EQ(-1, s.ReverseFind('z'));
    EXPECT_EQ(2, s.FindOneOf("xyc"));
    EXPECT_EQ(-1, s.FindOneOf("xyz"));
}

TEST(CString, ComparisonAndConcatenation)
{
    CString abc("abc");
    EXPECT_TRUE(abc == "abc");
    EXPECT_TRUE("abc" == abc);
    EXPECT_TRUE(abc != CString("abd"));
    EXPECT_TRUE(abc < "abd");
    EXPECT_TRUE("abd" > abc);
    EXPECT_TRUE(abc <= abc && abc >= "abc");
    EXPECT_LT(abc.Compare("abd"), 0);
    EXPECT_EQ(0, abc.CompareNoCase("ABC"));
    EXPECT_GT(abc.CompareNoCase("AB"), 0);

    EXPECT_STREQ("abcdef", abc + "def");
    EXPECT_STREQ("xabc", "x" + abc);
    EXPECT_STREQ("abc!", abc + '!');
    EXPECT_STREQ("!abc", '!' + abc);
    EXPECT_STREQ("abcabc", abc + abc);
}

TEST(CString, FormatAnyLength)
{
    CString s;
    s.Format("%s-%d-%04X", "id", 42, 255);
    EXPECT_STREQ("id-42-00FF", s);

    std::string big(5000, 'q');
    s.Format("[%s]", big.c_str());
    EXPECT_EQ(5002, s.GetLength());
    EXPECT_EQ(']', s[5001]);
}

TEST(CString, BufferAccess)
{
    CString s("ab");
    LPTSTR p = s.GetBuffer(10);
    EXPECT_EQ('a', p[0]);
    strcpy(p, "wxyz");
    s.ReleaseBuffer();
    EXPECT_STREQ("wxyz", s);
    EXPECT_EQ(4, s.GetLength());

    p = s.GetBuffer(0);
    p[1] = '\0';
    s.ReleaseBuffer(3);
    EXPECT_EQ(3, s.GetLength());
    s.ReleaseBuffer(-1);
    EXPECT_EQ(1, s.GetLength());

    p = s.GetBufferSetLength(3);
    memcpy(p, "xyz", 3);
    EXPECT_STREQ("xyz", s);
}
