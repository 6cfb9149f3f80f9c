#include <framework/framework.h>

IMPLEMENT_DYNAMIC(CPrintDialog, CDialog)

namespace
{
AFX_PRINTER_DC_HANDLER g_pfnPrinterDC = NULL;
}  // namespace

AFX_PRINTER_DC_HANDLER AfxSetPrinterDCHandler(AFX_PRINTER_DC_HANDLER pfnHandler)
{
    AFX_PRINTER_DC_HANDLER pfnOld = g_pfnPrinterDC;
    g_pfnPrinterDC = pfnHandler;
    return pfnOld;
}

// ---------------------------------------------------------------- CPrintDialog

CPrintDialog::CPrintDialog(BOOL bPrintSetupOnly, DWORD dwFlags, CWnd* pParentWnd) : m_pd()
{
    m_pParentWnd = pParentWnd;
    m_pd.lStructSize = sizeof(m_pd);
    m_pd.Flags = dwFlags | (bPrintSetupOnly ? PD_PRINTSETUP : PD_RETURNDC);
}

CPrintDialog::~CPrintDialog()
{
    if (m_pd.hDevMode != NULL)
        ::GlobalFree(m_pd.hDevMode);
    if (m_pd.hDevNames != NULL)
        ::GlobalFree(m_pd.hDevNames);
}

INT_PTR CPrintDialog::DoModal()
{
    m_pd.hwndOwner = GetSafeOwner(m_pParentWnd)->GetSafeHwnd();
    return ::PrintDlg(&m_pd) ? IDOK : IDCANCEL;
}

BOOL CPrintDialog::GetDefaults()
{
    m_pd.Flags |= PD_RETURNDEFAULT;
    BOOL bResult = ::PrintDlg(&m_pd);
    m_pd.Flags &= ~PD_RETURNDEFAULT;
    return bResult;
}

// ---------------------------------------------------------------- CPrintInfo

CPrintInfo::CPrintInfo()
    : m_pPD(new CPrintDialog(FALSE, PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOSELECTION)), m_bDirect(FALSE),
      m_bPreview(FALSE), m_bContinuePrinting(TRUE), m_nCurPage(1), m_lpUserData(NULL), m_rectDraw(0, 0, 0, 0)
{
    SetMinPage(1);
    SetMaxPage(0xFFFF);
    m_pPD->m_pd.nFromPage = 1;
    m_pPD->m_pd.nToPage = 0xFFFF;
}

CPrintInfo::~CPrintInfo()
{
    delete m_pPD;
}

UINT CPrintInfo::GetFromPage() const
{
    return m_pPD->PrintRange() ? m_pPD->m_pd.nFromPage : GetMinPage();
}

UINT CPrintInfo::GetToPage() const
{
    return m_pPD->PrintRange() ? m_pPD->m_pd.nToPage : GetMaxPage();
}

// ---------------------------------------------------------------- the print job

BOOL CView::DoPreparePrinting(CPrintInfo* pInfo)
{
    CPrintDialog* pPD = pInfo->m_pPD;
    if (g_pfnPrinterDC != NULL)
        pPD->m_pd.hDC = g_pfnPrinterDC(pInfo);
    else if (pInfo->m_bDirect)
        pPD->GetDefaults();
    else if (pPD->DoModal() != IDOK)
        return FALSE;
    return pPD->m_pd.hDC != NULL;
}

void CView::OnFilePrint()
{
    CPrintInfo info;
    if (!OnPreparePrinting(&info))
        return;
    BOOL bHandlerDC = g_pfnPrinterDC != NULL;
    CDC dc;
    dc.Attach(info.m_pPD->m_pd.hDC);
    dc.SetPrinting(TRUE);
    // Only a device has documents and pages; a metafile or memory DC
    // records the pages' drawing one after another.
    BOOL bDevice = ::GetObjectType(dc.m_hDC) == OBJ_DC;

    OnBeginPrinting(&dc, &info);
    BOOL bError = FALSE;
    if (bDevice)
    {
        CString title = m_pDocument != NULL ? m_pDocument->GetTitle() : CString();
        DOCINFO docInfo = { sizeof(docInfo) };
        docInfo.lpszDocName = title;
        bError = dc.StartDoc(&docInfo) <= 0;
    }
    for (info.m_nCurPage = info.GetFromPage(); !bError && info.m_nCurPage <= info.GetToPage(); ++info.m_nCurPage)
    {
        OnPrepareDC(&dc, &info);
        if (!info.m_bContinuePrinting)
            break;
        if (bDevice && dc.StartPage() <= 0)
        {
            bError = TRUE;
            break;
        }
        info.m_rectDraw.SetRect(0, 0, dc.GetDeviceCaps(HORZRES), dc.GetDeviceCaps(VERTRES));
        dc.DPtoLP(&info.m_rectDraw);
        OnPrint(&dc, &info);
        if (bDevice && dc.EndPage() <= 0)
            bError = TRUE;
    }
    if (bDevice)
    {
        if (bError)
            dc.AbortDoc();
        else
            dc.EndDoc();
    }
    OnEndPrinting(&dc, &info);
    if (bHandlerDC)
        dc.Detach();  // the handler's to free
    else
        dc.DeleteDC();
}
