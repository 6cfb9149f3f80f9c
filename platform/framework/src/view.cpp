#include <framework/framework.h>

#include <algorithm>

#include "handlemap.h"

#include <climits>

IMPLEMENT_DYNAMIC(CView, CWnd)
IMPLEMENT_DYNAMIC(CScrollView, CView)
IMPLEMENT_DYNAMIC(CCtrlView, CView)
IMPLEMENT_DYNCREATE(CListView, CCtrlView)
IMPLEMENT_DYNAMIC(CFormView, CScrollView)

// ---------------------------------------------------------------- CView

BEGIN_MESSAGE_MAP(CView, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_PAINT()
    ON_WM_MOUSEACTIVATE()
    ON_MESSAGE(WM_INITIALUPDATE, OnInitialUpdateMessage)
    ON_COMMAND(ID_FILE_PRINT, OnFilePrint)
END_MESSAGE_MAP()

CView::CView() : m_pDocument(NULL)
{
}

CView::~CView()
{
    // The last view of an auto-delete document closes the document.
    if (m_pDocument != NULL)
        m_pDocument->RemoveView(this);
}

BOOL CView::PreCreateWindow(CREATESTRUCT& cs)
{
    if (cs.lpszClass == NULL)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(NULL, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
    cs.style |= WS_CLIPSIBLINGS;
    return CWnd::PreCreateWindow(cs);
}

int CView::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CWnd::OnCreate(lpcs) == -1)
        return -1;
    CCreateContext* pContext = (CCreateContext*)lpcs->lpCreateParams;
    if (pContext != NULL && pContext->m_pCurrentDoc != NULL)
        pContext->m_pCurrentDoc->AddView(this);
    return 0;
}

void CView::OnDestroy()
{
    CFrameWnd* pFrame = GetParentFrame();
    if (pFrame != NULL && pFrame->GetActiveView() == this)
        pFrame->SetActiveView(NULL, FALSE);
    CWnd::OnDestroy();
}

void CView::OnPaint()
{
    CPaintDC dc(this);
    OnPrepareDC(&dc);
    OnDraw(&dc);
}

int CView::OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message)
{
    int nResult = CWnd::OnMouseActivate(pDesktopWnd, nHitTest, message);
    if (nResult == MA_NOACTIVATE || nResult == MA_NOACTIVATEANDEAT)
        return nResult;
    CFrameWnd* pFrame = GetParentFrame();
    if (pFrame != NULL && pFrame->GetActiveView() != this)
        pFrame->SetActiveView(this);
    return nResult;
}

LRESULT CView::OnInitialUpdateMessage(WPARAM, LPARAM)
{
    OnInitialUpdate();
    return 0;
}

BOOL CView::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return m_pDocument != NULL && m_pDocument->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CView::OnPrepareDC(CDC* pDC, CPrintInfo* pInfo)
{
    (void)pDC;
    if (pInfo != NULL && pInfo->GetMaxPage() == 0xFFFF)
        pInfo->m_bContinuePrinting = pInfo->m_nCurPage == 1;
}

void CView::OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint)
{
    (void)pSender;
    (void)lHint;
    (void)pHint;
    Invalidate(TRUE);
}

void CView::OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView)
{
    (void)pDeactiveView;
    if (bActivate && pActivateView == this && ::GetFocus() != m_hWnd && !::IsChild(m_hWnd, ::GetFocus()))
        SetFocus();
}

BOOL CView::OnScroll(UINT, UINT, BOOL)
{
    return FALSE;
}

BOOL CView::OnScrollBy(CSize, BOOL)
{
    return FALSE;
}

void CView::OnPrint(CDC* pDC, CPrintInfo* pInfo)
{
    (void)pInfo;
    OnDraw(pDC);
}

// ---------------------------------------------------------------- CScrollView

const SIZE CScrollView::sizeDefault = { 0, 0 };

BEGIN_MESSAGE_MAP(CScrollView, CView)
    ON_WM_SIZE()
    ON_WM_HSCROLL()
    ON_WM_VSCROLL()
END_MESSAGE_MAP()

CScrollView::CScrollView()
    : m_nMapMode(MM_TEXT), m_totalLog(0, 0), m_totalDev(0, 0), m_pageDev(0, 0), m_lineDev(0, 0),
      m_bInsideUpdate(FALSE)
{
}

void CScrollView::SetScrollSizes(int nMapMode, SIZE sizeTotal, const SIZE& sizePage, const SIZE& sizeLine)
{
    m_nMapMode = nMapMode;
    m_totalLog = sizeTotal;
    m_totalDev = sizeTotal;
    m_pageDev = sizePage;
    m_lineDev = sizeLine;
    if (nMapMode != MM_TEXT)
    {
        CWindowDC dc(NULL);
        dc.SetMapMode(nMapMode);
        dc.LPtoDP(&m_totalDev);
        dc.LPtoDP(&m_pageDev);
        dc.LPtoDP(&m_lineDev);
        // Modes with y growing upward give negative heights.
        m_totalDev.cy = abs(m_totalDev.cy);
        m_pageDev.cy = abs(m_pageDev.cy);
        m_lineDev.cy = abs(m_lineDev.cy);
    }
    if (m_pageDev.cx == 0)
        m_pageDev.cx = m_totalDev.cx / 10;
    if (m_pageDev.cy == 0)
        m_pageDev.cy = m_totalDev.cy / 10;
    if (m_lineDev.cx == 0)
        m_lineDev.cx = m_pageDev.cx / 10;
    if (m_lineDev.cy == 0)
        m_lineDev.cy = m_pageDev.cy / 10;
    if (m_hWnd != NULL)
    {
        UpdateBars();
        Invalidate(TRUE);
    }
}

CPoint CScrollView::GetDeviceScrollPosition() const
{
    return CPoint(GetScrollPos(SB_HORZ), GetScrollPos(SB_VERT));
}

CPoint CScrollView::GetScrollPosition() const
{
    CPoint pt = GetDeviceScrollPosition();
    if (m_nMapMode != MM_TEXT)
    {
        CWindowDC dc(NULL);
        dc.SetMapMode(m_nMapMode);
        dc.DPtoLP(&pt);
    }
    return pt;
}

void CScrollView::GetDeviceScrollSizes(int& nMapMode, SIZE& sizeTotal, SIZE& sizePage, SIZE& sizeLine) const
{
    nMapMode = m_nMapMode;
    sizeTotal = m_totalDev;
    sizePage = m_pageDev;
    sizeLine = m_lineDev;
}

void CScrollView::ScrollToPosition(POINT pt)
{
    if (m_nMapMode != MM_TEXT)
    {
        CWindowDC dc(NULL);
        dc.SetMapMode(m_nMapMode);
        dc.LPtoDP(&pt);
        pt.y = abs(pt.y);
    }
    CPoint current = GetDeviceScrollPosition();
    OnScrollBy(CSize(pt.x - current.x, pt.y - current.y), TRUE);
}

CSize CScrollView::GetTrueClientSize() const
{
    CRect client;
    GetClientRect(&client);
    CSize size = client.Size();
    DWORD dwStyle = GetStyle();
    if (dwStyle & WS_VSCROLL)
        size.cx += ::GetSystemMetrics(SM_CXVSCROLL);
    if (dwStyle & WS_HSCROLL)
        size.cy += ::GetSystemMetrics(SM_CYHSCROLL);
    return size;
}

int CScrollView::GetScrollLimit(int nBar) const
{
    if (!(GetStyle() & (nBar == SB_HORZ ? WS_HSCROLL : WS_VSCROLL)))
        return 0;
    SCROLLINFO si = { sizeof(si), SIF_RANGE | SIF_PAGE };
    ::GetScrollInfo(m_hWnd, nBar, &si);
    return si.nMax - (int)si.nPage + 1 > 0 ? si.nMax - (int)si.nPage + 1 : 0;
}

void CScrollView::UpdateBars()
{
    if (m_bInsideUpdate)
        return;
    m_bInsideUpdate = TRUE;
    CSize client = GetTrueClientSize();
    CSize bar(::GetSystemMetrics(SM_CXVSCROLL), ::GetSystemMetrics(SM_CYHSCROLL));
    // One bar takes room from the other direction and may make it needed too.
    BOOL bNeedH = m_totalDev.cx > client.cx;
    BOOL bNeedV = m_totalDev.cy > client.cy;
    if (bNeedH && !bNeedV)
        bNeedV = m_totalDev.cy > client.cy - bar.cy;
    if (bNeedV && !bNeedH)
        bNeedH = m_totalDev.cx > client.cx - bar.cx;
    CSize page(client.cx - (bNeedV ? bar.cx : 0), client.cy - (bNeedH ? bar.cy : 0));

    // The position stays within the new limits; the contents follow it.
    CPoint old = GetDeviceScrollPosition();
    CPoint pos(bNeedH ? old.x : 0, bNeedV ? old.y : 0);
    pos.x = std::min(pos.x, std::max(0L, m_totalDev.cx - page.cx));
    pos.y = std::min(pos.y, std::max(0L, m_totalDev.cy - page.cy));
    if (pos != old)
        ScrollWindow(old.x - pos.x, old.y - pos.y);

    const struct
    {
        int nBar;
        BOOL bNeed;
        int nTotal, nPage, nPos;
    } bars[] = {
        { SB_HORZ, bNeedH, m_totalDev.cx, page.cx, pos.x },
        { SB_VERT, bNeedV, m_totalDev.cy, page.cy, pos.y },
    };
    for (const auto& b : bars)
    {
        SCROLLINFO si = { sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0 };
        if (b.bNeed)
        {
            si.nMax = b.nTotal - 1;
            si.nPage = (UINT)b.nPage;
            si.nPos = b.nPos;
        }
        ::SetScrollInfo(m_hWnd, b.nBar, &si, TRUE);
        ::ShowScrollBar(m_hWnd, b.nBar, b.bNeed);
    }
    m_bInsideUpdate = FALSE;
}

void CScrollView::OnSize(UINT nType, int cx, int cy)
{
    CView::OnSize(nType, cx, cy);
    UpdateBars();
}

void CScrollView::OnPrepareDC(CDC* pDC, CPrintInfo* pInfo)
{
    CView::OnPrepareDC(pDC, pInfo);
    pDC->SetMapMode(m_nMapMode);
    if (!pDC->IsPrinting())
    {
        CPoint pos = GetDeviceScrollPosition();
        pDC->SetViewportOrg(-pos.x, -pos.y);
    }
}

BOOL CScrollView::OnScroll(UINT nScrollCode, UINT nPos, BOOL bDoScroll)
{
    CPoint orig = GetDeviceScrollPosition();
    CPoint pos = orig;
    const struct
    {
        BYTE code;
        LONG& value;
        LONG line, page;
    } axes[] = {
        { LOBYTE(nScrollCode), pos.x, m_lineDev.cx, m_pageDev.cx },
        { HIBYTE(nScrollCode), pos.y, m_lineDev.cy, m_pageDev.cy },
    };
    for (const auto& a : axes)
    {
        switch (a.code)
        {
        case SB_TOP: a.value = 0; break;
        case SB_BOTTOM: a.value = INT_MAX / 2; break;
        case SB_LINEUP: a.value -= a.line; break;
        case SB_LINEDOWN: a.value += a.line; break;
        case SB_PAGEUP: a.value -= a.page; break;
        case SB_PAGEDOWN: a.value += a.page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: a.value = (LONG)nPos; break;
        default: break;  // 0xFF: no scrolling along this axis
        }
    }
    BOOL bResult = OnScrollBy(CSize(pos.x - orig.x, pos.y - orig.y), bDoScroll);
    if (bResult && bDoScroll)
        UpdateWindow();
    return bResult;
}

BOOL CScrollView::OnScrollBy(CSize sizeScroll, BOOL bDoScroll)
{
    CPoint orig = GetDeviceScrollPosition();
    CPoint pos(orig.x + sizeScroll.cx, orig.y + sizeScroll.cy);
    pos.x = std::max(0L, std::min(pos.x, (LONG)GetScrollLimit(SB_HORZ)));
    pos.y = std::max(0L, std::min(pos.y, (LONG)GetScrollLimit(SB_VERT)));
    if (pos == orig)
        return FALSE;
    if (bDoScroll)
    {
        ScrollWindow(orig.x - pos.x, orig.y - pos.y);
        if (pos.x != orig.x)
            SetScrollPos(SB_HORZ, pos.x);
        if (pos.y != orig.y)
            SetScrollPos(SB_VERT, pos.y);
    }
    return TRUE;
}

void CScrollView::OnHScroll(UINT nSBCode, UINT, CScrollBar*)
{
    SCROLLINFO si = { sizeof(si), SIF_TRACKPOS };
    ::GetScrollInfo(m_hWnd, SB_HORZ, &si);
    OnScroll(MAKEWORD(nSBCode, 0xFF), (UINT)si.nTrackPos);
}

void CScrollView::OnVScroll(UINT nSBCode, UINT, CScrollBar*)
{
    SCROLLINFO si = { sizeof(si), SIF_TRACKPOS };
    ::GetScrollInfo(m_hWnd, SB_VERT, &si);
    OnScroll(MAKEWORD(0xFF, nSBCode), (UINT)si.nTrackPos);
}

// ---------------------------------------------------------------- control views

BEGIN_MESSAGE_MAP(CCtrlView, CView)
    ON_WM_PAINT()
END_MESSAGE_MAP()

CCtrlView::CCtrlView(LPCTSTR lpszClass, DWORD dwStyle) : m_strClass(lpszClass), m_dwDefaultStyle(dwStyle)
{
}

BOOL CCtrlView::PreCreateWindow(CREATESTRUCT& cs)
{
    cs.lpszClass = m_strClass;
    cs.style |= m_dwDefaultStyle;
    return CView::PreCreateWindow(cs);
}

CListView::CListView() : CCtrlView(WC_LISTVIEW, AFX_WS_DEFAULT_VIEW)
{
}

// ---------------------------------------------------------------- CFormView

BEGIN_MESSAGE_MAP(CFormView, CScrollView)
    ON_WM_CREATE()
    ON_WM_PAINT()
END_MESSAGE_MAP()

CFormView::CFormView(UINT nIDTemplate)
    : m_lpszTemplateName(MAKEINTRESOURCE(nIDTemplate)), m_pCreateContext(NULL)
{
}

INT_PTR CALLBACK CFormView::DialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

int CFormView::OnCreate(LPCREATESTRUCT lpcs)
{
    // A dialog's creation carries no parameter: the context waits here.
    lpcs->lpCreateParams = m_pCreateContext;
    return CScrollView::OnCreate(lpcs);
}

BOOL CFormView::Create(LPCTSTR, LPCTSTR, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                       CCreateContext* pContext)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hResource = ::FindResource(hInst, m_lpszTemplateName, RT_DIALOG);
    HGLOBAL hTemplate = hResource != NULL ? ::LoadResource(hInst, hResource) : NULL;
    LPCDLGTEMPLATE lpTemplate = hTemplate != NULL ? (LPCDLGTEMPLATE)::LockResource(hTemplate) : NULL;
    HWND hWnd = NULL;
    if (lpTemplate != NULL)
    {
        m_pCreateContext = pContext;
        AfxHookWindowCreate(this);
        hWnd = ::CreateDialogIndirectParam(hInst, lpTemplate, pParentWnd->GetSafeHwnd(), DialogProc, 0);
        AfxUnhookWindowCreate();
        m_pCreateContext = NULL;
    }
    if (hWnd == NULL)
    {
        // Like any view whose window fails, the object goes.
        if (m_hWnd == NULL)
            PostNcDestroy();
        return FALSE;
    }
    CRect dialog;
    GetWindowRect(&dialog);
    SetScrollSizes(MM_TEXT, dialog.Size());
    SetDlgCtrlID(nID);
    SetWindowPos(NULL, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | ((dwStyle & WS_VISIBLE) ? SWP_SHOWWINDOW : 0));
    return TRUE;
}

void CFormView::OnInitialUpdate()
{
    UpdateData(FALSE);
    CScrollView::OnInitialUpdate();
}

DWORD CView::OnDragEnter(COleDataObject*, DWORD, CPoint)
{
    return DROPEFFECT_NONE;
}

DWORD CView::OnDragOver(COleDataObject*, DWORD, CPoint)
{
    return DROPEFFECT_NONE;
}

BOOL CView::OnDrop(COleDataObject*, DWORD, CPoint)
{
    return FALSE;
}
