#include <framework/thread.h>
#include <framework/winapp.h>

#include <process.h>

IMPLEMENT_DYNAMIC(CWinThread, CObject)
IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

CWinThread::CWinThread() : CWinThread(NULL, NULL)
{
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_hThread(NULL), m_nThreadID(0), m_bAutoDelete(TRUE), m_msgCur(),
      m_pfnThreadProc(pfnThreadProc), m_pThreadParams(pParam)
{
}

CWinThread::~CWinThread()
{
    if (m_hThread != NULL && m_nThreadID != GetCurrentThreadId())
        CloseHandle(m_hThread);
}

BOOL CWinThread::CreateThread(DWORD dwCreateFlags, UINT nStackSize,
                              LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    // Created suspended so m_hThread and m_nThreadID are set before the
    // thread can run (and perhaps delete this object).
    unsigned nThreadID = 0;
    uintptr_t hThread = _beginthreadex(lpSecurityAttrs, nStackSize, ThreadEntry, this,
                                       CREATE_SUSPENDED, &nThreadID);
    if (hThread == 0)
        return FALSE;
    m_hThread = (HANDLE)hThread;
    m_nThreadID = nThreadID;
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        ::ResumeThread(m_hThread);
    return TRUE;
}

unsigned __stdcall CWinThread::ThreadEntry(void* pParam)
{
    CWinThread* pThread = static_cast<CWinThread*>(pParam);
    unsigned nResult;
    if (pThread->m_pfnThreadProc != NULL)
        nResult = pThread->m_pfnThreadProc(pThread->m_pThreadParams);
    else if (pThread->InitInstance())
        nResult = pThread->Run();
    else
        nResult = pThread->ExitInstance();
    pThread->Delete();
    return nResult;
}

BOOL CWinThread::InitInstance()
{
    return FALSE;
}

int CWinThread::Run()
{
    LONG lIdleCount = 0;
    BOOL bIdle = TRUE;
    for (;;)
    {
        while (bIdle && !PeekMessageA(&m_msgCur, NULL, 0, 0, PM_NOREMOVE))
        {
            if (!OnIdle(lIdleCount++))
                bIdle = FALSE;
        }
        do
        {
            if (!GetMessageA(&m_msgCur, NULL, 0, 0))
                return ExitInstance();
            TranslateMessage(&m_msgCur);
            DispatchMessageA(&m_msgCur);
            bIdle = TRUE;
            lIdleCount = 0;
        } while (PeekMessageA(&m_msgCur, NULL, 0, 0, PM_NOREMOVE));
    }
}

int CWinThread::ExitInstance()
{
    return (int)m_msgCur.wParam;
}

BOOL CWinThread::OnIdle(LONG)
{
    return FALSE;
}

void CWinThread::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

CWinThread* AfxBeginThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam, int nPriority,
                           UINT nStackSize, DWORD dwCreateFlags,
                           LPSECURITY_ATTRIBUTES lpSecurityAttrs)
{
    CWinThread* pThread = new CWinThread(pfnThreadProc, pParam);
    if (!pThread->CreateThread(dwCreateFlags | CREATE_SUSPENDED, nStackSize, lpSecurityAttrs))
    {
        delete pThread;
        return NULL;
    }
    SetThreadPriority(pThread->m_hThread, nPriority);
    if ((dwCreateFlags & CREATE_SUSPENDED) == 0)
        pThread->ResumeThread();
    return pThread;
}

namespace
{
CWinApp* g_pApp = NULL;
}  // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName)
{
    g_pApp = this;
    m_bAutoDelete = FALSE;  // the application object is not heap-allocated
    m_hThread = GetCurrentThread();
    m_nThreadID = GetCurrentThreadId();
    m_hInstance = GetModuleHandleA(NULL);

    char szPath[MAX_PATH];
    DWORD nLength = GetModuleFileNameA(m_hInstance, szPath, MAX_PATH);
    CString path(szPath, (int)nLength);
    int nSlash = path.ReverseFind('\\');
    if (path.ReverseFind('/') > nSlash)
        nSlash = path.ReverseFind('/');
    m_strExeName = path.Mid(nSlash + 1);
    int nDot = m_strExeName.ReverseFind('.');
    if (nDot >= 0)
        m_strExeName = m_strExeName.Left(nDot);
    m_strAppName = lpszAppName != NULL ? CString(lpszAppName) : m_strExeName;
    m_pszAppName = m_strAppName;
    m_pszExeName = m_strExeName;
}

CWinApp::~CWinApp()
{
    if (g_pApp == this)
        g_pApp = NULL;
}

CWinApp* AfxGetApp()
{
    return g_pApp;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_pApp != NULL ? g_pApp->m_hInstance : GetModuleHandleA(NULL);
}
