#include "handlemap.h"

IMPLEMENT_DYNCREATE(CMenu, CObject)

CMenu* CMenu::FromHandle(HMENU hMenu)
{
    return AfxGetWndState()->menus.FromHandle(hMenu);
}

CMenu* CMenu::FromHandlePermanent(HMENU hMenu)
{
    AfxWndState* pState = AfxPeekWndState();
    return pState == NULL || hMenu == NULL ? NULL : pState->menus.LookupPermanent(hMenu);
}

void CMenu::DeleteTempMap()
{
    AfxGetWndState()->menus.DeleteTemp();
}

BOOL CMenu::Attach(HMENU hMenu)
{
    if (hMenu == NULL)
        return FALSE;
    AfxWndState* pState = AfxGetWndState();
    pState->menus.Forget(hMenu);
    m_hMenu = hMenu;
    pState->menus.SetPermanent(hMenu, this);
    return TRUE;
}

HMENU CMenu::Detach()
{
    HMENU hMenu = m_hMenu;
    if (hMenu != NULL)
    {
        AfxWndState* pState = AfxGetWndState();
        if (pState->menus.LookupPermanent(hMenu) == this)
            pState->menus.RemovePermanent(hMenu);
    }
    m_hMenu = NULL;
    return hMenu;
}

BOOL CMenu::LoadMenu(LPCTSTR lpszResourceName)
{
    return Attach(::LoadMenu(AfxGetResourceHandle(), lpszResourceName));
}

BOOL CMenu::DestroyMenu()
{
    if (m_hMenu == NULL)
        return FALSE;
    return ::DestroyMenu(Detach());
}

int CMenu::GetMenuString(UINT nIDItem, CString& rString, UINT nFlags) const
{
    int n = ::GetMenuString(m_hMenu, nIDItem, NULL, 0, nFlags);
    ::GetMenuString(m_hMenu, nIDItem, rString.GetBuffer(n + 1), n + 1, nFlags);
    rString.ReleaseBuffer();
    return rString.GetLength();
}

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect)
{
    AfxWndState* pState = AfxGetWndState();
    HMENU hMenuSaved = pState->hMenuTracking;
    pState->hMenuTracking = m_hMenu;
    BOOL bResult = ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd->GetSafeHwnd(), lpRect);
    pState->hMenuTracking = hMenuSaved;
    return bResult;
}
