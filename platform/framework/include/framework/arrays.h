// Arrays of object pointers, plain pointers, DWORDs, bytes and strings.
#pragma once

#include <framework/templates.h>

class CObArray : public CArray<CObject*, CObject*>
{
    DECLARE_SERIAL(CObArray)
public:
    // Stores a count, then each element as an object reference; loading
    // replaces the contents (as for the other arrays).
    void Serialize(CArchive& ar) override;
};

class CPtrArray : public CArray<void*, void*>
{
    DECLARE_DYNAMIC(CPtrArray)
};

class CDWordArray : public CArray<DWORD, DWORD>
{
    DECLARE_SERIAL(CDWordArray)
public:
    void Serialize(CArchive& ar) override;
};

class CByteArray : public CArray<BYTE, BYTE>
{
    DECLARE_SERIAL(CByteArray)
public:
    void Serialize(CArchive& ar) override;
};

class CStringArray : public CArray<CString, LPCTSTR>
{
    DECLARE_SERIAL(CStringArray)
public:
    void Serialize(CArchive& ar) override;
};
