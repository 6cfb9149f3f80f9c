// CWnd: a window object attached to a window handle, with its messages
// routed through message maps.
//
// Handle maps (per thread; windows belong to the thread that made them):
// - a window created through Create/CreateEx, attached with Attach or
//   subclassed with SubclassWindow is permanent: FromHandle gives the same
//   object until the window is destroyed (WM_NCDESTROY detaches it and then
//   calls PostNcDestroy, where self-deleting classes delete themselves);
// - FromHandle of any other handle gives a temporary object, kept only until
//   the thread's next idle time (CWinThread::OnIdle, or
//   AfxUnlockTempMaps when the lock count drops to 0). Keep no temporary
//   across messages. A temporary whose window is destroyed is dropped from
//   the map at once (and freed at idle), so FromHandle of a destroyed window
//   gives a fresh temporary, never a freed object.
// Window procedure: every framework window is subclassed with the framework's
// procedure, which calls WindowProc; WindowProc calls OnWndMsg (message map)
// and, when nothing handled the message, DefWindowProc (the window's
// original procedure). Default() sends the current message there.
// Reflection: WM_COMMAND and WM_NOTIFY from a control, WM_DRAWITEM,
// WM_MEASUREITEM, WM_CTLCOLOR*, WM_HSCROLL/WM_VSCROLL from a scroll control
// and WM_PARENTNOTIFY first go to the sending child's OnChildNotify, which
// offers them to the child's own map as WM_REFLECT_BASE + message; the
// parent's map sees them only when the child did not take them.
// Window code passes LPARAM, WPARAM and LRESULT at full pointer width.
#pragma once

#include <framework/cmdtarget.h>
#include <framework/cstring.h>
#include <framework/geometry.h>

#include <commctrl.h>

#undef GetNextWindow  // a windows.h macro; here a member

class CDC;
class CFont;
class CMenu;
class CScrollBar;
class CDataExchange;
struct CCreateContext;

class CWnd : public CCmdTarget
{
    DECLARE_DYNCREATE(CWnd)
public:
    CWnd();
    virtual ~CWnd();

    HWND m_hWnd;
    operator HWND() const { return this == NULL ? NULL : m_hWnd; }
    HWND GetSafeHwnd() const { return this == NULL ? NULL : m_hWnd; }
    BOOL operator==(const CWnd& w) const { return m_hWnd == w.m_hWnd; }
    BOOL operator!=(const CWnd& w) const { return m_hWnd != w.m_hWnd; }

    // Handle maps.
    static CWnd* FromHandle(HWND hWnd);
    static CWnd* FromHandlePermanent(HWND hWnd);
    static void DeleteTempMap();
    BOOL Attach(HWND hWndNew);
    HWND Detach();
    // Routes an existing window's messages through this object.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // Creation. A NULL class name gets the framework's default class.
    virtual BOOL Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle,
                        const RECT& rect, CWnd* pParentWnd, UINT nID,
                        CCreateContext* pContext = NULL);
    BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                  DWORD dwStyle, int x, int y, int nWidth, int nHeight,
                  HWND hWndParent, HMENU nIDorHMenu, LPVOID lpParam = NULL);
    BOOL CreateEx(DWORD dwExStyle, LPCTSTR lpszClassName, LPCTSTR lpszWindowName,
                  DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID,
                  LPVOID lpParam = NULL);
    virtual BOOL DestroyWindow();
    // Called before the window is made; return FALSE to refuse the creation.
    virtual BOOL PreCreateWindow(CREATESTRUCT& cs);
    // Called after the window is attached by SubclassWindow.
    virtual void PreSubclassWindow() {}
    // Called last, after WM_NCDESTROY; self-deleting classes delete this here.
    virtual void PostNcDestroy() {}

    // Message handling.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    virtual BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Default();
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    BOOL ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Offers pMsg to PreTranslateMessage of its window and each parent up to
    // hWndStop; TRUE when one of them took it.
    static BOOL WalkPreTranslateTree(HWND hWndStop, MSG* pMsg);
    // The message the window procedure is handling now on this thread.
    static const MSG* GetCurrentMessage();

    // Tool tips: EnableToolTips makes the thread's tip control follow the
    // mouse over this window, asking OnToolHitTest for the tool under it.
    BOOL EnableToolTips(BOOL bEnable = TRUE);
    // Returns the tool id under point and fills pTI (uFlags, hwnd, uId, rect,
    // lpszText: LPSTR_TEXTCALLBACK or a malloc'ed copy), or -1 for none.
    virtual INT_PTR OnToolHitTest(CPoint point, TOOLINFO* pTI) const;
    void FilterToolTipMessage(MSG* pMsg);

    // Dialog data and initialisation.
    virtual void DoDataExchange(CDataExchange* pDX) { (void)pDX; }
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // Fills controls from a dialog-init resource (type 240) of the given
    // name: records of control id, message (CB_ADDSTRING or LB_ADDSTRING, in
    // their 16- or 32-bit numbers) and the string to add.
    BOOL ExecuteDlgInit(LPCTSTR lpszResourceName);
    BOOL ExecuteDlgInit(LPVOID lpResource);
    // Runs the update handlers of every child control whose id has one.
    void UpdateDialogControls(CCmdTarget* pTarget, BOOL bDisableIfNoHndler);
    void SendMessageToDescendants(UINT message, WPARAM wParam = 0, LPARAM lParam = 0,
                                  BOOL bDeep = TRUE);

    // Timers: WM_TIMER goes to OnTimer.
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse,
                      void (CALLBACK* lpfnTimer)(HWND, UINT, UINT_PTR, DWORD) = NULL)
    { return ::SetTimer(m_hWnd, nIDEvent, nElapse, lpfnTimer); }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }

    // Family.
    CWnd* GetParent() const { return FromHandle(::GetParent(m_hWnd)); }
    CWnd* GetOwner() const { return FromHandle(::GetWindow(m_hWnd, GW_OWNER)); }
    CWnd* GetTopLevelParent() const;
    CWnd* GetDlgItem(int nID) const { return FromHandle(::GetDlgItem(m_hWnd, nID)); }
    int GetDlgCtrlID() const { return ::GetDlgCtrlID(m_hWnd); }
    int SetDlgCtrlID(int nID) { return (int)::SetWindowLongPtr(m_hWnd, GWLP_ID, nID); }
    CWnd* GetWindow(UINT nCmd) const { return FromHandle(::GetWindow(m_hWnd, nCmd)); }
    CWnd* GetTopWindow() const { return FromHandle(::GetTopWindow(m_hWnd)); }
    CWnd* GetNextWindow(UINT nFlag = GW_HWNDNEXT) const { return GetWindow(nFlag); }
    BOOL IsChild(const CWnd* pWnd) const { return ::IsChild(m_hWnd, pWnd->GetSafeHwnd()); }
    CWnd* SetParent(CWnd* pWndNewParent) { return FromHandle(::SetParent(m_hWnd, pWndNewParent->GetSafeHwnd())); }
    CWnd* ChildWindowFromPoint(POINT p) const { return FromHandle(::ChildWindowFromPoint(m_hWnd, p)); }
    static CWnd* WindowFromPoint(POINT p) { return FromHandle(::WindowFromPoint(p)); }
    static CWnd* GetFocus() { return FromHandle(::GetFocus()); }
    static CWnd* GetCapture() { return FromHandle(::GetCapture()); }
    static CWnd* GetActiveWindow() { return FromHandle(::GetActiveWindow()); }
    static CWnd* GetDesktopWindow() { return FromHandle(::GetDesktopWindow()); }
    // The window to own a message box or dialog: the given parent's top-level
    // window, or the application's main window.
    static CWnd* GetSafeOwner(CWnd* pParent = NULL);

    // State.
    DWORD GetStyle() const { return (DWORD)::GetWindowLongPtr(m_hWnd, GWL_STYLE); }
    DWORD GetExStyle() const { return (DWORD)::GetWindowLongPtr(m_hWnd, GWL_EXSTYLE); }
    // nFlags other than 0 apply the change with SetWindowPos(SWP_FRAMECHANGED | nFlags).
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ModifyStyleEx(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    BOOL IsZoomed() const { return ::IsZoomed(m_hWnd); }
    CWnd* SetFocus() { return FromHandle(::SetFocus(m_hWnd)); }
    CWnd* SetCapture() { return FromHandle(::SetCapture(m_hWnd)); }
    BOOL SetForegroundWindow() { return ::SetForegroundWindow(m_hWnd); }
    void BringWindowToTop() { ::BringWindowToTop(m_hWnd); }
    void SetWindowText(LPCTSTR lpszString) { ::SetWindowText(m_hWnd, lpszString); }
    int GetWindowText(LPTSTR lpszString, int nMaxCount) const { return ::GetWindowText(m_hWnd, lpszString, nMaxCount); }
    void GetWindowText(CString& rString) const;
    int GetWindowTextLength() const { return ::GetWindowTextLength(m_hWnd); }
    void SetFont(CFont* pFont, BOOL bRedraw = TRUE);
    CFont* GetFont() const;
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    { return (HICON)::SendMessage(m_hWnd, WM_SETICON, bBigIcon, (LPARAM)hIcon); }

    // Geometry.
    void GetClientRect(LPRECT lpRect) const { ::GetClientRect(m_hWnd, lpRect); }
    void GetWindowRect(LPRECT lpRect) const { ::GetWindowRect(m_hWnd, lpRect); }
    void ClientToScreen(LPPOINT lpPoint) const { ::ClientToScreen(m_hWnd, lpPoint); }
    void ClientToScreen(LPRECT lpRect) const { ::MapWindowPoints(m_hWnd, NULL, (LPPOINT)lpRect, 2); }
    void ScreenToClient(LPPOINT lpPoint) const { ::ScreenToClient(m_hWnd, lpPoint); }
    void ScreenToClient(LPRECT lpRect) const { ::MapWindowPoints(NULL, m_hWnd, (LPPOINT)lpRect, 2); }
    void MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const
    { ::MapWindowPoints(m_hWnd, pwndTo->GetSafeHwnd(), lpPoint, nCount); }
    void MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const
    { ::MapWindowPoints(m_hWnd, pwndTo->GetSafeHwnd(), (LPPOINT)lpRect, 2); }
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE)
    { ::MoveWindow(m_hWnd, x, y, nWidth, nHeight, bRepaint); }
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE)
    { MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left, lpRect->bottom - lpRect->top, bRepaint); }
    BOOL SetWindowPos(const CWnd* pWndInsertAfter, int x, int y, int cx, int cy, UINT nFlags)
    { return ::SetWindowPos(m_hWnd, pWndInsertAfter->GetSafeHwnd(), x, y, cx, cy, nFlags); }
    void CenterWindow(CWnd* pAlternateOwner = NULL);
    virtual void CalcWindowRect(LPRECT lpClientRect, UINT nAdjustType = 0);
    // Lays out the child bars with ids nIDFirst..nIDLast (WM_SIZEPARENT, see
    // controlbar.h) and gives the rest to the child nIDLeftOver.
    // reposQuery moves nothing and fills lpRectParam: with bStretch the
    // rectangle left over, without it the bars' total size at (0, 0).
    // reposExtra keeps lpRectParam's sides (a border) free as well.
    // lpRectClient replaces the client rectangle.
    enum RepositionFlags { reposDefault = 0, reposQuery = 1, reposExtra = 2 };
    void RepositionBars(UINT nIDFirst, UINT nIDLast, UINT nIDLeftOver, UINT nFlags = reposDefault,
                        LPRECT lpRectParam = NULL, LPCRECT lpRectClient = NULL, BOOL bStretch = TRUE);
    // The nearest frame window above this one, or NULL.
    class CFrameWnd* GetParentFrame() const;

    // Painting.
    CDC* GetDC();
    CDC* GetWindowDC();
    int ReleaseDC(CDC* pDC);
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, NULL, bErase); }
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, lpRect, bErase); }
    void InvalidateRgn(HRGN hRgn, BOOL bErase = TRUE) { ::InvalidateRgn(m_hWnd, hRgn, bErase); }
    void ValidateRect(LPCRECT lpRect) { ::ValidateRect(m_hWnd, lpRect); }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(LPCRECT lpRectUpdate = NULL, HRGN hRgn = NULL,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE)
    { return ::RedrawWindow(m_hWnd, lpRectUpdate, hRgn, flags); }
    void SetRedraw(BOOL bRedraw = TRUE) { ::SendMessage(m_hWnd, WM_SETREDRAW, bRedraw, 0); }
    BOOL GetUpdateRect(LPRECT lpRect, BOOL bErase = FALSE) { return ::GetUpdateRect(m_hWnd, lpRect, bErase); }
    void ScrollWindow(int dx, int dy, LPCRECT lpRect = NULL, LPCRECT lpClip = NULL)
    { ::ScrollWindow(m_hWnd, dx, dy, lpRect, lpClip); }

    // Scroll bars: the window's own, or the sibling control GetScrollBarCtrl names.
    virtual CScrollBar* GetScrollBarCtrl(int nBar) const { (void)nBar; return NULL; }
    int SetScrollPos(int nBar, int nPos, BOOL bRedraw = TRUE) { return ::SetScrollPos(m_hWnd, nBar, nPos, bRedraw); }
    int GetScrollPos(int nBar) const { return ::GetScrollPos(m_hWnd, nBar); }
    void SetScrollRange(int nBar, int nMin, int nMax, BOOL bRedraw = TRUE)
    { ::SetScrollRange(m_hWnd, nBar, nMin, nMax, bRedraw); }
    BOOL SetScrollInfo(int nBar, LPSCROLLINFO lpsi, BOOL bRedraw = TRUE)
    { return ::SetScrollInfo(m_hWnd, nBar, lpsi, bRedraw); }
    BOOL GetScrollInfo(int nBar, LPSCROLLINFO lpsi, UINT nMask = SIF_ALL)
    { lpsi->cbSize = sizeof(SCROLLINFO); lpsi->fMask = nMask; return ::GetScrollInfo(m_hWnd, nBar, lpsi); }
    void ShowScrollBar(UINT nBar, BOOL bShow = TRUE) { ::ShowScrollBar(m_hWnd, nBar, bShow); }

    // Messages.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    { return ::SendMessage(m_hWnd, message, wParam, lParam); }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    { return ::PostMessage(m_hWnd, message, wParam, lParam); }
    int MessageBox(LPCTSTR lpszText, LPCTSTR lpszCaption = NULL, UINT nType = MB_OK);

    // Menus.
    CMenu* GetMenu() const;
    BOOL SetMenu(CMenu* pMenu);
    void DrawMenuBar() { ::DrawMenuBar(m_hWnd); }
    CMenu* GetSystemMenu(BOOL bRevert) const;

    // Dialog items.
    void SetDlgItemText(int nID, LPCTSTR lpszString) { ::SetDlgItemText(m_hWnd, nID, lpszString); }
    int GetDlgItemText(int nID, CString& rString) const;
    UINT GetDlgItemInt(int nID, BOOL* lpTrans = NULL, BOOL bSigned = TRUE) const
    { return ::GetDlgItemInt(m_hWnd, nID, lpTrans, bSigned); }
    void SetDlgItemInt(int nID, UINT nValue, BOOL bSigned = TRUE) { ::SetDlgItemInt(m_hWnd, nID, nValue, bSigned); }
    void CheckDlgButton(int nID, UINT nCheck) { ::CheckDlgButton(m_hWnd, nID, nCheck); }
    UINT IsDlgButtonChecked(int nID) const { return ::IsDlgButtonChecked(m_hWnd, nID); }
    void CheckRadioButton(int nIDFirst, int nIDLast, int nIDCheck) { ::CheckRadioButton(m_hWnd, nIDFirst, nIDLast, nIDCheck); }
    int GetCheckedRadioButton(int nIDFirst, int nIDLast) const;
    LRESULT SendDlgItemMessage(int nID, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    { return ::SendDlgItemMessage(m_hWnd, nID, message, wParam, lParam); }

    // Handlers with default processing; a map entry routes the message here.
    afx_msg int OnCreate(LPCREATESTRUCT lpCreateStruct);
    afx_msg void OnDestroy();
    afx_msg void OnNcDestroy();
    afx_msg void OnClose();
    afx_msg void OnPaint();
    afx_msg BOOL OnEraseBkgnd(CDC* pDC);
    afx_msg void OnSize(UINT nType, int cx, int cy);
    afx_msg void OnMove(int x, int y);
    afx_msg void OnShowWindow(BOOL bShow, UINT nStatus);
    afx_msg void OnTimer(UINT_PTR nIDEvent);
    afx_msg void OnLButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnLButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnLButtonDblClk(UINT nFlags, CPoint point);
    afx_msg void OnRButtonDown(UINT nFlags, CPoint point);
    afx_msg void OnRButtonUp(UINT nFlags, CPoint point);
    afx_msg void OnMouseMove(UINT nFlags, CPoint point);
    afx_msg BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint point);
    afx_msg void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnKeyUp(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnSysKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    afx_msg void OnSetFocus(CWnd* pOldWnd);
    afx_msg void OnKillFocus(CWnd* pNewWnd);
    afx_msg void OnContextMenu(CWnd* pWnd, CPoint point);
    afx_msg void OnHScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    afx_msg BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    afx_msg UINT OnGetDlgCode();
    afx_msg void OnDrawItem(int nIDCtl, LPDRAWITEMSTRUCT lpDrawItemStruct);
    afx_msg void OnMeasureItem(int nIDCtl, LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    afx_msg HBRUSH OnCtlColor(CDC* pDC, CWnd* pWnd, UINT nCtlColor);
    afx_msg void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
    afx_msg void OnMenuSelect(UINT nItemID, UINT nFlags, HMENU hSysMenu);
    afx_msg int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message);
    afx_msg void OnActivate(UINT nState, CWnd* pWndOther, BOOL bMinimized);
    afx_msg void OnCancelMode();
    afx_msg void OnCaptureChanged(CWnd* pWnd);
    afx_msg void OnSysColorChange();
    afx_msg void OnSettingChange(UINT uFlags, LPCTSTR lpszSection);
    afx_msg LRESULT OnNcHitTest(CPoint point);
    afx_msg void OnNcPaint();
    afx_msg void OnNcCalcSize(BOOL bCalcValidRects, NCCALCSIZE_PARAMS* lpncsp);
    afx_msg void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    afx_msg void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    afx_msg void OnWindowPosChanged(WINDOWPOS* lpwndpos);
    afx_msg void OnSysCommand(UINT nID, LPARAM lParam);
    afx_msg void OnDropFiles(HDROP hDropInfo);

protected:
    WNDPROC m_pfnSuper;  // the window's own procedure, called by DefWindowProc
    BOOL m_bToolTips;

    static BOOL ReflectedChildMessage(UINT message, WPARAM wParam, LPARAM lParam, HWND* phWndChild);
    friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
    friend struct AfxWndState;

    DECLARE_MESSAGE_MAP()
};

// The framework's window procedure of every subclassed window.
LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
// Registers (once) a window class with the given styles; returns its name,
// which is valid for the life of the process.
LPCTSTR AfxRegisterWndClass(UINT nClassStyle, HCURSOR hCursor = NULL,
                            HBRUSH hbrBackground = NULL, HICON hIcon = NULL);
// Temporary objects are kept while the lock count is above zero; the unlock
// that drops it to zero frees them (with bDeleteTemps).
void AfxLockTempMaps();
BOOL AfxUnlockTempMaps(BOOL bDeleteTemps = TRUE);

// The scroll bar control.
class CScrollBar : public CWnd
{
    DECLARE_DYNAMIC(CScrollBar)
public:
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID)
    { return CWnd::Create(TEXT("SCROLLBAR"), NULL, dwStyle, rect, pParentWnd, nID); }
    int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
    int SetScrollPos(int nPos, BOOL bRedraw = TRUE) { return ::SetScrollPos(m_hWnd, SB_CTL, nPos, bRedraw); }
    void SetScrollRange(int nMin, int nMax, BOOL bRedraw = TRUE) { ::SetScrollRange(m_hWnd, SB_CTL, nMin, nMax, bRedraw); }
    BOOL SetScrollInfo(LPSCROLLINFO lpsi, BOOL bRedraw = TRUE) { return ::SetScrollInfo(m_hWnd, SB_CTL, lpsi, bRedraw); }
};

// Window messages. Handlers have the signatures of CWnd's members above.
#define AFX_WM(msg, body) \
    { (UINT)(msg), NULL, 0, 0, 0, [](CCmdTarget* p, AFX_MSGCALL& c) -> BOOL { (void)c; body; return TRUE; } },
#define AFX_LPARAM_POINT(c) CPoint((short)LOWORD((c).lParam), (short)HIWORD((c).lParam))

#define ON_WM_CREATE() AFX_WM(WM_CREATE, c.lResult = AFX_TARGET(p)->OnCreate((LPCREATESTRUCT)c.lParam))
#define ON_WM_DESTROY() AFX_WM(WM_DESTROY, AFX_TARGET(p)->OnDestroy())
#define ON_WM_NCDESTROY() AFX_WM(WM_NCDESTROY, AFX_TARGET(p)->OnNcDestroy())
#define ON_WM_CLOSE() AFX_WM(WM_CLOSE, AFX_TARGET(p)->OnClose())
#define ON_WM_PAINT() AFX_WM(WM_PAINT, AFX_TARGET(p)->OnPaint())
#define ON_WM_ERASEBKGND() AFX_WM(WM_ERASEBKGND, c.lResult = AFX_TARGET(p)->OnEraseBkgnd(CDC::FromHandle((HDC)c.wParam)))
#define ON_WM_SIZE() AFX_WM(WM_SIZE, AFX_TARGET(p)->OnSize((UINT)c.wParam, (short)LOWORD(c.lParam), (short)HIWORD(c.lParam)))
#define ON_WM_MOVE() AFX_WM(WM_MOVE, AFX_TARGET(p)->OnMove((short)LOWORD(c.lParam), (short)HIWORD(c.lParam)))
#define ON_WM_SHOWWINDOW() AFX_WM(WM_SHOWWINDOW, AFX_TARGET(p)->OnShowWindow((BOOL)c.wParam, (UINT)c.lParam))
#define ON_WM_TIMER() AFX_WM(WM_TIMER, AFX_TARGET(p)->OnTimer((UINT_PTR)c.wParam))
#define AFX_WM_MOUSE(msg, fn) AFX_WM(msg, AFX_TARGET(p)->fn((UINT)c.wParam, AFX_LPARAM_POINT(c)))
#define ON_WM_LBUTTONDOWN() AFX_WM_MOUSE(WM_LBUTTONDOWN, OnLButtonDown)
#define ON_WM_LBUTTONUP() AFX_WM_MOUSE(WM_LBUTTONUP, OnLButtonUp)
#define ON_WM_LBUTTONDBLCLK() AFX_WM_MOUSE(WM_LBUTTONDBLCLK, OnLButtonDblClk)
#define ON_WM_RBUTTONDOWN() AFX_WM_MOUSE(WM_RBUTTONDOWN, OnRButtonDown)
#define ON_WM_RBUTTONUP() AFX_WM_MOUSE(WM_RBUTTONUP, OnRButtonUp)
#define ON_WM_MOUSEMOVE() AFX_WM_MOUSE(WM_MOUSEMOVE, OnMouseMove)
#define ON_WM_MOUSEWHEEL() AFX_WM(WM_MOUSEWHEEL, c.lResult = AFX_TARGET(p)->OnMouseWheel( \
    LOWORD(c.wParam), (short)HIWORD(c.wParam), AFX_LPARAM_POINT(c)))
#define AFX_WM_KEY(msg, fn) AFX_WM(msg, AFX_TARGET(p)->fn((UINT)c.wParam, LOWORD(c.lParam), HIWORD(c.lParam)))
#define ON_WM_KEYDOWN() AFX_WM_KEY(WM_KEYDOWN, OnKeyDown)
#define ON_WM_KEYUP() AFX_WM_KEY(WM_KEYUP, OnKeyUp)
#define ON_WM_CHAR() AFX_WM_KEY(WM_CHAR, OnChar)
#define ON_WM_SYSKEYDOWN() AFX_WM_KEY(WM_SYSKEYDOWN, OnSysKeyDown)
#define ON_WM_SETFOCUS() AFX_WM(WM_SETFOCUS, AFX_TARGET(p)->OnSetFocus(CWnd::FromHandle((HWND)c.wParam)))
#define ON_WM_KILLFOCUS() AFX_WM(WM_KILLFOCUS, AFX_TARGET(p)->OnKillFocus(CWnd::FromHandle((HWND)c.wParam)))
#define ON_WM_CONTEXTMENU() AFX_WM(WM_CONTEXTMENU, \
    AFX_TARGET(p)->OnContextMenu(CWnd::FromHandle((HWND)c.wParam), AFX_LPARAM_POINT(c)))
#define ON_WM_HSCROLL() AFX_WM(WM_HSCROLL, AFX_TARGET(p)->OnHScroll(LOWORD(c.wParam), (short)HIWORD(c.wParam), \
    (CScrollBar*)CWnd::FromHandle((HWND)c.lParam)))
#define ON_WM_VSCROLL() AFX_WM(WM_VSCROLL, AFX_TARGET(p)->OnVScroll(LOWORD(c.wParam), (short)HIWORD(c.wParam), \
    (CScrollBar*)CWnd::FromHandle((HWND)c.lParam)))
#define ON_WM_SETCURSOR() AFX_WM(WM_SETCURSOR, c.lResult = AFX_TARGET(p)->OnSetCursor( \
    CWnd::FromHandle((HWND)c.wParam), LOWORD(c.lParam), HIWORD(c.lParam)))
#define ON_WM_GETDLGCODE() AFX_WM(WM_GETDLGCODE, c.lResult = AFX_TARGET(p)->OnGetDlgCode())
#define ON_WM_DRAWITEM() AFX_WM(WM_DRAWITEM, c.lResult = TRUE; \
    AFX_TARGET(p)->OnDrawItem((int)c.wParam, (LPDRAWITEMSTRUCT)c.lParam))
#define ON_WM_MEASUREITEM() AFX_WM(WM_MEASUREITEM, c.lResult = TRUE; \
    AFX_TARGET(p)->OnMeasureItem((int)c.wParam, (LPMEASUREITEMSTRUCT)c.lParam))
#define ON_WM_CTLCOLOR() \
    AFX_WM(WM_CTLCOLORBTN, c.lResult = (LRESULT)AFX_TARGET(p)->OnCtlColor(CDC::FromHandle((HDC)c.wParam), CWnd::FromHandle((HWND)c.lParam), CTLCOLOR_BTN)) \
    AFX_WM(WM_CTLCOLOREDIT, c.lResult = (LRESULT)AFX_TARGET(p)->OnCtlColor(CDC::FromHandle((HDC)c.wParam), CWnd::FromHandle((HWND)c.lParam), CTLCOLOR_EDIT)) \
    AFX_WM(WM_CTLCOLORLISTBOX, c.lResult = (LRESULT)AFX_TARGET(p)->OnCtlColor(CDC::FromHandle((HDC)c.wParam), CWnd::FromHandle((HWND)c.lParam), CTLCOLOR_LISTBOX)) \
    AFX_WM(WM_CTLCOLORSTATIC, c.lResult = (LRESULT)AFX_TARGET(p)->OnCtlColor(CDC::FromHandle((HDC)c.wParam), CWnd::FromHandle((HWND)c.lParam), CTLCOLOR_STATIC)) \
    AFX_WM(WM_CTLCOLORDLG, c.lResult = (LRESULT)AFX_TARGET(p)->OnCtlColor(CDC::FromHandle((HDC)c.wParam), CWnd::FromHandle((HWND)c.lParam), CTLCOLOR_DLG))
#define ON_WM_INITMENUPOPUP() AFX_WM(WM_INITMENUPOPUP, AFX_TARGET(p)->OnInitMenuPopup( \
    CMenu::FromHandle((HMENU)c.wParam), LOWORD(c.lParam), (BOOL)HIWORD(c.lParam)))
#define ON_WM_MENUSELECT() AFX_WM(WM_MENUSELECT, AFX_TARGET(p)->OnMenuSelect(LOWORD(c.wParam), HIWORD(c.wParam), (HMENU)c.lParam))
#define ON_WM_MOUSEACTIVATE() AFX_WM(WM_MOUSEACTIVATE, c.lResult = AFX_TARGET(p)->OnMouseActivate( \
    CWnd::FromHandle((HWND)c.wParam), LOWORD(c.lParam), HIWORD(c.lParam)))
#define ON_WM_ACTIVATE() AFX_WM(WM_ACTIVATE, AFX_TARGET(p)->OnActivate(LOWORD(c.wParam), \
    CWnd::FromHandle((HWND)c.lParam), (BOOL)HIWORD(c.wParam)))
#define ON_WM_CANCELMODE() AFX_WM(WM_CANCELMODE, AFX_TARGET(p)->OnCancelMode())
#define ON_WM_CAPTURECHANGED() AFX_WM(WM_CAPTURECHANGED, AFX_TARGET(p)->OnCaptureChanged(CWnd::FromHandle((HWND)c.lParam)))
#define ON_WM_SYSCOLORCHANGE() AFX_WM(WM_SYSCOLORCHANGE, AFX_TARGET(p)->OnSysColorChange())
#define ON_WM_SETTINGCHANGE() AFX_WM(WM_SETTINGCHANGE, AFX_TARGET(p)->OnSettingChange((UINT)c.wParam, (LPCTSTR)c.lParam))
#define ON_WM_NCHITTEST() AFX_WM(WM_NCHITTEST, c.lResult = AFX_TARGET(p)->OnNcHitTest(AFX_LPARAM_POINT(c)))
#define ON_WM_NCPAINT() AFX_WM(WM_NCPAINT, AFX_TARGET(p)->OnNcPaint())
#define ON_WM_NCCALCSIZE() AFX_WM(WM_NCCALCSIZE, AFX_TARGET(p)->OnNcCalcSize((BOOL)c.wParam, (NCCALCSIZE_PARAMS*)c.lParam))
#define ON_WM_GETMINMAXINFO() AFX_WM(WM_GETMINMAXINFO, AFX_TARGET(p)->OnGetMinMaxInfo((MINMAXINFO*)c.lParam))
#define ON_WM_WINDOWPOSCHANGING() AFX_WM(WM_WINDOWPOSCHANGING, AFX_TARGET(p)->OnWindowPosChanging((WINDOWPOS*)c.lParam))
#define ON_WM_WINDOWPOSCHANGED() AFX_WM(WM_WINDOWPOSCHANGED, AFX_TARGET(p)->OnWindowPosChanged((WINDOWPOS*)c.lParam))
#define ON_WM_SYSCOMMAND() AFX_WM(WM_SYSCOMMAND, AFX_TARGET(p)->OnSysCommand((UINT)c.wParam, c.lParam))
#define ON_WM_DROPFILES() AFX_WM(WM_DROPFILES, AFX_TARGET(p)->OnDropFiles((HDROP)c.wParam))

// Reflected to the control that sent them: DrawItem(LPDRAWITEMSTRUCT),
// MeasureItem(LPMEASUREITEMSTRUCT), CtlColor(CDC*, UINT) -> HBRUSH.
#define ON_WM_DRAWITEM_REFLECT() AFX_WM(WM_DRAWITEM + WM_REFLECT_BASE, c.lResult = TRUE; \
    AFX_TARGET(p)->DrawItem((LPDRAWITEMSTRUCT)c.lParam))
#define ON_WM_MEASUREITEM_REFLECT() AFX_WM(WM_MEASUREITEM + WM_REFLECT_BASE, c.lResult = TRUE; \
    AFX_TARGET(p)->MeasureItem((LPMEASUREITEMSTRUCT)c.lParam))
#define ON_WM_CTLCOLOR_REFLECT() \
    AFX_WM(WM_CTLCOLORBTN + WM_REFLECT_BASE, c.lResult = (LRESULT)AFX_TARGET(p)->CtlColor(CDC::FromHandle((HDC)c.wParam), CTLCOLOR_BTN)) \
    AFX_WM(WM_CTLCOLOREDIT + WM_REFLECT_BASE, c.lResult = (LRESULT)AFX_TARGET(p)->CtlColor(CDC::FromHandle((HDC)c.wParam), CTLCOLOR_EDIT)) \
    AFX_WM(WM_CTLCOLORLISTBOX + WM_REFLECT_BASE, c.lResult = (LRESULT)AFX_TARGET(p)->CtlColor(CDC::FromHandle((HDC)c.wParam), CTLCOLOR_LISTBOX)) \
    AFX_WM(WM_CTLCOLORSTATIC + WM_REFLECT_BASE, c.lResult = (LRESULT)AFX_TARGET(p)->CtlColor(CDC::FromHandle((HDC)c.wParam), CTLCOLOR_STATIC))

#define CTLCOLOR_MSGBOX 0
#define CTLCOLOR_EDIT 1
#define CTLCOLOR_LISTBOX 2
#define CTLCOLOR_BTN 3
#define CTLCOLOR_DLG 4
#define CTLCOLOR_SCROLLBAR 5
#define CTLCOLOR_STATIC 6
