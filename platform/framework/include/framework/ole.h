// OLE drag and drop: data offered by a drag source, data received by a
// drop target, and the drop target of a window.
//
// - AfxOleInit initialises OLE on the calling (GUI) thread; call it once
//   before any drag and drop.
// - COleDataSource holds data in global memory by clipboard format and
//   offers it through an IDataObject of its own. The source owns what it
//   caches; an IDataObject that outlives the source answers with no data.
//   DoDragDrop runs the system's drag loop and returns the effect.
// - COleDataObject wraps a received IDataObject; GetGlobalData hands out a
//   copy that the caller frees with GlobalFree.
// - COleDropTarget registers itself for a window (Register) and calls its
//   virtual OnDragEnter, OnDragOver, OnDragLeave and OnDrop with the window,
//   the data and the point in the window's client coordinates; unless
//   overridden, they hand the drag to the window when it is a view
//   (CView::OnDragEnter...), and else take nothing. It is
//   revoked by Revoke, by its destructor, or when the window is destroyed.
//   The effect it returns is limited to the effects the source allows.
// Everything runs on the thread that initialised OLE.
#pragma once

#include <framework/geometry.h>
#include <framework/object.h>
#include <framework/wnd.h>

#include <ole2.h>

#include <vector>

typedef DWORD DROPEFFECT;

BOOL AfxOleInit();

class COleDataObject
{
public:
    COleDataObject();
    ~COleDataObject();

    // bAutoRelease: the object releases the interface when done with it.
    void Attach(LPDATAOBJECT lpDataObject, BOOL bAutoRelease = TRUE);
    LPDATAOBJECT Detach();
    void Release();

    BOOL IsDataAvailable(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc = NULL);
    BOOL GetData(CLIPFORMAT cfFormat, LPSTGMEDIUM lpStgMedium, LPFORMATETC lpFormatEtc = NULL);
    HGLOBAL GetGlobalData(CLIPFORMAT cfFormat, LPFORMATETC lpFormatEtc = NULL);

    LPDATAOBJECT m_lpDataObject;
    BOOL m_bAutoRelease;

private:
    COleDataObject(const COleDataObject&) = delete;
    COleDataObject& operator=(const COleDataObject&) = delete;
};

class COleDataSource
{
public:
    COleDataSource();
    virtual ~COleDataSource();

    // Takes hGlobal over; a format cached twice keeps the later data.
    void CacheGlobalData(CLIPFORMAT cfFormat, HGLOBAL hGlobal, LPFORMATETC lpFormatEtc = NULL);
    void Empty();
    // lpRectStartDrag (screen coordinates), when given: the drag starts
    // only once the mouse leaves it; a button or Escape before that gives
    // DROPEFFECT_NONE without a drag.
    DROPEFFECT DoDragDrop(DWORD dwEffects = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
                          LPCRECT lpRectStartDrag = NULL);
    // The source's data object, with a reference for the caller.
    LPDATAOBJECT GetDataObject();

    struct CacheEntry
    {
        FORMATETC formatEtc;
        HGLOBAL hGlobal;
    };
    std::vector<CacheEntry> m_cache;

private:
    class DataObject;
    DataObject* m_pDataObject;
    COleDataSource(const COleDataSource&) = delete;
    COleDataSource& operator=(const COleDataSource&) = delete;
};

class COleDropTarget
{
public:
    COleDropTarget();
    virtual ~COleDropTarget();

    BOOL Register(CWnd* pWnd);
    virtual void Revoke();

    virtual DROPEFFECT OnDragEnter(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual DROPEFFECT OnDragOver(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState, CPoint point);
    virtual void OnDragLeave(CWnd* pWnd);
    virtual BOOL OnDrop(CWnd* pWnd, COleDataObject* pDataObject, DROPEFFECT dropEffect, CPoint point);

    // The IDropTarget registered for the window, with a reference for the caller.
    LPDROPTARGET GetDropTarget();
    HWND m_hWnd;  // the registered window, or NULL

private:
    class DropTarget;
    DropTarget* m_pDropTarget;
    COleDropTarget(const COleDropTarget&) = delete;
    COleDropTarget& operator=(const COleDropTarget&) = delete;
};
