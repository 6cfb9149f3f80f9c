// Control bars and dock bars: windows that sit along the edges of a frame
// and take their place in the frame's layout.
//
// Layout protocol: CWnd::RepositionBars sends WM_SIZEPARENT to each child
// in an id range with one AFX_SIZEPARENTPARAMS. Each visible bar takes its
// strip from an edge of the rectangle and shrinks the rectangle; what is
// left goes to the pane window (AFX_IDW_PANE_FIRST). With hDWP NULL the
// round is a query: nothing moves, only the rectangle and sizeTotal change.
//
// Dock bars hold their bars in rows in m_arrBars: entry 0 is NULL, each row
// is a run of entries ended by NULL. An entry is a bar, or a placeholder:
// the control id (below 0x10000) of a bar that left, kept where it stood so
// that docking it again without a rectangle puts it back there.
//
// Every bar belongs to its docking frame's m_listControlBars from WM_CREATE
// to WM_DESTROY (a floating frame's dock bar to the frame it floats for).
// A bar that allows docking owns a CDockContext: pressing the bar drags
// it, a double click docks or floats it. Bars are used on the thread that
// made them only.
#pragma once

#include <framework/framemsg.h>
#include <framework/wnd.h>
#include <framework/arrays.h>

class CFrameWnd;
class CDockBar;
class CDockContext;
class CControlBarInfo;

struct AFX_SIZEPARENTPARAMS
{
    HDWP hDWP;       // NULL: a layout query
    RECT rect;       // the rectangle still free
    SIZE sizeTotal;  // the bars' summed thickness (and largest length)
    BOOL bStretch;   // bars stretch to the full length of their edge
};

class CControlBar : public CWnd
{
    DECLARE_DYNAMIC(CControlBar)
public:
    CControlBar();
    ~CControlBar();

    // Bar styles are the CBRS_* bits of the style passed to creation.
    void SetBarStyle(DWORD dwStyle);
    DWORD GetBarStyle() const { return m_dwStyle; }
    // Allows docking on the CBRS_ALIGN_* sides of dwDockStyle (0: none);
    // makes the bar's dock context the first time it is allowed.
    void EnableDocking(DWORD dwDockStyle);
    BOOL IsFloating() const;
    // Visible now, or about to be shown by a delayed show.
    BOOL IsVisible() const;
    CFrameWnd* GetDockingFrame() const;

    // The bar's size docked along a horizontal (bHorz) or vertical edge.
    virtual CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz);
    // The size for nLength along the bar (-1: its own) under LM_* mode bits.
    virtual CSize CalcDynamicLayout(int nLength, DWORD nMode);
    // Shrinks rect from the client rectangle to the part inside the borders.
    void CalcInsideRect(CRect& rect, BOOL bHorz) const;
    // Paints the borders of CBRS_BORDER_* and moves rect inside them.
    void DrawBorders(CDC* pDC, CRect& rect);
    virtual void DoPaint(CDC* pDC);
    // Updates the bar's items from pTarget's command-UI handlers at idle.
    virtual void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler);

    // Show or hide at the frame's next layout instead of at once.
    void DelayShow(BOOL bShow);
    // Applies a pending delayed show or hide (unless querying); returns the
    // style the layout should see (WS_VISIBLE as it will be).
    DWORD RecalcDelayShow(AFX_SIZEPARENTPARAMS* lpLayout);

    // The bar's part of a saved layout (dockstate.h).
    virtual void GetBarInfo(CControlBarInfo* pInfo);
    virtual void SetBarInfo(CControlBarInfo* pInfo, CFrameWnd* pFrameWnd);

    INT_PTR OnToolHitTest(CPoint point, TOOLINFO* pTI) const override;
    void PostNcDestroy() override;

    // Bars carry the window class "AfxControlBar42", registered on first use.
    static LPCTSTR RegisterBarClass();

    int m_cxLeftBorder, m_cxRightBorder;
    int m_cyTopBorder, m_cyBottomBorder;
    int m_nMRUWidth;          // most recently used floating width
    DWORD m_dwStyle;          // CBRS_* bits
    DWORD m_dwDockStyle;      // sides it may dock on
    CFrameWnd* m_pDockSite;   // the frame that docks it
    CDockBar* m_pDockBar;     // the dock bar holding it, or NULL
    CDockContext* m_pDockContext;  // owned; NULL until docking is enabled
    BOOL m_bAutoDelete;       // delete the object when its window goes
    enum { delayHide = 1, delayShow = 2 };
    UINT m_nStateFlags;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    afx_msg int OnCreate(LPCREATESTRUCT lpcs);
    afx_msg void OnDestroy();
    afx_msg void OnPaint();
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
    afx_msg LRESULT OnSizeParent(WPARAM, LPARAM lParam);
    afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM wParam, LPARAM);
    DECLARE_MESSAGE_MAP()
};

class CDockBar : public CControlBar
{
    DECLARE_DYNAMIC(CDockBar)
public:
    explicit CDockBar(BOOL bFloating = FALSE);

    // dwStyle holds WS_* bits and one CBRS_ALIGN_* side.
    BOOL Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID);

    // Docks pBar: in the row under lpRect's centre (client coordinates of
    // the screen), else at its placeholder, else in a new last row.
    void DockControlBar(CControlBar* pBar, LPCRECT lpRect = NULL);
    // Takes pBar out, leaving a placeholder; a floating dock bar that is
    // left empty destroys its frame (then returns TRUE).
    BOOL RemoveControlBar(CControlBar* pBar, int nPosExclude = -1);
    // The bar at nPos, or NULL for a row end or a placeholder.
    CControlBar* GetDockedControlBar(int nPos) const;
    int FindBar(CControlBar* pBar, int nPosExclude = -1) const;
    int GetDockedCount() const;
    int GetDockedVisibleCount() const;
    // Shows or hides every bar docked here (delayed).
    void ShowAll(BOOL bShow);

    // Rows stacked across the edge; bars side by side along it.
    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    CSize CalcDynamicLayout(int nLength, DWORD nMode) override;

    // The entries as ids; SetBarInfo rebuilds the entries from them, taking
    // the bars from wherever they are.
    void GetBarInfo(CControlBarInfo* pInfo) override;
    void SetBarInfo(CControlBarInfo* pInfo, CFrameWnd* pFrameWnd) override;

    static BOOL IsPlaceholder(void* pEntry) { return pEntry != NULL && (UINT_PTR)pEntry < 0x10000; }

    BOOL m_bFloating;
    BOOL m_bLayoutQuery;  // set during a WM_SIZEPARENT query: bars are not moved
    CRect m_rectLayout;   // the rectangle offered by the running layout
    CPtrArray m_arrBars;

protected:
    void RemovePlaceholder(UINT nID);
    // Gives pBar this dock bar's side and floating style (and a single
    // floating bar's title to the dock bar) before it is docked here.
    void PrepareToDock(CControlBar* pBar);
    void PostNcDestroy() override {}
    afx_msg LRESULT OnSizeParent(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};
