// Frame windows: a top-level window that owns control bars along its edges
// and a pane in the space they leave, loads its menu, accelerators and
// title from one resource id and lays itself out lazily at idle time.
//
// Lifetime: frames are made with new and delete themselves when their
// window is destroyed (PostNcDestroy). Layout: changes call
// DelayRecalcLayout, which marks the frame; the next idle time
// (CWinThread::OnIdle, count 0) runs RecalcLayout once for all of them and
// sends WM_IDLEUPDATECMDUI to the frame's bars and floating frames.
// Everything runs on the thread that made the frame.
#pragma once

#include <framework/controlbar.h>
#include <framework/lists.h>
#include <framework/menu.h>

class CDocTemplate;
class CDocument;
class CFrameWnd;
class CMiniDockFrameWnd;
class CView;
class CDockState;

// What a frame's creation passes on to its client windows.
struct CCreateContext
{
    CRuntimeClass* m_pNewViewClass = NULL;  // the pane window to create, or NULL
    CDocument* m_pCurrentDoc = NULL;        // the document the views show
    CDocTemplate* m_pNewDocTemplate = NULL; // the template that makes the frame
    CView* m_pLastView = NULL;              // a view of the frame being copied
    CFrameWnd* m_pCurrentFrame = NULL;
};

// What entering print preview saves of a frame. There is no preview window:
// programs use the hook to hide and restore their own parts.
struct CPrintPreviewState
{
    HMENU hMenu = NULL;  // the menu taken off the frame
};

class CFrameWnd : public CWnd
{
    DECLARE_DYNCREATE(CFrameWnd)
public:
    CFrameWnd();
    ~CFrameWnd();

    static const CRect rectDefault;  // lets the system place and size the window

    BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                DWORD dwStyle = WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
                CWnd* pParentWnd = NULL, LPCTSTR lpszMenuName = NULL, DWORD dwExStyle = 0,
                CCreateContext* pContext = NULL);
    // Creates the frame with the menu, accelerators, icon and title (first
    // line of the string) of nIDResource; FALSE when the window cannot be made.
    virtual BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                           CWnd* pParentWnd = NULL, CCreateContext* pContext = NULL);
    // Makes the pane window of pContext's view class (none without one).
    virtual BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext);
    // Makes a view of pContext's class as the child nID; NULL on failure.
    CWnd* CreateView(CCreateContext* pContext, UINT nID = AFX_IDW_PANE_FIRST);
    // Shows the frame (nCmdShow -1: as it is, or normally when hidden) and brings it to the top.
    virtual void ActivateFrame(int nCmdShow = -1);
    // Once its views exist: sends them WM_INITIALUPDATE, makes the first
    // pane the active view when none is, and shows the frame (bMakeVisible).
    void InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible);
    // The frame whose view gets the commands: this one (an MDI frame: its active child).
    virtual CFrameWnd* GetActiveFrame() { return this; }

    // The active view gets commands and the focus first; the active
    // document is its document.
    CView* GetActiveView() const { return m_pViewActive; }
    // Makes pView active; with bNotify the old and new views hear of it
    // (OnActivateView) and the new one gets the focus.
    void SetActiveView(CView* pView, BOOL bNotify = TRUE);
    // The document of this frame's own active view, or NULL.
    virtual CDocument* GetActiveDocument();

    // Menus: puts hMenuAlt (NULL: the default menu) on the frame.
    virtual void OnUpdateFrameMenu(HMENU hMenuAlt);
    // Print preview hook: entering takes the menu off (kept in pState),
    // leaving puts it back and lays the frame out again.
    virtual void OnSetPreviewMode(BOOL bPreview, CPrintPreviewState* pState);

    // Layout.
    virtual void RecalcLayout(BOOL bNotify = TRUE);
    void DelayRecalcLayout(BOOL bNotify = TRUE);
    // Idle work: the delayed layout, the title, and command-UI updates of
    // the bars (and, through WM_FLOATSTATUS, the floating frames' state).
    virtual void OnIdleUpdate();

    // Title: with FWS_ADDTOTITLE the window text is m_strTitle and the
    // active document's title ("Title - Document", or the other way round
    // with FWS_PREFIXTITLE); without it the frame leaves its text alone.
    virtual void OnUpdateFrameTitle(BOOL bAddToTitle);
    void UpdateFrameTitleForDocument(LPCTSTR lpszDocName);
    void SetTitle(LPCTSTR lpszTitle) { m_strTitle = lpszTitle; }
    CString GetTitle() const { return m_strTitle; }
    // The text of the status bar (the child AFX_IDW_STATUS_BAR), if any:
    // a string or the first line of a string resource (a command's prompt).
    // AFX_IDS_IDLEMESSAGE is the idle prompt, shown when menus close.
    void SetMessageText(LPCTSTR lpszText);
    void SetMessageText(UINT nID);
    // A command's prompt is being shown (a menu item is selected).
    BOOL IsTracking() const { return m_nIDTracking != 0 && m_nIDTracking != AFX_IDS_IDLEMESSAGE; }

    // Control bars.
    CControlBar* GetControlBar(UINT nID);
    void AddControlBar(CControlBar* pBar);
    void RemoveControlBar(CControlBar* pBar);
    void ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay);
    // Creates dock bars for the CBRS_ALIGN_* sides asked for, with
    // m_pDockBarClass (CDockBar by default); floating bars get frames of
    // m_pFloatingFrameClass (CMiniDockFrameWnd by default).
    void EnableDocking(DWORD dwDockStyle);
    // Docks into the dock bar nDockBarID (0: the first side the bar allows).
    void DockControlBar(CControlBar* pBar, UINT nDockBarID = 0, LPCRECT lpRect = NULL);
    void DockControlBar(CControlBar* pBar, CDockBar* pDockBar, LPCRECT lpRect = NULL);
    // Docks again where the bar's placeholder stands, else as DockControlBar.
    void ReDockControlBar(CControlBar* pBar, CDockBar* pDockBar, LPCRECT lpRect = NULL);
    // Floats the bar in a frame whose top left is point (screen).
    void FloatControlBar(CControlBar* pBar, CPoint point, DWORD dwStyle = CBRS_ALIGN_TOP);
    virtual CMiniDockFrameWnd* CreateFloatingFrame(DWORD dwStyle);
    // Sends WM_FLOATSTATUS to the frame's floating frames.
    void NotifyFloatingWindows(DWORD dwFlags);
    // The CBRS_ALIGN_* side among dwDockStyle's whose dock bar rect
    // (screen) touches, and that dock bar; 0 when none.
    DWORD CanDock(CRect rect, DWORD dwDockStyle, CDockBar** ppDockBar = NULL);

    // Saved layout (dockstate.h). SetDockState applies a state that fits
    // the frame and refuses (FALSE) one that does not, changing nothing.
    void GetDockState(CDockState& state);
    BOOL SetDockState(const CDockState& state);
    void SaveBarState(LPCTSTR lpszProfileName);
    BOOL LoadBarState(LPCTSTR lpszProfileName);

    BOOL PreTranslateMessage(MSG* pMsg) override;
    // Commands go to the active view (then its document and template), to
    // the frame, and from a top-level frame on to the application.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    CPtrList m_listControlBars;
    CRuntimeClass* m_pFloatingFrameClass;
    CRuntimeClass* m_pDockBarClass;
    HMENU m_hMenuDefault;
    HACCEL m_hAccelTable;
    UINT m_nIDHelp;
    CString m_strTitle;
    CRect m_rectBorder;  // space kept free inside the client area
    enum { idleMenu = 1, idleTitle = 2, idleNotify = 4, idleLayout = 8 };
    UINT m_nIdleFlags;
    BOOL m_bInRecalcLayout;
    UINT m_nIDTracking;  // the string last shown by WM_SETMESSAGESTRING

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void PostNcDestroy() override { delete this; }
    CDockBar* FindDockBar(CControlBar* pBar, UINT nDockBarID);
    // The first line of a string resource, or "" when there is none.
    static CString FirstLineOf(UINT nID);
    // WM_CREATE with the context the frame was created with.
    int OnCreateHelper(LPCREATESTRUCT lpcs, CCreateContext* pContext);
    afx_msg int OnCreate(LPCREATESTRUCT lpcs);
    afx_msg void OnDestroy();
    afx_msg void OnSize(UINT nType, int cx, int cy);
    // The close rule: the active document's CanCloseFrame; the main
    // window asks every document (SaveAllModified) and closes them all;
    // the last frame of an auto-delete document closes the document.
    afx_msg void OnClose();
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    afx_msg void OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu);
    afx_msg LRESULT OnSetMessageString(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnIdleUpdateCmdUI(WPARAM, LPARAM);
    // WM_COMMANDHELP: the help context lParam, else the prompt being shown
    // (HID_BASE_COMMAND + id), else the frame (HID_BASE_RESOURCE + m_nIDHelp),
    // goes to the application's WinHelp.
    afx_msg LRESULT OnCommandHelp(WPARAM, LPARAM lParam);
    // ID_HELP: WM_COMMANDHELP to the focus window and its parents up to
    // this frame, until one takes it.
    afx_msg void OnHelp();

    CView* m_pViewActive;
    DECLARE_MESSAGE_MAP()
};

// A small-caption tool window (MFS_* styles choose its border).
class CMiniFrameWnd : public CFrameWnd
{
    DECLARE_DYNCREATE(CMiniFrameWnd)
public:
    BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                const RECT& rect, CWnd* pParentWnd = NULL, UINT nID = 0);
    BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                  DWORD dwStyle, const RECT& rect, CWnd* pParentWnd = NULL, UINT nID = 0);

protected:
    // The frame styles kept apart from the window style.
    DWORD m_dwFrameStyle = 0;
};

// The frame a floated bar lives in: one dock bar filling it, the window
// sized to its bars. Closing it hides its bars instead of destroying them.
// Its caption drags its bar (one bar only) and a double click docks it;
// its sizing borders resize the bar.
class CMiniDockFrameWnd : public CMiniFrameWnd
{
    DECLARE_DYNCREATE(CMiniDockFrameWnd)
public:
    CMiniDockFrameWnd();
    virtual BOOL Create(CWnd* pParent, DWORD dwBarStyle);
    void RecalcLayout(BOOL bNotify = TRUE) override;

    CDockBar m_wndDockBar;

protected:
    // The first bar docked here, or NULL.
    CControlBar* FirstBar() const;
    afx_msg void OnClose();
    afx_msg LRESULT OnFloatStatus(WPARAM wParam, LPARAM);
    afx_msg LRESULT OnNcLButtonDown(WPARAM wParam, LPARAM lParam);
    afx_msg LRESULT OnNcLButtonDblClk(WPARAM wParam, LPARAM lParam);
    DECLARE_MESSAGE_MAP()
};

// Runs the idle work of every frame of the calling thread (from OnIdle).
void AfxIdleUpdateFrames();
// Makes a window of pContext's view class as pParent's child nID (a frame's
// view or a splitter's pane); NULL when it cannot be made.
CWnd* AfxCreatePane(CWnd* pParent, CCreateContext* pContext, UINT nID);
