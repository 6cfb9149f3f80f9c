#include <framework/dockcontext.h>
#include <framework/frame.h>

#include <windowsx.h>

#include <algorithm>

namespace
{
const int kBorder = 2;  // how far a rectangle reaches past the mouse
// The floating frame of a bar: the window style its frame is made with.
const DWORD kFloatingFrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
const DWORD kFloatingFrameExStyle = WS_EX_TOOLWINDOW;

bool Horz(DWORD dwStyle)
{
    return (dwStyle & CBRS_ORIENT_HORZ) != 0;
}

bool Vert(DWORD dwStyle)
{
    return (dwStyle & CBRS_ORIENT_VERT) != 0;
}

// The window rectangle of a floating frame whose bar fills rectBar.
CRect FloatingFrameRect(const CRect& rectBar)
{
    CRect rect(rectBar);
    ::AdjustWindowRectEx(&rect, kFloatingFrameStyle, FALSE, kFloatingFrameExStyle);
    return rect;
}
}  // namespace

CDockContext::CDockContext(CControlBar* pBar)
    : m_ptLast(0, 0), m_rectLast(0, 0, 0, 0), m_sizeLast(0, 0), m_bDitherLast(FALSE),
      m_rectDragHorz(0, 0, 0, 0), m_rectDragVert(0, 0, 0, 0), m_rectFrameDragHorz(0, 0, 0, 0),
      m_rectFrameDragVert(0, 0, 0, 0), m_rectRequestedSize(0, 0, 0, 0), m_rectActualSize(0, 0, 0, 0),
      m_rectActualFrameSize(0, 0, 0, 0), m_pBar(pBar), m_pDockSite(pBar->GetDockingFrame()), m_dwDockStyle(0),
      m_dwOverDockStyle(0), m_dwStyle(0), m_bFlip(FALSE), m_bForceFrame(FALSE), m_pDC(NULL), m_bDragging(FALSE),
      m_nHitTest(HTNOWHERE), m_uMRUDockID(0), m_rectMRUDockPos(0, 0, 0, 0), m_dwMRUFloatStyle(CBRS_ALIGN_TOP),
      m_ptMRUFloatPos(-1, -1)
{
}

CDockContext::~CDockContext()
{
    if (m_pDC != NULL)
        CancelLoop();
}

// ------------------------------------------------------------------- loop

void CDockContext::InitLoop()
{
    // Paint what is pending first: nothing may paint over the outline.
    MSG msg;
    while (::PeekMessage(&msg, NULL, WM_PAINT, WM_PAINT, PM_REMOVE))
        ::DispatchMessage(&msg);

    m_pDockSite = m_pBar->GetDockingFrame();
    m_dwDockStyle = m_pBar->m_dwDockStyle;
    m_dwStyle = m_pBar->m_dwStyle & CBRS_ALIGN_ANY;
    m_rectLast.SetRectEmpty();
    m_sizeLast = CSize(0, 0);
    m_bDitherLast = FALSE;
    // Modifier keys already held count from the start.
    m_bForceFrame = ::GetKeyState(VK_CONTROL) < 0;
    m_bFlip = ::GetKeyState(VK_SHIFT) < 0 && Horz(m_dwDockStyle) && Vert(m_dwDockStyle);

    HWND hDesktop = ::GetDesktopWindow();
    DWORD dwFlags = DCX_WINDOW | DCX_CACHE;
    if (::LockWindowUpdate(hDesktop))
        dwFlags |= DCX_LOCKWINDOWUPDATE;
    m_pDC = new CDC;
    m_pDC->Attach(::GetDCEx(hDesktop, NULL, dwFlags));
}

void CDockContext::CancelLoop()
{
    DrawFocusRect(TRUE);
    if (::GetCapture() == m_pBar->m_hWnd)
        ::ReleaseCapture();
    ::LockWindowUpdate(NULL);
    if (m_pDC != NULL)
    {
        ::ReleaseDC(::GetDesktopWindow(), m_pDC->Detach());
        delete m_pDC;
        m_pDC = NULL;
    }
}

BOOL CDockContext::Track()
{
    if (::GetCapture() != NULL)
    {
        CancelLoop();
        return FALSE;
    }
    m_pBar->SetCapture();
    while (::GetCapture() == m_pBar->m_hWnd)
    {
        MSG msg;
        if (!::GetMessage(&msg, NULL, 0, 0))
        {
            ::PostQuitMessage((int)msg.wParam);
            break;
        }
        // Mouse messages come in the capturing bar's client coordinates.
        CPoint pt(GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam));
        switch (msg.message)
        {
        case WM_LBUTTONUP:
            if (m_bDragging)
                EndDrag();
            else
                EndResize();
            return TRUE;
        case WM_MOUSEMOVE:
            ::ClientToScreen(msg.hwnd, &pt);
            if (m_bDragging)
                Move(pt);
            else
                Stretch(pt);
            break;
        case WM_KEYDOWN:
        case WM_KEYUP:
            if (msg.wParam == VK_ESCAPE)
            {
                CancelLoop();
                return FALSE;
            }
            if (m_bDragging)
                OnKey((int)msg.wParam, msg.message == WM_KEYDOWN);
            break;
        case WM_RBUTTONDOWN:
            CancelLoop();
            return FALSE;
        default:
            ::DispatchMessage(&msg);
            break;
        }
    }
    CancelLoop();
    return FALSE;
}

void CDockContext::OnKey(int nChar, BOOL bDown)
{
    if (nChar == VK_CONTROL)
        UpdateState(&m_bForceFrame, bDown);
    else if (nChar == VK_SHIFT)
        UpdateState(&m_bFlip, bDown);
}

void CDockContext::UpdateState(BOOL* pFlag, BOOL bNewValue)
{
    if (*pFlag == bNewValue)
        return;
    *pFlag = bNewValue;
    // Only a bar allowed on both kinds of edge can flip.
    if (!(Horz(m_dwDockStyle) && Vert(m_dwDockStyle)))
        m_bFlip = FALSE;
    m_dwOverDockStyle = m_bForceFrame ? 0 : CanDock();
    DrawFocusRect();
}

// ------------------------------------------------------------------- drag

void CDockContext::BringPointInside(CRect& rect, CPoint pt)
{
    if (pt.x < rect.left)
        rect.OffsetRect(pt.x - rect.left, 0);
    else if (pt.x >= rect.right)
        rect.OffsetRect(kBorder - rect.right + pt.x, 0);
    if (pt.y < rect.top)
        rect.OffsetRect(0, pt.y - rect.top);
    else if (pt.y >= rect.bottom)
        rect.OffsetRect(0, kBorder - rect.bottom + pt.y);
}

void CDockContext::StartDrag(CPoint pt)
{
    m_bDragging = TRUE;
    InitLoop();

    CRect rect;
    m_pBar->GetWindowRect(&rect);
    m_ptLast = pt;
    DWORD dwBarStyle = m_pBar->m_dwStyle;
    if (dwBarStyle & CBRS_SIZE_DYNAMIC)
    {
        CSize sizeFloat = m_pBar->CalcDynamicLayout(0, LM_HORZ | LM_MRUWIDTH);
        m_rectDragHorz = CRect(rect.TopLeft(), m_pBar->CalcDynamicLayout(0, LM_HORZ | LM_HORZDOCK));
        m_rectDragVert = CRect(rect.TopLeft(), m_pBar->CalcDynamicLayout(0, LM_VERTDOCK));
        m_rectFrameDragHorz = m_rectFrameDragVert = CRect(rect.TopLeft(), sizeFloat);
    }
    else if (dwBarStyle & CBRS_SIZE_FIXED)
    {
        m_rectDragHorz = CRect(rect.TopLeft(), m_pBar->CalcDynamicLayout(-1, LM_HORZ | LM_HORZDOCK));
        m_rectDragVert = CRect(rect.TopLeft(), m_pBar->CalcDynamicLayout(-1, LM_VERTDOCK));
        m_rectFrameDragHorz = m_rectDragHorz;
        m_rectFrameDragVert = m_rectDragVert;
    }
    else
    {
        // The current orientation keeps the bar's rectangle; the other one
        // is centred on the mouse across the bar.
        if (Horz(m_dwStyle))
        {
            m_rectDragHorz = rect;
            m_rectDragVert = CRect(CPoint(pt.x - rect.Height() / 2, rect.top),
                                   m_pBar->CalcDynamicLayout(0, LM_VERTDOCK));
        }
        else
        {
            m_rectDragVert = rect;
            m_rectDragHorz = CRect(CPoint(rect.left, pt.y - rect.Width() / 2),
                                   m_pBar->CalcDynamicLayout(0, LM_HORZ | LM_HORZDOCK));
        }
        m_rectFrameDragHorz = m_rectDragHorz;
        m_rectFrameDragVert = m_rectDragVert;
    }
    m_rectFrameDragHorz = FloatingFrameRect(m_rectFrameDragHorz);
    m_rectFrameDragVert = FloatingFrameRect(m_rectFrameDragVert);
    for (CRect* pRect : { &m_rectDragHorz, &m_rectDragVert, &m_rectFrameDragHorz, &m_rectFrameDragVert })
        BringPointInside(*pRect, pt);

    m_dwOverDockStyle = CanDock();
    Move(pt);
    Track();
}

void CDockContext::Move(CPoint pt)
{
    CSize offset = pt - m_ptLast;
    for (CRect* pRect : { &m_rectDragHorz, &m_rectDragVert, &m_rectFrameDragHorz, &m_rectFrameDragVert })
        pRect->OffsetRect(offset.cx, offset.cy);
    m_ptLast = pt;
    m_dwOverDockStyle = m_bForceFrame ? 0 : CanDock();
    DrawFocusRect();
}

DWORD CDockContext::CanDock()
{
    BOOL bHorz = Horz(m_dwStyle) ? !m_bFlip : m_bFlip;
    DWORD dwDock = 0;
    if (bHorz && Horz(m_dwDockStyle))
        dwDock = m_pDockSite->CanDock(m_rectDragHorz, m_dwDockStyle & ~CBRS_ORIENT_VERT);
    else if (Vert(m_dwDockStyle))
        dwDock = m_pDockSite->CanDock(m_rectDragVert, m_dwDockStyle & ~CBRS_ORIENT_HORZ);
    if (m_bFlip)
        return dwDock;
    // Without Shift the other orientation may dock too, when both of its
    // rectangles agree on the side.
    if (dwDock == 0 && Horz(m_dwDockStyle))
    {
        DWORD dwOther = m_pDockSite->CanDock(m_rectDragVert, m_dwDockStyle & ~CBRS_ORIENT_VERT);
        dwDock = m_pDockSite->CanDock(m_rectDragHorz, m_dwDockStyle & ~CBRS_ORIENT_VERT);
        dwDock = dwDock == dwOther ? dwDock : 0;
    }
    if (dwDock == 0 && Vert(m_dwDockStyle))
    {
        DWORD dwOther = m_pDockSite->CanDock(m_rectDragHorz, m_dwDockStyle & ~CBRS_ORIENT_HORZ);
        dwDock = m_pDockSite->CanDock(m_rectDragVert, m_dwDockStyle & ~CBRS_ORIENT_HORZ);
        dwDock = dwDock == dwOther ? dwDock : 0;
    }
    return dwDock;
}

CDockBar* CDockContext::GetDockBar(DWORD dwOverDockStyle)
{
    CDockBar* pDockBar = NULL;
    if (Horz(dwOverDockStyle))
        m_pDockSite->CanDock(m_rectDragHorz, dwOverDockStyle & ~CBRS_ORIENT_VERT, &pDockBar);
    if (pDockBar == NULL && Vert(dwOverDockStyle))
        m_pDockSite->CanDock(m_rectDragVert, dwOverDockStyle & ~CBRS_ORIENT_HORZ, &pDockBar);
    return pDockBar;
}

void CDockContext::DrawFocusRect(BOOL bRemoveRect)
{
    CSize size(1, 1);
    CRect rect;
    BOOL bDither = FALSE;
    if (!m_bDragging)
    {
        rect = m_rectActualFrameSize;
        size = CSize(::GetSystemMetrics(SM_CXFRAME) - 1, ::GetSystemMetrics(SM_CYFRAME) - 1);
        bDither = TRUE;
    }
    else if (Horz(m_dwOverDockStyle) || Vert(m_dwOverDockStyle))
    {
        rect = Horz(m_dwOverDockStyle) ? m_rectDragHorz : m_rectDragVert;
        rect.DeflateRect(1, 1);
    }
    else
    {
        // A thick half-toned frame: the bar would float.
        size = CSize(::GetSystemMetrics(SM_CXFRAME) - 1, ::GetSystemMetrics(SM_CYFRAME) - 1);
        bool bHorzFrame = Horz(m_dwStyle) ? !m_bFlip : m_bFlip;
        rect = bHorzFrame ? m_rectFrameDragHorz : m_rectFrameDragVert;
        bDither = TRUE;
    }
    if (bRemoveRect)
        size = CSize(0, 0);
    if (m_pDC != NULL)
    {
        CBrush* pWhite = CBrush::FromHandle((HBRUSH)::GetStockObject(WHITE_BRUSH));
        CBrush* pHalftone = CDC::GetHalftoneBrush();
        m_pDC->DrawDragRect(&rect, size, &m_rectLast, m_sizeLast, bDither ? pHalftone : pWhite,
                            m_bDitherLast ? pHalftone : pWhite);
    }
    m_rectLast = rect;
    m_sizeLast = size;
    m_bDitherLast = bDither;
}

void CDockContext::EndDrag()
{
    CancelLoop();
    m_bDragging = FALSE;
    CDockBar* pDockBar = m_dwOverDockStyle != 0 ? GetDockBar(m_dwOverDockStyle) : NULL;
    if (pDockBar != NULL)
    {
        CRect rect = Vert(m_dwOverDockStyle) ? m_rectDragVert : m_rectDragHorz;
        UINT nID = (UINT)pDockBar->GetDlgCtrlID();
        if (nID >= AFX_IDW_DOCKBAR_TOP && nID <= AFX_IDW_DOCKBAR_BOTTOM)
        {
            m_uMRUDockID = nID;
            m_rectMRUDockPos = rect;
            pDockBar->ScreenToClient(&m_rectMRUDockPos);
        }
        m_pDockSite->DockControlBar(m_pBar, pDockBar, &rect);
        m_pDockSite->RecalcLayout();
        return;
    }
    bool bHorzFrame = (m_pBar->m_dwStyle & CBRS_SIZE_DYNAMIC) || (Horz(m_dwStyle) ? !m_bFlip : m_bFlip);
    m_dwMRUFloatStyle = (bHorzFrame ? CBRS_ALIGN_TOP : CBRS_ALIGN_LEFT) | (m_dwDockStyle & CBRS_FLOAT_MULTI);
    m_ptMRUFloatPos = (bHorzFrame ? m_rectFrameDragHorz : m_rectFrameDragVert).TopLeft();
    m_pDockSite->FloatControlBar(m_pBar, m_ptMRUFloatPos, m_dwMRUFloatStyle);
}

// ----------------------------------------------------------------- resize

void CDockContext::StartResize(int nHitTest, CPoint pt)
{
    m_bDragging = FALSE;
    InitLoop();
    CRect rect;
    m_pBar->GetWindowRect(&rect);
    m_ptLast = pt;
    m_nHitTest = nHitTest;
    CSize size = m_pBar->CalcDynamicLayout(0, LM_HORZ | LM_MRUWIDTH);
    m_rectRequestedSize = m_rectActualSize = CRect(rect.TopLeft(), size);
    m_rectActualFrameSize = FloatingFrameRect(m_rectActualSize);
    m_dwOverDockStyle = 0;
    Stretch(pt);
    Track();
}

// The bar is asked for the length the mouse gives along the dragged edge
// (its width for a left or right edge or a corner, else its height) and
// answers with the size it takes; the edges opposite the dragged ones stay.
void CDockContext::Stretch(CPoint pt)
{
    CSize offset = pt - m_ptLast;
    bool bLeft = m_nHitTest == HTLEFT || m_nHitTest == HTTOPLEFT || m_nHitTest == HTBOTTOMLEFT;
    bool bRight = m_nHitTest == HTRIGHT || m_nHitTest == HTTOPRIGHT || m_nHitTest == HTBOTTOMRIGHT;
    bool bTop = m_nHitTest == HTTOP || m_nHitTest == HTTOPLEFT || m_nHitTest == HTTOPRIGHT;
    bool bBottom = m_nHitTest == HTBOTTOM || m_nHitTest == HTBOTTOMLEFT || m_nHitTest == HTBOTTOMRIGHT;
    if (bLeft)
        m_rectRequestedSize.left += offset.cx;
    if (bRight)
        m_rectRequestedSize.right += offset.cx;
    if (bTop)
        m_rectRequestedSize.top += offset.cy;
    if (bBottom)
        m_rectRequestedSize.bottom += offset.cy;

    DWORD dwMode = LM_HORZ;
    int nLength = m_rectRequestedSize.Width();
    if (!bLeft && !bRight)
    {
        dwMode |= LM_LENGTHY;
        nLength = m_rectRequestedSize.Height();
    }
    CSize size = m_pBar->CalcDynamicLayout(std::max(nLength, 0), dwMode);
    if (bLeft)
        m_rectActualSize.left = m_rectActualSize.right - size.cx;
    else
        m_rectActualSize.right = m_rectActualSize.left + size.cx;
    if (bTop)
        m_rectActualSize.top = m_rectActualSize.bottom - size.cy;
    else
        m_rectActualSize.bottom = m_rectActualSize.top + size.cy;
    m_rectActualFrameSize = FloatingFrameRect(m_rectActualSize);
    m_ptLast = pt;
    DrawFocusRect();
}

void CDockContext::EndResize()
{
    CancelLoop();
    m_pBar->CalcDynamicLayout(m_rectActualSize.Width(), LM_HORZ | LM_COMMIT);
    m_pDockSite->FloatControlBar(m_pBar, m_rectActualFrameSize.TopLeft(),
                                 CBRS_ALIGN_TOP | CBRS_SIZE_DYNAMIC | (m_dwDockStyle & CBRS_FLOAT_MULTI));
}

// --------------------------------------------------------------- toggling

void CDockContext::ToggleDocking()
{
    m_pDockSite = m_pBar->GetDockingFrame();
    if (m_pBar->IsFloating())
    {
        if (!(m_pBar->m_dwDockStyle & CBRS_ALIGN_ANY))
            return;
        CDockBar* pDockBar = NULL;
        if (m_uMRUDockID != 0)
        {
            CControlBar* pSide = m_pDockSite->GetControlBar(m_uMRUDockID);
            if (pSide != NULL && pSide->IsKindOf(RUNTIME_CLASS(CDockBar)))
                pDockBar = (CDockBar*)pSide;
        }
        if (pDockBar != NULL)
        {
            CRect rect(m_rectMRUDockPos);
            pDockBar->ClientToScreen(&rect);
            m_pDockSite->ReDockControlBar(m_pBar, pDockBar, &rect);
        }
        else
        {
            m_pDockSite->ReDockControlBar(m_pBar, NULL, NULL);
        }
        m_pDockSite->RecalcLayout();
        return;
    }
    CPoint ptFloat = m_ptMRUFloatPos;
    if (ptFloat.x < 0 || ptFloat.y < 0)
    {
        // Never floated: float where the bar stands.
        CRect rect;
        m_pBar->GetWindowRect(&rect);
        ptFloat = FloatingFrameRect(rect).TopLeft();
    }
    m_pDockSite->FloatControlBar(m_pBar, ptFloat, m_dwMRUFloatStyle);
}
