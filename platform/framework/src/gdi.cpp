#include "handlemap.h"

IMPLEMENT_DYNCREATE(CGdiObject, CObject)
IMPLEMENT_DYNAMIC(CPen, CGdiObject)
IMPLEMENT_DYNAMIC(CBrush, CGdiObject)
IMPLEMENT_DYNAMIC(CFont, CGdiObject)
IMPLEMENT_DYNAMIC(CBitmap, CGdiObject)
IMPLEMENT_DYNAMIC(CPalette, CGdiObject)
IMPLEMENT_DYNAMIC(CRgn, CGdiObject)
IMPLEMENT_DYNCREATE(CDC, CObject)
IMPLEMENT_DYNAMIC(CPaintDC, CDC)
IMPLEMENT_DYNAMIC(CClientDC, CDC)
IMPLEMENT_DYNAMIC(CWindowDC, CDC)

// ---------------------------------------------------------------- GDI objects

CGdiObject* CGdiObject::FromHandle(HGDIOBJ hObject)
{
    return AfxGetWndState()->gdiObjects.FromHandle(hObject);
}

void CGdiObject::DeleteTempMap()
{
    AfxGetWndState()->gdiObjects.DeleteTemp();
}

BOOL CGdiObject::Attach(HGDIOBJ hObject)
{
    if (hObject == NULL)
        return FALSE;
    AfxWndState* pState = AfxGetWndState();
    pState->gdiObjects.Forget(hObject);
    m_hObject = hObject;
    pState->gdiObjects.SetPermanent(hObject, this);
    return TRUE;
}

HGDIOBJ CGdiObject::Detach()
{
    HGDIOBJ hObject = m_hObject;
    if (hObject != NULL)
    {
        AfxWndState* pState = AfxGetWndState();
        if (pState->gdiObjects.LookupPermanent(hObject) == this)
            pState->gdiObjects.RemovePermanent(hObject);
    }
    m_hObject = NULL;
    return hObject;
}

BOOL CGdiObject::DeleteObject()
{
    if (m_hObject == NULL)
        return FALSE;
    return ::DeleteObject(Detach());
}

BOOL CBrush::CreatePatternBrush(CBitmap* pBitmap)
{
    return Attach(::CreatePatternBrush((HBITMAP)pBitmap->GetSafeHandle()));
}

BOOL CFont::CreatePointFont(int nPointSize, LPCTSTR lpszFaceName, CDC* pDC)
{
    LOGFONT lf = {};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpyn(lf.lfFaceName, lpszFaceName, LF_FACESIZE);
    HDC hDC = pDC != NULL ? pDC->m_hAttribDC : ::GetDC(NULL);
    // Tenths of a point to logical units of the DC.
    POINT pt = { 0, ::MulDiv(::GetDeviceCaps(hDC, LOGPIXELSY), nPointSize, 720) };
    POINT ptOrg = { 0, 0 };
    ::DPtoLP(hDC, &pt, 1);
    ::DPtoLP(hDC, &ptOrg, 1);
    lf.lfHeight = -abs(pt.y - ptOrg.y);
    if (pDC == NULL)
        ::ReleaseDC(NULL, hDC);
    return CreateFontIndirect(&lf);
}

BOOL CBitmap::LoadBitmap(LPCTSTR lpszResourceName)
{
    return Attach(::LoadBitmap(AfxGetResourceHandle(), lpszResourceName));
}

BOOL CBitmap::CreateCompatibleBitmap(CDC* pDC, int nWidth, int nHeight)
{
    return Attach(::CreateCompatibleBitmap(pDC->GetSafeHdc(), nWidth, nHeight));
}

CSize CBitmap::GetBitmapDimension() const
{
    SIZE size = { 0, 0 };
    ::GetBitmapDimensionEx((HBITMAP)m_hObject, &size);
    return size;
}

BOOL CPalette::CreateHalftonePalette(CDC* pDC)
{
    return Attach(::CreateHalftonePalette(pDC->GetSafeHdc()));
}

// ---------------------------------------------------------------- CDC

CDC::CDC() : m_hDC(NULL), m_hAttribDC(NULL), m_bPrinting(FALSE)
{
}

CDC::~CDC()
{
    if (m_hDC != NULL)
        DeleteDC();
}

CDC* CDC::FromHandle(HDC hDC)
{
    return AfxGetWndState()->dcs.FromHandle(hDC);
}

void CDC::DeleteTempMap()
{
    AfxGetWndState()->dcs.DeleteTemp();
}

BOOL CDC::Attach(HDC hDC)
{
    if (hDC == NULL)
        return FALSE;
    AfxWndState* pState = AfxGetWndState();
    pState->dcs.Forget(hDC);
    m_hDC = m_hAttribDC = hDC;
    pState->dcs.SetPermanent(hDC, this);
    return TRUE;
}

HDC CDC::Detach()
{
    HDC hDC = m_hDC;
    if (hDC != NULL)
    {
        AfxWndState* pState = AfxGetWndState();
        if (pState->dcs.LookupPermanent(hDC) == this)
            pState->dcs.RemovePermanent(hDC);
    }
    m_hDC = m_hAttribDC = NULL;
    return hDC;
}

BOOL CDC::DeleteDC()
{
    if (m_hDC == NULL)
        return FALSE;
    return ::DeleteDC(Detach());
}

CWnd* CDC::GetWindow() const
{
    return CWnd::FromHandle(::WindowFromDC(m_hDC));
}

CGdiObject* CDC::SelectGdiObject(HGDIOBJ hObject)
{
    HGDIOBJ hOld = NULL;
    if (m_hDC != m_hAttribDC && m_hDC != NULL)
        hOld = ::SelectObject(m_hDC, hObject);
    if (m_hAttribDC != NULL)
        hOld = ::SelectObject(m_hAttribDC, hObject);
    return CGdiObject::FromHandle(hOld);
}

// Attribute setters change both DCs and answer from the attribute DC.
#define AFX_BOTH_DCS(call_out, call_attr, type) \
    type result = 0; \
    if (m_hDC != m_hAttribDC && m_hDC != NULL) result = call_out; \
    if (m_hAttribDC != NULL) result = call_attr; \
    return result;

COLORREF CDC::SetTextColor(COLORREF c) { AFX_BOTH_DCS(::SetTextColor(m_hDC, c), ::SetTextColor(m_hAttribDC, c), COLORREF) }
COLORREF CDC::SetBkColor(COLORREF c) { AFX_BOTH_DCS(::SetBkColor(m_hDC, c), ::SetBkColor(m_hAttribDC, c), COLORREF) }
int CDC::SetBkMode(int n) { AFX_BOTH_DCS(::SetBkMode(m_hDC, n), ::SetBkMode(m_hAttribDC, n), int) }
int CDC::SetROP2(int n) { AFX_BOTH_DCS(::SetROP2(m_hDC, n), ::SetROP2(m_hAttribDC, n), int) }
int CDC::SetMapMode(int n) { AFX_BOTH_DCS(::SetMapMode(m_hDC, n), ::SetMapMode(m_hAttribDC, n), int) }
int CDC::SetStretchBltMode(int n) { AFX_BOTH_DCS(::SetStretchBltMode(m_hDC, n), ::SetStretchBltMode(m_hAttribDC, n), int) }
UINT CDC::SetTextAlign(UINT n) { AFX_BOTH_DCS(::SetTextAlign(m_hDC, n), ::SetTextAlign(m_hAttribDC, n), UINT) }

#define AFX_BOTH_DCS_POINT(fn, a, b, T) \
    T result; \
    if (m_hDC != m_hAttribDC && m_hDC != NULL) fn(m_hDC, a, b, &result); \
    if (m_hAttribDC != NULL) fn(m_hAttribDC, a, b, &result); \
    return result;

CPoint CDC::SetViewportOrg(int x, int y) { AFX_BOTH_DCS_POINT(::SetViewportOrgEx, x, y, POINT) }
CPoint CDC::OffsetViewportOrg(int x, int y) { AFX_BOTH_DCS_POINT(::OffsetViewportOrgEx, x, y, POINT) }
CSize CDC::SetViewportExt(int x, int y) { AFX_BOTH_DCS_POINT(::SetViewportExtEx, x, y, SIZE) }
CPoint CDC::SetWindowOrg(int x, int y) { AFX_BOTH_DCS_POINT(::SetWindowOrgEx, x, y, POINT) }
CPoint CDC::OffsetWindowOrg(int x, int y) { AFX_BOTH_DCS_POINT(::OffsetWindowOrgEx, x, y, POINT) }
CSize CDC::SetWindowExt(int x, int y) { AFX_BOTH_DCS_POINT(::SetWindowExtEx, x, y, SIZE) }

CPoint CDC::MoveTo(int x, int y) { AFX_BOTH_DCS_POINT(::MoveToEx, x, y, POINT) }

BOOL CDC::LineTo(int x, int y)
{
    if (m_hAttribDC != NULL && m_hAttribDC != m_hDC)
        ::MoveToEx(m_hAttribDC, x, y, NULL);
    return ::LineTo(m_hDC, x, y);
}

void CDC::DPtoLP(LPSIZE lpSize) const
{
    POINT pts[2] = { { 0, 0 }, { lpSize->cx, lpSize->cy } };
    ::DPtoLP(m_hAttribDC, pts, 2);
    lpSize->cx = pts[1].x - pts[0].x;
    lpSize->cy = pts[1].y - pts[0].y;
}

void CDC::LPtoDP(LPSIZE lpSize) const
{
    POINT pts[2] = { { 0, 0 }, { lpSize->cx, lpSize->cy } };
    ::LPtoDP(m_hAttribDC, pts, 2);
    lpSize->cx = pts[1].x - pts[0].x;
    lpSize->cy = pts[1].y - pts[0].y;
}

CSize CDC::GetTextExtent(LPCTSTR lpszString, int nCount) const
{
    SIZE size = { 0, 0 };
    ::GetTextExtentPoint32(m_hAttribDC, lpszString, nCount, &size);
    return size;
}

CSize CDC::GetOutputTextExtent(LPCTSTR lpszString, int nCount) const
{
    SIZE size = { 0, 0 };
    ::GetTextExtentPoint32(m_hDC, lpszString, nCount, &size);
    return size;
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr)
{
    ::SetBkColor(m_hDC, clr);
    ::ExtTextOut(m_hDC, 0, 0, ETO_OPAQUE, lpRect, NULL, 0, NULL);
}

void CDC::FillSolidRect(int x, int y, int cx, int cy, COLORREF clr)
{
    RECT rect = { x, y, x + cx, y + cy };
    FillSolidRect(&rect, clr);
}

void CDC::Draw3dRect(LPCRECT lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight)
{
    Draw3dRect(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top,
               clrTopLeft, clrBottomRight);
}

void CDC::Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight)
{
    FillSolidRect(x, y, cx - 1, 1, clrTopLeft);
    FillSolidRect(x, y, 1, cy - 1, clrTopLeft);
    FillSolidRect(x + cx, y, -1, cy, clrBottomRight);
    FillSolidRect(x, y + cy, cx, -1, clrBottomRight);
}

CBrush* CDC::GetHalftoneBrush()
{
    // One per process: an 8x8 checkerboard made once and kept.
    static HBRUSH hBrush = []() {
        WORD pattern[8];
        for (int i = 0; i < 8; ++i)
            pattern[i] = (WORD)(0x5555 << (i & 1));
        HBITMAP hBitmap = ::CreateBitmap(8, 8, 1, 1, pattern);
        HBRUSH h = ::CreatePatternBrush(hBitmap);
        ::DeleteObject(hBitmap);
        return h;
    }();
    return CBrush::FromHandle(hBrush);
}

void CDC::DrawDragRect(LPCRECT lpRect, SIZE size, LPCRECT lpRectLast, SIZE sizeLast,
                       CBrush* pBrush, CBrush* pBrushLast)
{
    // The visible frame: the outer rectangle less the inner one.
    CRgn rgnNew, rgnOutside, rgnInside;
    rgnOutside.CreateRectRgnIndirect(lpRect);
    CRect rect(lpRect);
    rect.InflateRect(-size.cx, -size.cy);
    rect.IntersectRect(&rect, lpRect);
    rgnInside.CreateRectRgnIndirect(&rect);
    rgnNew.CreateRectRgn(0, 0, 0, 0);
    rgnNew.CombineRgn(&rgnOutside, &rgnInside, RGN_XOR);

    if (pBrush == NULL)
        pBrush = GetHalftoneBrush();
    if (pBrushLast == NULL)
        pBrushLast = pBrush;

    CRgn rgnLast, rgnUpdate;
    if (lpRectLast != NULL)
    {
        rgnLast.CreateRectRgn(0, 0, 0, 0);
        rgnOutside.SetRectRgn(lpRectLast);
        rect = lpRectLast;
        rect.InflateRect(-sizeLast.cx, -sizeLast.cy);
        rect.IntersectRect(&rect, lpRectLast);
        rgnInside.SetRectRgn(&rect);
        rgnLast.CombineRgn(&rgnOutside, &rgnInside, RGN_XOR);
        // With one brush only the difference needs painting.
        if (pBrush->m_hObject == pBrushLast->m_hObject)
        {
            rgnUpdate.CreateRectRgn(0, 0, 0, 0);
            rgnUpdate.CombineRgn(&rgnLast, &rgnNew, RGN_XOR);
        }
    }

    CRect rectBox;
    if (pBrush->m_hObject != pBrushLast->m_hObject && lpRectLast != NULL)
    {
        // Erase the old frame with its own brush first.
        SelectClipRgn(&rgnLast);
        GetClipBox(&rectBox);
        CBrush* pOld = SelectObject(pBrushLast);
        PatBlt(rectBox.left, rectBox.top, rectBox.Width(), rectBox.Height(), PATINVERT);
        SelectObject(pOld);
    }
    SelectClipRgn(rgnUpdate.m_hObject != NULL ? &rgnUpdate : &rgnNew);
    GetClipBox(&rectBox);
    CBrush* pOld = SelectObject(pBrush);
    PatBlt(rectBox.left, rectBox.top, rectBox.Width(), rectBox.Height(), PATINVERT);
    SelectObject(pOld);
    SelectClipRgn(NULL);
}

// ---------------------------------------------------------------- window DCs

CPaintDC::CPaintDC(CWnd* pWnd) : m_hWnd(pWnd->m_hWnd)
{
    Attach(::BeginPaint(m_hWnd, &m_ps));
}

CPaintDC::~CPaintDC()
{
    Detach();
    ::EndPaint(m_hWnd, &m_ps);
}

CClientDC::CClientDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd())
{
    Attach(::GetDC(m_hWnd));
}

CClientDC::~CClientDC()
{
    ::ReleaseDC(m_hWnd, Detach());
}

CWindowDC::CWindowDC(CWnd* pWnd) : m_hWnd(pWnd->GetSafeHwnd())
{
    Attach(::GetWindowDC(m_hWnd));
}

CWindowDC::~CWindowDC()
{
    ::ReleaseDC(m_hWnd, Detach());
}
