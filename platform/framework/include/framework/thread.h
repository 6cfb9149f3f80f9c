// Threads and the application object (which runs without windows).
#pragma once

#include <framework/object.h>

typedef UINT (*AFX_THREADPROC)(LPVOID);

class CWinThread : public CObject
{
public:
    CWinThread();
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    virtual ~CWinThread();

    // Starts the thread; FALSE when the system refuses.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
    DWORD ResumeThread();
    DWORD SuspendThread();

    virtual BOOL InitInstance();
    // Runs the thread's message loop until WM_QUIT, calling OnIdle while
    // the queue is empty; returns ExitInstance().
    virtual int Run();
    virtual int ExitInstance();
    // Idle work; TRUE asks for more idle calls before the next message.
    virtual BOOL OnIdle(LONG lCount);

    HANDLE m_hThread;
    DWORD m_nThreadID;
    // The object deletes itself when its thread ends (default TRUE).
    BOOL m_bAutoDelete;

protected:
    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
    int m_nExitCode;

private:
    static DWORD WINAPI ThreadEntry(LPVOID self);
};

// Starts a worker thread running pfnThreadProc(pParam); the returned object
// deletes itself when the thread ends. NULL when the thread cannot start.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);

// The one application object of a program.
class CWinApp : public CWinThread
{
public:
    explicit CWinApp(LPCTSTR lpszAppName = NULL);
    virtual ~CWinApp();

    HINSTANCE m_hInstance;
    LPCTSTR m_pszAppName;
    LPCTSTR m_pszExeName;

private:
    char m_exeName[MAX_PATH];
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
