#include "handlemap.h"

IMPLEMENT_DYNAMIC(CPropertyPage, CDialog)
IMPLEMENT_DYNAMIC(CPropertySheet, CWnd)

// ---------------------------------------------------------------- pages

CPropertyPage::CPropertyPage() : m_psp(), m_pSheet(NULL), m_bModified(FALSE), m_hPage(NULL)
{
}

CPropertyPage::CPropertyPage(UINT nIDTemplate, UINT nIDCaption) : CPropertyPage()
{
    Construct(nIDTemplate, nIDCaption);
}

CPropertyPage::CPropertyPage(LPCTSTR lpszTemplateName, UINT nIDCaption) : CPropertyPage()
{
    Construct(lpszTemplateName, nIDCaption);
}

CPropertyPage::~CPropertyPage()
{
    if (m_hPage != NULL && m_pSheet == NULL)
        ::DestroyPropertySheetPage(m_hPage);
}

void CPropertyPage::Construct(UINT nIDTemplate, UINT nIDCaption)
{
    Construct(MAKEINTRESOURCE(nIDTemplate), nIDCaption);
    m_nIDHelp = nIDTemplate;
}

void CPropertyPage::Construct(LPCTSTR lpszTemplateName, UINT nIDCaption)
{
    m_lpszTemplateName = lpszTemplateName;
    if (nIDCaption != 0)
        m_strCaption.LoadString(nIDCaption);
}

HPROPSHEETPAGE CPropertyPage::CreatePageHandle()
{
    if (m_hPage != NULL)
        return m_hPage;
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags |= PSP_USECALLBACK;
    m_psp.hInstance = AfxGetResourceHandle();
    m_psp.pszTemplate = m_lpszTemplateName;
    m_psp.pfnDlgProc = PageProc;
    m_psp.lParam = (LPARAM)this;
    m_psp.pfnCallback = PageCallback;
    if (!m_strCaption.IsEmpty())
    {
        m_psp.dwFlags |= PSP_USETITLE;
        m_psp.pszTitle = m_strCaption;
    }
    m_hPage = ::CreatePropertySheetPage(&m_psp);
    return m_hPage;
}

UINT CALLBACK CPropertyPage::PageCallback(HWND, UINT message, LPPROPSHEETPAGE ppsp)
{
    // The system destroys a removed page's handle: forget it.
    if (message == PSPCB_RELEASE && ppsp != NULL && ppsp->lParam != 0)
        reinterpret_cast<CPropertyPage*>(ppsp->lParam)->m_hPage = NULL;
    return TRUE;
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    CPropertyPage* pPage = reinterpret_cast<CPropertyPage*>(((LPPROPSHEETPAGE)lParam)->lParam);
    if (pPage->m_hWnd == NULL)
        pPage->SubclassWindow(hWnd);
    return pPage->OnInitDialog();
}

void CPropertyPage::SetModified(BOOL bChanged)
{
    m_bModified = bChanged;
    if (m_hWnd == NULL)
        return;
    HWND hWndSheet = ::GetParent(m_hWnd);
    ::SendMessage(hWndSheet, bChanged ? PSM_CHANGED : PSM_UNCHANGED, (WPARAM)m_hWnd, 0);
}

BOOL CPropertyPage::OnSetActive()
{
    return TRUE;
}

BOOL CPropertyPage::OnKillActive()
{
    return UpdateData(TRUE);
}

BOOL CPropertyPage::OnApply()
{
    OnOK();
    return TRUE;
}

void CPropertyPage::OnReset()
{
    OnCancel();
}

BOOL CPropertyPage::OnQueryCancel()
{
    return TRUE;
}

LRESULT CPropertyPage::OnWizardBack()
{
    return 0;
}

LRESULT CPropertyPage::OnWizardNext()
{
    return 0;
}

BOOL CPropertyPage::OnWizardFinish()
{
    return TRUE;
}

void CPropertyPage::OnOK()
{
    m_bModified = FALSE;
}

void CPropertyPage::OnCancel()
{
}

BOOL CPropertyPage::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    NMHDR* pNMHDR = (NMHDR*)lParam;
    if (pNMHDR->code > PSN_FIRST || pNMHDR->code < PSN_LAST)
        return CDialog::OnNotify(wParam, lParam, pResult);
    LRESULT lResult = 0;
    switch (pNMHDR->code)
    {
    case PSN_SETACTIVE:
        lResult = OnSetActive() ? 0 : -1;
        break;
    case PSN_KILLACTIVE:
        lResult = !OnKillActive();
        break;
    case PSN_APPLY:
        lResult = OnApply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
        if (lResult == PSNRET_NOERROR && m_pSheet != NULL)
            m_pSheet->m_nModalResult = IDOK;
        break;
    case PSN_RESET:
        OnReset();
        break;
    case PSN_QUERYCANCEL:
        lResult = !OnQueryCancel();
        break;
    case PSN_WIZBACK:
        lResult = OnWizardBack();
        break;
    case PSN_WIZNEXT:
        lResult = OnWizardNext();
        break;
    case PSN_WIZFINISH:
        lResult = !OnWizardFinish();
        if (lResult == 0 && m_pSheet != NULL)
            m_pSheet->m_nModalResult = ID_WIZFINISH;
        break;
    default:
        return CDialog::OnNotify(wParam, lParam, pResult);
    }
    // The sheet reads the answer from the dialog's result slot.
    ::SetWindowLongPtr(m_hWnd, DWLP_MSGRESULT, lResult);
    *pResult = lResult;
    return TRUE;
}

// ---------------------------------------------------------------- sheets

CPropertySheet::CPropertySheet() : m_psh(), m_pParentWnd(NULL), m_nModalResult(IDCANCEL), m_bModal(FALSE)
{
}

CPropertySheet::CPropertySheet(UINT nIDCaption, CWnd* pParentWnd, UINT iSelectPage) : CPropertySheet()
{
    CString caption;
    caption.LoadString(nIDCaption);
    Construct(caption, pParentWnd, iSelectPage);
}

CPropertySheet::CPropertySheet(LPCTSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage) : CPropertySheet()
{
    Construct(pszCaption, pParentWnd, iSelectPage);
}

CPropertySheet::~CPropertySheet()
{
    if (m_hWnd != NULL)
        DestroyWindow();
    for (int i = 0; i < m_pages.GetSize(); ++i)
        static_cast<CPropertyPage*>(m_pages[i])->m_pSheet = NULL;
}

void CPropertySheet::Construct(LPCTSTR pszCaption, CWnd* pParentWnd, UINT iSelectPage)
{
    m_strCaption = pszCaption != NULL ? pszCaption : TEXT("");
    m_pParentWnd = pParentWnd;
    m_psh.nStartPage = iSelectPage;
}

void CPropertySheet::AddPage(CPropertyPage* pPage)
{
    m_pages.Add(pPage);
    pPage->m_pSheet = this;
    if (m_hWnd != NULL)
        ::SendMessage(m_hWnd, PSM_ADDPAGE, 0, (LPARAM)pPage->CreatePageHandle());
}

void CPropertySheet::RemovePage(CPropertyPage* pPage)
{
    int nPage = GetPageIndex(pPage);
    if (nPage >= 0)
        RemovePage(nPage);
}

void CPropertySheet::RemovePage(int nPage)
{
    CPropertyPage* pPage = GetPage(nPage);
    if (pPage == NULL)
        return;
    if (m_hWnd != NULL)
        ::SendMessage(m_hWnd, PSM_REMOVEPAGE, nPage, 0);
    pPage->m_pSheet = NULL;
    m_pages.RemoveAt(nPage);
}

int CPropertySheet::GetPageCount() const
{
    return (int)m_pages.GetSize();
}

CPropertyPage* CPropertySheet::GetPage(int nPage) const
{
    return nPage >= 0 && nPage < m_pages.GetSize() ? static_cast<CPropertyPage*>(m_pages[nPage]) : NULL;
}

int CPropertySheet::GetPageIndex(CPropertyPage* pPage) const
{
    for (int i = 0; i < m_pages.GetSize(); ++i)
    {
        if (m_pages[i] == pPage)
            return i;
    }
    return -1;
}

CPropertyPage* CPropertySheet::GetActivePage() const
{
    if (m_hWnd == NULL)
        return GetPage(m_psh.nStartPage);
    HWND hWndPage = (HWND)::SendMessage(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0);
    return DYNAMIC_DOWNCAST(CPropertyPage, CWnd::FromHandlePermanent(hWndPage));
}

int CPropertySheet::GetActiveIndex() const
{
    if (m_hWnd == NULL)
        return m_psh.nStartPage;
    return GetPageIndex(GetActivePage());
}

BOOL CPropertySheet::SetActivePage(int nPage)
{
    if (m_hWnd == NULL)
    {
        m_psh.nStartPage = nPage;
        return TRUE;
    }
    return (BOOL)::SendMessage(m_hWnd, PSM_SETCURSEL, nPage, 0);
}

BOOL CPropertySheet::SetActivePage(CPropertyPage* pPage)
{
    int nPage = GetPageIndex(pPage);
    return nPage >= 0 && SetActivePage(nPage);
}

void CPropertySheet::SetTitle(LPCTSTR lpszText, UINT nStyle)
{
    m_strCaption = lpszText;
    m_psh.dwFlags = (m_psh.dwFlags & ~PSH_PROPTITLE) | (nStyle & PSH_PROPTITLE);
    if (m_hWnd != NULL)
        ::SendMessage(m_hWnd, PSM_SETTITLE, nStyle, (LPARAM)lpszText);
}

void CPropertySheet::SetWizardButtons(DWORD dwFlags)
{
    if (m_hWnd != NULL)
        ::SendMessage(m_hWnd, PSM_SETWIZBUTTONS, 0, dwFlags);
}

void CPropertySheet::SetFinishText(LPCTSTR lpszText)
{
    if (m_hWnd != NULL)
        ::SendMessage(m_hWnd, PSM_SETFINISHTEXT, 0, (LPARAM)lpszText);
}

int CALLBACK CPropertySheet::SheetCallback(HWND, UINT, LPARAM)
{
    return 0;
}

BOOL CPropertySheet::CreateSheet(CWnd* pParentWnd, BOOL bModal)
{
    INITCOMMONCONTROLSEX icc = { sizeof(icc), ICC_WIN95_CLASSES };
    ::InitCommonControlsEx(&icc);
    int nPages = (int)m_pages.GetSize();
    HPROPSHEETPAGE* phPages = new HPROPSHEETPAGE[nPages > 0 ? nPages : 1];
    for (int i = 0; i < nPages; ++i)
        phPages[i] = GetPage(i)->CreatePageHandle();
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags |= PSH_MODELESS | PSH_USECALLBACK;
    m_psh.hwndParent = pParentWnd->GetSafeHwnd();
    m_psh.hInstance = AfxGetResourceHandle();
    m_psh.pszCaption = m_strCaption;
    m_psh.nPages = nPages;
    m_psh.phpage = phPages;
    m_psh.pfnCallback = SheetCallback;
    m_nModalResult = IDCANCEL;
    m_bModal = bModal;
    AfxHookWindowCreate(this);
    HWND hWnd = (HWND)::PropertySheet(&m_psh);
    AfxUnhookWindowCreate();
    delete[] phPages;
    m_psh.phpage = NULL;
    if (hWnd == NULL || hWnd == (HWND)-1)
        return FALSE;
    if (m_hWnd == NULL)
        SubclassWindow(hWnd);
    OnInitDialog();
    return TRUE;
}

BOOL CPropertySheet::Create(CWnd* pParentWnd, DWORD, DWORD)
{
    m_pParentWnd = pParentWnd;
    return CreateSheet(pParentWnd, FALSE);
}

BOOL CPropertySheet::OnInitDialog()
{
    return TRUE;
}

INT_PTR CPropertySheet::DoModal()
{
    CWnd* pOwner = m_pParentWnd != NULL ? m_pParentWnd->GetTopLevelParent() : GetSafeOwner(NULL);
    HWND hWndOwner = pOwner->GetSafeHwnd();
    BOOL bEnableOwner = hWndOwner != NULL && ::IsWindowEnabled(hWndOwner);
    if (bEnableOwner)
        ::EnableWindow(hWndOwner, FALSE);
    if (!CreateSheet(pOwner, TRUE))
    {
        if (bEnableOwner)
            ::EnableWindow(hWndOwner, TRUE);
        return -1;
    }
    // The sheet asks to close by having no current page any more.
    MSG msg;
    while (m_bModal && ::SendMessage(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0) != 0)
    {
        if (!::GetMessage(&msg, NULL, 0, 0))
        {
            ::PostQuitMessage((int)msg.wParam);
            break;
        }
        CWinThread* pThread = AfxGetThread();
        BOOL bDone = pThread != NULL ? pThread->PreTranslateMessage(&msg)
                                     : CWnd::WalkPreTranslateTree(NULL, &msg);
        if (!bDone && !PreTranslateMessage(&msg))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessage(&msg);
        }
        if (!::PeekMessage(&msg, NULL, 0, 0, PM_NOREMOVE))
            AfxDeleteTempMaps();
    }
    m_bModal = FALSE;
    if (bEnableOwner)
        ::EnableWindow(hWndOwner, TRUE);
    if (hWndOwner != NULL)
        ::SetActiveWindow(hWndOwner);
    DestroyWindow();
    return m_nModalResult;
}

void CPropertySheet::EndDialog(int nEndID)
{
    m_nModalResult = nEndID;
    if (m_bModal)
    {
        m_bModal = FALSE;
        ::PostMessage(m_hWnd, WM_NULL, 0, 0);
    }
    else
    {
        DestroyWindow();
    }
}

BOOL CPropertySheet::PreTranslateMessage(MSG* pMsg)
{
    if (CWnd::PreTranslateMessage(pMsg))
        return TRUE;
    if (m_hWnd != NULL && (pMsg->hwnd == m_hWnd || ::IsChild(m_hWnd, pMsg->hwnd)))
        return (BOOL)::SendMessage(m_hWnd, PSM_ISDIALOGMESSAGE, 0, (LPARAM)pMsg);
    return FALSE;
}
