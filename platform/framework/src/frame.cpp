#include <framework/framework.h>

#include <windowsx.h>

#include <vector>

IMPLEMENT_DYNCREATE(CFrameWnd, CWnd)
IMPLEMENT_DYNCREATE(CMiniFrameWnd, CFrameWnd)
IMPLEMENT_DYNCREATE(CMiniDockFrameWnd, CMiniFrameWnd)

const CRect CFrameWnd::rectDefault(CW_USEDEFAULT, CW_USEDEFAULT, 0, 0);

namespace
{
// The sides of EnableDocking, in the order their dock bars are made (and so
// laid out: top and bottom take the full width first).
const struct
{
    DWORD dwAlign;
    UINT nID;
} kDockSides[] = {
    { CBRS_ALIGN_TOP, AFX_IDW_DOCKBAR_TOP },
    { CBRS_ALIGN_BOTTOM, AFX_IDW_DOCKBAR_BOTTOM },
    { CBRS_ALIGN_LEFT, AFX_IDW_DOCKBAR_LEFT },
    { CBRS_ALIGN_RIGHT, AFX_IDW_DOCKBAR_RIGHT },
};

// The child or grandchild with the id, or NULL.
HWND FindDescendant(HWND hWnd, UINT nID)
{
    for (HWND hChild = ::GetTopWindow(hWnd); hChild != NULL; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
    {
        if ((UINT)::GetDlgCtrlID(hChild) == nID)
            return hChild;
        if (HWND hFound = FindDescendant(hChild, nID))
            return hFound;
    }
    return NULL;
}

BOOL CALLBACK CollectWindow(HWND hWnd, LPARAM lParam)
{
    ((std::vector<HWND>*)lParam)->push_back(hWnd);
    return TRUE;
}
}  // namespace

void AfxIdleUpdateFrames()
{
    // Frames may come and go while others update: collect the handles first.
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectWindow, (LPARAM)&windows);
    for (HWND hWnd : windows)
    {
        CWnd* pWnd = ::IsWindow(hWnd) ? CWnd::FromHandlePermanent(hWnd) : NULL;
        if (pWnd != NULL && pWnd->IsKindOf(RUNTIME_CLASS(CFrameWnd)))
            ((CFrameWnd*)pWnd)->OnIdleUpdate();
    }
}

// ---------------------------------------------------------------- CFrameWnd

BEGIN_MESSAGE_MAP(CFrameWnd, CWnd)
    ON_WM_CREATE()
    ON_WM_DESTROY()
    ON_WM_SIZE()
    ON_WM_CLOSE()
    ON_WM_SETFOCUS()
    ON_WM_ACTIVATE()
    ON_WM_MENUSELECT()
    ON_MESSAGE(WM_SETMESSAGESTRING, OnSetMessageString)
    ON_MESSAGE(WM_IDLEUPDATECMDUI, OnIdleUpdateCmdUI)
    ON_MESSAGE(WM_COMMANDHELP, OnCommandHelp)
    ON_COMMAND(ID_HELP, OnHelp)
END_MESSAGE_MAP()

CFrameWnd::CFrameWnd()
    : m_pFloatingFrameClass(RUNTIME_CLASS(CMiniDockFrameWnd)), m_pDockBarClass(NULL), m_hMenuDefault(NULL),
      m_hAccelTable(NULL), m_nIDHelp(0), m_rectBorder(0, 0, 0, 0), m_nIdleFlags(0),
      m_bInRecalcLayout(FALSE), m_nIDTracking(0), m_pViewActive(NULL)
{
}

CFrameWnd::~CFrameWnd()
{
    if (m_hAccelTable != NULL)
        ::DestroyAcceleratorTable(m_hAccelTable);
}

CString CFrameWnd::FirstLineOf(UINT nID)
{
    CString text;
    if (nID == 0 || !text.LoadString(nID))
        return CString();
    int nEnd = text.Find('\n');
    return nEnd < 0 ? text : text.Left(nEnd);
}

BOOL CFrameWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    if (cs.lpszClass == NULL)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(NULL, IDC_ARROW),
                                           (HBRUSH)(COLOR_APPWORKSPACE + 1));
    cs.style |= WS_CLIPCHILDREN;
    return CWnd::PreCreateWindow(cs);
}

BOOL CFrameWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                       CWnd* pParentWnd, LPCTSTR lpszMenuName, DWORD dwExStyle, CCreateContext* pContext)
{
    HMENU hMenu = NULL;
    if (lpszMenuName != NULL && (hMenu = ::LoadMenu(AfxGetResourceHandle(), lpszMenuName)) == NULL)
        return FALSE;
    m_strTitle = lpszWindowName;
    BOOL bDefault = ::EqualRect(&rect, &rectDefault);
    if (!CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle,
                  bDefault ? CW_USEDEFAULT : rect.left, bDefault ? CW_USEDEFAULT : rect.top,
                  bDefault ? CW_USEDEFAULT : rect.right - rect.left,
                  bDefault ? CW_USEDEFAULT : rect.bottom - rect.top,
                  pParentWnd->GetSafeHwnd(), hMenu, pContext))
    {
        if (hMenu != NULL)
            ::DestroyMenu(hMenu);
        return FALSE;
    }
    return TRUE;
}

BOOL CFrameWnd::LoadFrame(UINT nIDResource, DWORD dwDefaultStyle, CWnd* pParentWnd, CCreateContext* pContext)
{
    m_nIDHelp = nIDResource;
    CString title = FirstLineOf(nIDResource);
    HINSTANCE hInst = AfxGetResourceHandle();
    HICON hIcon = ::LoadIcon(hInst, MAKEINTRESOURCE(nIDResource));
    LPCTSTR lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(NULL, IDC_ARROW),
                                            (HBRUSH)(COLOR_APPWORKSPACE + 1), hIcon);
    // A missing menu resource leaves the frame without a menu.
    HMENU hMenu = ::FindResource(hInst, MAKEINTRESOURCE(nIDResource), RT_MENU) != NULL
                      ? ::LoadMenu(hInst, MAKEINTRESOURCE(nIDResource)) : NULL;
    m_strTitle = title;
    if (!CreateEx(0, lpszClass, title, dwDefaultStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                  CW_USEDEFAULT, pParentWnd->GetSafeHwnd(), hMenu, pContext))
    {
        if (hMenu != NULL)
            ::DestroyMenu(hMenu);
        return FALSE;
    }
    m_hMenuDefault = hMenu;
    if (m_hAccelTable == NULL)
        m_hAccelTable = ::LoadAccelerators(hInst, MAKEINTRESOURCE(nIDResource));
    if (pContext == NULL)
        SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
    return TRUE;
}

int CFrameWnd::OnCreate(LPCREATESTRUCT lpcs)
{
    return OnCreateHelper(lpcs, (CCreateContext*)lpcs->lpCreateParams);
}

int CFrameWnd::OnCreateHelper(LPCREATESTRUCT lpcs, CCreateContext* pContext)
{
    if (CWnd::OnCreate(lpcs) == -1)
        return -1;
    if (!OnCreateClient(lpcs, pContext))
        return -1;
    m_nIdleFlags |= idleTitle;
    RecalcLayout();
    return 0;
}

BOOL CFrameWnd::OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext)
{
    if (pContext == NULL || pContext->m_pNewViewClass == NULL)
        return TRUE;
    return CreateView(pContext, AFX_IDW_PANE_FIRST) != NULL;
}

CWnd* AfxCreatePane(CWnd* pParent, CCreateContext* pContext, UINT nID)
{
    CObject* pObject = pContext->m_pNewViewClass->CreateObject();
    CWnd* pView = DYNAMIC_DOWNCAST(CWnd, pObject);
    if (pView == NULL)
    {
        delete pObject;
        return NULL;
    }
    if (!pView->Create(NULL, NULL, AFX_WS_DEFAULT_VIEW, CRect(0, 0, 0, 0), pParent, nID, pContext))
        return NULL;  // a view deletes itself when its window fails
    return pView;
}

CWnd* CFrameWnd::CreateView(CCreateContext* pContext, UINT nID)
{
    return AfxCreatePane(this, pContext, nID);
}

void CFrameWnd::InitialUpdateFrame(CDocument* pDoc, BOOL bMakeVisible)
{
    (void)pDoc;
    if (m_pViewActive == NULL)
    {
        // The first pane; a pane that holds panes of its own (a splitter)
        // gives its first one.
        HWND hPane = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
        while (hPane != NULL && ::GetDlgItem(hPane, AFX_IDW_PANE_FIRST) != NULL)
            hPane = ::GetDlgItem(hPane, AFX_IDW_PANE_FIRST);
        CView* pView = DYNAMIC_DOWNCAST(CView, CWnd::FromHandlePermanent(hPane));
        if (pView != NULL)
            SetActiveView(pView, FALSE);
    }
    SendMessageToDescendants(WM_INITIALUPDATE, 0, 0, TRUE);
    OnUpdateFrameTitle(TRUE);
    if (bMakeVisible)
    {
        ActivateFrame();
        if (m_pViewActive != NULL)
            m_pViewActive->OnActivateView(TRUE, m_pViewActive, m_pViewActive);
    }
}

void CFrameWnd::SetActiveView(CView* pView, BOOL bNotify)
{
    CView* pOld = m_pViewActive;
    if (pView == pOld)
        return;
    m_pViewActive = pView;
    if (!bNotify)
        return;
    if (pOld != NULL)
        pOld->OnActivateView(FALSE, pView, pOld);
    if (pView != NULL)
        pView->OnActivateView(TRUE, pView, pOld);
}

CDocument* CFrameWnd::GetActiveDocument()
{
    return m_pViewActive != NULL ? m_pViewActive->GetDocument() : NULL;
}

void CFrameWnd::OnUpdateFrameMenu(HMENU hMenuAlt)
{
    if (hMenuAlt == NULL)
        hMenuAlt = m_hMenuDefault;
    if (::GetMenu(m_hWnd) != hMenuAlt)
        ::SetMenu(m_hWnd, hMenuAlt);
}

void CFrameWnd::OnSetPreviewMode(BOOL bPreview, CPrintPreviewState* pState)
{
    if (bPreview)
    {
        pState->hMenu = ::GetMenu(m_hWnd);
        ::SetMenu(m_hWnd, NULL);
    }
    else
    {
        ::SetMenu(m_hWnd, pState->hMenu);
    }
    RecalcLayout();
}

void CFrameWnd::ActivateFrame(int nCmdShow)
{
    if (nCmdShow == -1)
        nCmdShow = IsWindowVisible() ? (IsIconic() ? SW_RESTORE : SW_SHOW) : SW_SHOWNORMAL;
    ShowWindow(nCmdShow);
    BringWindowToTop();
}

void CFrameWnd::OnDestroy()
{
    if (AfxGetApp() != NULL && AfxGetApp()->m_pMainWnd == this)
        AfxGetApp()->m_pMainWnd = NULL;
    // A menu shown for a document belongs to its template: put the
    // frame's own back so that the window takes only that one with it.
    if (m_hMenuDefault != NULL && ::GetMenu(m_hWnd) != m_hMenuDefault && !(GetStyle() & WS_CHILD))
        ::SetMenu(m_hWnd, m_hMenuDefault);
    CWnd::OnDestroy();
}

void CFrameWnd::OnClose()
{
    CDocument* pDoc = GetActiveDocument();
    if (pDoc != NULL && !pDoc->CanCloseFrame(this))
        return;
    CWinApp* pApp = AfxGetApp();
    if (pApp != NULL && pApp->m_pMainWnd == this)
    {
        // A frame that shows a document has asked it already.
        if (pDoc == NULL && !pApp->SaveAllModified())
            return;
        pApp->CloseAllDocuments(FALSE);
        // Closing the documents may have destroyed this frame with them.
        if (::IsWindow(m_hWnd))
            DestroyWindow();
        ::PostQuitMessage(0);
        return;
    }
    if (pDoc != NULL && pDoc->m_bAutoDelete)
    {
        // The document's last frame closes the document (and so the frame).
        BOOL bOtherFrame = FALSE;
        for (POSITION pos = pDoc->GetFirstViewPosition(); pos != NULL && !bOtherFrame;)
            bOtherFrame = pDoc->GetNextView(pos)->GetParentFrame() != this;
        if (!bOtherFrame)
        {
            pDoc->OnCloseDocument();
            return;
        }
        pDoc->PreCloseFrame(this);
    }
    DestroyWindow();
}

void CFrameWnd::OnSetFocus(CWnd* pOldWnd)
{
    (void)pOldWnd;
    if (m_pViewActive != NULL)
        m_pViewActive->SetFocus();
    else
        Default();
}

void CFrameWnd::OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized)
{
    (void)pWndOther;
    (void)bMinimized;
    Default();
    if (CView* pView = GetActiveFrame()->GetActiveView())
        pView->OnActivateFrame(nState, this);
}

void CFrameWnd::OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu)
{
    if (nFlags == 0xFFFF && hSysMenu == NULL)
        SetMessageText(AFX_IDS_IDLEMESSAGE);  // the menu closed
    else
        SetMessageText((nFlags & (MF_POPUP | MF_SEPARATOR)) ? 0 : nItemID);
}

LRESULT CFrameWnd::OnCommandHelp(WPARAM, LPARAM lParam)
{
    if (lParam == 0)
    {
        if (IsTracking())
            lParam = HID_BASE_COMMAND + m_nIDTracking;
        else if (m_nIDHelp != 0)
            lParam = HID_BASE_RESOURCE + m_nIDHelp;
    }
    if (lParam == 0 || AfxGetApp() == NULL)
        return FALSE;
    AfxGetApp()->WinHelp(lParam, HELP_CONTEXT);
    return TRUE;
}

void CFrameWnd::OnHelp()
{
    if (IsTracking())
    {
        OnCommandHelp(0, 0);
        return;
    }
    for (HWND hWnd = ::GetFocus(); hWnd != NULL && hWnd != m_hWnd && ::IsChild(m_hWnd, hWnd);
         hWnd = ::GetParent(hWnd))
    {
        if (::SendMessage(hWnd, WM_COMMANDHELP, 0, 0))
            return;
    }
    SendMessage(WM_COMMANDHELP, 0, 0);
}

void CFrameWnd::OnSize(UINT nType, int cx, int cy)
{
    CWnd::OnSize(nType, cx, cy);
    if (nType != SIZE_MINIMIZED)
        RecalcLayout();
}

void CFrameWnd::RecalcLayout(BOOL bNotify)
{
    (void)bNotify;
    if (m_bInRecalcLayout)
        return;
    m_bInRecalcLayout = TRUE;
    m_nIdleFlags &= ~(idleLayout | idleNotify);
    RepositionBars(0, 0xFFFF, AFX_IDW_PANE_FIRST, reposExtra, &m_rectBorder);
    m_bInRecalcLayout = FALSE;
}

void CFrameWnd::DelayRecalcLayout(BOOL bNotify)
{
    m_nIdleFlags |= idleLayout | (bNotify ? idleNotify : 0);
}

void CFrameWnd::OnIdleUpdate()
{
    if (m_nIdleFlags & idleLayout)
        RecalcLayout((m_nIdleFlags & idleNotify) != 0);
    if (m_nIdleFlags & idleTitle)
    {
        m_nIdleFlags &= ~idleTitle;
        OnUpdateFrameTitle(TRUE);
    }
    if (IsWindowVisible())
        SendMessageToDescendants(WM_IDLEUPDATECMDUI, TRUE, 0, TRUE);
}

LRESULT CFrameWnd::OnIdleUpdateCmdUI(WPARAM, LPARAM)
{
    return 0;
}

void CFrameWnd::OnUpdateFrameTitle(BOOL bAddToTitle)
{
    if ((GetStyle() & FWS_ADDTOTITLE) == 0)
        return;
    CDocument* pDoc = GetActiveDocument();
    UpdateFrameTitleForDocument(bAddToTitle && pDoc != NULL ? (LPCTSTR)pDoc->GetTitle() : NULL);
}

void CFrameWnd::UpdateFrameTitleForDocument(LPCTSTR lpszDocName)
{
    CString text = m_strTitle;
    if (lpszDocName != NULL && *lpszDocName != '\0')
    {
        if (m_strTitle.IsEmpty())
            text = lpszDocName;
        else if (GetStyle() & FWS_PREFIXTITLE)
            text = CString(lpszDocName) + TEXT(" - ") + m_strTitle;
        else
            text = m_strTitle + TEXT(" - ") + lpszDocName;
    }
    CString current;
    GetWindowText(current);
    if (current != text)
        SetWindowText(text);
}

void CFrameWnd::SetMessageText(LPCTSTR lpszText)
{
    SendMessage(WM_SETMESSAGESTRING, 0, (LPARAM)lpszText);
}

void CFrameWnd::SetMessageText(UINT nID)
{
    SendMessage(WM_SETMESSAGESTRING, (WPARAM)nID, 0);
}

LRESULT CFrameWnd::OnSetMessageString(WPARAM wParam, LPARAM lParam)
{
    UINT nPrevious = m_nIDTracking;
    HWND hStatus = FindDescendant(m_hWnd, AFX_IDW_STATUS_BAR);
    if (hStatus != NULL)
    {
        CString text = lParam != 0 ? CString((LPCTSTR)lParam) : FirstLineOf((UINT)wParam);
        ::SetWindowText(hStatus, text);
    }
    m_nIDTracking = (UINT)wParam;
    return nPrevious;
}

BOOL CFrameWnd::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hAccelTable != NULL &&
        ::TranslateAccelerator(m_hWnd, m_hAccelTable, pMsg))
        return TRUE;
    return CWnd::PreTranslateMessage(pMsg);
}

BOOL CFrameWnd::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (m_pViewActive != NULL && m_pViewActive->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    // A child frame leaves the application to the frame around it.
    CWinApp* pApp = AfxGetApp();
    return GetParentFrame() == NULL && pApp != NULL && pApp->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

// ------------------------------------------------------------ control bars

CControlBar* CFrameWnd::GetControlBar(UINT nID)
{
    for (POSITION pos = m_listControlBars.GetHeadPosition(); pos != NULL;)
    {
        CControlBar* pBar = (CControlBar*)m_listControlBars.GetNext(pos);
        if ((UINT)pBar->GetDlgCtrlID() == nID)
            return pBar;
    }
    return NULL;
}

void CFrameWnd::AddControlBar(CControlBar* pBar)
{
    if (m_listControlBars.Find(pBar) == NULL)
        m_listControlBars.AddTail(pBar);
}

void CFrameWnd::RemoveControlBar(CControlBar* pBar)
{
    if (POSITION pos = m_listControlBars.Find(pBar))
        m_listControlBars.RemoveAt(pos);
}

void CFrameWnd::ShowControlBar(CControlBar* pBar, BOOL bShow, BOOL bDelay)
{
    CFrameWnd* pParentFrame = pBar->GetParentFrame();
    if (bDelay)
    {
        pBar->DelayShow(bShow);
        DelayRecalcLayout();
    }
    else
    {
        pBar->m_nStateFlags &= ~(CControlBar::delayHide | CControlBar::delayShow);
        pBar->SetWindowPos(NULL, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                                                 (bShow ? SWP_SHOWWINDOW : SWP_HIDEWINDOW));
        RecalcLayout();
    }
    // A floating bar's frame follows its bars.
    if (pParentFrame != NULL && pParentFrame != this)
    {
        if (bDelay)
            pParentFrame->DelayRecalcLayout();
        else
            pParentFrame->RecalcLayout();
    }
}

void CFrameWnd::EnableDocking(DWORD dwDockStyle)
{
    for (const auto& side : kDockSides)
    {
        if (!(dwDockStyle & side.dwAlign) || GetControlBar(side.nID) != NULL)
            continue;
        CDockBar* pDockBar = m_pDockBarClass != NULL ? (CDockBar*)m_pDockBarClass->CreateObject() : new CDockBar;
        pDockBar->m_bAutoDelete = TRUE;
        if (!pDockBar->Create(this, WS_CHILD | WS_VISIBLE | side.dwAlign, side.nID))
            delete pDockBar;
    }
}

CDockBar* CFrameWnd::FindDockBar(CControlBar* pBar, UINT nDockBarID)
{
    if (nDockBarID != 0)
    {
        CControlBar* pDockBar = GetControlBar(nDockBarID);
        return pDockBar != NULL && pDockBar->IsKindOf(RUNTIME_CLASS(CDockBar)) ? (CDockBar*)pDockBar : NULL;
    }
    for (const auto& side : kDockSides)
    {
        if (pBar->m_dwDockStyle & side.dwAlign)
        {
            CControlBar* pDockBar = GetControlBar(side.nID);
            if (pDockBar != NULL && pDockBar->IsKindOf(RUNTIME_CLASS(CDockBar)))
                return (CDockBar*)pDockBar;
        }
    }
    return NULL;
}

void CFrameWnd::DockControlBar(CControlBar* pBar, UINT nDockBarID, LPCRECT lpRect)
{
    DockControlBar(pBar, FindDockBar(pBar, nDockBarID), lpRect);
}

void CFrameWnd::DockControlBar(CControlBar* pBar, CDockBar* pDockBar, LPCRECT lpRect)
{
    if (pDockBar == NULL)
        pDockBar = FindDockBar(pBar, 0);
    if (pDockBar == NULL)
        return;  // docking was not enabled on a side the bar allows
    pBar->m_pDockSite = this;
    pDockBar->DockControlBar(pBar, lpRect);
}

void CFrameWnd::ReDockControlBar(CControlBar* pBar, CDockBar* pDockBar, LPCRECT lpRect)
{
    // The side that kept the bar's place wins, and the place itself over lpRect.
    UINT nID = (UINT)pBar->GetDlgCtrlID() & 0xFFFF;
    CDockBar* pKeeper = NULL;
    for (const auto& side : kDockSides)
    {
        CDockBar* pSide = (CDockBar*)GetControlBar(side.nID);
        for (int i = 1; pSide != NULL && pKeeper == NULL && i < (int)pSide->m_arrBars.GetSize(); ++i)
        {
            if (CDockBar::IsPlaceholder(pSide->m_arrBars[i]) && (UINT)(UINT_PTR)pSide->m_arrBars[i] == nID)
                pKeeper = pSide;
        }
    }
    if (pKeeper != NULL && (pDockBar == NULL || pDockBar == pKeeper))
        DockControlBar(pBar, pKeeper, NULL);
    else
        DockControlBar(pBar, pDockBar, lpRect);
}

DWORD CFrameWnd::CanDock(CRect rect, DWORD dwDockStyle, CDockBar** ppDockBar)
{
    for (const auto& side : kDockSides)
    {
        if (!(dwDockStyle & side.dwAlign))
            continue;
        CControlBar* pDockBar = GetControlBar(side.nID);
        if (pDockBar == NULL || !pDockBar->IsKindOf(RUNTIME_CLASS(CDockBar)) || !pDockBar->IsWindowVisible())
            continue;
        // An empty dock bar counts as one pixel thick so that a bar can reach it.
        CRect rectBar;
        pDockBar->GetWindowRect(&rectBar);
        if (rectBar.Width() == 0)
            rectBar.right++;
        if (rectBar.Height() == 0)
            rectBar.bottom++;
        CRect overlap;
        if (overlap.IntersectRect(&rectBar, &rect))
        {
            if (ppDockBar != NULL)
                *ppDockBar = (CDockBar*)pDockBar;
            return side.dwAlign;
        }
    }
    return 0;
}

CMiniDockFrameWnd* CFrameWnd::CreateFloatingFrame(DWORD dwStyle)
{
    CMiniDockFrameWnd* pFrame = (CMiniDockFrameWnd*)m_pFloatingFrameClass->CreateObject();
    if (pFrame == NULL)
        return NULL;
    if (!pFrame->Create(this, dwStyle))
    {
        if (pFrame->m_hWnd != NULL)
            pFrame->DestroyWindow();  // deletes the object
        else
            delete pFrame;
        return NULL;
    }
    return pFrame;
}

void CFrameWnd::FloatControlBar(CControlBar* pBar, CPoint point, DWORD dwStyle)
{
    CDockBar* pOld = pBar->m_pDockBar;
    CFrameWnd* pFrame = NULL;
    if (pOld != NULL && pOld->m_bFloating && pOld->GetDockedCount() == 1 &&
        (pOld->m_dwStyle & CBRS_ALIGN_ANY) == (dwStyle & CBRS_ALIGN_ANY))
    {
        // Already alone in a frame of the same alignment: move that frame.
        pFrame = pOld->GetParentFrame();
    }
    else
    {
        CMiniDockFrameWnd* pMini = CreateFloatingFrame(dwStyle | (pBar->m_dwStyle & CBRS_SIZE_DYNAMIC));
        if (pMini == NULL)
            return;
        pBar->m_pDockSite = this;
        pMini->m_wndDockBar.DockControlBar(pBar);
        pFrame = pMini;
    }
    pFrame->SetWindowPos(NULL, point.x, point.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    pFrame->RecalcLayout();
    DelayRecalcLayout();
}

void CFrameWnd::NotifyFloatingWindows(DWORD dwFlags)
{
    std::vector<HWND> windows;
    ::EnumThreadWindows(::GetCurrentThreadId(), CollectWindow, (LPARAM)&windows);
    for (HWND hWnd : windows)
    {
        if (hWnd != m_hWnd && ::GetWindow(hWnd, GW_OWNER) == m_hWnd)
            ::SendMessage(hWnd, WM_FLOATSTATUS, dwFlags, 0);
    }
}

// ------------------------------------------------------------ mini frames

BOOL CMiniFrameWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                           CWnd* pParentWnd, UINT nID)
{
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle, rect, pParentWnd, nID);
}

BOOL CMiniFrameWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                             const RECT& rect, CWnd* pParentWnd, UINT nID)
{
    (void)nID;
    m_dwFrameStyle = dwStyle & (MFS_SYNCACTIVE | MFS_4THICKFRAME | MFS_THICKFRAME | MFS_MOVEFRAME |
                                MFS_BLOCKSYSMENU | FWS_SNAPTOBARS);
    DWORD dwWindowStyle = dwStyle & ~m_dwFrameStyle;
    if (m_dwFrameStyle & MFS_THICKFRAME)
        dwWindowStyle |= WS_THICKFRAME;
    m_strTitle = lpszWindowName;
    return CFrameWnd::Create(lpszClassName, lpszWindowName, dwWindowStyle, rect, pParentWnd, NULL,
                             dwExStyle | WS_EX_TOOLWINDOW);
}

BEGIN_MESSAGE_MAP(CMiniDockFrameWnd, CMiniFrameWnd)
    ON_WM_CLOSE()
    ON_MESSAGE(WM_FLOATSTATUS, OnFloatStatus)
    ON_MESSAGE(WM_NCLBUTTONDOWN, OnNcLButtonDown)
    ON_MESSAGE(WM_NCLBUTTONDBLCLK, OnNcLButtonDblClk)
END_MESSAGE_MAP()

CMiniDockFrameWnd::CMiniDockFrameWnd() : m_wndDockBar(TRUE)
{
}

BOOL CMiniDockFrameWnd::Create(CWnd* pParent, DWORD dwBarStyle)
{
    m_bInRecalcLayout = TRUE;
    DWORD dwStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | FWS_SNAPTOBARS | MFS_BLOCKSYSMENU | MFS_4THICKFRAME |
                    MFS_SYNCACTIVE;
    if (!(dwBarStyle & CBRS_SIZE_DYNAMIC))
        dwStyle |= MFS_MOVEFRAME;
    if (!CMiniFrameWnd::CreateEx(0, NULL, TEXT(""), dwStyle, CRect(0, 0, 0, 0), pParent))
    {
        m_bInRecalcLayout = FALSE;
        return FALSE;
    }
    // The dock bar is made as the parent's child, so that it joins the
    // parent's bars (and its saved layout), then moves in here.
    DWORD dwAlign = (dwBarStyle & CBRS_ORIENT_VERT) ? CBRS_ALIGN_LEFT : CBRS_ALIGN_TOP;
    BOOL bDockBar = m_wndDockBar.Create(pParent, WS_CHILD | WS_VISIBLE | dwAlign | (dwBarStyle & CBRS_FLOAT_MULTI),
                                        AFX_IDW_DOCKBAR_FLOAT);
    if (bDockBar)
        m_wndDockBar.SetParent(this);
    m_bInRecalcLayout = FALSE;
    return bDockBar;
}

void CMiniDockFrameWnd::RecalcLayout(BOOL bNotify)
{
    (void)bNotify;
    if (m_bInRecalcLayout)
        return;
    m_bInRecalcLayout = TRUE;
    m_nIdleFlags &= ~(idleLayout | idleNotify);
    if (m_wndDockBar.GetDockedVisibleCount() == 0)
    {
        ShowWindow(SW_HIDE);
    }
    else
    {
        // Size the window to its bars, then lay them out in it.
        CRect size;
        CRect unbounded(0, 0, 32767, 32767);
        RepositionBars(0, 0xFFFF, AFX_IDW_PANE_FIRST, reposQuery, &size, &unbounded, FALSE);
        CalcWindowRect(&size);
        SetWindowPos(NULL, 0, 0, size.Width(), size.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        RepositionBars(0, 0xFFFF, AFX_IDW_PANE_FIRST);
        CString title;
        m_wndDockBar.GetWindowText(title);
        SetWindowText(title);
        if (!IsWindowVisible())
            ShowWindow(SW_SHOWNA);
    }
    m_bInRecalcLayout = FALSE;
}

void CMiniDockFrameWnd::OnClose()
{
    // Closing hides the bars; the frame goes when its last bar leaves.
    m_wndDockBar.ShowAll(FALSE);
}

LRESULT CMiniDockFrameWnd::OnFloatStatus(WPARAM wParam, LPARAM)
{
    if ((wParam & FS_HIDE) && IsWindowVisible())
        ShowWindow(SW_HIDE);
    else if ((wParam & FS_SHOW) && !IsWindowVisible() && m_wndDockBar.GetDockedVisibleCount() > 0)
        ShowWindow(SW_SHOWNA);
    if (wParam & (FS_ENABLE | FS_DISABLE))
        EnableWindow((wParam & FS_ENABLE) != 0);
    return TRUE;
}

CControlBar* CMiniDockFrameWnd::FirstBar() const
{
    for (int i = 1; i < (int)m_wndDockBar.m_arrBars.GetSize(); ++i)
    {
        if (CControlBar* pBar = m_wndDockBar.GetDockedControlBar(i))
            return pBar;
    }
    return NULL;
}

LRESULT CMiniDockFrameWnd::OnNcLButtonDown(WPARAM wParam, LPARAM lParam)
{
    CControlBar* pBar = (m_wndDockBar.m_dwStyle & CBRS_FLOAT_MULTI) ? NULL : FirstBar();
    CPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    if (pBar != NULL && pBar->m_pDockContext != NULL)
    {
        if (wParam == HTCAPTION)
        {
            BringWindowToTop();
            pBar->m_pDockContext->StartDrag(point);
            return 0;
        }
        if (wParam >= HTSIZEFIRST && wParam <= HTSIZELAST)
        {
            pBar->m_pDockContext->StartResize((int)wParam, point);
            return 0;
        }
    }
    return Default();
}

LRESULT CMiniDockFrameWnd::OnNcLButtonDblClk(WPARAM wParam, LPARAM)
{
    CControlBar* pBar = (m_wndDockBar.m_dwStyle & CBRS_FLOAT_MULTI) ? NULL : FirstBar();
    if (wParam == HTCAPTION && pBar != NULL && pBar->m_pDockContext != NULL)
    {
        pBar->m_pDockContext->ToggleDocking();
        return 0;
    }
    return Default();
}
