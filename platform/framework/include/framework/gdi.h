// Painting: GDI objects (CGdiObject and its pens, brushes, fonts, bitmaps,
// palettes and regions) and device contexts (CDC and the paint, client and
// window DCs).
//
// Handle maps work as for windows (wnd.h): an object that made or attached
// its handle is permanent until Detach or DeleteObject; FromHandle of any
// other handle gives a temporary that lives until the thread's next idle
// time. A CGdiObject deletes the handle it owns when it is destroyed.
// A CDC has an output DC (m_hDC, where drawing goes) and an attribute DC
// (m_hAttribDC, asked for metrics and current state); both are the same
// handle except in print previews and metafile recording. IsPrinting is TRUE
// for a DC that paints on paper, an enhanced metafile or a memory page
// standing in for one (SetPrinting).
#pragma once

#include <framework/cstring.h>
#include <framework/geometry.h>
#include <framework/object.h>

class CWnd;

class CGdiObject : public CObject
{
    DECLARE_DYNCREATE(CGdiObject)
public:
    CGdiObject() : m_hObject(NULL) {}
    virtual ~CGdiObject() { DeleteObject(); }

    HGDIOBJ m_hObject;
    operator HGDIOBJ() const { return this == NULL ? NULL : m_hObject; }
    HGDIOBJ GetSafeHandle() const { return this == NULL ? NULL : m_hObject; }

    static CGdiObject* FromHandle(HGDIOBJ hObject);
    static void DeleteTempMap();
    BOOL Attach(HGDIOBJ hObject);
    HGDIOBJ Detach();
    BOOL DeleteObject();
    int GetObject(int nCount, LPVOID lpObject) const { return ::GetObject(m_hObject, nCount, lpObject); }
    UINT GetObjectType() const { return ::GetObjectType(m_hObject); }
    BOOL CreateStockObject(int nIndex) { return Attach(::GetStockObject(nIndex)); }
};

class CPen : public CGdiObject
{
    DECLARE_DYNAMIC(CPen)
public:
    CPen() {}
    CPen(int nPenStyle, int nWidth, COLORREF crColor) { CreatePen(nPenStyle, nWidth, crColor); }
    operator HPEN() const { return (HPEN)GetSafeHandle(); }
    static CPen* FromHandle(HPEN hPen) { return (CPen*)CGdiObject::FromHandle(hPen); }
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF crColor)
    { return Attach(::CreatePen(nPenStyle, nWidth, crColor)); }
    BOOL CreatePenIndirect(LPLOGPEN lpLogPen) { return Attach(::CreatePenIndirect(lpLogPen)); }
};

class CBrush : public CGdiObject
{
    DECLARE_DYNAMIC(CBrush)
public:
    CBrush() {}
    explicit CBrush(COLORREF crColor) { CreateSolidBrush(crColor); }
    operator HBRUSH() const { return (HBRUSH)GetSafeHandle(); }
    static CBrush* FromHandle(HBRUSH hBrush) { return (CBrush*)CGdiObject::FromHandle(hBrush); }
    BOOL CreateSolidBrush(COLORREF crColor) { return Attach(::CreateSolidBrush(crColor)); }
    BOOL CreateHatchBrush(int nIndex, COLORREF crColor) { return Attach(::CreateHatchBrush(nIndex, crColor)); }
    BOOL CreatePatternBrush(class CBitmap* pBitmap);
    BOOL CreateSysColorBrush(int nIndex) { return Attach(::GetSysColorBrush(nIndex)); }
    BOOL CreateBrushIndirect(const LOGBRUSH* lpLogBrush) { return Attach(::CreateBrushIndirect(lpLogBrush)); }
};

class CFont : public CGdiObject
{
    DECLARE_DYNAMIC(CFont)
public:
    operator HFONT() const { return (HFONT)GetSafeHandle(); }
    static CFont* FromHandle(HFONT hFont) { return (CFont*)CGdiObject::FromHandle(hFont); }
    BOOL CreateFontIndirect(const LOGFONT* lpLogFont) { return Attach(::CreateFontIndirect(lpLogFont)); }
    // nPointSize in tenths of a point, for the screen or pDC.
    BOOL CreatePointFont(int nPointSize, LPCTSTR lpszFaceName, class CDC* pDC = NULL);
    BOOL CreateFont(int nHeight, int nWidth, int nEscapement, int nOrientation, int nWeight,
                    BYTE bItalic, BYTE bUnderline, BYTE cStrikeOut, BYTE nCharSet,
                    BYTE nOutPrecision, BYTE nClipPrecision, BYTE nQuality,
                    BYTE nPitchAndFamily, LPCTSTR lpszFacename)
    {
        return Attach(::CreateFont(nHeight, nWidth, nEscapement, nOrientation, nWeight, bItalic,
                                   bUnderline, cStrikeOut, nCharSet, nOutPrecision, nClipPrecision,
                                   nQuality, nPitchAndFamily, lpszFacename));
    }
    int GetLogFont(LOGFONT* pLogFont) const { return GetObject(sizeof(LOGFONT), pLogFont); }
};

class CBitmap : public CGdiObject
{
    DECLARE_DYNAMIC(CBitmap)
public:
    operator HBITMAP() const { return (HBITMAP)GetSafeHandle(); }
    static CBitmap* FromHandle(HBITMAP hBitmap) { return (CBitmap*)CGdiObject::FromHandle(hBitmap); }
    BOOL LoadBitmap(UINT nIDResource) { return LoadBitmap(MAKEINTRESOURCE(nIDResource)); }
    BOOL LoadBitmap(LPCTSTR lpszResourceName);
    BOOL LoadOEMBitmap(UINT nIDBitmap) { return Attach(::LoadBitmap(NULL, MAKEINTRESOURCE(nIDBitmap))); }
    BOOL CreateBitmap(int nWidth, int nHeight, UINT nPlanes, UINT nBitcount, const void* lpBits)
    { return Attach(::CreateBitmap(nWidth, nHeight, nPlanes, nBitcount, lpBits)); }
    BOOL CreateCompatibleBitmap(class CDC* pDC, int nWidth, int nHeight);
    BOOL CreateDiscardableBitmap(class CDC* pDC, int nWidth, int nHeight)
    { return CreateCompatibleBitmap(pDC, nWidth, nHeight); }
    int GetBitmap(BITMAP* pBitMap) const { return GetObject(sizeof(BITMAP), pBitMap); }
    CSize GetBitmapDimension() const;
    DWORD GetBitmapBits(DWORD dwCount, LPVOID lpBits) const { return ::GetBitmapBits((HBITMAP)m_hObject, dwCount, lpBits); }
    DWORD SetBitmapBits(DWORD dwCount, const void* lpBits) { return ::SetBitmapBits((HBITMAP)m_hObject, dwCount, lpBits); }
};

class CPalette : public CGdiObject
{
    DECLARE_DYNAMIC(CPalette)
public:
    operator HPALETTE() const { return (HPALETTE)GetSafeHandle(); }
    static CPalette* FromHandle(HPALETTE hPalette) { return (CPalette*)CGdiObject::FromHandle(hPalette); }
    BOOL CreatePalette(LPLOGPALETTE lpLogPalette) { return Attach(::CreatePalette(lpLogPalette)); }
    BOOL CreateHalftonePalette(class CDC* pDC);
    int GetEntryCount() const { WORD n = 0; GetObject(sizeof(n), &n); return n; }
    UINT GetPaletteEntries(UINT nStart, UINT nCount, LPPALETTEENTRY lpEntries) const
    { return ::GetPaletteEntries((HPALETTE)m_hObject, nStart, nCount, lpEntries); }
    UINT SetPaletteEntries(UINT nStart, UINT nCount, LPPALETTEENTRY lpEntries)
    { return ::SetPaletteEntries((HPALETTE)m_hObject, nStart, nCount, lpEntries); }
    UINT GetNearestPaletteIndex(COLORREF crColor) const { return ::GetNearestPaletteIndex((HPALETTE)m_hObject, crColor); }
};

class CRgn : public CGdiObject
{
    DECLARE_DYNAMIC(CRgn)
public:
    operator HRGN() const { return (HRGN)GetSafeHandle(); }
    static CRgn* FromHandle(HRGN hRgn) { return (CRgn*)CGdiObject::FromHandle(hRgn); }
    BOOL CreateRectRgn(int x1, int y1, int x2, int y2) { return Attach(::CreateRectRgn(x1, y1, x2, y2)); }
    BOOL CreateRectRgnIndirect(LPCRECT lpRect) { return Attach(::CreateRectRgnIndirect(lpRect)); }
    BOOL CreateEllipticRgn(int x1, int y1, int x2, int y2) { return Attach(::CreateEllipticRgn(x1, y1, x2, y2)); }
    BOOL CreateEllipticRgnIndirect(LPCRECT lpRect) { return Attach(::CreateEllipticRgnIndirect(lpRect)); }
    BOOL CreatePolygonRgn(const POINT* lpPoints, int nCount, int nMode)
    { return Attach(::CreatePolygonRgn(lpPoints, nCount, nMode)); }
    BOOL CreateRoundRectRgn(int x1, int y1, int x2, int y2, int x3, int y3)
    { return Attach(::CreateRoundRectRgn(x1, y1, x2, y2, x3, y3)); }
    // Combines two regions into this one (which must exist); returns the region type.
    int CombineRgn(const CRgn* pRgn1, const CRgn* pRgn2, int nCombineMode)
    { return ::CombineRgn((HRGN)m_hObject, (HRGN)pRgn1->GetSafeHandle(), (HRGN)pRgn2->GetSafeHandle(), nCombineMode); }
    int CopyRgn(const CRgn* pRgnSrc) { return ::CombineRgn((HRGN)m_hObject, (HRGN)pRgnSrc->GetSafeHandle(), NULL, RGN_COPY); }
    BOOL EqualRgn(const CRgn* pRgn) const { return ::EqualRgn((HRGN)m_hObject, (HRGN)pRgn->GetSafeHandle()); }
    int OffsetRgn(int x, int y) { return ::OffsetRgn((HRGN)m_hObject, x, y); }
    int GetRgnBox(LPRECT lpRect) const { return ::GetRgnBox((HRGN)m_hObject, lpRect); }
    BOOL PtInRegion(int x, int y) const { return ::PtInRegion((HRGN)m_hObject, x, y); }
    BOOL RectInRegion(LPCRECT lpRect) const { return ::RectInRegion((HRGN)m_hObject, lpRect); }
    void SetRectRgn(LPCRECT lpRect) { ::SetRectRgn((HRGN)m_hObject, lpRect->left, lpRect->top, lpRect->right, lpRect->bottom); }
};

class CDC : public CObject
{
    DECLARE_DYNCREATE(CDC)
public:
    CDC();
    virtual ~CDC();

    HDC m_hDC;        // output
    HDC m_hAttribDC;  // attributes and metrics
    operator HDC() const { return this == NULL ? NULL : m_hDC; }
    HDC GetSafeHdc() const { return this == NULL ? NULL : m_hDC; }

    static CDC* FromHandle(HDC hDC);
    static void DeleteTempMap();
    BOOL Attach(HDC hDC);
    HDC Detach();
    virtual void SetAttribDC(HDC hDC) { m_hAttribDC = hDC; }
    virtual void SetOutputDC(HDC hDC) { m_hDC = hDC; }
    virtual void ReleaseAttribDC() { m_hAttribDC = NULL; }
    virtual void ReleaseOutputDC() { m_hDC = NULL; }
    BOOL IsPrinting() const { return m_bPrinting; }
    void SetPrinting(BOOL bPrinting) { m_bPrinting = bPrinting; }
    CWnd* GetWindow() const;

    BOOL CreateDC(LPCTSTR lpszDriverName, LPCTSTR lpszDeviceName, LPCTSTR lpszOutput, const DEVMODE* lpInitData)
    { return Attach(::CreateDC(lpszDriverName, lpszDeviceName, lpszOutput, lpInitData)); }
    BOOL CreateCompatibleDC(CDC* pDC) { return Attach(::CreateCompatibleDC(pDC->GetSafeHdc())); }
    BOOL DeleteDC();
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int nSavedDC) { return ::RestoreDC(m_hDC, nSavedDC); }
    int GetDeviceCaps(int nIndex) const { return ::GetDeviceCaps(m_hAttribDC, nIndex); }

    // Selection. Select... returns the object that was selected before, as a
    // temporary when no permanent object owns it.
    CPen* SelectObject(CPen* pPen) { return (CPen*)SelectGdiObject(pPen->GetSafeHandle()); }
    CBrush* SelectObject(CBrush* pBrush) { return (CBrush*)SelectGdiObject(pBrush->GetSafeHandle()); }
    CFont* SelectObject(CFont* pFont) { return (CFont*)SelectGdiObject(pFont->GetSafeHandle()); }
    CBitmap* SelectObject(CBitmap* pBitmap) { return (CBitmap*)SelectGdiObject(pBitmap->GetSafeHandle()); }
    int SelectObject(CRgn* pRgn) { return (int)(INT_PTR)::SelectObject(m_hDC, pRgn->GetSafeHandle()); }
    CGdiObject* SelectObject(CGdiObject* pObject) { return SelectGdiObject(pObject->GetSafeHandle()); }
    CGdiObject* SelectStockObject(int nIndex) { return SelectGdiObject(::GetStockObject(nIndex)); }
    CPalette* SelectPalette(CPalette* pPalette, BOOL bForceBackground)
    { return CPalette::FromHandle(::SelectPalette(m_hDC, (HPALETTE)pPalette->GetSafeHandle(), bForceBackground)); }
    UINT RealizePalette() { return ::RealizePalette(m_hDC); }
    CFont* GetCurrentFont() const { return CFont::FromHandle((HFONT)::GetCurrentObject(m_hAttribDC, OBJ_FONT)); }
    CBitmap* GetCurrentBitmap() const { return CBitmap::FromHandle((HBITMAP)::GetCurrentObject(m_hDC, OBJ_BITMAP)); }

    // Attributes (set on both DCs, read from the attribute DC).
    COLORREF SetTextColor(COLORREF crColor);
    COLORREF SetBkColor(COLORREF crColor);
    int SetBkMode(int nBkMode);
    int SetROP2(int nDrawMode);
    int SetMapMode(int nMapMode);
    int SetStretchBltMode(int nStretchMode);
    UINT SetTextAlign(UINT nFlags);
    COLORREF GetTextColor() const { return ::GetTextColor(m_hAttribDC); }
    COLORREF GetBkColor() const { return ::GetBkColor(m_hAttribDC); }
    int GetBkMode() const { return ::GetBkMode(m_hAttribDC); }
    int GetROP2() const { return ::GetROP2(m_hAttribDC); }
    int GetMapMode() const { return ::GetMapMode(m_hAttribDC); }
    CPoint SetBrushOrg(int x, int y) { POINT p; ::SetBrushOrgEx(m_hDC, x, y, &p); return p; }
    CPoint SetBrushOrg(POINT p) { return SetBrushOrg(p.x, p.y); }

    // Mapping modes and coordinates.
    CPoint GetViewportOrg() const { POINT p; ::GetViewportOrgEx(m_hAttribDC, &p); return p; }
    CPoint SetViewportOrg(int x, int y);
    CPoint SetViewportOrg(POINT p) { return SetViewportOrg(p.x, p.y); }
    CPoint OffsetViewportOrg(int dx, int dy);
    CSize GetViewportExt() const { SIZE s; ::GetViewportExtEx(m_hAttribDC, &s); return s; }
    CSize SetViewportExt(int cx, int cy);
    CSize SetViewportExt(SIZE s) { return SetViewportExt(s.cx, s.cy); }
    CPoint GetWindowOrg() const { POINT p; ::GetWindowOrgEx(m_hAttribDC, &p); return p; }
    CPoint SetWindowOrg(int x, int y);
    CPoint SetWindowOrg(POINT p) { return SetWindowOrg(p.x, p.y); }
    CPoint OffsetWindowOrg(int dx, int dy);
    CSize GetWindowExt() const { SIZE s; ::GetWindowExtEx(m_hAttribDC, &s); return s; }
    CSize SetWindowExt(int cx, int cy);
    CSize SetWindowExt(SIZE s) { return SetWindowExt(s.cx, s.cy); }
    void DPtoLP(LPPOINT lpPoints, int nCount = 1) const { ::DPtoLP(m_hAttribDC, lpPoints, nCount); }
    void DPtoLP(LPRECT lpRect) const { ::DPtoLP(m_hAttribDC, (LPPOINT)lpRect, 2); }
    void DPtoLP(LPSIZE lpSize) const;
    void LPtoDP(LPPOINT lpPoints, int nCount = 1) const { ::LPtoDP(m_hAttribDC, lpPoints, nCount); }
    void LPtoDP(LPRECT lpRect) const { ::LPtoDP(m_hAttribDC, (LPPOINT)lpRect, 2); }
    void LPtoDP(LPSIZE lpSize) const;

    // Clipping.
    int GetClipBox(LPRECT lpRect) const { return ::GetClipBox(m_hDC, lpRect); }
    int SelectClipRgn(CRgn* pRgn) { return ::SelectClipRgn(m_hDC, (HRGN)pRgn->GetSafeHandle()); }
    int SelectClipRgn(CRgn* pRgn, int nMode) { return ::ExtSelectClipRgn(m_hDC, (HRGN)pRgn->GetSafeHandle(), nMode); }
    int ExcludeClipRect(int x1, int y1, int x2, int y2) { return ::ExcludeClipRect(m_hDC, x1, y1, x2, y2); }
    int ExcludeClipRect(LPCRECT r) { return ExcludeClipRect(r->left, r->top, r->right, r->bottom); }
    int IntersectClipRect(int x1, int y1, int x2, int y2) { return ::IntersectClipRect(m_hDC, x1, y1, x2, y2); }
    int IntersectClipRect(LPCRECT r) { return IntersectClipRect(r->left, r->top, r->right, r->bottom); }
    int OffsetClipRgn(int x, int y) { return ::OffsetClipRgn(m_hDC, x, y); }
    BOOL PtVisible(int x, int y) const { return ::PtVisible(m_hDC, x, y); }
    BOOL RectVisible(LPCRECT lpRect) const { return ::RectVisible(m_hDC, lpRect); }

    // Lines and shapes.
    CPoint MoveTo(int x, int y);
    CPoint MoveTo(POINT p) { return MoveTo(p.x, p.y); }
    BOOL LineTo(int x, int y);
    BOOL LineTo(POINT p) { return LineTo(p.x, p.y); }
    CPoint GetCurrentPosition() const { POINT p; ::GetCurrentPositionEx(m_hAttribDC, &p); return p; }
    BOOL Polyline(const POINT* lpPoints, int nCount) { return ::Polyline(m_hDC, lpPoints, nCount); }
    BOOL PolyPolyline(const POINT* lpPoints, const DWORD* lpCounts, int nCount)
    { return ::PolyPolyline(m_hDC, lpPoints, lpCounts, nCount); }
    BOOL PolyBezier(const POINT* lpPoints, int nCount) { return ::PolyBezier(m_hDC, lpPoints, nCount); }
    BOOL Polygon(const POINT* lpPoints, int nCount) { return ::Polygon(m_hDC, lpPoints, nCount); }
    BOOL PolyPolygon(const POINT* lpPoints, const INT* lpCounts, int nCount)
    { return ::PolyPolygon(m_hDC, lpPoints, lpCounts, nCount); }
    BOOL Rectangle(int x1, int y1, int x2, int y2) { return ::Rectangle(m_hDC, x1, y1, x2, y2); }
    BOOL Rectangle(LPCRECT r) { return Rectangle(r->left, r->top, r->right, r->bottom); }
    BOOL RoundRect(int x1, int y1, int x2, int y2, int x3, int y3) { return ::RoundRect(m_hDC, x1, y1, x2, y2, x3, y3); }
    BOOL RoundRect(LPCRECT r, POINT p) { return RoundRect(r->left, r->top, r->right, r->bottom, p.x, p.y); }
    BOOL Ellipse(int x1, int y1, int x2, int y2) { return ::Ellipse(m_hDC, x1, y1, x2, y2); }
    BOOL Ellipse(LPCRECT r) { return Ellipse(r->left, r->top, r->right, r->bottom); }
    BOOL Arc(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
    { return ::Arc(m_hDC, x1, y1, x2, y2, x3, y3, x4, y4); }
    BOOL Pie(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
    { return ::Pie(m_hDC, x1, y1, x2, y2, x3, y3, x4, y4); }
    BOOL Chord(int x1, int y1, int x2, int y2, int x3, int y3, int x4, int y4)
    { return ::Chord(m_hDC, x1, y1, x2, y2, x3, y3, x4, y4); }
    void FillRect(LPCRECT lpRect, CBrush* pBrush) { ::FillRect(m_hDC, lpRect, (HBRUSH)pBrush->GetSafeHandle()); }
    void FrameRect(LPCRECT lpRect, CBrush* pBrush) { ::FrameRect(m_hDC, lpRect, (HBRUSH)pBrush->GetSafeHandle()); }
    void InvertRect(LPCRECT lpRect) { ::InvertRect(m_hDC, lpRect); }
    BOOL FillRgn(CRgn* pRgn, CBrush* pBrush) { return ::FillRgn(m_hDC, (HRGN)pRgn->GetSafeHandle(), (HBRUSH)pBrush->GetSafeHandle()); }
    BOOL FrameRgn(CRgn* pRgn, CBrush* pBrush, int nWidth, int nHeight)
    { return ::FrameRgn(m_hDC, (HRGN)pRgn->GetSafeHandle(), (HBRUSH)pBrush->GetSafeHandle(), nWidth, nHeight); }
    BOOL InvertRgn(CRgn* pRgn) { return ::InvertRgn(m_hDC, (HRGN)pRgn->GetSafeHandle()); }
    BOOL PaintRgn(CRgn* pRgn) { return ::PaintRgn(m_hDC, (HRGN)pRgn->GetSafeHandle()); }
    void DrawFocusRect(LPCRECT lpRect) { ::DrawFocusRect(m_hDC, lpRect); }
    BOOL DrawEdge(LPRECT lpRect, UINT nEdge, UINT nFlags) { return ::DrawEdge(m_hDC, lpRect, nEdge, nFlags); }
    BOOL DrawFrameControl(LPRECT lpRect, UINT nType, UINT nState) { return ::DrawFrameControl(m_hDC, lpRect, nType, nState); }
    BOOL DrawIcon(int x, int y, HICON hIcon) { return ::DrawIcon(m_hDC, x, y, hIcon); }
    BOOL DrawIcon(POINT p, HICON hIcon) { return DrawIcon(p.x, p.y, hIcon); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF crColor) { return ::SetPixel(m_hDC, x, y, crColor); }
    // Solid fills and 3-D frames drawn with the background colour (which
    // FillSolidRect leaves set to clr).
    void FillSolidRect(LPCRECT lpRect, COLORREF clr);
    void FillSolidRect(int x, int y, int cx, int cy, COLORREF clr);
    void Draw3dRect(LPCRECT lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight);
    void Draw3dRect(int x, int y, int cx, int cy, COLORREF clrTopLeft, COLORREF clrBottomRight);
    // The tracking frame of a drag: XORs the frame of lpRect (size thick),
    // first removing the one at lpRectLast (sizeLast thick); pBrush NULL
    // uses a half-tone brush.
    void DrawDragRect(LPCRECT lpRect, SIZE size, LPCRECT lpRectLast, SIZE sizeLast,
                      CBrush* pBrush = NULL, CBrush* pBrushLast = NULL);
    static CBrush* GetHalftoneBrush();

    // Bitmaps and raster operations.
    BOOL PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop) { return ::PatBlt(m_hDC, x, y, nWidth, nHeight, dwRop); }
    BOOL BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop)
    { return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->GetSafeHdc(), xSrc, ySrc, dwRop); }
    BOOL StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                    int nSrcWidth, int nSrcHeight, DWORD dwRop)
    { return ::StretchBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->GetSafeHdc(), xSrc, ySrc, nSrcWidth, nSrcHeight, dwRop); }
    BOOL MaskBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc,
                 CBitmap& maskBitmap, int xMask, int yMask, DWORD dwRop)
    { return ::MaskBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->GetSafeHdc(), xSrc, ySrc, (HBITMAP)maskBitmap.m_hObject, xMask, yMask, dwRop); }
    int StretchDIBits(int x, int y, int nWidth, int nHeight, int xSrc, int ySrc, int nSrcWidth, int nSrcHeight,
                      const void* lpBits, const BITMAPINFO* lpBitsInfo, UINT iUsage, DWORD dwRop)
    { return ::StretchDIBits(m_hDC, x, y, nWidth, nHeight, xSrc, ySrc, nSrcWidth, nSrcHeight, lpBits, lpBitsInfo, iUsage, dwRop); }
    int SetDIBitsToDevice(int x, int y, DWORD nWidth, DWORD nHeight, int xSrc, int ySrc, UINT nStartScan,
                          UINT nNumScans, const void* lpBits, const BITMAPINFO* lpBitsInfo, UINT iUsage)
    { return ::SetDIBitsToDevice(m_hDC, x, y, nWidth, nHeight, xSrc, ySrc, nStartScan, nNumScans, lpBits, lpBitsInfo, iUsage); }

    // Text.
    BOOL TextOut(int x, int y, LPCTSTR lpszString, int nCount) { return ::TextOut(m_hDC, x, y, lpszString, nCount); }
    BOOL TextOut(int x, int y, const CString& str) { return TextOut(x, y, str, str.GetLength()); }
    BOOL ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, LPCTSTR lpszString, UINT nCount, LPINT lpDxWidths)
    { return ::ExtTextOut(m_hDC, x, y, nOptions, lpRect, lpszString, nCount, lpDxWidths); }
    int DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat)
    { return ::DrawText(m_hDC, lpszString, nCount, lpRect, nFormat); }
    int DrawText(const CString& str, LPRECT lpRect, UINT nFormat) { return DrawText(str, str.GetLength(), lpRect, nFormat); }
    CSize GetTextExtent(LPCTSTR lpszString, int nCount) const;
    CSize GetTextExtent(const CString& str) const { return GetTextExtent(str, str.GetLength()); }
    CSize GetOutputTextExtent(LPCTSTR lpszString, int nCount) const;
    CSize GetTabbedTextExtent(LPCTSTR lpszString, int nCount, int nTabPositions, LPINT lpnTabStopPositions) const
    { return CSize((DWORD)::GetTabbedTextExtent(m_hAttribDC, lpszString, nCount, nTabPositions, lpnTabStopPositions)); }
    CSize TabbedTextOut(int x, int y, LPCTSTR lpszString, int nCount, int nTabPositions, LPINT lpnTabStopPositions, int nTabOrigin)
    { return CSize((DWORD)::TabbedTextOut(m_hDC, x, y, lpszString, nCount, nTabPositions, lpnTabStopPositions, nTabOrigin)); }
    BOOL GetTextMetrics(LPTEXTMETRIC lpMetrics) const { return ::GetTextMetrics(m_hAttribDC, lpMetrics); }
    BOOL GetCharWidth(UINT nFirstChar, UINT nLastChar, LPINT lpBuffer) const
    { return ::GetCharWidth(m_hAttribDC, nFirstChar, nLastChar, lpBuffer); }
    BOOL GrayString(CBrush* pBrush, GRAYSTRINGPROC lpfnOutput, LPARAM lpData, int nCount, int x, int y, int nWidth, int nHeight)
    { return ::GrayString(m_hDC, (HBRUSH)pBrush->GetSafeHandle(), lpfnOutput, lpData, nCount, x, y, nWidth, nHeight); }

    // Printing.
    int StartDoc(LPDOCINFO lpDocInfo) { return ::StartDoc(m_hDC, lpDocInfo); }
    int StartPage() { return ::StartPage(m_hDC); }
    int EndPage() { return ::EndPage(m_hDC); }
    int EndDoc() { return ::EndDoc(m_hDC); }
    int AbortDoc() { return ::AbortDoc(m_hDC); }

protected:
    CGdiObject* SelectGdiObject(HGDIOBJ hObject);
    BOOL m_bPrinting;
};

// BeginPaint/EndPaint around a WM_PAINT handler.
class CPaintDC : public CDC
{
    DECLARE_DYNAMIC(CPaintDC)
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC();
    PAINTSTRUCT m_ps;
protected:
    HWND m_hWnd;
};

// The client area's DC (GetDC/ReleaseDC).
class CClientDC : public CDC
{
    DECLARE_DYNAMIC(CClientDC)
public:
    explicit CClientDC(CWnd* pWnd);
    ~CClientDC();
protected:
    HWND m_hWnd;
};

// The whole window's DC, frame included (GetWindowDC/ReleaseDC).
class CWindowDC : public CDC
{
    DECLARE_DYNAMIC(CWindowDC)
public:
    explicit CWindowDC(CWnd* pWnd);
    ~CWindowDC();
protected:
    HWND m_hWnd;
};
