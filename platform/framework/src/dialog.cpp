#include "handlemap.h"

IMPLEMENT_DYNAMIC(CDialog, CWnd)

CDialog::CDialog()
    : m_lpszTemplateName(NULL), m_nIDHelp(0), m_pParentWnd(NULL), m_lpDialogTemplate(NULL),
      m_nModalResult(-1), m_bModalRunning(FALSE)
{
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd) : CDialog()
{
    m_lpszTemplateName = MAKEINTRESOURCE(nIDTemplate);
    m_nIDHelp = nIDTemplate;
    m_pParentWnd = pParentWnd;
}

CDialog::CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd) : CDialog()
{
    m_lpszTemplateName = lpszTemplateName;
    m_pParentWnd = pParentWnd;
}

CDialog::~CDialog()
{
    if (m_hWnd != NULL)
        DestroyWindow();
}

LPCDLGTEMPLATE CDialog::LoadTemplate() const
{
    if (m_lpDialogTemplate != NULL)
        return m_lpDialogTemplate;
    HINSTANCE hInst = AfxGetResourceHandle();
    HRSRC hResource = ::FindResource(hInst, m_lpszTemplateName, RT_DIALOG);
    HGLOBAL hTemplate = hResource != NULL ? ::LoadResource(hInst, hResource) : NULL;
    return hTemplate != NULL ? (LPCDLGTEMPLATE)::LockResource(hTemplate) : NULL;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM, LPARAM)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CDialog* pDlg = DYNAMIC_DOWNCAST(CDialog, CWnd::FromHandlePermanent(hWnd));
    return pDlg != NULL ? pDlg->OnInitDialog() : TRUE;
}

BOOL CDialog::CreateFromTemplate(LPCDLGTEMPLATE lpTemplate, HWND hWndParent)
{
    if (lpTemplate == NULL)
        return FALSE;
    AfxHookWindowCreate(this);
    HWND hWnd = ::CreateDialogIndirectParam(AfxGetResourceHandle(), lpTemplate, hWndParent, DialogProc, 0);
    AfxUnhookWindowCreate();
    if (hWnd == NULL && m_hWnd != NULL)
        Detach();
    return hWnd != NULL;
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd)
{
    return Create(MAKEINTRESOURCE(nIDTemplate), pParentWnd);
}

BOOL CDialog::Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd)
{
    m_lpszTemplateName = lpszTemplateName;
    if (IS_INTRESOURCE(lpszTemplateName) && m_nIDHelp == 0)
        m_nIDHelp = (UINT)(UINT_PTR)lpszTemplateName;
    m_pParentWnd = pParentWnd;
    return CreateFromTemplate(LoadTemplate(), pParentWnd->GetSafeHwnd());
}

BOOL CDialog::CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd)
{
    m_pParentWnd = pParentWnd;
    return CreateFromTemplate(lpDialogTemplate, pParentWnd->GetSafeHwnd());
}

BOOL CDialog::InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd)
{
    m_lpDialogTemplate = lpDialogTemplate;
    m_pParentWnd = pParentWnd;
    return TRUE;
}

INT_PTR CDialog::DoModal()
{
    LPCDLGTEMPLATE lpTemplate = LoadTemplate();
    if (lpTemplate == NULL)
        return -1;
    CWnd* pOwner = m_pParentWnd != NULL ? m_pParentWnd->GetTopLevelParent() : GetSafeOwner(NULL);
    HWND hWndOwner = pOwner->GetSafeHwnd();
    BOOL bEnableOwner = FALSE;
    if (hWndOwner != NULL && ::IsWindowEnabled(hWndOwner))
    {
        ::EnableWindow(hWndOwner, FALSE);
        bEnableOwner = TRUE;
    }
    m_nModalResult = -1;
    if (CreateFromTemplate(lpTemplate, hWndOwner))
    {
        if (m_bModalRunning || m_nModalResult == -1)
            RunModalLoop();
        if (m_hWnd != NULL)
            ::SetWindowPos(m_hWnd, NULL, 0, 0, 0, 0,
                           SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
    }
    if (bEnableOwner)
        ::EnableWindow(hWndOwner, TRUE);
    if (hWndOwner != NULL && ::GetActiveWindow() == m_hWnd)
        ::SetActiveWindow(hWndOwner);
    DestroyWindow();
    return m_nModalResult;
}

int CDialog::RunModalLoop()
{
    m_bModalRunning = TRUE;
    if (m_hWnd != NULL && !(GetStyle() & WS_VISIBLE))
        ShowWindow(SW_SHOWNORMAL);
    MSG msg;
    while (m_bModalRunning)
    {
        if (!::GetMessage(&msg, NULL, 0, 0))
        {
            // Pass the quit on to the loop outside.
            ::PostQuitMessage((int)msg.wParam);
            break;
        }
        CWinThread* pThread = AfxGetThread();
        BOOL bDone = pThread != NULL ? pThread->PreTranslateMessage(&msg)
                                     : CWnd::WalkPreTranslateTree(NULL, &msg);
        if (!bDone)
        {
            ::TranslateMessage(&msg);
            ::DispatchMessage(&msg);
        }
        if (!::PeekMessage(&msg, NULL, 0, 0, PM_NOREMOVE))
            AfxDeleteTempMaps();
    }
    m_bModalRunning = FALSE;
    return m_nModalResult;
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    if (m_bModalRunning)
    {
        m_bModalRunning = FALSE;
        ::PostMessage(m_hWnd, WM_NULL, 0, 0);  // wake the loop
    }
    else if (m_hWnd != NULL)
    {
        ::EndDialog(m_hWnd, nResult);
    }
}

BOOL CDialog::OnInitDialog()
{
    ExecuteDlgInit(m_lpszTemplateName);
    UpdateData(FALSE);
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    if (CWnd::PreTranslateMessage(pMsg))
        return TRUE;
    if (pMsg->message >= WM_KEYFIRST && pMsg->message <= WM_KEYLAST && m_hWnd != NULL)
        return ::IsDialogMessage(m_hWnd, pMsg);
    return FALSE;
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    if (nCode != CN_COMMAND && nCode != BN_CLICKED)
        return FALSE;
    if (nID == IDOK || nID == IDCANCEL)
    {
        if (pHandlerInfo != NULL)
        {
            pHandlerInfo->pTarget = this;
            pHandlerInfo->pEntry = NULL;
            return TRUE;
        }
        if (nID == IDOK)
            OnOK();
        else
            OnCancel();
        return TRUE;
    }
    return FALSE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

// ---------------------------------------------------------------- data exchange

HWND CDataExchange::PrepareCtrl(int nIDC)
{
    m_idLastControl = nIDC;
    return ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC);
}

void CDataExchange::Fail()
{
    if (!m_bSaveAndValidate)
        return;
    HWND hWnd = ::GetDlgItem(m_pDlgWnd->m_hWnd, m_idLastControl);
    if (hWnd != NULL)
    {
        ::SetFocus(hWnd);
        ::SendMessage(hWnd, EM_SETSEL, 0, -1);
    }
    AfxThrowUserException();
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        CWnd::FromHandle(hWnd)->GetWindowText(value);
    else
        ::SetWindowText(hWnd, value);
}

namespace
{
// Integer fields: a text that is not a number fails the exchange.
void DDX_Number(CDataExchange* pDX, int nIDC, long& value, BOOL bSigned)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
    {
        CString text;
        CWnd::FromHandle(hWnd)->GetWindowText(text);
        LPCTSTR p = text;
        while (*p == ' ')
            ++p;
        LPTSTR end = NULL;
        long n = bSigned ? strtol(p, &end, 10) : (long)strtoul(p, &end, 10);
        while (end != NULL && *end == ' ')
            ++end;
        if (*p == '\0' || end == NULL || *end != '\0' || (!bSigned && *p == '-'))
        {
            AfxMessageBox(TEXT("Please enter a number."), MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
        }
        value = n;
    }
    else
    {
        TCHAR sz[32];
        wsprintf(sz, bSigned ? TEXT("%ld") : TEXT("%lu"), value);
        ::SetWindowText(hWnd, sz);
    }
}
}  // namespace

void DDX_Text(CDataExchange* pDX, int nIDC, int& value)
{
    long n = value;
    DDX_Number(pDX, nIDC, n, TRUE);
    value = (int)n;
}

void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value)
{
    long n = (long)value;
    DDX_Number(pDX, nIDC, n, FALSE);
    value = (UINT)n;
}

void DDX_Text(CDataExchange* pDX, int nIDC, long& value)
{
    DDX_Number(pDX, nIDC, value, TRUE);
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = (int)::SendMessage(hWnd, BM_GETCHECK, 0, 0);
    else
        ::SendMessage(hWnd, BM_SETCHECK, (WPARAM)value, 0);
}

void DDX_Radio(CDataExchange* pDX, int nIDC, int& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        value = -1;
    // The group runs from the first button to the next control with WS_GROUP.
    int nIndex = 0;
    do
    {
        if (::SendMessage(hWnd, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON)
        {
            if (pDX->m_bSaveAndValidate)
            {
                if (::SendMessage(hWnd, BM_GETCHECK, 0, 0) != 0)
                    value = nIndex;
            }
            else
            {
                ::SendMessage(hWnd, BM_SETCHECK, nIndex == value, 0);
            }
            ++nIndex;
        }
        hWnd = ::GetWindow(hWnd, GW_HWNDNEXT);
    } while (hWnd != NULL && !(GetWindowLongPtr(hWnd, GWL_STYLE) & WS_GROUP));
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = (int)::SendMessage(hWnd, CB_GETCURSEL, 0, 0);
    else
        ::SendMessage(hWnd, CB_SETCURSEL, (WPARAM)index, 0);
}

void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
    {
        CWnd::FromHandle(hWnd)->GetWindowText(value);
    }
    else if (::SendMessage(hWnd, CB_SELECTSTRING, (WPARAM)-1, (LPARAM)(LPCTSTR)value) == CB_ERR)
    {
        ::SetWindowText(hWnd, value);
    }
}

void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index)
{
    HWND hWnd = pDX->PrepareCtrl(nIDC);
    if (pDX->m_bSaveAndValidate)
        index = (int)::SendMessage(hWnd, LB_GETCURSEL, 0, 0);
    else
        ::SendMessage(hWnd, LB_SETCURSEL, (WPARAM)index, 0);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd == NULL)
        rControl.SubclassWindow(pDX->PrepareCtrl(nIDC));
}

void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars)
{
    if (pDX->m_bSaveAndValidate && value.GetLength() > nChars)
    {
        TCHAR sz[96];
        wsprintf(sz, TEXT("Enter no more than %d characters."), nChars);
        AfxMessageBox(sz, MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
    else if (!pDX->m_bSaveAndValidate)
    {
        ::SendDlgItemMessage(pDX->m_pDlgWnd->m_hWnd, pDX->m_idLastControl, EM_LIMITTEXT, nChars, 0);
    }
}

void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal)
{
    if (pDX->m_bSaveAndValidate && (value < minVal || value > maxVal))
    {
        TCHAR sz[96];
        wsprintf(sz, TEXT("Enter an integer between %d and %d."), minVal, maxVal);
        AfxMessageBox(sz, MB_OK | MB_ICONEXCLAMATION);
        pDX->Fail();
    }
}
