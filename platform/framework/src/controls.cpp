#include "handlemap.h"

#include <cstdlib>
#include <cstring>

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CEdit, CWnd)
IMPLEMENT_DYNAMIC(CListBox, CWnd)
IMPLEMENT_DYNAMIC(CComboBox, CWnd)
IMPLEMENT_DYNCREATE(CImageList, CObject)
IMPLEMENT_DYNAMIC(CListCtrl, CWnd)
IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

// Owner-drawn controls draw and measure themselves.
BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message != WM_DRAWITEM)
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    DrawItem((LPDRAWITEMSTRUCT)lParam);
    return TRUE;
}

namespace {

// Draws or measures an owner-drawn list's item; FALSE for other messages.
template <class List>
BOOL DrawOrMeasureItem(List* list, UINT message, LPARAM lParam)
{
    if (message == WM_DRAWITEM)
        list->DrawItem((LPDRAWITEMSTRUCT)lParam);
    else if (message == WM_MEASUREITEM)
        list->MeasureItem((LPMEASUREITEMSTRUCT)lParam);
    else
        return FALSE;
    return TRUE;
}

}  // namespace

BOOL CListBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return DrawOrMeasureItem(this, message, lParam) ||
           CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

BOOL CComboBox::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    return DrawOrMeasureItem(this, message, lParam) ||
           CWnd::OnChildNotify(message, wParam, lParam, pResult);
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll)
{
    SendMessage(EM_SETSEL, nStartChar, nEndChar);
    if (!bNoScroll)
        SendMessage(EM_SCROLLCARET);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const
{
    DWORD dwStart = 0, dwEnd = 0;
    SendMessage(EM_GETSEL, (WPARAM)&dwStart, (LPARAM)&dwEnd);
    nStartChar = (int)dwStart;
    nEndChar = (int)dwEnd;
}

void CListBox::GetText(int nIndex, CString& rString) const
{
    int n = GetTextLen(nIndex);
    if (n == LB_ERR)
    {
        rString = TEXT("");
        return;
    }
    GetText(nIndex, rString.GetBuffer(n + 1));
    rString.ReleaseBuffer();
}

UINT CListBox::ItemFromPoint(CPoint pt, BOOL& bOutside) const
{
    DWORD dw = (DWORD)SendMessage(LB_ITEMFROMPOINT, 0, MAKELPARAM(pt.x, pt.y));
    bOutside = HIWORD(dw);
    return LOWORD(dw);
}

void CComboBox::GetLBText(int nIndex, CString& rString) const
{
    int n = GetLBTextLen(nIndex);
    if (n == CB_ERR)
    {
        rString = TEXT("");
        return;
    }
    GetLBText(nIndex, rString.GetBuffer(n + 1));
    rString.ReleaseBuffer();
}

// ---------------------------------------------------------------- image lists

CImageList* CImageList::FromHandle(HIMAGELIST hImageList)
{
    return AfxGetWndState()->imageLists.FromHandle(hImageList);
}

void CImageList::DeleteTempMap()
{
    AfxGetWndState()->imageLists.DeleteTemp();
}

BOOL CImageList::Attach(HIMAGELIST hImageList)
{
    if (hImageList == NULL)
        return FALSE;
    AfxWndState* pState = AfxGetWndState();
    pState->imageLists.Forget(hImageList);
    m_hImageList = hImageList;
    pState->imageLists.SetPermanent(hImageList, this);
    return TRUE;
}

HIMAGELIST CImageList::Detach()
{
    HIMAGELIST hImageList = m_hImageList;
    if (hImageList != NULL)
    {
        AfxWndState* pState = AfxGetWndState();
        if (pState->imageLists.LookupPermanent(hImageList) == this)
            pState->imageLists.RemovePermanent(hImageList);
    }
    m_hImageList = NULL;
    return hImageList;
}

BOOL CImageList::Create(UINT nBitmapID, int cx, int nGrow, COLORREF crMask)
{
    return Attach(ImageList_LoadImage(AfxGetResourceHandle(), MAKEINTRESOURCE(nBitmapID), cx, nGrow,
                                      crMask, IMAGE_BITMAP, LR_CREATEDIBSECTION));
}

BOOL CImageList::DeleteImageList()
{
    if (m_hImageList == NULL)
        return FALSE;
    return ImageList_Destroy(Detach());
}

// ---------------------------------------------------------------- list view

int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth, int nSubItem)
{
    LVCOLUMN column = {};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = (LPTSTR)lpszColumnHeading;
    column.fmt = nFormat;
    if (nWidth != -1)
    {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    if (nSubItem != -1)
    {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = nSubItem;
    }
    return (int)SendMessage(LVM_INSERTCOLUMN, nCol, (LPARAM)&column);
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem)
{
    LVITEM item = {};
    item.mask = LVIF_TEXT;
    item.iItem = nItem;
    item.pszText = (LPTSTR)lpszItem;
    return InsertItem(&item);
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem, int nImage)
{
    LVITEM item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = nItem;
    item.pszText = (LPTSTR)lpszItem;
    item.iImage = nImage;
    return InsertItem(&item);
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCTSTR lpszText)
{
    LVITEM item = {};
    item.iSubItem = nSubItem;
    item.pszText = (LPTSTR)lpszText;
    return (BOOL)SendMessage(LVM_SETITEMTEXT, nItem, (LPARAM)&item);
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const
{
    // Grow the buffer until the text fits.
    CString text;
    for (int nLen = 256;; nLen *= 2)
    {
        LVITEM item = {};
        item.iSubItem = nSubItem;
        item.cchTextMax = nLen;
        item.pszText = text.GetBuffer(nLen);
        int nCopied = (int)SendMessage(LVM_GETITEMTEXT, nItem, (LPARAM)&item);
        text.ReleaseBuffer(nCopied);
        if (nCopied < nLen - 1)
            return text;
    }
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData)
{
    LVITEM item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = (LPARAM)dwData;
    return SetItem(&item);
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const
{
    LVITEM item = {};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    GetItem(&item);
    return (DWORD_PTR)item.lParam;
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask)
{
    LVITEM item = {};
    item.state = nState;
    item.stateMask = nMask;
    return (BOOL)SendMessage(LVM_SETITEMSTATE, nItem, (LPARAM)&item);
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const
{
    lpRect->left = (LONG)nCode;
    return (BOOL)SendMessage(LVM_GETITEMRECT, nItem, (LPARAM)lpRect);
}

int CListCtrl::HitTest(CPoint pt, UINT* pFlags) const
{
    LVHITTESTINFO info = {};
    info.pt = pt;
    int nItem = (int)SendMessage(LVM_HITTEST, 0, (LPARAM)&info);
    if (pFlags != NULL)
        *pFlags = info.flags;
    return nItem;
}

// ---------------------------------------------------------------- tool tips

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_WIN95_CLASSES };
    ::InitCommonControlsEx(&icc);
    return CreateEx(WS_EX_TOPMOST, TOOLTIPS_CLASS, NULL, WS_POPUP | dwStyle, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd->GetSafeHwnd(), NULL, NULL);
}

void CToolTipCtrl::FillInToolInfo(TOOLINFO& ti, CWnd* pWnd, UINT_PTR nIDTool) const
{
    memset(&ti, 0, sizeof(ti));
    ti.cbSize = sizeof(ti);
    ti.hwnd = pWnd->GetSafeHwnd();
    if (nIDTool == 0)
    {
        ti.uFlags = TTF_IDISHWND;
        ti.uId = (UINT_PTR)pWnd->GetSafeHwnd();
        ti.hwnd = ::GetParent(ti.hwnd);
    }
    else
    {
        ti.uId = nIDTool;
    }
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    TOOLINFO ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    if (lpRectTool != NULL)
        ti.rect = *lpRectTool;
    else if (nIDTool != 0)
        ::GetClientRect(pWnd->GetSafeHwnd(), &ti.rect);
    ti.uFlags |= TTF_SUBCLASS;
    ti.lpszText = (LPTSTR)lpszText;
    return (BOOL)SendMessage(TTM_ADDTOOL, 0, (LPARAM)&ti);
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, UINT nIDText, LPCRECT lpRectTool, UINT_PTR nIDTool)
{
    TOOLINFO ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    if (lpRectTool != NULL)
        ti.rect = *lpRectTool;
    else if (nIDTool != 0)
        ::GetClientRect(pWnd->GetSafeHwnd(), &ti.rect);
    ti.uFlags |= TTF_SUBCLASS;
    ti.hinst = AfxGetResourceHandle();
    ti.lpszText = MAKEINTRESOURCE(nIDText);
    return (BOOL)SendMessage(TTM_ADDTOOL, 0, (LPARAM)&ti);
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool)
{
    TOOLINFO ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    SendMessage(TTM_DELTOOL, 0, (LPARAM)&ti);
}

void CToolTipCtrl::UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    TOOLINFO ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    ti.lpszText = (LPTSTR)lpszText;
    SendMessage(TTM_UPDATETIPTEXT, 0, (LPARAM)&ti);
}

void CToolTipCtrl::GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool) const
{
    TOOLINFO ti;
    FillInToolInfo(ti, pWnd, nIDTool);
    TCHAR sz[1024] = {};
    ti.lpszText = sz;
    SendMessage(TTM_GETTEXT, 0, (LPARAM)&ti);
    str = sz;
}

// The framework's tips: the thread's one tip control follows the tool that
// OnToolHitTest names under the mouse.
BOOL CWnd::EnableToolTips(BOOL bEnable)
{
    m_bToolTips = bEnable;
    AfxWndState* pState = AfxGetWndState();
    if (bEnable && pState->pToolTip == NULL)
    {
        pState->pToolTip = new CToolTipCtrl;
        if (!pState->pToolTip->Create(GetTopLevelParent(), TTS_ALWAYSTIP))
        {
            delete pState->pToolTip;
            pState->pToolTip = NULL;
            return FALSE;
        }
        pState->pToolTip->SendMessage(TTM_ACTIVATE, FALSE);
    }
    if (!bEnable && pState->pToolTip != NULL && pState->hWndLastTool == m_hWnd)
    {
        pState->pToolTip->SendMessage(TTM_DELTOOL, 0, (LPARAM)&pState->lastTool);
        pState->hWndLastTool = NULL;
        pState->nLastToolHit = -1;
    }
    return TRUE;
}

INT_PTR CWnd::OnToolHitTest(CPoint point, TOOLINFO* pTI) const
{
    // A child control with a tip names itself; its text comes from the owner.
    HWND hWndChild = ::ChildWindowFromPointEx(m_hWnd, point, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
    if (hWndChild == NULL || hWndChild == m_hWnd)
        return -1;
    int nID = ::GetDlgCtrlID(hWndChild);
    if (nID == 0 || nID == -1)
        return -1;
    if (pTI != NULL)
    {
        pTI->hwnd = m_hWnd;
        pTI->uId = (UINT_PTR)hWndChild;
        pTI->uFlags |= TTF_IDISHWND;
        pTI->lpszText = LPSTR_TEXTCALLBACK;
    }
    return nID;
}

void CWnd::FilterToolTipMessage(MSG* pMsg)
{
    UINT message = pMsg->message;
    if (message != WM_MOUSEMOVE && message != WM_LBUTTONDOWN && message != WM_LBUTTONUP &&
        message != WM_RBUTTONDOWN && message != WM_RBUTTONUP && message != WM_MBUTTONDOWN &&
        message != WM_MBUTTONUP)
        return;
    AfxWndState* pState = AfxGetWndState();
    CToolTipCtrl* pTip = pState->pToolTip;
    if (pTip == NULL || pTip->m_hWnd == NULL)
        return;
    CPoint point((short)LOWORD(pMsg->lParam), (short)HIWORD(pMsg->lParam));
    ::MapWindowPoints(pMsg->hwnd, m_hWnd, &point, 1);

    TOOLINFO ti = {};
    ti.cbSize = sizeof(ti);
    INT_PTR nHit = OnToolHitTest(point, &ti);
    if (pState->nLastToolHit != nHit || pState->hWndLastTool != m_hWnd)
    {
        // A new tool under the mouse: the tip now shows it alone.
        if (pState->nLastToolHit != -1)
            pTip->SendMessage(TTM_DELTOOL, 0, (LPARAM)&pState->lastTool);
        if (pState->lastTool.lpszText != LPSTR_TEXTCALLBACK && pState->lastTool.lpszText != NULL &&
            !IS_INTRESOURCE(pState->lastTool.lpszText))
            free(pState->lastTool.lpszText);
        memset(&pState->lastTool, 0, sizeof(pState->lastTool));
        pState->nLastToolHit = nHit;
        pState->hWndLastTool = m_hWnd;
        if (nHit != -1)
        {
            if (!(ti.uFlags & TTF_IDISHWND))
                ti.uFlags &= ~TTF_SUBCLASS;
            pTip->SendMessage(TTM_ADDTOOL, 0, (LPARAM)&ti);
            pTip->SendMessage(TTM_ACTIVATE, TRUE);
            pState->lastTool = ti;
        }
        else
        {
            pTip->SendMessage(TTM_ACTIVATE, FALSE);
        }
    }
    if (nHit != -1)
    {
        MSG msg = *pMsg;
        msg.hwnd = m_hWnd;
        msg.lParam = MAKELPARAM(point.x, point.y);
        pTip->SendMessage(TTM_RELAYEVENT, 0, (LPARAM)&msg);
    }
}
