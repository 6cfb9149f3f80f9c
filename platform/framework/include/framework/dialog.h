// Dialogs: CDialog (modal and modeless, from a dialog resource or an
// in-memory template), dialog data exchange, property sheets and pages
// (normal and wizard), and the common file and find/replace dialogs.
//
// A modal dialog runs the framework's own modal loop (so PreTranslateMessage
// and posted input work as for any window) with its owner disabled;
// EndDialog ends the loop and DoModal returns the result after the window
// is destroyed. A modeless dialog is made with Create and ended with
// DestroyWindow. IDOK goes to OnOK (UpdateData(TRUE), then EndDialog(IDOK)),
// IDCANCEL to OnCancel (EndDialog(IDCANCEL)).
// Property sheets run on the system's property sheet; pages can be added
// and removed while it is shown. Page notifications reach the page's
// virtuals: OnSetActive, OnKillActive, OnApply, OnReset, OnQueryCancel,
// OnWizardBack/Next/Finish. A sheet's DoModal returns IDOK after OK or
// Apply-and-close, ID_WIZFINISH after a wizard's Finish, else IDCANCEL.
#pragma once

#include <framework/arrays.h>
#include <framework/wnd.h>

#include <commdlg.h>
#include <prsht.h>

#ifndef ID_WIZBACK
#define ID_WIZBACK 0x3023
#define ID_WIZNEXT 0x3024
#define ID_WIZFINISH 0x3025
#endif

class CDialog : public CWnd
{
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    explicit CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    ~CDialog();

    // Modeless.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = NULL);
    virtual BOOL Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd = NULL);
    BOOL CreateIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = NULL);
    // Modal.
    virtual INT_PTR DoModal();
    BOOL InitModalIndirect(LPCDLGTEMPLATE lpDialogTemplate, CWnd* pParentWnd = NULL);
    void EndDialog(int nResult);
    // Runs messages until EndDialog; returns the result.
    int RunModalLoop();
    BOOL ContinueModal() const { return m_bModalRunning; }

    virtual BOOL OnInitDialog();
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo);
    void NextDlgCtrl() const { ::SendMessage(m_hWnd, WM_NEXTDLGCTL, 0, 0); }
    void PrevDlgCtrl() const { ::SendMessage(m_hWnd, WM_NEXTDLGCTL, 1, 0); }
    void GotoDlgCtrl(CWnd* pWndCtrl) { ::SendMessage(m_hWnd, WM_NEXTDLGCTL, (WPARAM)pWndCtrl->GetSafeHwnd(), 1); }
    void SetDefID(UINT nID) { ::SendMessage(m_hWnd, DM_SETDEFID, nID, 0); }
    DWORD GetDefID() const { return (DWORD)::SendMessage(m_hWnd, DM_GETDEFID, 0, 0); }
    void MapDialogRect(LPRECT lpRect) const { ::MapDialogRect(m_hWnd, lpRect); }

    LPCTSTR m_lpszTemplateName;
    UINT m_nIDHelp;
    CWnd* m_pParentWnd;

protected:
    virtual void OnOK();
    virtual void OnCancel();
    // The dialog box procedure of every framework dialog: WM_INITDIALOG goes
    // to OnInitDialog; everything else was handled before it by AfxWndProc.
    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL CreateFromTemplate(LPCDLGTEMPLATE lpTemplate, HWND hWndParent);
    LPCDLGTEMPLATE LoadTemplate() const;

    LPCDLGTEMPLATE m_lpDialogTemplate;
    int m_nModalResult;
    BOOL m_bModalRunning;
    friend class CPropertySheet;
};

// Dialog data exchange: DoDataExchange moves values between members and
// controls; m_bSaveAndValidate TRUE reads the controls.
class CDataExchange
{
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
        : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd), m_idLastControl(0) {}
    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    int m_idLastControl;
    HWND PrepareCtrl(int nIDC);
    // Moves the focus to the last control and ends the exchange as failed
    // (throws a CUserException, which UpdateData turns into FALSE).
    void Fail();
};

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
void DDX_Text(CDataExchange* pDX, int nIDC, long& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// nIDC is the first radio button of a group; value the index of the checked one (-1 none).
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_CBString(CDataExchange* pDX, int nIDC, CString& value);
void DDX_LBIndex(CDataExchange* pDX, int nIDC, int& index);
// Binds a member window object to a dialog control (subclasses it once).
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void DDV_MaxChars(CDataExchange* pDX, const CString& value, int nChars);
void DDV_MinMaxInt(CDataExchange* pDX, int value, int minVal, int maxVal);

class CPropertySheet;

class CPropertyPage : public CDialog
{
    DECLARE_DYNAMIC(CPropertyPage)
public:
    CPropertyPage();
    explicit CPropertyPage(UINT nIDTemplate, UINT nIDCaption = 0);
    explicit CPropertyPage(LPCTSTR lpszTemplateName, UINT nIDCaption = 0);
    ~CPropertyPage();
    void Construct(UINT nIDTemplate, UINT nIDCaption = 0);
    void Construct(LPCTSTR lpszTemplateName, UINT nIDCaption = 0);

    PROPSHEETPAGE m_psp;

    // Marks the page changed (enables Apply) or unchanged.
    void SetModified(BOOL bChanged = TRUE);
    BOOL IsModified() const { return m_bModified; }
    CPropertySheet* GetSheet() const { return m_pSheet; }

    virtual BOOL OnSetActive();      // TRUE to accept activation
    virtual BOOL OnKillActive();     // FALSE keeps the page active
    virtual BOOL OnApply();          // FALSE refuses the apply
    virtual void OnReset();
    virtual BOOL OnQueryCancel();    // FALSE refuses the cancel
    // Return 0 for the next page in order, -1 to stay, or a page's template id.
    virtual LRESULT OnWizardBack();
    virtual LRESULT OnWizardNext();
    virtual BOOL OnWizardFinish();   // FALSE refuses to finish
    virtual void OnOK();
    virtual void OnCancel();

protected:
    virtual BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult);
    // Makes the system's page handle (once) for the sheet.
    HPROPSHEETPAGE CreatePageHandle();
    static UINT CALLBACK PageCallback(HWND hWnd, UINT message, LPPROPSHEETPAGE ppsp);
    static INT_PTR CALLBACK PageProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

    CPropertySheet* m_pSheet;
    CString m_strCaption;
    BOOL m_bModified;
    HPROPSHEETPAGE m_hPage;
    friend class CPropertySheet;
};

class CPropertySheet : public CWnd
{
    DECLARE_DYNAMIC(CPropertySheet)
public:
    CPropertySheet();
    explicit CPropertySheet(UINT nIDCaption, CWnd* pParentWnd = NULL, UINT iSelectPage = 0);
    explicit CPropertySheet(LPCTSTR pszCaption, CWnd* pParentWnd = NULL, UINT iSelectPage = 0);
    ~CPropertySheet();
    void Construct(LPCTSTR pszCaption, CWnd* pParentWnd = NULL, UINT iSelectPage = 0);

    PROPSHEETHEADER m_psh;

    void AddPage(CPropertyPage* pPage);
    void RemovePage(CPropertyPage* pPage);
    void RemovePage(int nPage);
    int GetPageCount() const;
    CPropertyPage* GetPage(int nPage) const;
    int GetPageIndex(CPropertyPage* pPage) const;
    CPropertyPage* GetActivePage() const;
    int GetActiveIndex() const;
    BOOL SetActivePage(int nPage);
    BOOL SetActivePage(CPropertyPage* pPage);
    void SetTitle(LPCTSTR lpszText, UINT nStyle = 0);
    void SetWizardMode() { m_psh.dwFlags |= PSH_WIZARD; }
    BOOL IsWizard() const { return (m_psh.dwFlags & PSH_WIZARD) != 0; }
    void SetWizardButtons(DWORD dwFlags);
    void SetFinishText(LPCTSTR lpszText);
    void PressButton(int nButton) { ::PostMessage(m_hWnd, PSM_PRESSBUTTON, nButton, 0); }
    void EndDialog(int nEndID);

    virtual INT_PTR DoModal();
    // Modeless; dwStyle and dwExStyle -1 keep the defaults.
    virtual BOOL Create(CWnd* pParentWnd = NULL, DWORD dwStyle = (DWORD)-1, DWORD dwExStyle = 0);
    virtual BOOL OnInitDialog();
    virtual BOOL PreTranslateMessage(MSG* pMsg);

    CWnd* m_pParentWnd;

protected:
    BOOL CreateSheet(CWnd* pParentWnd, BOOL bModal);
    static int CALLBACK SheetCallback(HWND hWnd, UINT message, LPARAM lParam);

    CPtrArray m_pages;  // CPropertyPage*, in order
    CString m_strCaption;
    int m_nModalResult;
    BOOL m_bModal;
    friend class CPropertyPage;
};

class CFileDialog : public CDialog
{
    DECLARE_DYNAMIC(CFileDialog)
public:
    // lpszFilter: pairs separated by '|' and ended by "||".
    explicit CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt = NULL, LPCTSTR lpszFileName = NULL,
                         DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                         LPCTSTR lpszFilter = NULL, CWnd* pParentWnd = NULL);
    virtual INT_PTR DoModal();
    CString GetPathName() const { return m_ofn.lpstrFile; }
    CString GetFileName() const;
    CString GetFileExt() const;
    CString GetFileTitle() const;

    OPENFILENAME m_ofn;

protected:
    BOOL m_bOpenFileDialog;
    CString m_strFilter;
    CString m_strDefExt;
    TCHAR m_szFileName[MAX_PATH];
    TCHAR m_szFileTitle[MAX_PATH];
};

// The system's modeless find or replace dialog. It reports to its owner
// through the registered message FINDMSGSTRING, whose lParam GetNotifier
// turns into the dialog. The object deletes itself when the window closes.
class CFindReplaceDialog : public CDialog
{
    DECLARE_DYNAMIC(CFindReplaceDialog)
public:
    CFindReplaceDialog();
    BOOL Create(BOOL bFindDialogOnly, LPCTSTR lpszFindWhat, LPCTSTR lpszReplaceWith = NULL,
                DWORD dwFlags = FR_DOWN, CWnd* pParentWnd = NULL);
    static CFindReplaceDialog* GetNotifier(LPARAM lParam);

    CString GetFindString() const { return m_fr.lpstrFindWhat; }
    CString GetReplaceString() const { return m_fr.lpstrReplaceWith; }
    BOOL SearchDown() const { return (m_fr.Flags & FR_DOWN) != 0; }
    BOOL FindNext() const { return (m_fr.Flags & FR_FINDNEXT) != 0; }
    BOOL MatchCase() const { return (m_fr.Flags & FR_MATCHCASE) != 0; }
    BOOL MatchWholeWord() const { return (m_fr.Flags & FR_WHOLEWORD) != 0; }
    BOOL ReplaceCurrent() const { return (m_fr.Flags & FR_REPLACE) != 0; }
    BOOL ReplaceAll() const { return (m_fr.Flags & FR_REPLACEALL) != 0; }
    BOOL IsTerminating() const { return (m_fr.Flags & FR_DIALOGTERM) != 0; }

    FINDREPLACE m_fr;

protected:
    virtual void PostNcDestroy() { delete this; }
    // The system's dialog handles its own buttons (Find Next is IDOK).
    virtual BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
    { return CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo); }
    TCHAR m_szFindWhat[128];
    TCHAR m_szReplaceWith[128];
};
