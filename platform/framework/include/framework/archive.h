// CArchive: buffered binary serialization of values, strings and object
// graphs to a CFile. The byte format is described in archive.cpp.
#pragma once

#include <unordered_map>
#include <vector>
#include <framework/cstring.h>
#include <framework/exceptions.h>
#include <framework/file.h>
#include <framework/object.h>

class CArchive
{
public:
    enum Mode { store = 0, load = 1 };

    CArchive(CFile* pFile, UINT nMode, int nBufSize = 4096, void* lpBuf = NULL);
    ~CArchive();

    BOOL IsLoading() const { return m_nMode == load; }
    BOOL IsStoring() const { return m_nMode == store; }
    CFile* GetFile() const { return m_pFile; }

    // Close flushes and detaches from the file; Abort drops buffered data.
    void Close();
    void Abort();
    // Storing: writes the buffer to the file. Loading: discards the buffer
    // and moves the file back to the archive's read position.
    void Flush();

    // Read returns fewer bytes than asked only at the end of the file.
    UINT Read(void* lpBuf, UINT nMax);
    void Write(const void* lpBuf, UINT nMax);

    CArchive& operator<<(BYTE by) { return WriteValue(by); }
    CArchive& operator<<(WORD w) { return WriteValue(w); }
    CArchive& operator<<(LONG l) { return WriteValue(l); }
    CArchive& operator<<(DWORD dw) { return WriteValue(dw); }
    CArchive& operator<<(int i) { return WriteValue((LONG)i); }
    CArchive& operator<<(short w) { return WriteValue(w); }
    CArchive& operator<<(char ch) { return WriteValue(ch); }
    CArchive& operator<<(unsigned u) { return WriteValue((DWORD)u); }
    CArchive& operator<<(float f) { return WriteValue(f); }
    CArchive& operator<<(double d) { return WriteValue(d); }
    CArchive& operator<<(const CObject* pOb) { WriteObject(pOb); return *this; }
    CArchive& operator<<(const CString& str);

    CArchive& operator>>(BYTE& by) { return ReadValue(by); }
    CArchive& operator>>(WORD& w) { return ReadValue(w); }
    CArchive& operator>>(LONG& l) { return ReadValue(l); }
    CArchive& operator>>(DWORD& dw) { return ReadValue(dw); }
    CArchive& operator>>(int& i) { return ReadAs<LONG>(i); }
    CArchive& operator>>(short& w) { return ReadValue(w); }
    CArchive& operator>>(char& ch) { return ReadValue(ch); }
    CArchive& operator>>(unsigned& u) { return ReadAs<DWORD>(u); }
    CArchive& operator>>(float& f) { return ReadValue(f); }
    CArchive& operator>>(double& d) { return ReadValue(d); }
    CArchive& operator>>(CObject*& pOb) { pOb = ReadObject(NULL); return *this; }
    CArchive& operator>>(CString& str);

    void WriteObject(const CObject* pOb);
    // Loads an object reference; pClassRefRequested (may be NULL) is the
    // class the object must derive from.
    CObject* ReadObject(const CRuntimeClass* pClassRefRequested);

    void WriteClass(const CRuntimeClass* pClassRef);
    // Loads a class reference. *pSchema receives the stored schema;
    // *pObTag receives the tag when an object reference was found instead
    // of a class (the result is then NULL).
    CRuntimeClass* ReadClass(const CRuntimeClass* pClassRefRequested = NULL,
                             UINT* pSchema = NULL, DWORD* pObTag = NULL);

    void WriteCount(DWORD dwCount);
    DWORD ReadCount();

    // Text lines: WriteString writes the characters as given; ReadString
    // reads up to a newline, drops "\r\n" or "\n", and returns FALSE at
    // the end of the file.
    void WriteString(LPCTSTR lpsz);
    BOOL ReadString(CString& rString);

    // Schema of the object being loaded; reading it resets it to (UINT)-1.
    UINT GetObjectSchema();
    void SetObjectSchema(UINT nSchema) { m_nObjectSchema = nSchema; }

    // Records an object that is written or read by other means so later
    // references to it become back-references.
    void MapObject(const CObject* pOb);

    void* m_pDocument;

private:
    template<class T>
    CArchive& WriteValue(T value)
    {
        Write(&value, sizeof(value));
        return *this;
    }

    template<class T>
    CArchive& ReadValue(T& value)
    {
        ReadExact(&value, sizeof(value));
        return *this;
    }

    template<class Stored, class T>
    CArchive& ReadAs(T& value)
    {
        Stored stored;
        ReadValue(stored);
        value = (T)stored;
        return *this;
    }

    // Reads exactly nCount bytes or throws endOfFile.
    void ReadExact(void* lpBuf, UINT nCount);
    UINT FillBuffer();
    void CheckLoading() const;
    void CheckStoring() const;
    [[noreturn]] void Throw(int cause) const;
    void WriteTag(DWORD dwTag);

    // Entry of the table of classes and objects met so far; the index is
    // the number used by back-references.
    struct LoadEntry
    {
        void* p;
        BOOL bIsClass;
        UINT nSchema;
    };
    void AddLoaded(void* p, BOOL bIsClass, UINT nSchema);
    // Returns the index of an object or class already stored, or 0.
    DWORD FindStored(const void* p) const;
    void AddStored(const void* p);

    CFile* m_pFile;
    UINT m_nMode;
    std::vector<BYTE> m_ownBuffer;
    BYTE* m_lpBufStart;
    UINT m_nBufSize;
    UINT m_nBufPos;   // next byte to read or write
    UINT m_nBufEnd;   // loading: end of valid data
    std::vector<LoadEntry> m_loadArray;            // index 0 is the null entry
    std::unordered_map<const void*, DWORD> m_storeMap;
    UINT m_nObjectSchema;

    CArchive(const CArchive&) = delete;
    CArchive& operator=(const CArchive&) = delete;
};
