// MDI frames: a main frame whose pane is the system's MDI client, and the
// child frames inside it.
//
// The main frame's menu changes with the active child: each child shows
// its template's shared menu (or its own), and the MDI client keeps the
// Window popup of the menu shown listing the children (WM_MDISETMENU). The
// frame's accelerators, the active child's and the MDI system keys are
// translated before a message is dispatched. Commands go to the active
// child (its view, document and template, then the child frame), then the
// main frame, then the application.
// Everything runs on the thread that made the frames.
#pragma once

#include <framework/cmdids.h>
#include <framework/frame.h>

class CMDIChildWnd;

class CMDIFrameWnd : public CFrameWnd
{
    DECLARE_DYNCREATE(CMDIFrameWnd)
public:
    CMDIFrameWnd();

    // Creates the MDI client, listing the children in hMenu's Window popup.
    virtual BOOL CreateClient(LPCREATESTRUCT lpcs, HMENU hMenu);
    // The Window popup of hMenu: the popup holding a window command, else
    // the second-last popup; NULL without a menu.
    static HMENU GetWindowMenuPopup(HMENU hMenu);

    CMDIChildWnd* MDIGetActive(BOOL* pbMaximized = NULL) const;
    void MDIActivate(CWnd* pWndActivate) { ::SendMessage(m_hWndMDIClient, WM_MDIACTIVATE, (WPARAM)pWndActivate->GetSafeHwnd(), 0); }
    void MDINext() { ::SendMessage(m_hWndMDIClient, WM_MDINEXT, 0, 0); }
    void MDICascade() { ::SendMessage(m_hWndMDIClient, WM_MDICASCADE, 0, 0); }
    void MDITile(int nType) { ::SendMessage(m_hWndMDIClient, WM_MDITILE, nType, 0); }
    void MDIIconArrange() { ::SendMessage(m_hWndMDIClient, WM_MDIICONARRANGE, 0, 0); }
    void MDIMaximize(CWnd* pWnd) { ::SendMessage(m_hWndMDIClient, WM_MDIMAXIMIZE, (WPARAM)pWnd->GetSafeHwnd(), 0); }
    void MDIRestore(CWnd* pWnd) { ::SendMessage(m_hWndMDIClient, WM_MDIRESTORE, (WPARAM)pWnd->GetSafeHwnd(), 0); }
    // Shows hMenu on the frame with hWindowMenu as the Window popup; returns the old menu.
    HMENU MDISetMenu(HMENU hMenu, HMENU hWindowMenu);

    BOOL OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext* pContext) override;
    CFrameWnd* GetActiveFrame() override;
    // The active child decides the menu; without one the frame's default menu shows.
    void OnUpdateFrameMenu(HMENU hMenuAlt) override;
    // Without a maximised child: the frame's title; with one: its document's too.
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    HWND m_hWndMDIClient;

protected:
    afx_msg void OnWindowCommand(UINT nID);
    afx_msg void OnUpdateWindowCommand(CCmdUI* pCmdUI);
    DECLARE_MESSAGE_MAP()
};

class CMDIChildWnd : public CFrameWnd
{
    DECLARE_DYNCREATE(CMDIChildWnd)
public:
    CMDIChildWnd();
    ~CMDIChildWnd();

    // Creates the child in pParentWnd's MDI client (NULL: the main window's).
    BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW, const RECT& rect = rectDefault,
                CMDIFrameWnd* pParentWnd = NULL, CCreateContext* pContext = NULL);
    // Takes the title of nIDResource's string; the menu and accelerators
    // come from the context's CMultiDocTemplate when there is one.
    BOOL LoadFrame(UINT nIDResource, DWORD dwDefaultStyle = WS_CHILD | WS_VISIBLE | WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE,
                   CWnd* pParentWnd = NULL, CCreateContext* pContext = NULL) override;

    CMDIFrameWnd* GetMDIFrame() const;
    void MDIActivate() { GetMDIFrame()->MDIActivate(this); }
    void MDIDestroy() { ::SendMessage(::GetParent(m_hWnd), WM_MDIDESTROY, (WPARAM)m_hWnd, 0); }

    // Shows the child (maximised when the active child is) and activates it.
    void ActivateFrame(int nCmdShow = -1) override;
    // Puts the child's menu (hMenuAlt, else m_hMenuShared, else the main
    // frame's default) on the main frame when activated; the main frame's
    // default when the last child is deactivated.
    virtual void OnUpdateFrameMenu(BOOL bActivate, CWnd* pActivateWnd, HMENU hMenuAlt);
    using CFrameWnd::OnUpdateFrameMenu;
    void OnUpdateFrameTitle(BOOL bAddToTitle) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL DestroyWindow() override;

    HMENU m_hMenuShared;  // the menu shown while the child is active (not owned)

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    afx_msg int OnCreate(LPCREATESTRUCT lpcs);
    afx_msg void OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd);
    afx_msg int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message);
    afx_msg LRESULT OnMDIActivateMessage(WPARAM wParam, LPARAM lParam);
    BOOL m_bOwnAccelTable;  // m_hAccelTable is the child's, not a template's
    DECLARE_MESSAGE_MAP()
};
