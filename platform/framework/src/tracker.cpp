#include <framework/tracker.h>

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>

namespace
{
const int kDefaultHandleSize = 4;
const int kHandleCount = 8;

// Where each handle sits on the rectangle (0 left or top, 1 middle, 2 right
// or bottom), which edges it moves, and its sizing cursor.
const struct
{
    int nX, nY;
    LPCTSTR cursor;
} kHandles[] = {
    { 0, 0, IDC_SIZENWSE },  // hitTopLeft
    { 2, 0, IDC_SIZENESW },  // hitTopRight
    { 2, 2, IDC_SIZENWSE },  // hitBottomRight
    { 0, 2, IDC_SIZENESW },  // hitBottomLeft
    { 1, 0, IDC_SIZENS },    // hitTop
    { 2, 1, IDC_SIZEWE },    // hitRight
    { 1, 2, IDC_SIZENS },    // hitBottom
    { 0, 1, IDC_SIZEWE },    // hitLeft
};

// The handle at the mirrored place along x and/or y.
int MirrorHandle(int nHandle, bool bMirrorX, bool bMirrorY)
{
    int nX = kHandles[nHandle].nX, nY = kHandles[nHandle].nY;
    if (bMirrorX)
        nX = 2 - nX;
    if (bMirrorY)
        nY = 2 - nY;
    for (int i = 0; i < kHandleCount; ++i)
    {
        if (kHandles[i].nX == nX && kHandles[i].nY == nY)
            return i;
    }
    return nHandle;
}

int Place(int nPos, LONG nNear, LONG nFar, int nSize)
{
    switch (nPos)
    {
    case 0:
        return nNear;
    case 1:
        return (nNear + nFar - nSize) / 2;
    default:
        return nFar - nSize;
    }
}
}  // namespace

CRectTracker::CRectTracker() : CRectTracker(CRect(0, 0, 0, 0), 0)
{
}

CRectTracker::CRectTracker(LPCRECT lpSrcRect, UINT nStyle)
    : m_nStyle(nStyle), m_rect(lpSrcRect), m_sizeMin(2 * kDefaultHandleSize, 2 * kDefaultHandleSize),
      m_nHandleSize(kDefaultHandleSize), m_bAllowInvert(FALSE), m_rectLast(0, 0, 0, 0), m_sizeLast(0, 0),
      m_bFinalErase(FALSE)
{
}

int CRectTracker::GetHandleSize(LPCRECT lpRect) const
{
    // Handles never take more than a third of a small rectangle.
    CRect rect(lpRect != NULL ? *lpRect : m_rect);
    rect.NormalizeRect();
    int nSize = m_nHandleSize;
    if (!(m_nStyle & resizeOutside))
        nSize = std::min(nSize, std::max(1, (int)std::min(rect.Width(), rect.Height()) / 3));
    return nSize;
}

UINT CRectTracker::GetHandleMask() const
{
    UINT mask = 0x0F;  // corners
    CRect rect(m_rect);
    rect.NormalizeRect();
    int nSize = 3 * GetHandleSize();
    if (rect.Width() > nSize)
        mask |= (1 << hitTop) | (1 << hitBottom);
    if (rect.Height() > nSize)
        mask |= (1 << hitLeft) | (1 << hitRight);
    return mask;
}

void CRectTracker::GetHandleRect(int nHandle, CRect* pHandleRect) const
{
    CRect rect(m_rect);
    rect.NormalizeRect();
    int nSize = GetHandleSize();
    if (m_nStyle & resizeOutside)
        rect.InflateRect(nSize, nSize);
    int x = Place(kHandles[nHandle].nX, rect.left, rect.right, nSize);
    int y = Place(kHandles[nHandle].nY, rect.top, rect.bottom, nSize);
    pHandleRect->SetRect(x, y, x + nSize, y + nSize);
}

void CRectTracker::GetTrueRect(LPRECT lpTrueRect) const
{
    CRect rect(m_rect);
    rect.NormalizeRect();
    if (m_nStyle & (resizeOutside | hatchedBorder))
    {
        int nSize = GetHandleSize();
        rect.InflateRect(nSize, nSize);
    }
    *lpTrueRect = rect;
}

int CRectTracker::HitTest(CPoint point) const
{
    CRect rectTrue;
    GetTrueRect(&rectTrue);
    if (!rectTrue.PtInRect(point))
        return hitNothing;
    if (m_nStyle & (resizeInside | resizeOutside))
    {
        UINT mask = GetHandleMask();
        for (int i = 0; i < kHandleCount; ++i)
        {
            CRect rectHandle;
            GetHandleRect(i, &rectHandle);
            if ((mask & (1 << i)) && rectHandle.PtInRect(point))
                return i;
        }
    }
    CRect rect(m_rect);
    rect.NormalizeRect();
    if (rect.PtInRect(point) || (m_nStyle & hatchedBorder))
        return hitMiddle;
    return hitNothing;
}

int CRectTracker::NormalizeHit(int nHandle) const
{
    if (nHandle < 0 || nHandle == hitMiddle)
        return nHandle;
    return MirrorHandle(nHandle, m_rect.right < m_rect.left, m_rect.bottom < m_rect.top);
}

BOOL CRectTracker::SetCursor(CWnd* pWnd, UINT nHitTest) const
{
    if (nHitTest != HTCLIENT)
        return FALSE;
    CPoint point;
    ::GetCursorPos(&point);
    pWnd->ScreenToClient(&point);
    int nHandle = HitTest(point);
    if (nHandle < 0)
        return FALSE;
    LPCTSTR cursor = nHandle == hitMiddle ? IDC_SIZEALL : kHandles[nHandle].cursor;
    ::SetCursor(::LoadCursor(NULL, cursor));
    return TRUE;
}

void CRectTracker::Draw(CDC* pDC) const
{
    CRect rect(m_rect);
    rect.NormalizeRect();
    int nSaved = pDC->SaveDC();
    pDC->SetMapMode(MM_TEXT);
    pDC->SetViewportOrg(0, 0);
    pDC->SetWindowOrg(0, 0);
    if (m_nStyle & (solidLine | dottedLine))
    {
        CPen pen(m_nStyle & dottedLine ? PS_DOT : PS_SOLID, 0, RGB(0, 0, 0));
        pDC->SelectObject(&pen);
        pDC->SelectStockObject(NULL_BRUSH);
        pDC->SetBkMode(TRANSPARENT);
        pDC->Rectangle(rect.left, rect.top, rect.right + 1, rect.bottom + 1);
        pDC->RestoreDC(nSaved);
        nSaved = pDC->SaveDC();
    }
    if (m_nStyle & (hatchInside | hatchedBorder))
    {
        CBrush hatch;
        hatch.CreateHatchBrush(HS_BDIAGONAL, RGB(0, 0, 0));
        pDC->SetBkMode(TRANSPARENT);
        pDC->SetBrushOrg(rect.left % 8, rect.top % 8);
        pDC->SelectStockObject(NULL_PEN);
        pDC->SelectObject(&hatch);
        if (m_nStyle & hatchInside)
            pDC->Rectangle(rect.left + 1, rect.top + 1, rect.right + 1, rect.bottom + 1);
        if (m_nStyle & hatchedBorder)
        {
            CRect rectTrue;
            GetTrueRect(&rectTrue);
            pDC->PatBlt(rectTrue.left, rectTrue.top, rectTrue.Width(), rect.top - rectTrue.top, 0x000F0001);
            pDC->PatBlt(rectTrue.left, rect.bottom, rectTrue.Width(), rectTrue.bottom - rect.bottom, 0x000F0001);
            pDC->PatBlt(rectTrue.left, rect.top, rect.left - rectTrue.left, rect.Height(), 0x000F0001);
            pDC->PatBlt(rect.right, rect.top, rectTrue.right - rect.right, rect.Height(), 0x000F0001);
        }
        pDC->RestoreDC(nSaved);
        nSaved = pDC->SaveDC();
    }
    if (m_nStyle & (resizeInside | resizeOutside))
    {
        UINT mask = GetHandleMask();
        for (int i = 0; i < kHandleCount; ++i)
        {
            if (!(mask & (1 << i)))
                continue;
            CRect rectHandle;
            GetHandleRect(i, &rectHandle);
            pDC->FillSolidRect(&rectHandle, RGB(0, 0, 0));
        }
    }
    pDC->RestoreDC(nSaved);
}

BOOL CRectTracker::Track(CWnd* pWnd, CPoint point, BOOL bAllowInvert, CWnd* pWndClipTo)
{
    int nHandle = HitTest(point);
    if (nHandle < 0)
        return FALSE;
    m_bAllowInvert = bAllowInvert;
    return TrackHandle(NormalizeHit(nHandle), pWnd, point, pWndClipTo);
}

BOOL CRectTracker::TrackRubberBand(CWnd* pWnd, CPoint point, BOOL bAllowInvert)
{
    m_bAllowInvert = bAllowInvert;
    m_rect.SetRect(point.x, point.y, point.x, point.y);
    return TrackHandle(hitBottomRight, pWnd, point, NULL);
}

void CRectTracker::AdjustRect(int nHandle, LPRECT lpRect)
{
    if (nHandle == hitMiddle)
        return;
    int nX = kHandles[nHandle].nX, nY = kHandles[nHandle].nY;
    // The moved edge gives way so that the size stays at least the minimum.
    auto keep = [&](int nPos, LONG& nNear, LONG& nFar, int nMin) {
        if (nPos == 1)
            return;
        LONG& nMoved = nPos == 0 ? nNear : nFar;
        LONG nFixed = nPos == 0 ? nFar : nNear;
        int nSign = nPos == 0 ? -1 : 1;  // the moved edge's side of the fixed one
        LONG nLength = (nMoved - nFixed) * nSign;
        if (nLength < 0 && !m_bAllowInvert)
            nLength = 0;
        if (std::abs(nLength) < nMin)
            nLength = nLength < 0 ? -nMin : nMin;
        nMoved = nFixed + nSign * nLength;
    };
    keep(nX, lpRect->left, lpRect->right, m_sizeMin.cx);
    keep(nY, lpRect->top, lpRect->bottom, m_sizeMin.cy);
}

void CRectTracker::DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd)
{
    CRect rect(lpRect);
    rect.NormalizeRect();
    if (pWndClipTo != NULL)
        pWnd->MapWindowPoints(pWndClipTo, &rect);
    CSize size(0, 0);
    if (!m_bFinalErase)
    {
        int nThickness = (m_nStyle & hatchedBorder) ? std::max(1, GetHandleSize(rect) - 1) : 1;
        size = CSize(nThickness, nThickness);
    }
    pDC->DrawDragRect(&rect, size, &m_rectLast, m_sizeLast);
    m_rectLast = rect;
    m_sizeLast = size;
}

BOOL CRectTracker::TrackHandle(int nHandle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo)
{
    if (::GetCapture() != NULL)
        return FALSE;
    pWnd->SetCapture();
    pWnd->UpdateWindow();
    if (pWndClipTo != NULL)
        pWndClipTo->UpdateWindow();
    CRect rectSave = m_rect;

    // The offset between the mouse and the edges it moves.
    bool bMoveAll = nHandle == hitMiddle;
    int nX = bMoveAll ? 0 : kHandles[nHandle].nX, nY = bMoveAll ? 0 : kHandles[nHandle].nY;
    LONG* px = nX == 0 ? &m_rect.left : nX == 2 ? &m_rect.right : NULL;
    LONG* py = nY == 0 ? &m_rect.top : nY == 2 ? &m_rect.bottom : NULL;
    CSize offset(px != NULL ? *px - point.x : 0, py != NULL ? *py - point.y : 0);
    CSize size = m_rect.Size();

    HWND hClip = pWndClipTo != NULL ? pWndClipTo->m_hWnd : pWnd->m_hWnd;
    HDC hDC = pWndClipTo != NULL ? ::GetDCEx(hClip, NULL, DCX_CACHE) : ::GetDC(hClip);
    CDC dc;
    dc.Attach(hDC);
    m_rectLast.SetRectEmpty();
    m_sizeLast = CSize(0, 0);
    m_bFinalErase = FALSE;
    BOOL bDone = FALSE, bCommitted = FALSE;
    while (!bDone && ::GetCapture() == pWnd->m_hWnd)
    {
        MSG msg;
        if (!::GetMessage(&msg, NULL, 0, 0))
        {
            ::PostQuitMessage((int)msg.wParam);
            break;
        }
        switch (msg.message)
        {
        case WM_LBUTTONUP:
        case WM_MOUSEMOVE:
        {
            CRect rectOld = m_rect;
            CPoint pt(GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam));
            if (px != NULL)
                *px = pt.x + offset.cx;
            if (py != NULL)
                *py = pt.y + offset.cy;
            if (bMoveAll)
            {
                m_rect.right = m_rect.left + size.cx;
                m_rect.bottom = m_rect.top + size.cy;
            }
            AdjustRect(nHandle, &m_rect);
            bDone = msg.message == WM_LBUTTONUP;
            if (m_rect != rectOld)
            {
                OnChangedRect(rectOld);
                DrawTrackerRect(&m_rect, pWndClipTo, &dc, pWnd);
            }
            bCommitted = bDone;
            break;
        }
        case WM_KEYDOWN:
            if (msg.wParam == VK_ESCAPE)
                bDone = TRUE;
            break;
        case WM_RBUTTONDOWN:
            bDone = TRUE;
            break;
        default:
            ::DispatchMessage(&msg);
            break;
        }
    }
    // The outline goes; a cancelled loop takes the rectangle back.
    m_bFinalErase = TRUE;
    DrawTrackerRect(&m_rect, pWndClipTo, &dc, pWnd);
    ::ReleaseDC(hClip, dc.Detach());
    if (::GetCapture() == pWnd->m_hWnd)
        ::ReleaseCapture();
    if (!bCommitted)
    {
        m_rect = rectSave;
        return FALSE;
    }
    return m_rect != rectSave;
}
