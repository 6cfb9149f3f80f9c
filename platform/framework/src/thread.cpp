#include <framework/thread.h>

#include <string.h>

CWinThread::CWinThread()
    : m_hThread(NULL), m_nThreadID(0), m_bAutoDelete(TRUE), m_pfnThreadProc(NULL),
      m_pThreadParams(NULL), m_nExitCode(0)
{
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_hThread(NULL), m_nThreadID(0), m_bAutoDelete(TRUE), m_pfnThreadProc(pfnThreadProc),
      m_pThreadParams(pParam), m_nExitCode(0)
{
}

CWinThread::~CWinThread()
{
    if (m_hThread)
        CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    m_hThread = ::CreateThread(lpSecurityAttrs, nStackSize, ThreadEntry, this,
                               dwCreateFlags & CREATE_SUSPENDED, &m_nThreadID);
    return m_hThread != NULL;
}

DWORD WINAPI CWinThread::ThreadEntry(LPVOID self)
{
    CWinThread* thread = static_cast<CWinThread*>(self);
    DWORD result;
    if (thread->m_pfnThreadProc)
        result = thread->m_pfnThreadProc(thread->m_pThreadParams);
    else
        result = thread->InitInstance() ? thread->Run() : thread->ExitInstance();
    if (thread->m_bAutoDelete)
        delete thread;
    return result;
}

DWORD CWinThread::ResumeThread()
{
    return ::ResumeThread(m_hThread);
}

DWORD CWinThread::SuspendThread()
{
    return ::SuspendThread(m_hThread);
}

BOOL CWinThread::InitInstance()
{
    return FALSE;
}

int CWinThread::Run()
{
    MSG msg;
    LONG idleCount = 0;
    for (;;) {
        while (!PeekMessage(&msg, NULL, 0, 0, PM_NOREMOVE)) {
            if (!OnIdle(idleCount++))
                break;
        }
        if (GetMessage(&msg, NULL, 0, 0) <= 0)
            break;
        TranslateMessage(&msg);
        DispatchMessage(&msg);
        idleCount = 0;
    }
    m_nExitCode = (int)msg.wParam;
    return ExitInstance();
}

int CWinThread::ExitInstance()
{
    return m_nExitCode;
}

BOOL CWinThread::OnIdle(LONG)
{
    return FALSE;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    CWinThread* thread = new CWinThread(pfnThreadProc, pParam);
    if (!thread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs)) {
        delete thread;
        return NULL;
    }
    SetThreadPriority(thread->m_hThread, nPriority);
    if (!(dwCreateFlags & CREATE_SUSPENDED))
        thread->ResumeThread();
    return thread;
}

static CWinApp* theApp = NULL;

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_hInstance(GetModuleHandle(NULL)), m_pszAppName(lpszAppName), m_pszExeName(m_exeName)
{
    // The executable's name without folder and extension.
    char path[MAX_PATH] = "";
    GetModuleFileNameA(NULL, path, MAX_PATH);
    const char* name = strrchr(path, '\\');
    lstrcpynA(m_exeName, name ? name + 1 : path, MAX_PATH);
    if (char* dot = strrchr(m_exeName, '.'))
        *dot = '\0';
    m_hThread = NULL;
    m_nThreadID = GetCurrentThreadId();
    m_bAutoDelete = FALSE;
    theApp = this;
}

CWinApp::~CWinApp()
{
    if (theApp == this)
        theApp = NULL;
}

CWinApp* AfxGetApp()
{
    return theApp;
}

HINSTANCE AfxGetInstanceHandle()
{
    return theApp ? theApp->m_hInstance : GetModuleHandle(NULL);
}
