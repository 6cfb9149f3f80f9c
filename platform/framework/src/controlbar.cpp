#include <framework/dockcontext.h>
#include <framework/frame.h>
#include <framework/gdi.h>
#include <framework/winapp.h>

#include <algorithm>

IMPLEMENT_DYNAMIC(CControlBar, CWnd)
IMPLEMENT_DYNAMIC(CDockBar, CControlBar)

namespace
{
const TCHAR kBarClassName[] = TEXT("AfxControlBar42");
const int kBorderLine = 2;  // a bordered side: one shadow and one highlight line
const int kRepositionGuess = 8;

// Gives a bar the strip of nThickness at the near (top or left) or far side
// of the free span along one axis, and takes it from the free span.
void TakeStrip(LONG& nFreeNear, LONG& nFreeFar, LONG& nBarNear, LONG& nBarFar, int nThickness, bool bNearSide)
{
    if (bNearSide)
    {
        nBarFar = nBarNear + nThickness;
        nFreeNear += nThickness;
    }
    else
    {
        nBarNear = nBarFar - nThickness;
        nFreeFar -= nThickness;
    }
}
}  // namespace

// ------------------------------------------------------------------ layout

void CWnd::RepositionBars(UINT nIDFirst, UINT nIDLast, UINT nIDLeftOver, UINT nFlags,
                          LPRECT lpRectParam, LPCRECT lpRectClient, BOOL bStretch)
{
    AFX_SIZEPARENTPARAMS layout = {};
    layout.bStretch = bStretch;
    if (lpRectClient != NULL)
        layout.rect = *lpRectClient;
    else
        GetClientRect(&layout.rect);
    layout.hDWP = (nFlags & reposQuery) ? NULL : ::BeginDeferWindowPos(kRepositionGuess);

    HWND hWndLeftOver = NULL;
    for (HWND hChild = ::GetTopWindow(m_hWnd); hChild != NULL; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
    {
        UINT nID = (UINT)::GetDlgCtrlID(hChild) & 0xFFFF;
        if (nID == nIDLeftOver)
            hWndLeftOver = hChild;
        else if (nID >= nIDFirst && nID <= nIDLast)
            ::SendMessage(hChild, WM_SIZEPARENT, 0, (LPARAM)&layout);
    }

    if (nFlags & reposQuery)
    {
        if (bStretch)
            *lpRectParam = layout.rect;
        else
            ::SetRect(lpRectParam, 0, 0, layout.sizeTotal.cx, layout.sizeTotal.cy);
        return;
    }
    CRect rectLeft(layout.rect);
    if ((nFlags & reposExtra) && lpRectParam != NULL)
    {
        rectLeft.left += lpRectParam->left;
        rectLeft.top += lpRectParam->top;
        rectLeft.right -= lpRectParam->right;
        rectLeft.bottom -= lpRectParam->bottom;
    }
    if (hWndLeftOver != NULL && layout.hDWP != NULL)
        layout.hDWP = ::DeferWindowPos(layout.hDWP, hWndLeftOver, NULL, rectLeft.left, rectLeft.top,
                                       std::max(0, (int)rectLeft.Width()), std::max(0, (int)rectLeft.Height()),
                                       SWP_NOZORDER | SWP_NOACTIVATE);
    if (layout.hDWP != NULL)
        ::EndDeferWindowPos(layout.hDWP);
}

CFrameWnd* CWnd::GetParentFrame() const
{
    for (HWND hWnd = ::GetParent(m_hWnd); hWnd != NULL; hWnd = ::GetParent(hWnd))
    {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd != NULL && pWnd->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
            return (CFrameWnd*)pWnd;
    }
    return NULL;
}

// ------------------------------------------------------------- CControlBar

BEGIN_MESSAGE_MAP(CControlBar, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_PAINT()
    ON_WM_LBUTTONDOWN()
    ON_WM_LBUTTONDBLCLK()
    ON_MESSAGE(WM_SIZEPARENT, OnSizeParent)
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
END_MESSAGE_MAP()

CControlBar::CControlBar()
    : m_cxLeftBorder(6), m_cxRightBorder(6), m_cyTopBorder(2), m_cyBottomBorder(2),
      m_nMRUWidth(32767), m_dwStyle(0), m_dwDockStyle(0), m_pDockSite(NULL), m_pDockBar(NULL),
      m_pDockContext(NULL), m_bAutoDelete(FALSE), m_nStateFlags(0)
{
}

CControlBar::~CControlBar()
{
    if (m_hWnd != NULL)
        DestroyWindow();
    delete m_pDockContext;
}

LPCTSTR CControlBar::RegisterBarClass()
{
    WNDCLASS wc;
    HINSTANCE hInst = AfxGetInstanceHandle();
    if (!::GetClassInfo(hInst, kBarClassName, &wc))
    {
        memset(&wc, 0, sizeof(wc));
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = ::DefWindowProc;
        wc.hInstance = hInst;
        wc.hCursor = ::LoadCursor(NULL, IDC_ARROW);
        wc.hbrBackground = (HBRUSH)(COLOR_BTNFACE + 1);
        wc.lpszClassName = kBarClassName;
        if (!::RegisterClass(&wc))
            return NULL;
    }
    return kBarClassName;
}

BOOL CControlBar::PreCreateWindow(CREATESTRUCT& cs)
{
    if (cs.lpszClass == NULL)
        cs.lpszClass = RegisterBarClass();
    // The CBRS_* bits are the bar's, not the window's.
    m_dwStyle = cs.style & CBRS_ALL;
    cs.style &= ~CBRS_ALL;
    return cs.lpszClass != NULL && CWnd::PreCreateWindow(cs);
}

int CControlBar::OnCreate(LPCREATESTRUCT lpcs)
{
    if (CWnd::OnCreate(lpcs) == -1)
        return -1;
    if (m_pDockSite == NULL)
        m_pDockSite = GetParentFrame();
    if (m_pDockSite != NULL)
        m_pDockSite->AddControlBar(this);
    return 0;
}

void CControlBar::OnDestroy()
{
    if (m_pDockBar != NULL)
    {
        int nPos = m_pDockBar->FindBar(this);
        if (nPos > 0)
            m_pDockBar->m_arrBars.RemoveAt(nPos);
        m_pDockBar = NULL;
    }
    if (m_pDockSite != NULL)
        m_pDockSite->RemoveControlBar(this);
    CWnd::OnDestroy();
}

void CControlBar::PostNcDestroy()
{
    if (m_bAutoDelete)
        delete this;
}

void CControlBar::SetBarStyle(DWORD dwStyle)
{
    if (m_dwStyle != dwStyle)
    {
        m_dwStyle = dwStyle & CBRS_ALL;
        Invalidate();
    }
}

void CControlBar::EnableDocking(DWORD dwDockStyle)
{
    m_dwDockStyle = dwDockStyle;
    if (m_pDockSite == NULL)
        m_pDockSite = GetParentFrame();
    if (m_pDockContext == NULL && dwDockStyle != 0)
        m_pDockContext = new CDockContext(this);
    if (GetOwner() == NULL && GetParent() != NULL)
        ::SetWindowLongPtr(m_hWnd, GWLP_HWNDPARENT, (LONG_PTR)GetParent()->m_hWnd);
}

BOOL CControlBar::IsFloating() const
{
    return m_pDockBar != NULL && m_pDockBar->m_bFloating;
}

BOOL CControlBar::IsVisible() const
{
    if (m_nStateFlags & delayShow)
        return TRUE;
    if (m_nStateFlags & delayHide)
        return FALSE;
    return (GetStyle() & WS_VISIBLE) != 0;
}

CFrameWnd* CControlBar::GetDockingFrame() const
{
    return m_pDockSite != NULL ? m_pDockSite : GetParentFrame();
}

CSize CControlBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz)
{
    CSize size(m_cxLeftBorder + m_cxRightBorder, m_cyTopBorder + m_cyBottomBorder);
    CRect borders(0, 0, 0, 0);
    CalcInsideRect(borders, bHorz);
    size -= borders.Size();  // borders of an empty rectangle make it negative
    if (bStretch)
    {
        if (bHorz)
            size.cx = 32767;
        else
            size.cy = 32767;
    }
    return size;
}

CSize CControlBar::CalcDynamicLayout(int, DWORD nMode)
{
    if (nMode & (LM_HORZDOCK | LM_VERTDOCK))
        return CalcFixedLayout((nMode & LM_STRETCH) != 0, (nMode & LM_HORZDOCK) != 0);
    return CalcFixedLayout((nMode & LM_STRETCH) != 0, (nMode & LM_HORZ) != 0);
}

void CControlBar::CalcInsideRect(CRect& rect, BOOL bHorz) const
{
    (void)bHorz;
    if (m_dwStyle & CBRS_BORDER_LEFT) rect.left += kBorderLine;
    if (m_dwStyle & CBRS_BORDER_TOP) rect.top += kBorderLine;
    if (m_dwStyle & CBRS_BORDER_RIGHT) rect.right -= kBorderLine;
    if (m_dwStyle & CBRS_BORDER_BOTTOM) rect.bottom -= kBorderLine;
    rect.left += m_cxLeftBorder;
    rect.top += m_cyTopBorder;
    rect.right -= m_cxRightBorder;
    rect.bottom -= m_cyBottomBorder;
}

void CControlBar::DrawBorders(CDC* pDC, CRect& rect)
{
    COLORREF shadow = ::GetSysColor(COLOR_BTNSHADOW);
    COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    if (m_dwStyle & CBRS_BORDER_TOP)
    {
        pDC->FillSolidRect(rect.left, rect.top, rect.Width(), 1, shadow);
        pDC->FillSolidRect(rect.left, rect.top + 1, rect.Width(), 1, light);
        rect.top += kBorderLine;
    }
    if (m_dwStyle & CBRS_BORDER_BOTTOM)
    {
        pDC->FillSolidRect(rect.left, rect.bottom - 2, rect.Width(), 1, shadow);
        pDC->FillSolidRect(rect.left, rect.bottom - 1, rect.Width(), 1, light);
        rect.bottom -= kBorderLine;
    }
    if (m_dwStyle & CBRS_BORDER_LEFT)
    {
        pDC->FillSolidRect(rect.left, rect.top, 1, rect.Height(), shadow);
        pDC->FillSolidRect(rect.left + 1, rect.top, 1, rect.Height(), light);
        rect.left += kBorderLine;
    }
    if (m_dwStyle & CBRS_BORDER_RIGHT)
    {
        pDC->FillSolidRect(rect.right - 2, rect.top, 1, rect.Height(), shadow);
        pDC->FillSolidRect(rect.right - 1, rect.top, 1, rect.Height(), light);
        rect.right -= kBorderLine;
    }
}

void CControlBar::DoPaint(CDC* pDC)
{
    CRect rect;
    GetClientRect(&rect);
    DrawBorders(pDC, rect);
}

void CControlBar::OnPaint()
{
    CPaintDC dc(this);
    DoPaint(&dc);
}

void CControlBar::OnUpdateCmdUI(CFrameWnd*, BOOL)
{
}

void CControlBar::OnLButtonDown(UINT nFlags, CPoint point)
{
    // A bar floating in a frame other than a floating frame moves with it.
    CFrameWnd* pParentFrame = GetParentFrame();
    bool bInOtherFrame = IsFloating() && pParentFrame != NULL &&
                         !pParentFrame->IsKindOf(RUNTIME_CLASS(CMiniDockFrameWnd));
    if (m_pDockContext == NULL || bInOtherFrame)
    {
        CWnd::OnLButtonDown(nFlags, point);
        return;
    }
    ClientToScreen(&point);
    m_pDockContext->StartDrag(point);
}

void CControlBar::OnLButtonDblClk(UINT nFlags, CPoint point)
{
    if (m_pDockContext == NULL)
    {
        CWnd::OnLButtonDblClk(nFlags, point);
        return;
    }
    m_pDockContext->ToggleDocking();
}

LRESULT CControlBar::OnIdleUpdateCmdUI(WPARAM wParam, LPARAM)
{
    CFrameWnd* pTarget = GetDockingFrame();
    if (pTarget != NULL && IsVisible())
        OnUpdateCmdUI(pTarget, (BOOL)wParam);
    return 0;
}

INT_PTR CControlBar::OnToolHitTest(CPoint point, TOOLINFO* pTI) const
{
    if (!(m_dwStyle & CBRS_TOOLTIPS))
        return -1;
    return CWnd::OnToolHitTest(point, pTI);
}

void CControlBar::DelayShow(BOOL bShow)
{
    BOOL bVisibleNow = (GetStyle() & WS_VISIBLE) != 0;
    m_nStateFlags &= ~(delayHide | delayShow);
    if (bShow && !bVisibleNow)
        m_nStateFlags |= delayShow;
    else if (!bShow && bVisibleNow)
        m_nStateFlags |= delayHide;
}

DWORD CControlBar::RecalcDelayShow(AFX_SIZEPARENTPARAMS* lpLayout)
{
    DWORD dwStyle = (m_dwStyle & CBRS_ALL) | (IsVisible() ? WS_VISIBLE : 0);
    if ((m_nStateFlags & (delayHide | delayShow)) && (lpLayout == NULL || lpLayout->hDWP != NULL))
    {
        ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                       ((m_nStateFlags & delayShow) ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        m_nStateFlags &= ~(delayHide | delayShow);
    }
    return dwStyle;
}

LRESULT CControlBar::OnSizeParent(WPARAM, LPARAM lParam)
{
    AFX_SIZEPARENTPARAMS* pLayout = (AFX_SIZEPARENTPARAMS*)lParam;
    DWORD dwStyle = RecalcDelayShow(pLayout);
    if (!(dwStyle & WS_VISIBLE) || !(dwStyle & CBRS_ALIGN_ANY))
        return 0;

    CRect rect(pLayout->rect);
    CSize avail = rect.Size();
    BOOL bHorz = (dwStyle & CBRS_ORIENT_HORZ) != 0;
    DWORD nMode = (pLayout->bStretch ? LM_STRETCH : 0) | (bHorz ? LM_HORZ | LM_HORZDOCK : LM_VERTDOCK);
    CSize size = CalcDynamicLayout(-1, nMode);
    size.cx = std::min(size.cx, avail.cx);
    size.cy = std::min(size.cy, avail.cy);
    if (bHorz)
    {
        pLayout->sizeTotal.cy += size.cy;
        pLayout->sizeTotal.cx = std::max(pLayout->sizeTotal.cx, size.cx);
        TakeStrip(pLayout->rect.top, pLayout->rect.bottom, rect.top, rect.bottom, size.cy,
                  (dwStyle & CBRS_ALIGN_TOP) != 0);
        rect.right = rect.left + size.cx;
    }
    else
    {
        pLayout->sizeTotal.cx += size.cx;
        pLayout->sizeTotal.cy = std::max(pLayout->sizeTotal.cy, size.cy);
        TakeStrip(pLayout->rect.left, pLayout->rect.right, rect.left, rect.right, size.cx,
                  (dwStyle & CBRS_ALIGN_LEFT) != 0);
        rect.bottom = rect.top + size.cy;
    }
    if (pLayout->hDWP != NULL)
        pLayout->hDWP = ::DeferWindowPos(pLayout->hDWP, m_hWnd, NULL, rect.left, rect.top, rect.Width(),
                                         rect.Height(), SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

// ---------------------------------------------------------------- CDockBar

BEGIN_MESSAGE_MAP(CDockBar, CControlBar)
    ON_MESSAGE(WM_SIZEPARENT, OnSizeParent)
END_MESSAGE_MAP()

LRESULT CDockBar::OnSizeParent(WPARAM wParam, LPARAM lParam)
{
    AFX_SIZEPARENTPARAMS* pLayout = (AFX_SIZEPARENTPARAMS*)lParam;
    BOOL bSavedQuery = m_bLayoutQuery;
    CRect savedRect = m_rectLayout;
    m_bLayoutQuery = pLayout->hDWP == NULL;
    m_rectLayout = pLayout->rect;
    LRESULT lResult = CControlBar::OnSizeParent(wParam, lParam);
    m_bLayoutQuery = bSavedQuery;
    m_rectLayout = savedRect;
    return lResult;
}

CDockBar::CDockBar(BOOL bFloating) : m_bFloating(bFloating), m_bLayoutQuery(FALSE), m_rectLayout(0, 0, 0, 0)
{
    m_cxLeftBorder = m_cxRightBorder = m_cyTopBorder = m_cyBottomBorder = 0;
    m_arrBars.Add(NULL);
}

BOOL CDockBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID)
{
    m_pDockSite = NULL;
    m_dwStyle = dwStyle & CBRS_ALL;
    return CWnd::Create(NULL, NULL, dwStyle | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), pParentWnd, nID);
}

CControlBar* CDockBar::GetDockedControlBar(int nPos) const
{
    void* pEntry = m_arrBars[nPos];
    return IsPlaceholder(pEntry) ? NULL : (CControlBar*)pEntry;
}

int CDockBar::FindBar(CControlBar* pBar, int nPosExclude) const
{
    for (int i = 0; i < (int)m_arrBars.GetSize(); ++i)
    {
        if (i != nPosExclude && m_arrBars[i] == pBar)
            return i;
    }
    return -1;
}

int CDockBar::GetDockedCount() const
{
    int nCount = 0;
    for (int i = 0; i < (int)m_arrBars.GetSize(); ++i)
        nCount += GetDockedControlBar(i) != NULL;
    return nCount;
}

int CDockBar::GetDockedVisibleCount() const
{
    int nCount = 0;
    for (int i = 0; i < (int)m_arrBars.GetSize(); ++i)
    {
        CControlBar* pBar = GetDockedControlBar(i);
        nCount += pBar != NULL && pBar->IsVisible();
    }
    return nCount;
}

void CDockBar::ShowAll(BOOL bShow)
{
    for (int i = 0; i < (int)m_arrBars.GetSize(); ++i)
    {
        CControlBar* pBar = GetDockedControlBar(i);
        if (pBar != NULL && pBar->GetDockingFrame() != NULL)
            pBar->GetDockingFrame()->ShowControlBar(pBar, bShow, TRUE);
    }
}

void CDockBar::RemovePlaceholder(UINT nID)
{
    for (int i = 1; i < (int)m_arrBars.GetSize(); ++i)
    {
        if (IsPlaceholder(m_arrBars[i]) && (UINT)(UINT_PTR)m_arrBars[i] == nID)
        {
            m_arrBars.RemoveAt(i);
            // A row left empty goes too.
            if (m_arrBars[i - 1] == NULL && i < (int)m_arrBars.GetSize() && m_arrBars[i] == NULL)
                m_arrBars.RemoveAt(i);
            return;
        }
    }
}

void CDockBar::PrepareToDock(CControlBar* pBar)
{
    if (m_bFloating && (pBar->m_dwDockStyle & CBRS_FLOAT_MULTI))
        m_dwStyle |= CBRS_FLOAT_MULTI;
    if (!(m_dwStyle & CBRS_FLOAT_MULTI))
    {
        CString title;
        pBar->GetWindowText(title);
        SetWindowText(title);
    }
    pBar->m_dwStyle = (pBar->m_dwStyle & ~(CBRS_ALIGN_ANY | CBRS_FLOATING)) | (m_dwStyle & CBRS_ALIGN_ANY) |
                      (m_bFloating ? CBRS_FLOATING : 0);
}

void CDockBar::DockControlBar(CControlBar* pBar, LPCRECT lpRect)
{
    CDockBar* pOldDockBar = pBar->m_pDockBar;
    UINT nID = (UINT)pBar->GetDlgCtrlID() & 0xFFFF;
    PrepareToDock(pBar);

    int nPos = -1;
    if (lpRect != NULL)
    {
        // Into the row under the rectangle's centre, before the first bar past it.
        CRect rect(*lpRect);
        ScreenToClient(&rect);
        CPoint centre = rect.CenterPoint();
        BOOL bHorz = (m_dwStyle & CBRS_ORIENT_HORZ) != 0;
        int nRowStart = 1;
        for (int i = 1; i < (int)m_arrBars.GetSize() && nPos < 0; ++i)
        {
            if (m_arrBars[i] == NULL)
            {
                nRowStart = i + 1;
                continue;
            }
            CControlBar* pDocked = GetDockedControlBar(i);
            if (pDocked == NULL || pDocked == pBar || !pDocked->IsVisible())
                continue;
            CRect barRect;
            pDocked->GetWindowRect(&barRect);
            ScreenToClient(&barRect);
            int nAcross = bHorz ? centre.y : centre.x;
            int nAlong = bHorz ? centre.x : centre.y;
            if (nAcross < (bHorz ? barRect.top : barRect.left))
            {
                // Before this row: a new row of its own.
                m_arrBars.InsertAt(nRowStart, (void*)NULL);
                nPos = nRowStart;
            }
            else if (nAcross < (bHorz ? barRect.bottom : barRect.right) &&
                     nAlong < (bHorz ? barRect.CenterPoint().x : barRect.CenterPoint().y))
                nPos = i;
            else if (nAcross < (bHorz ? barRect.bottom : barRect.right) && m_arrBars[i + 1] == NULL)
                nPos = i + 1;
        }
    }
    else
    {
        for (int i = 1; i < (int)m_arrBars.GetSize() && nPos < 0; ++i)
        {
            if (IsPlaceholder(m_arrBars[i]) && (UINT)(UINT_PTR)m_arrBars[i] == nID)
            {
                m_arrBars.RemoveAt(i);
                nPos = i;
            }
        }
    }
    if (nPos < 0)
    {
        // A new last row: the array always ends with a row end.
        nPos = (int)m_arrBars.GetSize();
        if (m_arrBars[nPos - 1] != NULL)
            m_arrBars.Add(NULL), ++nPos;
        m_arrBars.Add(NULL);
    }
    m_arrBars.InsertAt(nPos, pBar);

    if (pBar->GetParent() != this)
        pBar->SetParent(this);
    if (pOldDockBar == this)
        m_arrBars.RemoveAt(FindBar(pBar, nPos));
    else if (pOldDockBar != NULL)
        pOldDockBar->RemoveControlBar(pBar);
    pBar->m_pDockBar = this;
    RemovePlaceholder(nID);
    if (CFrameWnd* pFrame = GetParentFrame())
        pFrame->DelayRecalcLayout();
}

BOOL CDockBar::RemoveControlBar(CControlBar* pBar, int nPosExclude)
{
    int nPos = FindBar(pBar, nPosExclude);
    if (nPos <= 0)
        return FALSE;
    UINT nID = (UINT)pBar->GetDlgCtrlID() & 0xFFFF;
    BOOL bHasPlaceholder = FALSE;
    for (int i = 1; i < (int)m_arrBars.GetSize(); ++i)
        bHasPlaceholder |= IsPlaceholder(m_arrBars[i]) && (UINT)(UINT_PTR)m_arrBars[i] == nID;
    if (nID != 0 && !bHasPlaceholder && !m_bFloating)
        m_arrBars[nPos] = (void*)(UINT_PTR)nID;
    else
    {
        m_arrBars.RemoveAt(nPos);
        if (m_arrBars[nPos - 1] == NULL && nPos < (int)m_arrBars.GetSize() && m_arrBars[nPos] == NULL)
            m_arrBars.RemoveAt(nPos);
    }
    if (pBar->m_pDockBar == this)
        pBar->m_pDockBar = NULL;

    CFrameWnd* pFrame = GetParentFrame();
    if (m_bFloating && pFrame != NULL)
    {
        if (GetDockedCount() == 0)
        {
            pFrame->DestroyWindow();
            return TRUE;
        }
        if (GetDockedVisibleCount() == 0)
            pFrame->ShowWindow(SW_HIDE);
    }
    if (pFrame != NULL)
        pFrame->DelayRecalcLayout();
    return FALSE;
}

CSize CDockBar::CalcDynamicLayout(int, DWORD nMode)
{
    return CalcFixedLayout((nMode & LM_STRETCH) != 0, (nMode & (LM_HORZ | LM_HORZDOCK)) != 0);
}

CSize CDockBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz)
{
    CRect available(m_rectLayout);
    if (available.IsRectEmpty())
        GetClientRect(&available);
    int nAvailable = bHorz ? available.Width() : available.Height();

    int nAcross = 0, nAlong = 0, nRowThickness = 0, nLongest = 0;
    for (int i = 1; i < (int)m_arrBars.GetSize(); ++i)
    {
        if (m_arrBars[i] == NULL)
        {
            nAcross += nRowThickness;
            nAlong = nRowThickness = 0;
            continue;
        }
        CControlBar* pBar = GetDockedControlBar(i);
        if (pBar == NULL || !pBar->IsVisible())
        {
            if (pBar != NULL && !m_bLayoutQuery)
                pBar->RecalcDelayShow(NULL);
            continue;
        }
        DWORD nMode = m_bFloating ? (bHorz ? LM_HORZ : 0) : (bHorz ? LM_HORZDOCK : LM_VERTDOCK);
        CSize size = pBar->CalcDynamicLayout(-1, nMode);
        CRect rect = bHorz ? CRect(CPoint(nAlong, nAcross), size) : CRect(CPoint(nAcross, nAlong), size);
        nAlong += bHorz ? size.cx : size.cy;
        nRowThickness = std::max(nRowThickness, (int)(bHorz ? size.cy : size.cx));
        nLongest = std::max(nLongest, nAlong);
        if (!m_bLayoutQuery)
        {
            pBar->RecalcDelayShow(NULL);
            CRect current;
            pBar->GetWindowRect(&current);
            ScreenToClient(&current);
            if (current != rect)
                pBar->SetWindowPos(NULL, rect.left, rect.top, rect.Width(), rect.Height(),
                                   SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    nAcross += nRowThickness;
    int nLength = bStretch ? std::max(nAvailable, nLongest) : nLongest;
    return bHorz ? CSize(nLength, nAcross) : CSize(nAcross, nLength);
}
