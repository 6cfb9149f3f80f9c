#include <framework/winapp.h>
#include <framework/cstring.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace
{
bool IsSpace(char ch)
{
    return std::isspace((unsigned char)ch) != 0;
}

// Clamps [nFirst, nFirst + nCount) to [0, nLength).
void ClampRange(int nLength, int& nFirst, int& nCount)
{
    if (nFirst < 0)
        nFirst = 0;
    if (nFirst > nLength)
        nFirst = nLength;
    if (nCount < 0)
        nCount = 0;
    if (nCount > nLength - nFirst)
        nCount = nLength - nFirst;
}
}  // namespace

CString::CString(LPCTSTR lpch, int nLength)
{
    if (lpch != NULL && nLength > 0)
        m_str.assign(lpch, nLength);
}

CString::CString(char ch, int nRepeat)
{
    if (nRepeat > 0)
        m_str.assign(nRepeat, ch);
}

CString& CString::operator=(LPCTSTR lpsz)
{
    m_str = lpsz != NULL ? lpsz : "";
    return *this;
}

CString& CString::operator=(char ch)
{
    m_str.assign(1, ch);
    return *this;
}

CString& CString::operator+=(LPCTSTR lpsz)
{
    if (lpsz != NULL)
        m_str += lpsz;
    return *this;
}

int CString::Compare(LPCTSTR lpsz) const
{
    return std::strcmp(m_str.c_str(), lpsz != NULL ? lpsz : "");
}

int CString::CompareNoCase(LPCTSTR lpsz) const
{
    return _stricmp(m_str.c_str(), lpsz != NULL ? lpsz : "");
}

CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

CString CString::Mid(int nFirst, int nCount) const
{
    ClampRange(GetLength(), nFirst, nCount);
    return CString(m_str.c_str() + nFirst, nCount);
}

CString CString::Left(int nCount) const
{
    return Mid(0, nCount);
}

CString CString::Right(int nCount) const
{
    if (nCount < 0)
        nCount = 0;
    if (nCount > GetLength())
        nCount = GetLength();
    return Mid(GetLength() - nCount, nCount);
}

void CString::MakeUpper()
{
    for (char& ch : m_str)
        ch = (char)std::toupper((unsigned char)ch);
}

void CString::MakeLower()
{
    for (char& ch : m_str)
        ch = (char)std::tolower((unsigned char)ch);
}

void CString::TrimLeft()
{
    size_t n = 0;
    while (n < m_str.size() && IsSpace(m_str[n]))
        ++n;
    m_str.erase(0, n);
}

void CString::TrimLeft(char chTarget)
{
    m_str.erase(0, m_str.find_first_not_of(chTarget));
}

void CString::TrimLeft(LPCTSTR lpszTargets)
{
    m_str.erase(0, m_str.find_first_not_of(lpszTargets));
}

void CString::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && IsSpace(m_str[n - 1]))
        --n;
    m_str.resize(n);
}

void CString::TrimRight(char chTarget)
{
    m_str.erase(m_str.find_last_not_of(chTarget) + 1);
}

void CString::TrimRight(LPCTSTR lpszTargets)
{
    m_str.erase(m_str.find_last_not_of(lpszTargets) + 1);
}

int CString::Find(char ch, int nStart) const
{
    if (nStart < 0 || nStart >= GetLength())
        return -1;
    size_t pos = m_str.find(ch, nStart);
    return pos == std::string::npos ? -1 : (int)pos;
}

int CString::Find(LPCTSTR lpszSub, int nStart) const
{
    if (nStart < 0 || nStart > GetLength())
        return -1;
    size_t pos = m_str.find(lpszSub, nStart);
    return pos == std::string::npos ? -1 : (int)pos;
}

int CString::ReverseFind(char ch) const
{
    size_t pos = m_str.rfind(ch);
    return pos == std::string::npos ? -1 : (int)pos;
}

int CString::FindOneOf(LPCTSTR lpszCharSet) const
{
    size_t pos = m_str.find_first_of(lpszCharSet);
    return pos == std::string::npos ? -1 : (int)pos;
}

int CString::Replace(char chOld, char chNew)
{
    int nCount = 0;
    for (char& ch : m_str)
    {
        if (ch == chOld)
        {
            ch = chNew;
            ++nCount;
        }
    }
    return nCount;
}

int CString::Replace(LPCTSTR lpszOld, LPCTSTR lpszNew)
{
    size_t nOldLen = lpszOld != NULL ? std::strlen(lpszOld) : 0;
    if (nOldLen == 0)
        return 0;
    std::string strNew = lpszNew != NULL ? lpszNew : "";
    int nCount = 0;
    size_t pos = 0;
    while ((pos = m_str.find(lpszOld, pos, nOldLen)) != std::string::npos)
    {
        m_str.replace(pos, nOldLen, strNew);
        pos += strNew.size();
        ++nCount;
    }
    return nCount;
}

int CString::Remove(char ch)
{
    size_t nOld = m_str.size();
    m_str.erase(std::remove(m_str.begin(), m_str.end(), ch), m_str.end());
    return (int)(nOld - m_str.size());
}

int CString::Insert(int nIndex, char ch)
{
    char sz[2] = { ch, '\0' };
    return Insert(nIndex, sz);
}

int CString::Insert(int nIndex, LPCTSTR lpsz)
{
    if (nIndex < 0)
        nIndex = 0;
    if (nIndex > GetLength())
        nIndex = GetLength();
    if (lpsz != NULL)
        m_str.insert(nIndex, lpsz);
    return GetLength();
}

int CString::Delete(int nIndex, int nCount)
{
    ClampRange(GetLength(), nIndex, nCount);
    m_str.erase(nIndex, nCount);
    return GetLength();
}

void CString::Format(LPCTSTR lpszFormat, ...)
{
    va_list args;
    va_start(args, lpszFormat);
    FormatV(lpszFormat, args);
    va_end(args);
}

void CString::FormatV(LPCTSTR lpszFormat, va_list argList)
{
    // First pass measures, second pass writes.
    va_list argCopy;
    va_copy(argCopy, argList);
    int nLength = std::vsnprintf(NULL, 0, lpszFormat, argCopy);
    va_end(argCopy);
    if (nLength < 0)
    {
        m_str.clear();
        return;
    }
    std::string result(nLength + 1, '\0');
    std::vsnprintf(&result[0], nLength + 1, lpszFormat, argList);
    result.resize(nLength);
    m_str.swap(result);
}

LPTSTR CString::GetBuffer(int nMinBufLength)
{
    if (nMinBufLength > GetLength())
        m_str.resize(nMinBufLength);
    return &m_str[0];
}

LPTSTR CString::GetBufferSetLength(int nNewLength)
{
    m_str.resize(nNewLength < 0 ? 0 : nNewLength);
    return &m_str[0];
}

void CString::ReleaseBuffer(int nNewLength)
{
    if (nNewLength < 0)
        nNewLength = (int)std::strlen(m_str.c_str());
    m_str.resize(nNewLength);
}

CString operator+(const CString& s1, const CString& s2)
{
    CString s(s1);
    s += s2;
    return s;
}

CString operator+(const CString& s, LPCTSTR lpsz)
{
    CString r(s);
    r += lpsz;
    return r;
}

CString operator+(LPCTSTR lpsz, const CString& s)
{
    CString r(lpsz);
    r += s;
    return r;
}

CString operator+(const CString& s, char ch)
{
    CString r(s);
    r += ch;
    return r;
}

CString operator+(char ch, const CString& s)
{
    CString r(ch);
    r += s;
    return r;
}

BOOL CString::LoadString(UINT nID)
{
    char sz[1024];
    int n = ::LoadStringA(AfxGetInstanceHandle(), nID, sz, (int)sizeof(sz));
    *this = CString(sz, n);
    return n > 0;
}
