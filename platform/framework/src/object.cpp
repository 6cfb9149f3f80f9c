#include <framework/object.h>
#include <framework/archive.h>

#include <cstdio>
#include <cstring>

namespace
{
// Head of the list of registered classes; filled at static-init time.
CRuntimeClass* g_pFirstClass = NULL;

// Longest class name accepted from an archive.
const UINT kMaxClassName = 64;
}  // namespace

CRuntimeClass CObject::classCObject = { "CObject", sizeof(CObject), 0xFFFF, NULL, NULL, NULL };
static AFX_CLASSINIT _init_CObject(RUNTIME_CLASS(CObject));

AFX_CLASSINIT::AFX_CLASSINIT(CRuntimeClass* pNewClass)
{
    pNewClass->m_pNextClass = g_pFirstClass;
    g_pFirstClass = pNewClass;
}

CObject* CRuntimeClass::CreateObject()
{
    return m_pfnCreateObject != NULL ? m_pfnCreateObject() : NULL;
}

BOOL CRuntimeClass::IsDerivedFrom(const CRuntimeClass* pBaseClass) const
{
    for (const CRuntimeClass* p = this; p != NULL; p = p->m_pBaseClass)
    {
        if (p == pBaseClass)
            return TRUE;
    }
    return FALSE;
}

CRuntimeClass* CRuntimeClass::FromName(LPCSTR lpszClassName)
{
    for (CRuntimeClass* p = g_pFirstClass; p != NULL; p = p->m_pNextClass)
    {
        if (std::strcmp(p->m_lpszClassName, lpszClassName) == 0)
            return p;
    }
    return NULL;
}

void CRuntimeClass::Store(CArchive& ar) const
{
    WORD nLen = (WORD)std::strlen(m_lpszClassName);
    ar << (WORD)(m_wSchema & ~VERSIONABLE_SCHEMA) << nLen;
    ar.Write(m_lpszClassName, nLen);
}

CRuntimeClass* CRuntimeClass::Load(CArchive& ar, UINT* pwSchemaNum)
{
    WORD wSchema, nLen;
    ar >> wSchema >> nLen;
    if (nLen > kMaxClassName)
        return NULL;
    char szName[kMaxClassName + 1];
    if (ar.Read(szName, nLen) != nLen)
        AfxThrowArchiveException(CArchiveException::endOfFile);
    szName[nLen] = '\0';
    *pwSchemaNum = wSchema;
    return FromName(szName);
}

CDumpContext afxDump;

CDumpContext& CDumpContext::operator<<(LPCTSTR lpsz)
{
    OutputDebugStringA(lpsz);
    return *this;
}

CDumpContext& CDumpContext::operator<<(const void* p)
{
    char sz[16];
    std::snprintf(sz, sizeof(sz), "$%p", p);
    return *this << sz;
}

CRuntimeClass* CObject::GetRuntimeClass() const
{
    return RUNTIME_CLASS(CObject);
}

void CObject::Serialize(CArchive&)
{
}

void CObject::Dump(CDumpContext& dc) const
{
    dc << "a " << GetRuntimeClass()->m_lpszClassName << " at " << (const void*)this << "\n";
}

BOOL CObject::IsKindOf(const CRuntimeClass* pClass) const
{
    return GetRuntimeClass()->IsDerivedFrom(pClass);
}

BOOL CObject::IsSerializable() const
{
    return GetRuntimeClass()->m_wSchema != 0xFFFF;
}

CObject* AfxDynamicDownCast(CRuntimeClass* pClass, CObject* pObject)
{
    return pObject != NULL && pObject->IsKindOf(pClass) ? pObject : NULL;
}
