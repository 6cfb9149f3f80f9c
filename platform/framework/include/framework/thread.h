// Threads: CWinThread runs either a worker function or its own
// InitInstance/Run/ExitInstance cycle with a message loop.
#pragma once

#include <framework/cmdtarget.h>

typedef UINT (*AFX_THREADPROC)(LPVOID);

class CWnd;

class CWinThread : public CCmdTarget
{
    DECLARE_DYNAMIC(CWinThread)
public:
    // For derived classes that override InitInstance and Run.
    CWinThread();
    // For a worker thread running pfnThreadProc(pParam).
    CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam);
    ~CWinThread();

    // Starts the thread; CREATE_SUSPENDED leaves it waiting for ResumeThread.
    BOOL CreateThread(DWORD dwCreateFlags = 0, UINT nStackSize = 0,
                      LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
    DWORD SuspendThread() { return ::SuspendThread(m_hThread); }
    DWORD ResumeThread() { return ::ResumeThread(m_hThread); }

    virtual BOOL InitInstance();
    // Processes the thread's messages until WM_QUIT, calling OnIdle with a
    // growing count while the queue is empty until it returns FALSE; any
    // message but a repeated mouse move restarts the idle count. Each
    // message is offered to PreTranslateMessage before it is dispatched.
    // Returns ExitInstance().
    virtual int Run();
    // Gets and dispatches one message; FALSE on WM_QUIT.
    virtual BOOL PumpMessage();
    // Offers the message to the windows from its target up to the main
    // window (CWnd::PreTranslateMessage); TRUE when one took it.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // FALSE for messages that do not end idle time (a mouse move to the
    // same place, the caret's blink timer).
    virtual BOOL IsIdleMessage(MSG* pMsg);
    // Returns the exit code: the WM_QUIT wParam.
    virtual int ExitInstance();
    // Return TRUE for more idle calls. Count 0 runs the frames' idle work
    // (AfxIdleUpdateFrames: delayed layouts, bar updates) and asks for one more call; the
    // next call frees the thread's temporary window and GDI objects.
    virtual BOOL OnIdle(LONG lCount);
    // Deletes the object when m_bAutoDelete is set; called when the thread ends.
    virtual void Delete();

    HANDLE m_hThread;
    DWORD m_nThreadID;
    CWnd* m_pMainWnd;  // the thread's main window, or NULL
    // TRUE: the object deletes itself when its thread ends.
    BOOL m_bAutoDelete;

protected:
    MSG m_msgCur;
    POINT m_ptCursorLast;
    UINT m_nMsgLast;

private:
    static unsigned __stdcall ThreadEntry(void* pParam);

    AFX_THREADPROC m_pfnThreadProc;
    LPVOID m_pThreadParams;
};

// The thread object running on this thread (the application on the main
// thread), or NULL for a thread not started as a CWinThread.
CWinThread* AfxGetThread();
// Frees this thread's temporary window, menu, DC and GDI objects.
void AfxDeleteTempMaps();

// Starts a worker thread whose object deletes itself when the thread ends.
CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam,
                           int nPriority = THREAD_PRIORITY_NORMAL, UINT nStackSize = 0,
                           DWORD dwCreateFlags = 0, LPSECURITY_ATTRIBUTES lpSecurityAttrs = NULL);
