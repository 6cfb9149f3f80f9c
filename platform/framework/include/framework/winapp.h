// CWinApp: the one application object of a program. The program's entry
// point calls its InitInstance and then Run, which serves the main thread's
// message queue until a WM_QUIT is posted. Programs without windows use it
// as it is; GUI programs set m_pMainWnd and use the profile, message boxes
// and the wait cursor below.
//
// Profile: after SetRegistryKey(company) the profile lives in the user's
// registry under Software\<company>\<application name>\<section>; without it
// in an .ini file named after the application (m_pszProfileName). Binary
// values are REG_BINARY in the registry and hex text in an .ini file.
// Documents: the application owns its document templates (AddDocTemplate)
// and deletes them with itself. Commands that no frame handled reach the
// application's message map last.
// Message boxes: AfxMessageBox and CWnd::MessageBox go through
// CWinApp::DoMessageBox, which a test replaces with AfxSetMessageBoxHandler
// to answer without showing a window.
#pragma once

#include <framework/cstring.h>
#include <framework/lists.h>
#include <framework/thread.h>

class CDocTemplate;

class CWinApp : public CWinThread
{
    DECLARE_DYNAMIC(CWinApp)
public:
    // lpszAppName NULL names the application after the executable.
    explicit CWinApp(LPCTSTR lpszAppName = NULL);
    ~CWinApp();

    BOOL InitInstance() override { return TRUE; }

    HINSTANCE m_hInstance;
    LPCTSTR m_pszAppName;
    LPCTSTR m_pszExeName;       // file name of the executable without extension
    LPCTSTR m_pszRegistryKey;   // company key of SetRegistryKey, or NULL
    LPCTSTR m_pszProfileName;   // application key, or the .ini file name
    LPCTSTR m_pszHelpFilePath;

    // Profile.
    void SetRegistryKey(LPCTSTR lpszRegistryKey);
    void SetRegistryKey(UINT nIDRegistryKey);
    UINT GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault);
    BOOL WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue);
    CString GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault = NULL);
    BOOL WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue);
    // *ppData is new[]'ed for the caller to delete[]; FALSE when absent.
    BOOL GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData, UINT* pBytes);
    BOOL WriteProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE pData, UINT nBytes);
    // HKEY_CURRENT_USER\Software\<company>\<application>, created when
    // missing; NULL without a registry key. The caller closes it.
    HKEY GetAppRegistryKey();
    HKEY GetSectionKey(LPCTSTR lpszSection);

    // Documents.
    void AddDocTemplate(CDocTemplate* pTemplate) { m_templateList.AddTail(pTemplate); }
    POSITION GetFirstDocTemplatePosition() const { return m_templateList.GetHeadPosition(); }
    CDocTemplate* GetNextDocTemplate(POSITION& pos) const { return (CDocTemplate*)m_templateList.GetNext(pos); }
    // SaveModified of every document of every template; FALSE when one was cancelled.
    virtual BOOL SaveAllModified();
    // Closes every document without asking.
    virtual void CloseAllDocuments(BOOL bEndSession);

    // Help: shows the help file's topic (nCmd HELP_CONTEXT: dwData is a help context).
    virtual void WinHelp(DWORD_PTR dwData, UINT nCmd = HELP_CONTEXT);

    // Message boxes.
    virtual int DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT nIDPrompt);

    // Wait cursor: nCode 1 shows it (counted), -1 undoes one, 0 restores it
    // after something changed the cursor.
    virtual void DoWaitCursor(int nCode);

    HCURSOR LoadCursor(UINT nIDResource) const { return ::LoadCursor(m_hInstance, MAKEINTRESOURCE(nIDResource)); }
    HCURSOR LoadStandardCursor(LPCTSTR lpszCursorName) const { return ::LoadCursor(NULL, lpszCursorName); }
    HICON LoadIcon(UINT nIDResource) const { return ::LoadIcon(m_hInstance, MAKEINTRESOURCE(nIDResource)); }
    HICON LoadStandardIcon(LPCTSTR lpszIconName) const { return ::LoadIcon(NULL, lpszIconName); }

protected:
    CPtrList m_templateList;

private:
    CString m_strAppName;
    CString m_strExeName;
    CString m_strRegistryKey;
    CString m_strProfileName;
    int m_nWaitCursorCount;
    HCURSOR m_hcurWaitCursorRestore;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
HINSTANCE AfxGetResourceHandle();
// The main window of the current thread, or of the application.
CWnd* AfxGetMainWnd();

int AfxMessageBox(LPCTSTR lpszText, UINT nType = MB_OK, UINT nIDHelp = 0);
int AfxMessageBox(UINT nIDPrompt, UINT nType = MB_OK, UINT nIDHelp = (UINT)-1);
// Replaces every message box of the process with pfnHandler (NULL restores
// the real ones); returns the previous handler.
typedef int (*AFX_MESSAGEBOX_HANDLER)(LPCTSTR lpszText, UINT nType);
AFX_MESSAGEBOX_HANDLER AfxSetMessageBoxHandler(AFX_MESSAGEBOX_HANDLER pfnHandler);

// Shows the wait cursor for its lifetime.
class CWaitCursor
{
public:
    CWaitCursor();
    ~CWaitCursor();
    void Restore();
};
