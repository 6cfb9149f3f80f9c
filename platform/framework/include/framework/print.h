// Printing: the print dialog, the state of one print job (CPrintInfo) and
// the seam through which a program or a test gives the job a device context
// in place of a printer.
//
// A view prints through CView::OnFilePrint: OnPreparePrinting (which calls
// DoPreparePrinting: the print dialog, or the printer DC handler below),
// OnBeginPrinting, then for each page OnPrepareDC and OnPrint, and finally
// OnEndPrinting. Pages are framed with StartPage/EndPage, and the job with
// StartDoc/EndDoc, only on a real device DC; an enhanced-metafile or memory
// DC given by the handler records every page's drawing one after another.
#pragma once

#include <framework/cstring.h>
#include <framework/geometry.h>
#include <framework/dialog.h>

class CDC;

class CPrintDialog : public CDialog
{
    DECLARE_DYNAMIC(CPrintDialog)
public:
    // bPrintSetupOnly: the setup dialog instead of the print dialog.
    explicit CPrintDialog(BOOL bPrintSetupOnly,
                          DWORD dwFlags = PD_ALLPAGES | PD_USEDEVMODECOPIES | PD_NOPAGENUMS |
                                          PD_HIDEPRINTTOFILE | PD_NOSELECTION,
                          CWnd* pParentWnd = NULL);
    ~CPrintDialog();

    INT_PTR DoModal() override;
    // The default printer without showing the dialog; FALSE when there is none.
    BOOL GetDefaults();
    BOOL PrintSelection() const { return (m_pd.Flags & PD_SELECTION) != 0; }
    BOOL PrintRange() const { return (m_pd.Flags & PD_PAGENUMS) != 0; }
    BOOL PrintAll() const { return !PrintRange() && !PrintSelection(); }
    int GetFromPage() const { return PrintRange() ? m_pd.nFromPage : -1; }
    int GetToPage() const { return PrintRange() ? m_pd.nToPage : -1; }
    // The printer DC the dialog made (PD_RETURNDC), or NULL.
    HDC GetPrinterDC() const { return m_pd.hDC; }

    PRINTDLG m_pd;
};

class CPrintInfo
{
public:
    CPrintInfo();
    ~CPrintInfo();

    void SetMinPage(UINT nMinPage) { m_pPD->m_pd.nMinPage = (WORD)nMinPage; }
    // 0xFFFF: the length is not known; the job then prints until
    // OnPrepareDC clears m_bContinuePrinting (by default after page 1).
    void SetMaxPage(UINT nMaxPage) { m_pPD->m_pd.nMaxPage = (WORD)nMaxPage; }
    UINT GetMinPage() const { return m_pPD->m_pd.nMinPage; }
    UINT GetMaxPage() const { return m_pPD->m_pd.nMaxPage; }
    // The pages the dialog asked for, else the whole document.
    UINT GetFromPage() const;
    UINT GetToPage() const;

    CPrintDialog* m_pPD;       // owned
    BOOL m_bDirect;            // print without showing the dialog
    BOOL m_bPreview;           // always FALSE: there is no print preview
    BOOL m_bContinuePrinting;  // cleared by OnPrepareDC to end the job
    UINT m_nCurPage;
    CString m_strPageDesc;
    LPVOID m_lpUserData;
    CRect m_rectDraw;          // the page's printable area, in logical units
};

// The printer DC seam: when a handler is set, DoPreparePrinting calls it
// instead of showing the print dialog. It returns the DC the job draws on
// (NULL cancels the job); the DC stays the handler's, which frees it.
// pInfo's dialog flags may be read and set (PD_SELECTION and the like).
typedef HDC (*AFX_PRINTER_DC_HANDLER)(CPrintInfo* pInfo);
// Sets the handler (NULL: the print dialog again); returns the previous one.
AFX_PRINTER_DC_HANDLER AfxSetPrinterDCHandler(AFX_PRINTER_DC_HANDLER pfnHandler);
