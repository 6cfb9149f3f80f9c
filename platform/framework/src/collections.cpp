#include <framework/archive.h>
#include <framework/arrays.h>
#include <framework/lists.h>
#include <framework/maps.h>

IMPLEMENT_SERIAL(CObArray, CObject, 0)
IMPLEMENT_DYNAMIC(CPtrArray, CObject)
IMPLEMENT_SERIAL(CDWordArray, CObject, 0)
IMPLEMENT_SERIAL(CByteArray, CObject, 0)
IMPLEMENT_SERIAL(CStringArray, CObject, 0)
IMPLEMENT_SERIAL(CObList, CObject, 0)
IMPLEMENT_DYNAMIC(CPtrList, CObject)
IMPLEMENT_DYNAMIC(CStringList, CObject)
IMPLEMENT_DYNAMIC(CMapPtrToPtr, CObject)
IMPLEMENT_DYNAMIC(CMapStringToPtr, CObject)
IMPLEMENT_DYNAMIC(CMapWordToPtr, CObject)
IMPLEMENT_DYNAMIC(CMapWordToOb, CObject)
IMPLEMENT_DYNAMIC(CMapStringToString, CObject)

namespace
{
// Stores a count and the elements, or loads them. Loading appends one
// element at a time so a corrupt count fails at the end of the data
// instead of allocating its full size up front.
template<class ARRAY, class ELEMENT>
void SerializeArray(ARRAY& array, CArchive& ar)
{
    if (ar.IsStoring())
    {
        ar.WriteCount(array.GetSize());
        for (int i = 0; i < array.GetSize(); i++)
            ar << array[i];
        return;
    }
    array.RemoveAll();
    DWORD nCount = ar.ReadCount();
    for (DWORD i = 0; i < nCount; i++)
    {
        ELEMENT element;
        ar >> element;
        array.Add(element);
    }
}
}  // namespace

void CObArray::Serialize(CArchive& ar)
{
    SerializeArray<CObArray, CObject*>(*this, ar);
}

void CDWordArray::Serialize(CArchive& ar)
{
    SerializeArray<CDWordArray, DWORD>(*this, ar);
}

void CByteArray::Serialize(CArchive& ar)
{
    SerializeArray<CByteArray, BYTE>(*this, ar);
}

void CStringArray::Serialize(CArchive& ar)
{
    SerializeArray<CStringArray, CString>(*this, ar);
}

void CObList::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
    {
        ar.WriteCount(GetCount());
        for (POSITION pos = GetHeadPosition(); pos != NULL;)
            ar << GetNext(pos);
        return;
    }
    DWORD nCount = ar.ReadCount();
    for (DWORD i = 0; i < nCount; i++)
    {
        CObject* pOb;
        ar >> pOb;
        AddTail(pOb);
    }
}
