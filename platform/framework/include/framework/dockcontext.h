// The drag-and-dock tracker of a control bar. Every bar that allows docking
// (CControlBar::EnableDocking) owns one; the bar deletes it.
//
// A drag (StartDrag, from a button press on the bar or on a floating
// frame's caption) runs a modal mouse loop (Track) that draws an outline on
// the desktop while desktop window updates are locked: a thin outline where
// the bar would dock, a thick half-tone frame where it would float. Button
// up docks or floats the bar through its dock site (EndDrag); Escape, the
// right button, WM_QUIT or a lost capture cancel and leave the bar where it
// was. Ctrl held keeps the bar floating; Shift flips its orientation.
// A resize (StartResize, from a floating frame's border) runs the same loop
// and gives the bar the length the mouse asks for (Stretch).
// Coordinates are screen coordinates. Everything runs on the bar's thread.
#pragma once

#include <framework/gdi.h>
#include <framework/wnd.h>

class CControlBar;
class CDockBar;
class CFrameWnd;

class CDockContext
{
public:
    explicit CDockContext(CControlBar* pBar);
    virtual ~CDockContext();

    virtual void StartDrag(CPoint pt);
    virtual void StartResize(int nHitTest, CPoint pt);
    // Docks a floating bar where it was last docked, floats a docked bar
    // where it last floated (or where it stands, the first time).
    virtual void ToggleDocking();

    // The loop and its steps; tests drive them directly.
    void InitLoop();
    void CancelLoop();
    // FALSE when the loop was cancelled or another window held the capture.
    BOOL Track();
    void Move(CPoint pt);
    void EndDrag();
    void Stretch(CPoint pt);
    void EndResize();
    void OnKey(int nChar, BOOL bDown);
    // The CBRS_ALIGN_* side of the dock bar under the drag rectangles, or 0.
    DWORD CanDock();
    CDockBar* GetDockBar(DWORD dwOverDockStyle);
    void DrawFocusRect(BOOL bRemoveRect = FALSE);

    // Drag state.
    CPoint m_ptLast;
    CRect m_rectLast;       // outline drawn last
    CSize m_sizeLast;       // its edge thickness
    BOOL m_bDitherLast;     // drawn half-toned
    CRect m_rectDragHorz;   // the bar docked horizontally
    CRect m_rectDragVert;   // the bar docked vertically
    CRect m_rectFrameDragHorz;  // the floating frame, horizontal
    CRect m_rectFrameDragVert;  // the floating frame, vertical
    // Resize state: the size asked for, the bar's answer and its frame.
    CRect m_rectRequestedSize;
    CRect m_rectActualSize;
    CRect m_rectActualFrameSize;

    CControlBar* m_pBar;
    CFrameWnd* m_pDockSite;
    DWORD m_dwDockStyle;      // the bar's dock style at the start
    DWORD m_dwOverDockStyle;  // side under the mouse, 0 over no dock bar
    DWORD m_dwStyle;          // the bar's CBRS_ALIGN_* bits at the start
    BOOL m_bFlip;             // Shift: the other orientation
    BOOL m_bForceFrame;       // Ctrl: float, never dock
    CDC* m_pDC;               // desktop DC while a loop runs
    BOOL m_bDragging;         // a drag (not a resize) runs
    int m_nHitTest;           // border being dragged by a resize

    // Where the bar docked and floated last; saved with the bar state.
    UINT m_uMRUDockID;        // AFX_IDW_DOCKBAR_* of the frame, 0 for none
    CRect m_rectMRUDockPos;   // in that dock bar's client coordinates
    DWORD m_dwMRUFloatStyle;
    CPoint m_ptMRUFloatPos;   // (-1, -1): not floated yet

private:
    void UpdateState(BOOL* pFlag, BOOL bNewValue);
    // Moves rect so that pt lies inside it.
    static void BringPointInside(CRect& rect, CPoint pt);
    CDockContext(const CDockContext&) = delete;
    CDockContext& operator=(const CDockContext&) = delete;
};
