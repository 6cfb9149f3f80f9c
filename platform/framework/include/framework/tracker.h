// CRectTracker: a rectangle with a border and eight resize handles that the
// user moves or resizes with the mouse.
//
// m_rect is in the client coordinates of the window the tracker is drawn
// in. Handles lie inside the rectangle (resizeInside) or around it
// (resizeOutside); a hatched border is as thick as a handle. HitTest tells
// which part of the drawn tracker a point is on, as the user sees it (an
// inverted rectangle counts by its normalised form).
// Track and TrackRubberBand run a modal mouse loop until the left button
// is released (TRUE when the rectangle changed) or Escape, the right
// button or a lost capture cancels (FALSE, m_rect as it was). They draw a
// drag outline, clipped to pWndClipTo when given. GUI thread only.
#pragma once

#include <framework/gdi.h>
#include <framework/wnd.h>

class CRectTracker
{
public:
    enum StyleFlags
    {
        solidLine = 1,
        dottedLine = 2,
        hatchedBorder = 4,
        resizeInside = 8,
        resizeOutside = 16,
        hatchInside = 32,
    };
    enum TrackerHit
    {
        hitNothing = -1,
        hitTopLeft = 0,
        hitTopRight = 1,
        hitBottomRight = 2,
        hitBottomLeft = 3,
        hitTop = 4,
        hitRight = 5,
        hitBottom = 6,
        hitLeft = 7,
        hitMiddle = 8,
    };

    CRectTracker();
    CRectTracker(LPCRECT lpSrcRect, UINT nStyle);
    virtual ~CRectTracker() {}

    UINT m_nStyle;
    CRect m_rect;
    CSize m_sizeMin;     // smallest size a resize leaves
    int m_nHandleSize;

    void Draw(CDC* pDC) const;
    // The rectangle the tracker covers, handles and border included.
    void GetTrueRect(LPRECT lpTrueRect) const;
    // Sets the cursor for the part under the mouse; FALSE off the tracker.
    BOOL SetCursor(CWnd* pWnd, UINT nHitTest) const;
    int HitTest(CPoint point) const;
    // The handle of m_rect as stored that nHandle (as seen) stands for.
    int NormalizeHit(int nHandle) const;
    BOOL Track(CWnd* pWnd, CPoint point, BOOL bAllowInvert = FALSE, CWnd* pWndClipTo = NULL);
    BOOL TrackRubberBand(CWnd* pWnd, CPoint point, BOOL bAllowInvert = TRUE);

    virtual void DrawTrackerRect(LPCRECT lpRect, CWnd* pWndClipTo, CDC* pDC, CWnd* pWnd);
    // Keeps a resized rectangle at least m_sizeMin (and uninverted unless allowed).
    virtual void AdjustRect(int nHandle, LPRECT lpRect);
    virtual void OnChangedRect(const CRect& rectOld) { (void)rectOld; }
    // Bit n set: handle n is shown (edge handles go on small rectangles).
    virtual UINT GetHandleMask() const;
    virtual int GetHandleSize(LPCRECT lpRect = NULL) const;

protected:
    BOOL m_bAllowInvert;
    CRect m_rectLast;
    CSize m_sizeLast;
    BOOL m_bFinalErase;  // the loop ends with this draw

    void GetHandleRect(int nHandle, CRect* pHandleRect) const;
    BOOL TrackHandle(int nHandle, CWnd* pWnd, CPoint point, CWnd* pWndClipTo);
};
