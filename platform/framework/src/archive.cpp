// Archive byte format (fixed; stored files and test fixtures depend on it)
//
// Numbers are little-endian: WORD 2 bytes, LONG/DWORD/int/unsigned 4 bytes,
// short 2, char/BYTE 1, float 4 and double 8 IEEE bytes.
//
// Strings: the length, then the characters without a terminator.
//   length < 0xFF            BYTE length
//   length < 0xFFFF          BYTE 0xFF, WORD length
//   otherwise                BYTE 0xFF, WORD 0xFFFF, DWORD length
//
// Counts (WriteCount): WORD count when < 0xFFFF, else WORD 0xFFFF, DWORD count.
//
// Object references start with a WORD tag:
//   0x0000           null pointer
//   0xFFFF           new class: WORD schema, WORD name length, the name
//                    characters; then (in an object reference) the object's
//                    own Serialize data
//   0x8000 | i       the class with index i (i < 0x7FFF), then the object's
//                    data
//   i                back-reference to the object with index i (0 < i < 0x7FFF)
//   0x7FFF           escape for large indices: a DWORD follows, holding
//                    0x80000000 | i for a class, or i for an object
// Classes and new objects are numbered together from 1 in the order they
// first appear in the archive; a new object takes its number before its
// data, so objects may refer to themselves or their owners.
//
// Dates and times:
//   COleDateTime, COleDateTimeSpan   LONG status, then the double value
//   CTime                            DWORD seconds since 1970 (unsigned)
//   CTimeSpan                        LONG seconds
#include <framework/archive.h>

#include <cstring>


namespace
{
const WORD kNullTag = 0x0000;
const WORD kNewClassTag = 0xFFFF;
const WORD kClassTag = 0x8000;
const WORD kBigObjectTag = 0x7FFF;
const DWORD kBigClassTag = 0x80000000;
const DWORD kMaxMapCount = 0x7FFFFFFE;

// Longest string piece allocated before its bytes have been read, so a
// corrupt length cannot reserve huge amounts of memory.
const UINT kStringChunk = 0x10000;

const UINT kMinBufSize = 128;
}  // namespace

CArchive::CArchive(CFile* pFile, UINT nMode, int nBufSize, void* lpBuf)
    : m_pDocument(NULL), m_pFile(pFile), m_nMode(nMode), m_nBufPos(0), m_nBufEnd(0),
      m_nObjectSchema((UINT)-1)
{
    m_nBufSize = nBufSize < (int)kMinBufSize ? kMinBufSize : (UINT)nBufSize;
    if (lpBuf != NULL && nBufSize >= (int)kMinBufSize)
    {
        m_lpBufStart = (BYTE*)lpBuf;
    }
    else
    {
        m_ownBuffer.resize(m_nBufSize);
        m_lpBufStart = m_ownBuffer.data();
    }
    if (IsLoading())
        m_loadArray.push_back(LoadEntry{ NULL, FALSE, 0 });
}

CArchive::~CArchive()
{
    if (m_pFile == NULL)
        return;
    try
    {
        Close();
    }
    catch (CException* e)
    {
        e->Delete();
    }
}

void CArchive::Throw(int cause) const
{
    AfxThrowArchiveException(cause, m_pFile != NULL ? (LPCTSTR)m_pFile->GetFilePath() : NULL);
}

void CArchive::CheckLoading() const
{
    if (m_pFile == NULL)
        Throw(CArchiveException::generic);  // closed or aborted
    if (!IsLoading())
        Throw(CArchiveException::writeOnly);
}

void CArchive::CheckStoring() const
{
    if (m_pFile == NULL)
        Throw(CArchiveException::generic);  // closed or aborted
    if (!IsStoring())
        Throw(CArchiveException::readOnly);
}

void CArchive::Close()
{
    if (m_pFile != NULL)
        Flush();
    m_pFile = NULL;
}

void CArchive::Abort()
{
    m_pFile = NULL;
    m_nBufPos = m_nBufEnd = 0;
}

void CArchive::Flush()
{
    if (m_pFile == NULL)
        return;
    if (IsStoring())
    {
        if (m_nBufPos > 0)
            m_pFile->Write(m_lpBufStart, m_nBufPos);
    }
    else if (m_nBufEnd > m_nBufPos)
    {
        m_pFile->Seek(-(LONG)(m_nBufEnd - m_nBufPos), CFile::current);
    }
    m_nBufPos = m_nBufEnd = 0;
}

UINT CArchive::FillBuffer()
{
    m_nBufPos = 0;
    m_nBufEnd = m_pFile->Read(m_lpBufStart, m_nBufSize);
    return m_nBufEnd;
}

UINT CArchive::Read(void* lpBuf, UINT nMax)
{
    CheckLoading();
    BYTE* lpDest = (BYTE*)lpBuf;
    UINT nDone = 0;
    while (nDone < nMax)
    {
        if (m_nBufPos == m_nBufEnd && FillBuffer() == 0)
            break;
        UINT nChunk = m_nBufEnd - m_nBufPos;
        if (nChunk > nMax - nDone)
            nChunk = nMax - nDone;
        std::memcpy(lpDest + nDone, m_lpBufStart + m_nBufPos, nChunk);
        m_nBufPos += nChunk;
        nDone += nChunk;
    }
    return nDone;
}

void CArchive::ReadExact(void* lpBuf, UINT nCount)
{
    if (Read(lpBuf, nCount) != nCount)
        Throw(CArchiveException::endOfFile);
}

void CArchive::Write(const void* lpBuf, UINT nMax)
{
    CheckStoring();
    const BYTE* lpSrc = (const BYTE*)lpBuf;
    while (nMax > 0)
    {
        UINT nChunk = m_nBufSize - m_nBufPos;
        if (nChunk > nMax)
            nChunk = nMax;
        std::memcpy(m_lpBufStart + m_nBufPos, lpSrc, nChunk);
        m_nBufPos += nChunk;
        lpSrc += nChunk;
        nMax -= nChunk;
        if (m_nBufPos == m_nBufSize)
            Flush();
    }
}

CArchive& CArchive::operator<<(const CString& str)
{
    DWORD nLen = (DWORD)str.GetLength();
    if (nLen < 0xFF)
    {
        *this << (BYTE)nLen;
    }
    else if (nLen < 0xFFFF)
    {
        *this << (BYTE)0xFF << (WORD)nLen;
    }
    else
    {
        *this << (BYTE)0xFF << (WORD)0xFFFF << nLen;
    }
    Write((LPCTSTR)str, nLen);
    return *this;
}

CArchive& CArchive::operator>>(CString& str)
{
    BYTE bLen;
    *this >> bLen;
    DWORD nLen = bLen;
    if (bLen == 0xFF)
    {
        WORD wLen;
        *this >> wLen;
        nLen = wLen;
        if (wLen == 0xFFFF)
            *this >> nLen;
    }
    str.Empty();
    for (DWORD nDone = 0; nDone < nLen;)
    {
        UINT nChunk = nLen - nDone < kStringChunk ? nLen - nDone : kStringChunk;
        LPTSTR lpsz = str.GetBufferSetLength((int)(nDone + nChunk));
        ReadExact(lpsz + nDone, nChunk);
        nDone += nChunk;
    }
    return *this;
}

void CArchive::WriteCount(DWORD dwCount)
{
    if (dwCount < 0xFFFF)
    {
        *this << (WORD)dwCount;
    }
    else
    {
        *this << (WORD)0xFFFF << dwCount;
    }
}

DWORD CArchive::ReadCount()
{
    WORD wCount;
    *this >> wCount;
    if (wCount != 0xFFFF)
        return wCount;
    DWORD dwCount;
    *this >> dwCount;
    return dwCount;
}

void CArchive::WriteString(LPCTSTR lpsz)
{
    Write(lpsz, (UINT)std::strlen(lpsz));
}

BOOL CArchive::ReadString(CString& rString)
{
    rString.Empty();
    char ch;
    BOOL bAny = FALSE;
    while (Read(&ch, 1) == 1)
    {
        bAny = TRUE;
        if (ch == '\n')
            break;
        rString += ch;
    }
    if (!rString.IsEmpty() && rString[rString.GetLength() - 1] == '\r')
        rString.Delete(rString.GetLength() - 1);
    return bAny;
}

UINT CArchive::GetObjectSchema()
{
    UINT nSchema = m_nObjectSchema;
    m_nObjectSchema = (UINT)-1;
    return nSchema;
}

DWORD CArchive::FindStored(const void* p) const
{
    auto it = m_storeMap.find(p);
    return it != m_storeMap.end() ? it->second : 0;
}

void CArchive::AddStored(const void* p)
{
    DWORD nIndex = (DWORD)m_storeMap.size() + 1;
    if (nIndex > kMaxMapCount)
        Throw(CArchiveException::badIndex);
    m_storeMap[p] = nIndex;
}

void CArchive::AddLoaded(void* p, BOOL bIsClass, UINT nSchema)
{
    if (m_loadArray.size() > kMaxMapCount)
        Throw(CArchiveException::badIndex);
    m_loadArray.push_back(LoadEntry{ p, bIsClass, nSchema });
}

void CArchive::MapObject(const CObject* pOb)
{
    if (pOb == NULL)
        return;
    if (IsStoring())
    {
        if (FindStored(pOb) == 0)
            AddStored(pOb);
    }
    else
    {
        AddLoaded(const_cast<CObject*>(pOb), FALSE, 0);
    }
}

void CArchive::WriteTag(DWORD dwTag)
{
    DWORD nIndex = dwTag & ~kBigClassTag;
    if (nIndex < kBigObjectTag)
    {
        *this << (WORD)((dwTag & kBigClassTag) ? (kClassTag | nIndex) : nIndex);
    }
    else
    {
        *this << kBigObjectTag << dwTag;
    }
}

void CArchive::WriteClass(const CRuntimeClass* pClassRef)
{
    CheckStoring();
    if (pClassRef->m_wSchema == 0xFFFF)
        Throw(CArchiveException::badClass);
    DWORD nIndex = FindStored(pClassRef);
    if (nIndex != 0)
    {
        WriteTag(kBigClassTag | nIndex);
        return;
    }
    *this << kNewClassTag;
    pClassRef->Store(*this);
    AddStored(pClassRef);
}

CRuntimeClass* CArchive::ReadClass(const CRuntimeClass* pClassRefRequested, UINT* pSchema,
                                   DWORD* pObTag)
{
    CheckLoading();
    WORD wTag;
    *this >> wTag;

    CRuntimeClass* pClassRef;
    UINT nSchema;
    if (wTag == kNewClassTag)
    {
        pClassRef = CRuntimeClass::Load(*this, &nSchema);
        if (pClassRef == NULL)
            Throw(CArchiveException::badClass);
        UINT nClassSchema = pClassRef->m_wSchema;
        if ((nClassSchema & ~VERSIONABLE_SCHEMA) != nSchema &&
            (nClassSchema & VERSIONABLE_SCHEMA) == 0)
            Throw(CArchiveException::badSchema);
        AddLoaded(pClassRef, TRUE, nSchema);
    }
    else
    {
        DWORD dwTag;
        if (wTag == kBigObjectTag)
            *this >> dwTag;
        else if (wTag & kClassTag)
            dwTag = kBigClassTag | (wTag & ~kClassTag);
        else
            dwTag = wTag;

        if ((dwTag & kBigClassTag) == 0)
        {
            if (pObTag != NULL)
                *pObTag = dwTag;
            return NULL;
        }
        DWORD nIndex = dwTag & ~kBigClassTag;
        if (nIndex == 0 || nIndex >= m_loadArray.size() || !m_loadArray[nIndex].bIsClass)
            Throw(CArchiveException::badIndex);
        pClassRef = (CRuntimeClass*)m_loadArray[nIndex].p;
        nSchema = m_loadArray[nIndex].nSchema;
    }

    if (pClassRefRequested != NULL && !pClassRef->IsDerivedFrom(pClassRefRequested))
        Throw(CArchiveException::badClass);
    if (pSchema != NULL)
        *pSchema = nSchema;
    if (pObTag != NULL)
        *pObTag = 0;
    return pClassRef;
}

void CArchive::WriteObject(const CObject* pOb)
{
    CheckStoring();
    if (pOb == NULL)
    {
        *this << kNullTag;
        return;
    }
    DWORD nIndex = FindStored(pOb);
    if (nIndex != 0)
    {
        WriteTag(nIndex);
        return;
    }
    WriteClass(pOb->GetRuntimeClass());
    AddStored(pOb);
    const_cast<CObject*>(pOb)->Serialize(*this);
}

CObject* CArchive::ReadObject(const CRuntimeClass* pClassRefRequested)
{
    UINT nSchema;
    DWORD dwTag;
    CRuntimeClass* pClassRef = ReadClass(pClassRefRequested, &nSchema, &dwTag);

    if (pClassRef == NULL)
    {
        if (dwTag == kNullTag)
            return NULL;
        if (dwTag >= m_loadArray.size() || m_loadArray[dwTag].bIsClass)
            Throw(CArchiveException::badIndex);
        CObject* pOb = (CObject*)m_loadArray[dwTag].p;
        if (pClassRefRequested != NULL && !pOb->IsKindOf(pClassRefRequested))
            Throw(CArchiveException::badClass);
        return pOb;
    }

    if (pClassRef->m_pfnCreateObject == NULL)
        Throw(CArchiveException::badClass);
    CObject* pOb = pClassRef->CreateObject();
    // Registered before its data is read, so references back to it resolve.
    // If Serialize throws, the object stays allocated: other loaded objects
    // may already point to it.
    AddLoaded(pOb, FALSE, 0);
    UINT nOuterSchema = m_nObjectSchema;  // of the object whose data holds this one
    m_nObjectSchema = nSchema;
    pOb->Serialize(*this);
    m_nObjectSchema = nOuterSchema;
    return pOb;
}
