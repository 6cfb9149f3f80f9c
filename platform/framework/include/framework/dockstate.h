// The saved docking layout of a frame: one CControlBarInfo per control bar
// and per dock bar of the frame (floating frames' dock bars included), with
// the screen size it was saved on. CFrameWnd::GetDockState fills a state,
// SetDockState applies one; SaveBarState and LoadBarState keep it in the
// application profile.
//
// Forms:
// - Archive (Serialize): version (32-bit); with version 2 the screen size
//   (two 32-bit values); the record count (16-bit); the records. A record:
//   bar id, visible, floating, horizontal, position x and y (32-bit each);
//   with version 2 the most-recently-used width and the has-dock-context
//   flag, and with the flag the dock id, dock rectangle (four values),
//   float style and float position (two values); then the id count (16-bit)
//   and the ids (32-bit each). Versions other than 1 and 2 are refused.
// - Profile (SaveState, LoadState): section "<name>-Summary" with "Bars",
//   "ScreenCX" and "ScreenCY"; section "<name>-Bar<index>" per record with
//   "BarID", and only where they differ from the defaults "Visible" (0),
//   "Horz" and "Floating" (floating bars), "XPos", "YPos", "MRUWidth",
//   "Docking", "MRUDockID", "MRUDockLeftPos", "MRUDockTopPos",
//   "MRUDockRightPos", "MRUDockBottomPos", "MRUFloatStyle", "MRUFloatXPos",
//   "MRUFloatYPos", "Bars" and "Bar#<i>". A visible docked dock bar with no
//   bars is not written. Each save rewrites the sections it writes whole.
//
// A dock bar's ids are its entries from index 0 on: 0 for a row end, a
// bar's control id, or the id plus 0x10000 for a placeholder. Positions
// and dock rectangles are scaled from the saved screen to the current one
// when loaded (a position of (-1, -1) means none and is kept).
//
// Damaged input: loading fails as a whole (LoadState FALSE, Serialize
// throws CArchiveException) and leaves the state empty; counts are bounded
// by the 16-bit fields, a profile's "Bars" and sections must agree. A
// state that loads but names bars, dock bars or sides the frame does not
// have is refused by SetDockState as a whole, and the live layout stays.
#pragma once

#include <framework/arrays.h>
#include <framework/geometry.h>
#include <framework/object.h>

class CArchive;
class CControlBar;
class CDockState;

class CControlBarInfo
{
public:
    CControlBarInfo();

    // Profile form of one record; SaveState returns FALSE for a record it
    // leaves out, LoadState FALSE when the section has no bar id.
    BOOL SaveState(LPCTSTR lpszProfileName, int nIndex);
    BOOL LoadState(LPCTSTR lpszProfileName, int nIndex, CDockState* pDockState);
    void Serialize(CArchive& ar, CDockState* pDockState);

    UINT m_nBarID;
    BOOL m_bVisible;
    BOOL m_bFloating;
    BOOL m_bHorz;        // a floating dock bar's orientation
    BOOL m_bDockBar;
    CPoint m_pointPos;   // a docked bar in its dock bar; a floating dock bar on the screen
    int m_nMRUWidth;
    BOOL m_bDocking;     // the bar has a dock context: the MRU fields are set
    UINT m_uMRUDockID;
    CRect m_rectMRUDockPos;
    DWORD m_dwMRUFloatStyle;
    CPoint m_ptMRUFloatPos;
    CDWordArray m_arrBarID;  // a dock bar's entries
    CControlBar* m_pBar;     // while a state is applied
};

class CDockState : public CObject
{
    DECLARE_SERIAL(CDockState)
public:
    CDockState();
    ~CDockState();

    enum { kVersion = 2 };

    void Serialize(CArchive& ar) override;
    BOOL LoadState(LPCTSTR lpszProfileName);
    void SaveState(LPCTSTR lpszProfileName);
    void Clear();

    DWORD GetVersion() const { return m_dwVersion; }
    // The screen the state was saved on.
    CSize GetScreenSize() const { return m_sizeScreen; }
    void SetScreenSize(const CSize& size) { m_sizeScreen = size; }
    // From the saved screen to the current one.
    void ScalePoint(CPoint& pt) const;
    void ScaleRectPos(CRect& rect) const;

    CPtrArray m_arrBarInfo;  // CControlBarInfo*, owned
    DWORD m_dwVersion;

private:
    CSize m_sizeScreen;
};
