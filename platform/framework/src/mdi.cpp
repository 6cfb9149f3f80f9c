#include <framework/framework.h>

#include "handlemap.h"

IMPLEMENT_DYNCREATE(CMDIFrameWnd, CFrameWnd)
IMPLEMENT_DYNCREATE(CMDIChildWnd, CFrameWnd)

// ---------------------------------------------------------------- CMDIFrameWnd

BEGIN_MESSAGE_MAP(CMDIFrameWnd, CFrameWnd)
    ON_COMMAND_RANGE(ID_WINDOW_ARRANGE, ID_WINDOW_TILE_VERT, OnWindowCommand)
    ON_UPDATE_COMMAND_UI_RANGE(ID_WINDOW_ARRANGE, ID_WINDOW_TILE_VERT, OnUpdateWindowCommand)
END_MESSAGE_MAP()

CMDIFrameWnd::CMDIFrameWnd() : m_hWndMDIClient(NULL)
{
}

HMENU CMDIFrameWnd::GetWindowMenuPopup(HMENU hMenu)
{
    if (hMenu == NULL)
        return NULL;
    int nCount = ::GetMenuItemCount(hMenu);
    for (int i = 0; i < nCount; ++i)
    {
        HMENU hPopup = ::GetSubMenu(hMenu, i);
        for (int j = 0; hPopup != NULL && j < ::GetMenuItemCount(hPopup); ++j)
        {
            UINT nID = ::GetMenuItemID(hPopup, j);
            if (nID >= ID_WINDOW_ARRANGE && nID <= ID_WINDOW_TILE_VERT)
                return hPopup;
        }
    }
    return nCount >= 2 ? ::GetSubMenu(hMenu, nCount - 2) : NULL;
}

BOOL CMDIFrameWnd::OnCreateClient(LPCREATESTRUCT lpcs, CCreateContext*)
{
    return CreateClient(lpcs, lpcs->hMenu);
}

BOOL CMDIFrameWnd::CreateClient(LPCREATESTRUCT, HMENU hMenu)
{
    CLIENTCREATESTRUCT ccs;
    ccs.hWindowMenu = GetWindowMenuPopup(hMenu);
    ccs.idFirstChild = AFX_IDM_FIRST_MDICHILD;
    m_hWndMDIClient = ::CreateWindowEx(WS_EX_CLIENTEDGE, TEXT("MDICLIENT"), NULL,
                                       WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_HSCROLL |
                                           WS_VSCROLL | MDIS_ALLCHILDSTYLES,
                                       0, 0, 0, 0, m_hWnd, (HMENU)(UINT_PTR)AFX_IDW_PANE_FIRST,
                                       AfxGetInstanceHandle(), &ccs);
    return m_hWndMDIClient != NULL;
}

LRESULT CMDIFrameWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefFrameProc(m_hWnd, m_hWndMDIClient, message, wParam, lParam);
}

CMDIChildWnd* CMDIFrameWnd::MDIGetActive(BOOL* pbMaximized) const
{
    BOOL bMaximized = FALSE;
    HWND hChild = m_hWndMDIClient != NULL
                      ? (HWND)::SendMessage(m_hWndMDIClient, WM_MDIGETACTIVE, 0, (LPARAM)&bMaximized)
                      : NULL;
    CMDIChildWnd* pChild = DYNAMIC_DOWNCAST(CMDIChildWnd, CWnd::FromHandlePermanent(hChild));
    if (pbMaximized != NULL)
        *pbMaximized = pChild != NULL && bMaximized;
    return pChild;
}

HMENU CMDIFrameWnd::MDISetMenu(HMENU hMenu, HMENU hWindowMenu)
{
    HMENU hOld = (HMENU)::SendMessage(m_hWndMDIClient, WM_MDISETMENU, (WPARAM)hMenu, (LPARAM)hWindowMenu);
    DrawMenuBar();
    return hOld;
}

CFrameWnd* CMDIFrameWnd::GetActiveFrame()
{
    CMDIChildWnd* pChild = MDIGetActive();
    return pChild != NULL ? (CFrameWnd*)pChild : this;
}

void CMDIFrameWnd::OnUpdateFrameMenu(HMENU hMenuAlt)
{
    if (CMDIChildWnd* pChild = MDIGetActive())
    {
        pChild->OnUpdateFrameMenu(TRUE, pChild, hMenuAlt);
        return;
    }
    HMENU hMenu = hMenuAlt != NULL ? hMenuAlt : m_hMenuDefault;
    MDISetMenu(hMenu, GetWindowMenuPopup(hMenu));
}

void CMDIFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle)
{
    if ((GetStyle() & FWS_ADDTOTITLE) == 0)
        return;
    // A maximised child's title is shown by the MDI frame procedure itself.
    BOOL bMaximized = FALSE;
    CMDIChildWnd* pChild = MDIGetActive(&bMaximized);
    CDocument* pDoc = pChild != NULL && !bMaximized ? pChild->GetActiveDocument() : NULL;
    UpdateFrameTitleForDocument(bAddToTitle && pDoc != NULL ? (LPCTSTR)pDoc->GetTitle() : NULL);
}

BOOL CMDIFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    CMDIChildWnd* pChild = MDIGetActive();
    if (pChild != NULL && pChild->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return CFrameWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CMDIFrameWnd::PreTranslateMessage(MSG* pMsg)
{
    if (CWnd::PreTranslateMessage(pMsg))
        return TRUE;
    if (pMsg->message < WM_KEYFIRST || pMsg->message > WM_KEYLAST)
        return FALSE;
    // The active child's accelerators first, then the frame's, then the MDI keys.
    CMDIChildWnd* pChild = MDIGetActive();
    if (pChild != NULL && pChild->PreTranslateMessage(pMsg))
        return TRUE;
    if (m_hAccelTable != NULL && ::TranslateAccelerator(m_hWnd, m_hAccelTable, pMsg))
        return TRUE;
    return (pMsg->message == WM_KEYDOWN || pMsg->message == WM_SYSKEYDOWN) &&
           ::TranslateMDISysAccel(m_hWndMDIClient, pMsg);
}

void CMDIFrameWnd::OnWindowCommand(UINT nID)
{
    switch (nID)
    {
    case ID_WINDOW_ARRANGE: MDIIconArrange(); break;
    case ID_WINDOW_CASCADE: MDICascade(); break;
    case ID_WINDOW_TILE_HORZ: MDITile(MDITILE_HORIZONTAL); break;
    case ID_WINDOW_TILE_VERT: MDITile(MDITILE_VERTICAL); break;
    }
}

void CMDIFrameWnd::OnUpdateWindowCommand(CCmdUI* pCmdUI)
{
    pCmdUI->Enable(MDIGetActive() != NULL);
}

// ---------------------------------------------------------------- CMDIChildWnd

BEGIN_MESSAGE_MAP(CMDIChildWnd, CFrameWnd)
    ON_WM_CREATE()
    ON_WM_MOUSEACTIVATE()
    ON_MESSAGE(WM_MDIACTIVATE, OnMDIActivateMessage)
END_MESSAGE_MAP()

CMDIChildWnd::CMDIChildWnd() : m_hMenuShared(NULL), m_bOwnAccelTable(TRUE)
{
}

CMDIChildWnd::~CMDIChildWnd()
{
    if (!m_bOwnAccelTable)
        m_hAccelTable = NULL;  // the template's, not ours to destroy
}

BOOL CMDIChildWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    cs.style |= WS_CHILD;
    return CFrameWnd::PreCreateWindow(cs);
}

BOOL CMDIChildWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                          CMDIFrameWnd* pParentWnd, CCreateContext* pContext)
{
    if (pParentWnd == NULL)
        pParentWnd = DYNAMIC_DOWNCAST(CMDIFrameWnd, AfxGetMainWnd());
    CREATESTRUCT cs = {};
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = dwStyle;
    if (pParentWnd == NULL || !PreCreateWindow(cs))
    {
        PostNcDestroy();
        return FALSE;
    }
    BOOL bDefault = ::EqualRect(&rect, &rectDefault);
    MDICREATESTRUCT mcs;
    mcs.szClass = cs.lpszClass;
    mcs.szTitle = cs.lpszName;
    mcs.hOwner = AfxGetInstanceHandle();
    mcs.x = bDefault ? CW_USEDEFAULT : rect.left;
    mcs.y = bDefault ? CW_USEDEFAULT : rect.top;
    mcs.cx = bDefault ? CW_USEDEFAULT : rect.right - rect.left;
    mcs.cy = bDefault ? CW_USEDEFAULT : rect.bottom - rect.top;
    // Shown (and maximised) only once complete.
    mcs.style = cs.style & ~(WS_MAXIMIZE | WS_VISIBLE);
    mcs.lParam = (LPARAM)pContext;
    m_strTitle = lpszWindowName;
    AfxHookWindowCreate(this);
    HWND hWnd = (HWND)::SendMessage(pParentWnd->m_hWndMDIClient, WM_MDICREATE, 0, (LPARAM)&mcs);
    AfxUnhookWindowCreate();
    if (hWnd == NULL)
    {
        // A child that failed in WM_CREATE was attached and destroyed already.
        if (m_hWnd == NULL)
            PostNcDestroy();
        return FALSE;
    }
    if (cs.style & WS_VISIBLE)
        ActivateFrame((cs.style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : -1);
    return TRUE;
}

BOOL CMDIChildWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    m_nIDHelp = nIDResource;
    HINSTANCE hInst = AfxGetResourceHandle();
    CMultiDocTemplate* pTemplate =
        pContext != NULL ? DYNAMIC_DOWNCAST(CMultiDocTemplate, pContext->m_pNewDocTemplate) : NULL;
    if (pTemplate != NULL)
    {
        m_hMenuShared = pTemplate->m_hMenuShared;
        m_hAccelTable = pTemplate->m_hAccelTable;
        m_bOwnAccelTable = FALSE;
    }
    else if (m_hAccelTable == NULL)
    {
        m_hAccelTable = ::LoadAccelerators(hInst, MAKEINTRESOURCE(nIDResource));
    }
    LPCTSTR lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(NULL, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1),
                                            ::LoadIcon(hInst, MAKEINTRESOURCE(nIDResource)));
    // InitialUpdateFrame shows the child once its views are ready.
    if (!Create(lpszClass, FirstLineOf(nIDResource), dwDefaultStyle & ~WS_VISIBLE, rectDefault,
                DYNAMIC_DOWNCAST(CMDIFrameWnd, pParentWnd), pContext))
        return FALSE;
    if (pContext == NULL)
        SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
    return TRUE;
}

int CMDIChildWnd::OnCreate(LPCREATESTRUCT lpcs)
{
    MDICREATESTRUCT* pMCS = (MDICREATESTRUCT*)lpcs->lpCreateParams;
    return OnCreateHelper(lpcs, pMCS != NULL ? (CCreateContext*)pMCS->lParam : NULL);
}

CMDIFrameWnd* CMDIChildWnd::GetMDIFrame() const
{
    return DYNAMIC_DOWNCAST(CMDIFrameWnd, CWnd::FromHandlePermanent(::GetParent(::GetParent(m_hWnd))));
}

LRESULT CMDIChildWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return ::DefMDIChildProc(m_hWnd, message, wParam, lParam);
}

BOOL CMDIChildWnd::DestroyWindow()
{
    if (m_hWnd == NULL)
        return FALSE;
    // The MDI client takes the child off its Window menu and activates the next.
    MDIDestroy();
    return TRUE;
}

void CMDIChildWnd::ActivateFrame(int nCmdShow)
{
    if (nCmdShow == -1)
    {
        BOOL bMaximized = FALSE;
        CMDIChildWnd* pActive = GetMDIFrame()->MDIGetActive(&bMaximized);
        if (!IsWindowVisible())
            nCmdShow = pActive != NULL && pActive != this && bMaximized ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
        else
            nCmdShow = IsIconic() ? SW_RESTORE : SW_SHOW;
    }
    ShowWindow(nCmdShow);
    MDIActivate();
}

void CMDIChildWnd::OnUpdateFrameMenu(BOOL bActivate, CWnd* pActivateWnd, HMENU hMenuAlt)
{
    if (!bActivate && pActivateWnd != NULL)
        return;  // the child being activated puts up its own menu
    CMDIFrameWnd* pFrame = GetMDIFrame();
    HMENU hMenu = bActivate ? (hMenuAlt != NULL ? hMenuAlt : m_hMenuShared) : NULL;
    if (hMenu == NULL)
        hMenu = pFrame->m_hMenuDefault;
    pFrame->MDISetMenu(hMenu, CMDIFrameWnd::GetWindowMenuPopup(hMenu));
}

void CMDIChildWnd::OnUpdateFrameTitle(BOOL bAddToTitle)
{
    GetMDIFrame()->OnUpdateFrameTitle(bAddToTitle);
    if ((GetStyle() & FWS_ADDTOTITLE) == 0)
        return;
    CDocument* pDoc = GetActiveDocument();
    CString text = bAddToTitle && pDoc != NULL ? pDoc->GetTitle() : m_strTitle;
    CString current;
    GetWindowText(current);
    if (current != text)
        SetWindowText(text);
}

BOOL CMDIChildWnd::PreTranslateMessage(MSG* pMsg)
{
    if (CWnd::PreTranslateMessage(pMsg))
        return TRUE;
    // A child has no menu: its accelerators work for the MDI frame's menu.
    return pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hAccelTable != NULL &&
           ::TranslateAccelerator(GetMDIFrame()->m_hWnd, m_hAccelTable, pMsg);
}

LRESULT CMDIChildWnd::OnMDIActivateMessage(WPARAM wParam, LPARAM lParam)
{
    // Sent to the child losing activation (wParam) and to the one gaining it (lParam).
    OnMDIActivate((HWND)lParam == m_hWnd, CWnd::FromHandle((HWND)lParam), CWnd::FromHandle((HWND)wParam));
    return 0;
}

void CMDIChildWnd::OnMDIActivate(BOOL bActivate, CWnd* pActivateWnd, CWnd* pDeactivateWnd)
{
    (void)pDeactivateWnd;
    Default();
    OnUpdateFrameMenu(bActivate, pActivateWnd, NULL);
    if (m_pViewActive != NULL)
        m_pViewActive->OnActivateView(bActivate, m_pViewActive, m_pViewActive);
    // The last child still counts as active while it goes: its frame's
    // title waits for idle time then.
    if (bActivate)
        GetMDIFrame()->OnUpdateFrameTitle(TRUE);
    else if (pActivateWnd == NULL)
        GetMDIFrame()->m_nIdleFlags |= idleTitle;
}

int CMDIChildWnd::OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message)
{
    int nResult = CFrameWnd::OnMouseActivate(pDesktopWnd, nHitTest, message);
    if (nResult == MA_NOACTIVATE || nResult == MA_NOACTIVATEANDEAT)
        return nResult;
    if (GetMDIFrame()->MDIGetActive() != this)
        MDIActivate();
    return nResult;
}
