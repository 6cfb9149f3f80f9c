// CString: an ANSI character string with value semantics.
#pragma once

#include <cstdarg>
#include <string>
#include <framework/types.h>

class CString
{
public:
    CString() {}
    CString(const CString& other) = default;
    CString(LPCTSTR lpsz) : m_str(lpsz != NULL ? lpsz : "") {}
    CString(LPCTSTR lpch, int nLength);
    CString(char ch, int nRepeat = 1);

    CString& operator=(const CString& other) = default;
    CString& operator=(LPCTSTR lpsz);
    CString& operator=(char ch);

    int GetLength() const { return (int)m_str.size(); }
    BOOL IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    char GetAt(int nIndex) const { return m_str[nIndex]; }
    void SetAt(int nIndex, char ch) { m_str[nIndex] = ch; }
    char operator[](int nIndex) const { return m_str[nIndex]; }
    operator LPCTSTR() const { return m_str.c_str(); }

    CString& operator+=(const CString& s) { m_str += s.m_str; return *this; }
    CString& operator+=(LPCTSTR lpsz);
    CString& operator+=(char ch) { m_str += ch; return *this; }

    // strcmp-style results (negative, zero, positive).
    int Compare(LPCTSTR lpsz) const;
    int CompareNoCase(LPCTSTR lpsz) const;

    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;
    CString Left(int nCount) const;
    CString Right(int nCount) const;

    void MakeUpper();
    void MakeLower();

    // Without argument these trim whitespace; otherwise the given
    // character or any character of the given set.
    void TrimLeft();
    void TrimLeft(char chTarget);
    void TrimLeft(LPCTSTR lpszTargets);
    void TrimRight();
    void TrimRight(char chTarget);
    void TrimRight(LPCTSTR lpszTargets);

    // Searches return the zero-based index of the match or -1.
    int Find(char ch, int nStart = 0) const;
    int Find(LPCTSTR lpszSub, int nStart = 0) const;
    int ReverseFind(char ch) const;
    int FindOneOf(LPCTSTR lpszCharSet) const;

    // These return the number of characters replaced or removed.
    int Replace(char chOld, char chNew);
    int Replace(LPCTSTR lpszOld, LPCTSTR lpszNew);
    int Remove(char ch);

    // These return the new length.
    int Insert(int nIndex, char ch);
    int Insert(int nIndex, LPCTSTR lpsz);
    int Delete(int nIndex, int nCount = 1);

    void Format(LPCTSTR lpszFormat, ...);
    // The string resource nID of the application; FALSE (and empty) when missing.
    BOOL LoadString(UINT nID);
    void FormatV(LPCTSTR lpszFormat, va_list argList);

    // Direct access to the characters: GetBuffer makes room for at least
    // nMinBufLength characters; ReleaseBuffer(-1) takes the length up to
    // the first null character.
    LPTSTR GetBuffer(int nMinBufLength);
    LPTSTR GetBufferSetLength(int nNewLength);
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_str;
};

CString operator+(const CString& s1, const CString& s2);
CString operator+(const CString& s, LPCTSTR lpsz);
CString operator+(LPCTSTR lpsz, const CString& s);
CString operator+(const CString& s, char ch);
CString operator+(char ch, const CString& s);

inline bool operator==(const CString& s1, const CString& s2) { return s1.Compare(s2) == 0; }
inline bool operator==(const CString& s1, LPCTSTR s2) { return s1.Compare(s2) == 0; }
inline bool operator==(LPCTSTR s1, const CString& s2) { return s2.Compare(s1) == 0; }
inline bool operator!=(const CString& s1, const CString& s2) { return s1.Compare(s2) != 0; }
inline bool operator!=(const CString& s1, LPCTSTR s2) { return s1.Compare(s2) != 0; }
inline bool operator!=(LPCTSTR s1, const CString& s2) { return s2.Compare(s1) != 0; }
inline bool operator<(const CString& s1, const CString& s2) { return s1.Compare(s2) < 0; }
inline bool operator<(const CString& s1, LPCTSTR s2) { return s1.Compare(s2) < 0; }
inline bool operator<(LPCTSTR s1, const CString& s2) { return s2.Compare(s1) > 0; }
inline bool operator>(const CString& s1, const CString& s2) { return s1.Compare(s2) > 0; }
inline bool operator>(const CString& s1, LPCTSTR s2) { return s1.Compare(s2) > 0; }
inline bool operator>(LPCTSTR s1, const CString& s2) { return s2.Compare(s1) < 0; }
inline bool operator<=(const CString& s1, const CString& s2) { return s1.Compare(s2) <= 0; }
inline bool operator<=(const CString& s1, LPCTSTR s2) { return s1.Compare(s2) <= 0; }
inline bool operator<=(LPCTSTR s1, const CString& s2) { return s2.Compare(s1) >= 0; }
inline bool operator>=(const CString& s1, const CString& s2) { return s1.Compare(s2) >= 0; }
inline bool operator>=(const CString& s1, LPCTSTR s2) { return s1.Compare(s2) >= 0; }
inline bool operator>=(LPCTSTR s1, const CString& s2) { return s2.Compare(s1) <= 0; }
