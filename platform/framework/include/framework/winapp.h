// CWinApp: the one application object of a program without windows. The
// program's entry point calls its InitInstance and then Run, which serves
// the main thread's message queue until a WM_QUIT is posted.
#pragma once

#include <framework/cstring.h>
#include <framework/thread.h>

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
    LPCTSTR m_pszExeName;  // file name of the executable without extension

private:
    CString m_strAppName;
    CString m_strExeName;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
