#include "handlemap.h"

#include <cstdlib>
#include <cstring>

IMPLEMENT_DYNAMIC(CCmdTarget, CObject)
IMPLEMENT_DYNCREATE(CWnd, CCmdTarget)
IMPLEMENT_DYNAMIC(CScrollBar, CWnd)

// ---------------------------------------------------------------- thread state

namespace
{
DWORD g_stateSlot = TlsAlloc();

void SetWndHandle(CWnd* p, HWND h) { p->m_hWnd = h; }
void SetMenuHandle(CMenu* p, HMENU h) { p->m_hMenu = h; }
void SetDCHandle(CDC* p, HDC h) { p->m_hDC = p->m_hAttribDC = h; }
void SetGdiHandle(CGdiObject* p, HGDIOBJ h) { p->m_hObject = h; }
void SetImageListHandle(CImageList* p, HIMAGELIST h) { p->m_hImageList = h; }

LRESULT CALLBACK CbtHook(int nCode, WPARAM wParam, LPARAM lParam)
{
    AfxWndState* pState = AfxPeekWndState();
    if (pState != NULL)
    {
        HWND hWnd = (HWND)wParam;
        if (nCode == HCBT_CREATEWND && pState->pWndInit != NULL)
        {
            // The first window made during CreateEx is the one being created.
            CWnd* pWnd = pState->pWndInit;
            pState->pWndInit = NULL;
            pWnd->SubclassWindow(hWnd);
        }
        else if (nCode == HCBT_DESTROYWND)
        {
            pState->windows.Forget(hWnd);
        }
    }
    return CallNextHookEx(NULL, nCode, wParam, lParam);
}
}  // namespace

AfxWndState::AfxWndState()
    : windows(SetWndHandle), menus(SetMenuHandle), dcs(SetDCHandle), gdiObjects(SetGdiHandle),
      imageLists(SetImageListHandle), nTempMapLock(0), hCbtHook(NULL), pWndInit(NULL), msgCur(),
      hMenuTracking(NULL), pToolTip(NULL), hWndLastTool(NULL), nLastToolHit(-1), lastTool()
{
}

void AfxWndState::DeleteTemps()
{
    windows.DeleteTemp();
    menus.DeleteTemp();
    dcs.DeleteTemp();
    gdiObjects.DeleteTemp();
    imageLists.DeleteTemp();
}

AfxWndState* AfxPeekWndState()
{
    return static_cast<AfxWndState*>(TlsGetValue(g_stateSlot));
}

AfxWndState* AfxGetWndState()
{
    AfxWndState* pState = AfxPeekWndState();
    if (pState == NULL)
    {
        pState = new AfxWndState;
        TlsSetValue(g_stateSlot, pState);
        // Kept for the thread's life: it also drops temporaries of destroyed windows.
        pState->hCbtHook = SetWindowsHookEx(WH_CBT, CbtHook, NULL, GetCurrentThreadId());
    }
    return pState;
}

void AfxHookWindowCreate(CWnd* pWnd)
{
    AfxGetWndState()->pWndInit = pWnd;
}

void AfxUnhookWindowCreate()
{
    AfxGetWndState()->pWndInit = NULL;
}

void AfxDeleteTempMaps()
{
    AfxWndState* pState = AfxPeekWndState();
    if (pState != NULL && pState->nTempMapLock == 0)
        pState->DeleteTemps();
}

void AfxLockTempMaps()
{
    ++AfxGetWndState()->nTempMapLock;
}

BOOL AfxUnlockTempMaps(BOOL bDeleteTemps)
{
    AfxWndState* pState = AfxGetWndState();
    if (pState->nTempMapLock > 0 && --pState->nTempMapLock == 0)
    {
        if (bDeleteTemps)
            pState->DeleteTemps();
        return TRUE;
    }
    return FALSE;
}

// ---------------------------------------------------------------- message maps

const AFX_MSGMAP* CCmdTarget::GetThisMessageMap()
{
    static const AFX_MSGMAP_ENTRY entries[] = { { 0, NULL, 0, 0, 0, NULL } };
    static const AFX_MSGMAP map = { NULL, entries };
    return &map;
}

const AFX_MSGMAP* CCmdTarget::GetMessageMap() const
{
    return GetThisMessageMap();
}

namespace
{
BOOL EntryMatches(const AFX_MSGMAP_ENTRY* e, UINT nMessage, int nCode, UINT nID)
{
    if (e->pnRegistered != NULL)
        return *e->pnRegistered != 0 && *e->pnRegistered == nMessage;
    if (e->nMessage != nMessage)
        return FALSE;
    UINT nBase = nMessage >= WM_REFLECT_BASE ? nMessage - WM_REFLECT_BASE : nMessage;
    if (nBase != WM_COMMAND && nBase != WM_NOTIFY)
        return TRUE;
    if (e->nCode != nCode)
        return FALSE;
    if (nMessage >= WM_REFLECT_BASE)
        return TRUE;
    return nID >= e->nID && nID <= e->nLastID;
}
}  // namespace

const AFX_MSGMAP_ENTRY* CCmdTarget::FindEntry(const AFX_MSGMAP* pMap, UINT nMessage, int nCode, UINT nID)
{
    for (; pMap != NULL; pMap = pMap->pfnGetBaseMap != NULL ? pMap->pfnGetBaseMap() : NULL)
    {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->nMessage != 0; ++e)
        {
            if (EntryMatches(e, nMessage, nCode, nID))
                return e;
        }
    }
    return NULL;
}

BOOL CCmdTarget::DispatchEntries(UINT nMessage, int nCode, UINT nID, AFX_MSGCALL& call,
                                 AFX_CMDHANDLERINFO* pHandlerInfo)
{
    for (const AFX_MSGMAP* pMap = GetMessageMap(); pMap != NULL;
         pMap = pMap->pfnGetBaseMap != NULL ? pMap->pfnGetBaseMap() : NULL)
    {
        for (const AFX_MSGMAP_ENTRY* e = pMap->lpEntries; e->nMessage != 0; ++e)
        {
            if (!EntryMatches(e, nMessage, nCode, nID))
                continue;
            if (pHandlerInfo != NULL)
            {
                pHandlerInfo->pTarget = this;
                pHandlerInfo->pEntry = e;
                return TRUE;
            }
            if (e->pfn(this, call))
                return TRUE;
        }
    }
    return FALSE;
}

BOOL CCmdTarget::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    UINT nMessage = WM_COMMAND;
    int nMapCode = nCode;
    if (nCode != CN_UPDATE_COMMAND_UI && HIWORD(nCode) != 0)
    {
        nMessage = HIWORD(nCode);
        nMapCode = (short)LOWORD(nCode);
    }
    AFX_MSGCALL call = { nMessage, 0, 0, nID, pExtra, 0 };
    return DispatchEntries(nMessage, nMapCode, nID, call, pHandlerInfo);
}

void CCmdTarget::BeginWaitCursor()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->DoWaitCursor(1);
}

void CCmdTarget::EndWaitCursor()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->DoWaitCursor(-1);
}

void CCmdTarget::RestoreWaitCursor()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->DoWaitCursor(0);
}

// ---------------------------------------------------------------- CCmdUI

CCmdUI::CCmdUI()
    : m_nID(0), m_nIndex(0), m_pMenu(NULL), m_pSubMenu(NULL), m_pOther(NULL), m_nIndexMax(0),
      m_bEnableChanged(FALSE), m_bContinueRouting(FALSE)
{
}

void CCmdUI::Enable(BOOL bOn)
{
    if (m_pMenu != NULL)
    {
        if (m_pSubMenu == NULL)
            m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : MF_DISABLED | MF_GRAYED));
    }
    else if (m_pOther != NULL)
    {
        if (!bOn && ::GetFocus() == m_pOther->m_hWnd)
            ::SetFocus(::GetParent(m_pOther->m_hWnd));
        m_pOther->EnableWindow(bOn);
    }
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck)
{
    if (m_pMenu != NULL)
    {
        if (m_pSubMenu == NULL)
            m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (nCheck ? MF_CHECKED : MF_UNCHECKED));
    }
    else if (m_pOther != NULL && (m_pOther->SendMessage(WM_GETDLGCODE) & DLGC_BUTTON))
    {
        m_pOther->SendMessage(BM_SETCHECK, nCheck);
    }
}

void CCmdUI::SetRadio(BOOL bOn)
{
    if (m_pMenu != NULL && m_pSubMenu == NULL)
    {
        if (bOn)
            m_pMenu->CheckMenuRadioItem(m_nIndex, m_nIndex, m_nIndex, MF_BYPOSITION);
        else
            m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | MF_UNCHECKED);
        return;
    }
    SetCheck(bOn ? 1 : 0);
}

void CCmdUI::SetText(LPCTSTR lpszText)
{
    if (m_pMenu != NULL)
    {
        if (m_pSubMenu != NULL)
            return;
        UINT nState = m_pMenu->GetMenuState(m_nIndex, MF_BYPOSITION);
        nState &= ~(MF_BITMAP | MF_OWNERDRAW | MF_SEPARATOR | MF_POPUP | 0xFF00);
        m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | MF_STRING | nState, m_nID, lpszText);
    }
    else if (m_pOther != NULL)
    {
        m_pOther->SetWindowText(lpszText);
    }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler)
{
    if (m_nID == 0 || LOWORD(m_nID) == 0xFFFF)
        return TRUE;
    m_bEnableChanged = FALSE;
    BOOL bResult = pTarget->OnCmdMsg(m_nID, CN_UPDATE_COMMAND_UI, this, NULL);
    if (bDisableIfNoHndler && !m_bEnableChanged)
    {
        AFX_CMDHANDLERINFO info = { NULL, NULL };
        Enable(pTarget->OnCmdMsg(m_nID, CN_COMMAND, NULL, &info));
    }
    return bResult;
}

// ---------------------------------------------------------------- CWnd basics

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() : m_hWnd(NULL), m_pfnSuper(NULL), m_bToolTips(FALSE)
{
}

CWnd::~CWnd()
{
    if (m_hWnd != NULL && AfxPeekWndState() != NULL &&
        AfxPeekWndState()->windows.LookupPermanent(m_hWnd) == this)
    {
        // A permanent window outliving its object: end it now, so that no
        // message reaches the freed object.
        DestroyWindow();
    }
}

CWnd* CWnd::FromHandle(HWND hWnd)
{
    return AfxGetWndState()->windows.FromHandle(hWnd);
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    AfxWndState* pState = AfxPeekWndState();
    return pState == NULL || hWnd == NULL ? NULL : pState->windows.LookupPermanent(hWnd);
}

void CWnd::DeleteTempMap()
{
    AfxGetWndState()->windows.DeleteTemp();
}

BOOL CWnd::Attach(HWND hWndNew)
{
    if (hWndNew == NULL)
        return FALSE;
    AfxWndState* pState = AfxGetWndState();
    pState->windows.Forget(hWndNew);
    m_hWnd = hWndNew;
    pState->windows.SetPermanent(hWndNew, this);
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    if (hWnd != NULL)
        AfxGetWndState()->windows.RemovePermanent(hWnd);
    m_hWnd = NULL;
    return hWnd;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!Attach(hWnd))
        return FALSE;
    PreSubclassWindow();
    WNDPROC pfnOld = (WNDPROC)SetWindowLongPtr(hWnd, GWLP_WNDPROC, (LONG_PTR)AfxWndProc);
    if (pfnOld != AfxWndProc)
        m_pfnSuper = pfnOld;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    HWND hWndControl = ::GetDlgItem(pParent->GetSafeHwnd(), nID);
    return hWndControl != NULL && SubclassWindow(hWndControl);
}

HWND CWnd::UnsubclassWindow()
{
    if (m_pfnSuper != NULL)
        SetWindowLongPtr(m_hWnd, GWLP_WNDPROC, (LONG_PTR)m_pfnSuper);
    m_pfnSuper = NULL;
    return Detach();
}

BOOL CWnd::PreCreateWindow(CREATESTRUCT& cs)
{
    if (cs.lpszClass == NULL)
        cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(NULL, IDC_ARROW),
                                           (HBRUSH)(COLOR_WINDOW + 1));
    return TRUE;
}

BOOL CWnd::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                  CWnd* pParentWnd, UINT nID, CCreateContext* pContext)
{
    return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID,
                    (LPVOID)pContext);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    const RECT& rect, CWnd* pParentWnd, UINT nID, LPVOID lpParam)
{
    return CreateEx(dwExStyle, lpszClassName, lpszWindowName, dwStyle, rect.left, rect.top,
                    rect.right - rect.left, rect.bottom - rect.top, pParentWnd->GetSafeHwnd(),
                    (HMENU)(UINT_PTR)nID, lpParam);
}

BOOL CWnd::CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                    int x, int y, int nWidth, int nHeight, HWND hWndParent, HMENU nIDorHMenu,
                    LPVOID lpParam)
{
    CREATESTRUCT cs;
    cs.dwExStyle = dwExStyle;
    cs.lpszClass = lpszClassName;
    cs.lpszName = lpszWindowName;
    cs.style = dwStyle;
    cs.x = x;
    cs.y = y;
    cs.cx = nWidth;
    cs.cy = nHeight;
    cs.hwndParent = hWndParent;
    cs.hMenu = nIDorHMenu;
    cs.hInstance = AfxGetInstanceHandle();
    cs.lpCreateParams = lpParam;
    if (!PreCreateWindow(cs))
    {
        PostNcDestroy();
        return FALSE;
    }
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateWindowEx(cs.dwExStyle, cs.lpszClass, cs.lpszName, cs.style, cs.x, cs.y,
                                 cs.cx, cs.cy, cs.hwndParent, cs.hMenu, cs.hInstance,
                                 cs.lpCreateParams);
    AfxUnhookWindowCreate();
    if (hWnd == NULL)
    {
        // A window that failed in WM_CREATE was attached and destroyed already.
        if (m_hWnd == NULL)
            PostNcDestroy();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::DestroyWindow()
{
    if (m_hWnd == NULL)
        return FALSE;
    return ::DestroyWindow(m_hWnd);
}

// ---------------------------------------------------------------- window procedure

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    AfxWndState* pState = AfxGetWndState();
    CWnd* pWnd = pState->windows.LookupPermanent(hWnd);
    if (pWnd == NULL)
        return ::DefWindowProc(hWnd, message, wParam, lParam);

    MSG msgSaved = pState->msgCur;
    pState->msgCur.hwnd = hWnd;
    pState->msgCur.message = message;
    pState->msgCur.wParam = wParam;
    pState->msgCur.lParam = lParam;
    LRESULT lResult = pWnd->WindowProc(message, wParam, lParam);
    if (message == WM_NCDESTROY)
    {
        // The object may be gone after PostNcDestroy: detach first.
        if (pState->windows.LookupPermanent(hWnd) == pWnd)
        {
            WNDPROC pfnSuper = pWnd->m_pfnSuper;
            if (pfnSuper != NULL && (WNDPROC)GetWindowLongPtr(hWnd, GWLP_WNDPROC) == AfxWndProc)
                SetWindowLongPtr(hWnd, GWLP_WNDPROC, (LONG_PTR)pfnSuper);
            pWnd->m_pfnSuper = NULL;
            pWnd->Detach();
            pWnd->PostNcDestroy();
        }
    }
    pState->msgCur = msgSaved;
    return lResult;
}

const MSG* CWnd::GetCurrentMessage()
{
    return &AfxGetWndState()->msgCur;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_pfnSuper != NULL)
        return ::CallWindowProc(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProc(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default()
{
    const MSG& m = AfxGetWndState()->msgCur;
    return DefWindowProc(m.message, m.wParam, m.lParam);
}

// The child a reflectable message comes from, or FALSE when it is not one.
BOOL CWnd::ReflectedChildMessage(UINT message, WPARAM wParam, LPARAM lParam, HWND* phWndChild)
{
    switch (message)
    {
    case WM_COMMAND:
        *phWndChild = (HWND)lParam;
        return lParam != 0;
    case WM_NOTIFY:
        *phWndChild = ((NMHDR*)lParam)->hwndFrom;
        return TRUE;
    case WM_DRAWITEM:
        if (((LPDRAWITEMSTRUCT)lParam)->CtlType == ODT_MENU)
            return FALSE;
        *phWndChild = ((LPDRAWITEMSTRUCT)lParam)->hwndItem;
        return TRUE;
    case WM_MEASUREITEM:
        if (((LPMEASUREITEMSTRUCT)lParam)->CtlType == ODT_MENU)
            return FALSE;
        *phWndChild = NULL;
        return TRUE;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORSCROLLBAR:
    case WM_HSCROLL:
    case WM_VSCROLL:
        *phWndChild = (HWND)lParam;
        return lParam != 0;
    default:
        return FALSE;
    }
}

namespace
{
// The menu, among hMenu and its popups, that holds the item nItemID.
HMENU FindMenuOfItem(HMENU hMenu, UINT nItemID)
{
    if (hMenu == NULL)
        return NULL;
    int nCount = ::GetMenuItemCount(hMenu);
    for (int i = 0; i < nCount; ++i)
    {
        if (HMENU hSub = ::GetSubMenu(hMenu, i))
        {
            if (HMENU hFound = FindMenuOfItem(hSub, nItemID))
                return hFound;
        }
        else if (::GetMenuItemID(hMenu, i) == nItemID)
        {
            return hMenu;
        }
    }
    return NULL;
}
}  // namespace

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message == WM_COMMAND)
    {
        if (OnCommand(wParam, lParam))
        {
            *pResult = 0;
            return TRUE;
        }
        return FALSE;
    }
    if (message == WM_NOTIFY)
    {
        LRESULT lResult = 0;
        if (OnNotify(wParam, lParam, &lResult))
        {
            *pResult = lResult;
            return TRUE;
        }
        return FALSE;
    }

    HWND hWndChild = NULL;
    if (ReflectedChildMessage(message, wParam, lParam, &hWndChild))
    {
        if (message == WM_MEASUREITEM)
            hWndChild = ::GetDlgItem(m_hWnd, ((LPMEASUREITEMSTRUCT)lParam)->CtlID);
        CWnd* pChild = FromHandlePermanent(hWndChild);
        if (pChild != NULL && pChild != this && pChild->OnChildNotify(message, wParam, lParam, pResult))
            return TRUE;
    }

    AFX_MSGCALL call = { message, wParam, lParam, 0, NULL, 0 };
    if (DispatchEntries(message, 0, 0, call, NULL))
    {
        *pResult = call.lResult;
        return TRUE;
    }

    // Owner-drawn menu items no map took go to their CMenu.
    if (message == WM_DRAWITEM && ((LPDRAWITEMSTRUCT)lParam)->CtlType == ODT_MENU)
    {
        LPDRAWITEMSTRUCT pDIS = (LPDRAWITEMSTRUCT)lParam;
        if (CMenu* pMenu = AfxGetWndState()->menus.LookupPermanent((HMENU)pDIS->hwndItem))
        {
            pMenu->DrawItem(pDIS);
            *pResult = TRUE;
            return TRUE;
        }
    }
    if (message == WM_MEASUREITEM && ((LPMEASUREITEMSTRUCT)lParam)->CtlType == ODT_MENU)
    {
        // The message names no menu: look in the popup being tracked and the menu bar.
        LPMEASUREITEMSTRUCT pMIS = (LPMEASUREITEMSTRUCT)lParam;
        AfxWndState* pState = AfxGetWndState();
        HMENU hMenu = FindMenuOfItem(pState->hMenuTracking, pMIS->itemID);
        if (hMenu == NULL)
            hMenu = FindMenuOfItem(::GetMenu(m_hWnd), pMIS->itemID);
        if (CMenu* pMenu = pState->menus.LookupPermanent(hMenu))
        {
            pMenu->MeasureItem(pMIS);
            *pResult = TRUE;
            return TRUE;
        }
    }
    if (message == WM_INITMENUPOPUP)
    {
        OnInitMenuPopup(CMenu::FromHandle((HMENU)wParam), LOWORD(lParam), (BOOL)HIWORD(lParam));
        return FALSE;  // default processing as well
    }
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam)
{
    UINT nID = LOWORD(wParam);
    int nCode = HIWORD(wParam);
    HWND hWndCtrl = (HWND)lParam;
    if (hWndCtrl != NULL)
    {
        CWnd* pChild = FromHandlePermanent(hWndCtrl);
        LRESULT lResult = 0;
        if (pChild != NULL && pChild != this &&
            pChild->OnChildNotify(WM_COMMAND, wParam, lParam, &lResult))
            return TRUE;
        if (nID == 0)
            return FALSE;
    }
    else
    {
        nCode = CN_COMMAND;  // a menu item or an accelerator
    }
    return OnCmdMsg(nID, nCode, NULL, NULL);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult)
{
    NMHDR* pNMHDR = (NMHDR*)lParam;
    CWnd* pChild = FromHandlePermanent(pNMHDR->hwndFrom);
    if (pChild != NULL && pChild != this && pChild->OnChildNotify(WM_NOTIFY, 0, lParam, pResult))
        return TRUE;
    AFX_NOTIFY notify = { pResult, pNMHDR };
    return OnCmdMsg((UINT)pNMHDR->idFrom, AFX_NOTIFY_CODE(WM_NOTIFY, pNMHDR->code), &notify, NULL);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    switch (message)
    {
    case WM_COMMAND:
        return OnCmdMsg(0, AFX_NOTIFY_CODE(WM_COMMAND + WM_REFLECT_BASE, HIWORD(wParam)), NULL, NULL);
    case WM_NOTIFY:
    {
        NMHDR* pNMHDR = (NMHDR*)lParam;
        AFX_NOTIFY notify = { pResult, pNMHDR };
        return OnCmdMsg(0, AFX_NOTIFY_CODE(WM_NOTIFY + WM_REFLECT_BASE, pNMHDR->code), &notify, NULL);
    }
    default:
    {
        AFX_MSGCALL call = { message + WM_REFLECT_BASE, wParam, lParam, 0, NULL, 0 };
        if (!DispatchEntries(message + WM_REFLECT_BASE, 0, 0, call, NULL))
            return FALSE;
        // A colour handler that gives no brush leaves the choice to the parent.
        if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC && call.lResult == 0)
            return FALSE;
        if (pResult != NULL)
            *pResult = call.lResult;
        return TRUE;
    }
    }
}

BOOL CWnd::PreTranslateMessage(MSG* pMsg)
{
    if (m_bToolTips)
        FilterToolTipMessage(pMsg);
    return FALSE;
}

BOOL CWnd::WalkPreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd != NULL; hWnd = ::GetParent(hWnd))
    {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd != NULL && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}

BOOL CWinThread::PreTranslateMessage(MSG* pMsg)
{
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST ||
        pMsg->message >= WM_MOUSEFIRST && pMsg->message <= WM_MOUSELAST || pMsg->hwnd != NULL)
    {
        CWnd* pMainWnd = AfxGetMainWnd();
        HWND hWndStop = pMainWnd != NULL ? pMainWnd->m_hWnd : NULL;
        if (CWnd::WalkPreTranslateTree(hWndStop, pMsg))
            return TRUE;
        // A modeless dialog or window outside the main window's tree.
        if (pMainWnd != NULL && pMsg->hwnd != NULL && !::IsChild(hWndStop, pMsg->hwnd) &&
            pMsg->hwnd != hWndStop)
        {
            CWnd* pTop = CWnd::FromHandlePermanent(hWndStop);
            if (pTop != NULL && pTop->PreTranslateMessage(pMsg))
                return TRUE;
        }
    }
    return FALSE;
}

// ---------------------------------------------------------------- helpers

CWnd* CWnd::GetTopLevelParent() const
{
    HWND hWnd = m_hWnd;
    while (hWnd != NULL && (GetWindowLongPtr(hWnd, GWL_STYLE) & WS_CHILD))
        hWnd = ::GetParent(hWnd);
    return FromHandle(hWnd);
}

CWnd* CWnd::GetSafeOwner(CWnd* pParent)
{
    HWND hWnd = pParent != NULL ? pParent->m_hWnd : NULL;
    if (hWnd == NULL)
    {
        CWnd* pMain = AfxGetMainWnd();
        hWnd = pMain != NULL ? pMain->m_hWnd : NULL;
    }
    while (hWnd != NULL && (GetWindowLongPtr(hWnd, GWL_STYLE) & WS_CHILD))
        hWnd = ::GetParent(hWnd);
    return FromHandle(hWnd);
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD dwStyle = GetStyle();
    DWORD dwNew = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNew)
        return FALSE;
    ::SetWindowLongPtr(m_hWnd, GWL_STYLE, (LONG_PTR)dwNew);
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | nFlags);
    return TRUE;
}

BOOL CWnd::ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD dwStyle = GetExStyle();
    DWORD dwNew = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNew)
        return FALSE;
    ::SetWindowLongPtr(m_hWnd, GWL_EXSTYLE, (LONG_PTR)dwNew);
    if (nFlags != 0)
        ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED | nFlags);
    return TRUE;
}

void CWnd::GetWindowText(CString& rString) const
{
    int n = ::GetWindowTextLength(m_hWnd);
    ::GetWindowText(m_hWnd, rString.GetBuffer(n + 1), n + 1);
    rString.ReleaseBuffer();
}

int CWnd::GetDlgItemText(int nID, CString& rString) const
{
    HWND hWnd = ::GetDlgItem(m_hWnd, nID);
    rString = TEXT("");
    if (hWnd != NULL)
        FromHandle(hWnd)->GetWindowText(rString);
    return rString.GetLength();
}

int CWnd::GetCheckedRadioButton(int nIDFirst, int nIDLast) const
{
    for (int nID = nIDFirst; nID <= nIDLast; ++nID)
    {
        if (::IsDlgButtonChecked(m_hWnd, nID))
            return nID;
    }
    return 0;
}

void CWnd::SetFont(CFont* pFont, BOOL bRedraw)
{
    ::SendMessage(m_hWnd, WM_SETFONT, (WPARAM)pFont->GetSafeHandle(), bRedraw);
}

CFont* CWnd::GetFont() const
{
    return CFont::FromHandle((HFONT)::SendMessage(m_hWnd, WM_GETFONT, 0, 0));
}

void CWnd::CenterWindow(CWnd* pAlternateOwner)
{
    HWND hWndCenter = pAlternateOwner != NULL ? pAlternateOwner->m_hWnd
                      : (GetStyle() & WS_CHILD) ? ::GetParent(m_hWnd)
                                                : ::GetWindow(m_hWnd, GW_OWNER);
    CRect rcArea;
    if (hWndCenter != NULL && !(GetStyle() & WS_CHILD))
        ::GetWindowRect(hWndCenter, &rcArea);
    else if (hWndCenter != NULL)
        ::GetClientRect(hWndCenter, &rcArea);
    else
        ::SystemParametersInfo(SPI_GETWORKAREA, 0, &rcArea, 0);
    CRect rc;
    GetWindowRect(&rc);
    int x = rcArea.left + (rcArea.Width() - rc.Width()) / 2;
    int y = rcArea.top + (rcArea.Height() - rc.Height()) / 2;
    ::SetWindowPos(m_hWnd, NULL, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::CalcWindowRect(LPRECT lpClientRect, UINT)
{
    ::AdjustWindowRectEx(lpClientRect, GetStyle(), FALSE, GetExStyle());
}

CDC* CWnd::GetDC()
{
    return CDC::FromHandle(::GetDC(m_hWnd));
}

CDC* CWnd::GetWindowDC()
{
    return CDC::FromHandle(::GetWindowDC(m_hWnd));
}

int CWnd::ReleaseDC(CDC* pDC)
{
    return ::ReleaseDC(m_hWnd, pDC->GetSafeHdc());
}

CMenu* CWnd::GetMenu() const
{
    return CMenu::FromHandle(::GetMenu(m_hWnd));
}

BOOL CWnd::SetMenu(CMenu* pMenu)
{
    return ::SetMenu(m_hWnd, pMenu->GetSafeHmenu());
}

CMenu* CWnd::GetSystemMenu(BOOL bRevert) const
{
    return CMenu::FromHandle(::GetSystemMenu(m_hWnd, bRevert));
}

int CWnd::MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption, UINT nType)
{
    if (lpszCaption == NULL && AfxGetApp() != NULL)
        lpszCaption = AfxGetApp()->m_pszAppName;
    (void)lpszCaption;
    return AfxGetApp() != NULL ? AfxGetApp()->DoMessageBox(lpszText, nType, 0)
                               : ::MessageBox(m_hWnd, lpszText, lpszCaption, nType);
}

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep)
{
    for (HWND hChild = ::GetTopWindow(m_hWnd); hChild != NULL; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
    {
        ::SendMessage(hChild, message, wParam, lParam);
        if (bDeep && ::GetTopWindow(hChild) != NULL)
            FromHandle(hChild)->SendMessageToDescendants(message, wParam, lParam, TRUE);
    }
}

void CWnd::UpdateDialogControls(CCmdTarget* pTarget, BOOL bDisableIfNoHndler)
{
    CCmdUI state;
    for (HWND hChild = ::GetTopWindow(m_hWnd); hChild != NULL; hChild = ::GetWindow(hChild, GW_HWNDNEXT))
    {
        state.m_nID = ::GetDlgCtrlID(hChild);
        state.m_pOther = FromHandle(hChild);
        // Buttons without a command handler stay as they are.
        BOOL bDisable = bDisableIfNoHndler && (state.m_pOther->SendMessage(WM_GETDLGCODE) & DLGC_BUTTON) &&
                        ((GetWindowLongPtr(hChild, GWL_STYLE) & 0x0F) == BS_PUSHBUTTON ||
                         (GetWindowLongPtr(hChild, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON);
        state.DoUpdate(pTarget, bDisable);
    }
}

// ---------------------------------------------------------------- handlers

int CWnd::OnCreate(LPCREATESTRUCT) { return (int)Default(); }
void CWnd::OnDestroy() { Default(); }
void CWnd::OnNcDestroy() { Default(); }
void CWnd::OnClose() { Default(); }
void CWnd::OnPaint() { Default(); }
BOOL CWnd::OnEraseBkgnd(CDC*) { return (BOOL)Default(); }
void CWnd::OnSize(UINT, int, int) { Default(); }
void CWnd::OnMove(int, int) { Default(); }
void CWnd::OnShowWindow(BOOL, UINT) { Default(); }
void CWnd::OnTimer(UINT_PTR) { Default(); }
void CWnd::OnLButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnLButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnLButtonDblClk(UINT, CPoint) { Default(); }
void CWnd::OnRButtonDown(UINT, CPoint) { Default(); }
void CWnd::OnRButtonUp(UINT, CPoint) { Default(); }
void CWnd::OnMouseMove(UINT, CPoint) { Default(); }
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) { return (BOOL)Default(); }
void CWnd::OnKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnKeyUp(UINT, UINT, UINT) { Default(); }
void CWnd::OnChar(UINT, UINT, UINT) { Default(); }
void CWnd::OnSysKeyDown(UINT, UINT, UINT) { Default(); }
void CWnd::OnSetFocus(CWnd*) { Default(); }
void CWnd::OnKillFocus(CWnd*) { Default(); }
void CWnd::OnContextMenu(CWnd*, CPoint) { Default(); }
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) { Default(); }
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) { Default(); }
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) { return (BOOL)Default(); }
UINT CWnd::OnGetDlgCode() { return (UINT)Default(); }
void CWnd::OnDrawItem(int, LPDRAWITEMSTRUCT) { Default(); }
void CWnd::OnMeasureItem(int, LPMEASUREITEMSTRUCT) { Default(); }
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) { return (HBRUSH)Default(); }
void CWnd::OnMenuSelect(UINT, UINT, HMENU) { Default(); }
int CWnd::OnMouseActivate(CWnd*, UINT, UINT) { return (int)Default(); }
void CWnd::OnActivate(UINT, CWnd*, BOOL) { Default(); }
void CWnd::OnCancelMode() { Default(); }
void CWnd::OnCaptureChanged(CWnd*) { Default(); }
void CWnd::OnSysColorChange() { Default(); }
void CWnd::OnSettingChange(UINT, LPCTSTR) { Default(); }
LRESULT CWnd::OnNcHitTest(CPoint) { return Default(); }
void CWnd::OnNcPaint() { Default(); }
void CWnd::OnNcCalcSize(BOOL, NCCALCSIZE_PARAMS*) { Default(); }
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) { Default(); }
void CWnd::OnWindowPosChanging(WINDOWPOS*) { Default(); }
void CWnd::OnWindowPosChanged(WINDOWPOS*) { Default(); }
void CWnd::OnSysCommand(UINT, LPARAM) { Default(); }
void CWnd::OnDropFiles(HDROP) { Default(); }

// Runs the update handlers of the popup's items against this window, so
// that the popup shows each command enabled, checked and named as its
// handler says. Items without any handler are disabled.
void CWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT, BOOL bSysMenu)
{
    if (bSysMenu || pPopupMenu == NULL)
        return;
    CCmdUI state;
    state.m_pMenu = pPopupMenu;
    state.m_nIndexMax = pPopupMenu->GetMenuItemCount();
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex)
    {
        state.m_nID = pPopupMenu->GetMenuItemID(state.m_nIndex);
        if (state.m_nID == 0)
            continue;  // separator
        state.m_pSubMenu = NULL;
        if (state.m_nID == (UINT)-1)
        {
            // A popup item: it takes the state of its first command.
            state.m_pSubMenu = pPopupMenu->GetSubMenu(state.m_nIndex);
            if (state.m_pSubMenu == NULL || (state.m_nID = state.m_pSubMenu->GetMenuItemID(0)) == 0 ||
                state.m_nID == (UINT)-1)
                continue;
            state.DoUpdate(this, FALSE);
        }
        else
        {
            state.DoUpdate(this, TRUE);
        }
        // An update handler may have added or removed items.
        UINT nCount = pPopupMenu->GetMenuItemCount();
        if (nCount < state.m_nIndexMax)
        {
            state.m_nIndex -= state.m_nIndexMax - nCount;
            while (state.m_nIndex < nCount && pPopupMenu->GetMenuItemID(state.m_nIndex) == state.m_nID)
                ++state.m_nIndex;
        }
        state.m_nIndexMax = nCount;
    }
}

// ---------------------------------------------------------------- classes

LPCTSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor, HBRUSH hbrBackground, HICON hIcon)
{
    static CStringArray names;
    CString name;
    name.Format(TEXT("Vantorel:%p:%x:%p:%p:%p"), (void*)AfxGetInstanceHandle(), nClassStyle,
                (void*)hCursor, (void*)hbrBackground, (void*)hIcon);
    for (int i = 0; i < names.GetSize(); ++i)
    {
        if (names[i] == name)
            return names[i];
    }
    WNDCLASS wc = {};
    wc.style = nClassStyle;
    wc.lpfnWndProc = ::DefWindowProc;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = hCursor;
    wc.hbrBackground = hbrBackground;
    wc.hIcon = hIcon;
    wc.lpszClassName = name;
    WNDCLASS existing;
    if (!::GetClassInfo(wc.hInstance, name, &existing) && !::RegisterClass(&wc))
        return NULL;
    names.Add(name);
    return names[names.GetSize() - 1];
}

// ---------------------------------------------------------------- dialog data

BOOL CWnd::UpdateData(BOOL bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    try
    {
        DoDataExchange(&dx);
    }
    catch (CUserException* e)
    {
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

BOOL CWnd::ExecuteDlgInit(LPCTSTR lpszResourceName)
{
    if (lpszResourceName == NULL)
        return TRUE;
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hResource = ::FindResource(hInst, lpszResourceName, MAKEINTRESOURCE(240));
    if (hResource == NULL)
        return TRUE;  // a dialog without init data
    HGLOBAL hData = ::LoadResource(hInst, hResource);
    return hData != NULL && ExecuteDlgInit(::LockResource(hData));
}

BOOL CWnd::ExecuteDlgInit(LPVOID lpResource)
{
    if (lpResource == NULL)
        return TRUE;
    const BYTE* p = (const BYTE*)lpResource;
    BOOL bSuccess = TRUE;
    for (;;)
    {
        WORD nIDC;
        memcpy(&nIDC, p, sizeof(WORD));
        if (nIDC == 0)
            break;
        WORD nMsg;
        DWORD dwLen;
        memcpy(&nMsg, p + 2, sizeof(WORD));
        memcpy(&dwLen, p + 4, sizeof(DWORD));
        const char* pszText = (const char*)(p + 8);
        // Records hold the 16-bit numbers of the add-string messages or the 32-bit ones.
        UINT nMessage = nMsg == 0x0403 ? CB_ADDSTRING : nMsg == 0x0401 ? LB_ADDSTRING : nMsg;
        if (nMessage == CB_ADDSTRING || nMessage == LB_ADDSTRING)
        {
            CString text(pszText, dwLen > 0 && pszText[dwLen - 1] == '\0' ? (int)dwLen - 1 : (int)dwLen);
            LRESULT r = ::SendDlgItemMessage(m_hWnd, nIDC, nMessage, 0, (LPARAM)(LPCTSTR)text);
            if (r == CB_ERR || r == CB_ERRSPACE)
                bSuccess = FALSE;
        }
        p += 8 + dwLen;
    }
    return bSuccess;
}
