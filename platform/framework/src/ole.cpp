#include <framework/ole.h>
#include <framework/view.h>

#include <commctrl.h>
#include <shlobj.h>
#include <windowsx.h>

#include <cstring>

namespace
{
const UINT_PTR kRevokeSubclassID = 0x4F4C4544;  // one subclass per registered window

FORMATETC FormatOf(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc)
{
    if (lpFormatEtc != NULL)
        return *lpFormatEtc;
    FORMATETC formatEtc = { cfFormat, NULL, DVASPECT_CONTENT, -1, TYMED_HGLOBAL };
    return formatEtc;
}

// A new global block with the bytes of hSource; NULL when out of memory.
HGLOBAL CopyGlobal(HGLOBAL hSource)
{
    SIZE_T nSize = ::GlobalSize(hSource);
    HGLOBAL hCopy = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, nSize);
    if (hCopy == NULL)
        return NULL;
    void* pSource = ::GlobalLock(hSource);
    void* pCopy = ::GlobalLock(hCopy);
    if (pSource != NULL && pCopy != NULL)
        memcpy(pCopy, pSource, nSize);
    if (pCopy != NULL)
        ::GlobalUnlock(hCopy);
    if (pSource != NULL)
        ::GlobalUnlock(hSource);
    if (pSource == NULL || pCopy == NULL)
    {
        ::GlobalFree(hCopy);
        return NULL;
    }
    return hCopy;
}

// The reference count half of the COM objects below.
template <class Interface>
class RefCounted : public Interface
{
public:
    virtual ~RefCounted() {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == __uuidof(Interface))
        {
            *ppv = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = NULL;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return (ULONG)::InterlockedIncrement(&m_cRef); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG cRef = ::InterlockedDecrement(&m_cRef);
        if (cRef == 0)
            delete this;
        return (ULONG)cRef;
    }

private:
    LONG m_cRef = 1;
};

// Drops on button release, cancels on Escape.
class DropSource : public RefCounted<IDropSource>
{
public:
    STDMETHODIMP QueryContinueDrag(BOOL fEscapePressed, DWORD grfKeyState) override
    {
        if (fEscapePressed)
            return DRAGDROP_S_CANCEL;
        return (grfKeyState & (MK_LBUTTON | MK_RBUTTON)) ? S_OK : DRAGDROP_S_DROP;
    }
    STDMETHODIMP GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

// Waits until the mouse leaves rect (TRUE), or a button or Escape ends
// the wait (FALSE).
BOOL WaitForDragStart(const CRect& rect)
{
    HWND hWnd = ::GetFocus();
    if (hWnd != NULL)
        ::SetCapture(hWnd);
    BOOL bStarted = FALSE, bEnded = FALSE;
    while (!bStarted && !bEnded)
    {
        if (hWnd != NULL && ::GetCapture() != hWnd)
            break;
        MSG msg;
        if (!::GetMessage(&msg, NULL, 0, 0))
        {
            ::PostQuitMessage((int)msg.wParam);
            break;
        }
        switch (msg.message)
        {
        case WM_MOUSEMOVE:
        {
            CPoint pt(GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam));
            ::ClientToScreen(msg.hwnd, &pt);
            bStarted = !rect.PtInRect(pt);
            break;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
            bEnded = TRUE;
            break;
        case WM_KEYDOWN:
            bEnded = msg.wParam == VK_ESCAPE;
            break;
        default:
            ::DispatchMessage(&msg);
            break;
        }
    }
    if (hWnd != NULL && ::GetCapture() == hWnd)
        ::ReleaseCapture();
    return bStarted;
}

LRESULT CALLBACK RevokeOnDestroy(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR dwRefData)
{
    if (message == WM_NCDESTROY)
        ((COleDropTarget*)dwRefData)->Revoke();
    return ::DefSubclassProc(hWnd, message, wParam, lParam);
}
}  // namespace

BOOL AfxOleInit()
{
    return SUCCEEDED(::OleInitialize(NULL));
}

// --------------------------------------------------------- COleDataObject

COleDataObject::COleDataObject() : m_lpDataObject(NULL), m_bAutoRelease(TRUE)
{
}

COleDataObject::~COleDataObject()
{
    Release();
}

void COleDataObject::Attach(LPDATAOBJECT lpDataObject, BOOL bAutoRelease)
{
    Release();
    m_lpDataObject = lpDataObject;
    m_bAutoRelease = bAutoRelease;
}

LPDATAOBJECT COleDataObject::Detach()
{
    LPDATAOBJECT lpDataObject = m_lpDataObject;
    m_lpDataObject = NULL;
    return lpDataObject;
}

void COleDataObject::Release()
{
    if (m_lpDataObject != NULL && m_bAutoRelease)
        m_lpDataObject->Release();
    m_lpDataObject = NULL;
}

BOOL COleDataObject::IsDataAvailable(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc)
{
    FORMATETC formatEtc = FormatOf(cfFormat, lpFormatEtc);
    return m_lpDataObject != NULL && m_lpDataObject->QueryGetData(&formatEtc) == S_OK;
}

BOOL COleDataObject::GetData(CLIPFORMAT cfFormat, LPSTGMEDIUM lpStgMedium, LPFORMATETC lpFormatEtc)
{
    FORMATETC formatEtc = FormatOf(cfFormat, lpFormatEtc);
    return m_lpDataObject != NULL && m_lpDataObject->GetData(&formatEtc, lpStgMedium) == S_OK;
}

HGLOBAL COleDataObject::GetGlobalData(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc)
{
    STGMEDIUM medium = {};
    if (!GetData(cfFormat, &medium, lpFormatEtc))
        return NULL;
    if (medium.tymed != TYMED_HGLOBAL)
    {
        ::ReleaseStgMedium(&medium);
        return NULL;
    }
    if (medium.pUnkForRelease == NULL)
        return medium.hGlobal;  // the block is ours
    HGLOBAL hCopy = CopyGlobal(medium.hGlobal);
    ::ReleaseStgMedium(&medium);
    return hCopy;
}

// --------------------------------------------------------- COleDataSource

class COleDataSource::DataObject : public RefCounted<IDataObject>
{
public:
    explicit DataObject(COleDataSource* pSource) : m_pSource(pSource) {}
    COleDataSource* m_pSource;  // NULL once the source is gone

    const CacheEntry* Find(const FORMATETC* pFormatEtc) const
    {
        if (m_pSource == NULL || pFormatEtc == NULL || !(pFormatEtc->tymed & TYMED_HGLOBAL))
            return NULL;
        for (const CacheEntry& entry : m_pSource->m_cache)
        {
            if (entry.formatEtc.cfFormat == pFormatEtc->cfFormat && entry.formatEtc.dwAspect == pFormatEtc->dwAspect)
                return &entry;
        }
        return NULL;
    }
    STDMETHODIMP GetData(FORMATETC* pFormatEtc, STGMEDIUM* pMedium) override
    {
        const CacheEntry* pEntry = Find(pFormatEtc);
        if (pEntry == NULL)
            return DV_E_FORMATETC;
        HGLOBAL hCopy = CopyGlobal(pEntry->hGlobal);
        if (hCopy == NULL)
            return E_OUTOFMEMORY;
        pMedium->tymed = TYMED_HGLOBAL;
        pMedium->hGlobal = hCopy;
        pMedium->pUnkForRelease = NULL;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* pFormatEtc) override
    {
        return Find(pFormatEtc) != NULL ? S_OK : DV_E_FORMATETC;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* pFormatEtcOut) override
    {
        pFormatEtcOut->ptd = NULL;
        return E_NOTIMPL;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppEnum) override
    {
        if (dwDirection != DATADIR_GET)
            return E_NOTIMPL;
        std::vector<FORMATETC> formats;
        if (m_pSource != NULL)
        {
            for (const CacheEntry& entry : m_pSource->m_cache)
                formats.push_back(entry.formatEtc);
        }
        return ::SHCreateStdEnumFmtEtc((UINT)formats.size(), formats.data(), ppEnum);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }
};

COleDataSource::COleDataSource() : m_pDataObject(new DataObject(this))
{
}

COleDataSource::~COleDataSource()
{
    Empty();
    m_pDataObject->m_pSource = NULL;
    m_pDataObject->Release();
}

void COleDataSource::CacheGlobalData(CLIPFORMAT cfFormat, HGLOBAL hGlobal, LPFORMATETC lpFormatEtc)
{
    FORMATETC formatEtc = FormatOf(cfFormat, lpFormatEtc);
    formatEtc.tymed = TYMED_HGLOBAL;
    for (CacheEntry& entry : m_cache)
    {
        if (entry.formatEtc.cfFormat == formatEtc.cfFormat && entry.formatEtc.dwAspect == formatEtc.dwAspect)
        {
            ::GlobalFree(entry.hGlobal);
            entry.hGlobal = hGlobal;
            return;
        }
    }
    m_cache.push_back({ formatEtc, hGlobal });
}

void COleDataSource::Empty()
{
    for (CacheEntry& entry : m_cache)
        ::GlobalFree(entry.hGlobal);
    m_cache.clear();
}

LPDATAOBJECT COleDataSource::GetDataObject()
{
    m_pDataObject->AddRef();
    return m_pDataObject;
}

DROPEFFECT COleDataSource::DoDragDrop(DWORD dwEffects, LPCRECT lpRectStartDrag)
{
    if (lpRectStartDrag != NULL && !WaitForDragStart(CRect(lpRectStartDrag)))
        return DROPEFFECT_NONE;
    DropSource* pDropSource = new DropSource;
    DWORD dwEffect = DROPEFFECT_NONE;
    HRESULT hr = ::DoDragDrop(m_pDataObject, pDropSource, dwEffects, &dwEffect);
    pDropSource->Release();
    return hr == DRAGDROP_S_DROP ? dwEffect : DROPEFFECT_NONE;
}

// --------------------------------------------------------- COleDropTarget

class COleDropTarget::DropTarget : public RefCounted<IDropTarget>
{
public:
    explicit DropTarget(COleDropTarget* pOwner) : m_pOwner(pOwner) {}
    COleDropTarget* m_pOwner;  // NULL once the owner is gone
    COleDataObject m_data;

    CWnd* Window() const { return CWnd::FromHandle(m_pOwner->m_hWnd); }
    CPoint ClientPoint(POINTL pt) const
    {
        CPoint point(pt.x, pt.y);
        ::ScreenToClient(m_pOwner->m_hWnd, &point);
        return point;
    }
    void Hold(IDataObject* pDataObject)
    {
        pDataObject->AddRef();
        m_data.Attach(pDataObject, TRUE);
    }

    STDMETHODIMP DragEnter(IDataObject* pDataObject, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override
    {
        if (m_pOwner == NULL)
        {
            *pdwEffect = DROPEFFECT_NONE;
            return S_OK;
        }
        Hold(pDataObject);
        *pdwEffect &= m_pOwner->OnDragEnter(Window(), &m_data, grfKeyState, ClientPoint(pt));
        return S_OK;
    }
    STDMETHODIMP DragOver(DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override
    {
        if (m_pOwner == NULL || m_data.m_lpDataObject == NULL)
        {
            *pdwEffect = DROPEFFECT_NONE;
            return S_OK;
        }
        *pdwEffect &= m_pOwner->OnDragOver(Window(), &m_data, grfKeyState, ClientPoint(pt));
        return S_OK;
    }
    STDMETHODIMP DragLeave() override
    {
        if (m_pOwner != NULL)
            m_pOwner->OnDragLeave(Window());
        m_data.Release();
        return S_OK;
    }
    // The effect of a drop is the one OnDragOver gives for its place.
    STDMETHODIMP Drop(IDataObject* pDataObject, DWORD grfKeyState, POINTL pt, DWORD* pdwEffect) override
    {
        if (m_pOwner == NULL)
        {
            *pdwEffect = DROPEFFECT_NONE;
            return S_OK;
        }
        Hold(pDataObject);
        CPoint point = ClientPoint(pt);
        DROPEFFECT effect = *pdwEffect & m_pOwner->OnDragOver(Window(), &m_data, grfKeyState, point);
        if (effect == DROPEFFECT_NONE)
            m_pOwner->OnDragLeave(Window());
        else if (!m_pOwner->OnDrop(Window(), &m_data, effect, point))
            effect = DROPEFFECT_NONE;
        *pdwEffect = effect;
        m_data.Release();
        return S_OK;
    }
};

COleDropTarget::COleDropTarget() : m_hWnd(NULL), m_pDropTarget(new DropTarget(this))
{
}

COleDropTarget::~COleDropTarget()
{
    Revoke();
    m_pDropTarget->m_pOwner = NULL;
    m_pDropTarget->Release();
}

BOOL COleDropTarget::Register(CWnd* pWnd)
{
    if (m_hWnd != NULL || pWnd->GetSafeHwnd() == NULL)
        return FALSE;
    if (FAILED(::RegisterDragDrop(pWnd->m_hWnd, m_pDropTarget)))
        return FALSE;
    m_hWnd = pWnd->m_hWnd;
    ::SetWindowSubclass(m_hWnd, RevokeOnDestroy, kRevokeSubclassID, (DWORD_PTR)this);
    return TRUE;
}

void COleDropTarget::Revoke()
{
    if (m_hWnd == NULL)
        return;
    ::RemoveWindowSubclass(m_hWnd, RevokeOnDestroy, kRevokeSubclassID);
    ::RevokeDragDrop(m_hWnd);
    m_hWnd = NULL;
}

LPDROPTARGET COleDropTarget::GetDropTarget()
{
    m_pDropTarget->AddRef();
    return m_pDropTarget;
}

namespace
{
CView* AsView(CWnd* pWnd)
{
    return pWnd && pWnd->IsKindOf(RUNTIME_CLASS(CView)) ? static_cast<CView*>(pWnd) : NULL;
}
}  // namespace

DROPEFFECT COleDropTarget::OnDragEnter(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point)
{
    CView* pView = AsView(pWnd);
    return pView ? pView->OnDragEnter(pDataObject, dwKeyState, point) : DROPEFFECT_NONE;
}

DROPEFFECT COleDropTarget::OnDragOver(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point)
{
    CView* pView = AsView(pWnd);
    return pView ? pView->OnDragOver(pDataObject, dwKeyState, point) : DROPEFFECT_NONE;
}

void COleDropTarget::OnDragLeave(CWnd* pWnd)
{
    if (CView* pView = AsView(pWnd))
        pView->OnDragLeave();
}

BOOL COleDropTarget::OnDrop(CWnd* pWnd, COleDataObject* pDataObject, DROPEFFECT dropEffect, CPoint point)
{
    CView* pView = AsView(pWnd);
    return pView ? pView->OnDrop(pDataObject, dropEffect, point) : FALSE;
}
