#include <framework/frame.h>
#include <framework/thread.h>
#include <framework/winapp.h>

#include <process.h>

IMPLEMENT_DYNAMIC(CWinThread, CCmdTarget)

CWinThread::CWinThread() : CWinThread(NULL, NULL)
{
}

CWinThread::CWinThread(AFX_THREADPROC pfnThreadProc, LPVOID pParam)
    : m_hThread(NULL), m_nThreadID(0), m_pMainWnd(NULL), m_bAutoDelete(TRUE), m_msgCur(),
      m_ptCursorLast(), m_nMsgLast(0),
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

namespace
{
DWORD g_threadSlot = TlsAlloc();
}  // namespace

CWinThread* AfxGetThread()
{
    CWinThread* pThread = static_cast<CWinThread*>(TlsGetValue(g_threadSlot));
    if (pThread == NULL)
    {
        CWinApp* pApp = AfxGetApp();
        if (pApp != NULL && pApp->m_nThreadID == GetCurrentThreadId())
            pThread = pApp;
    }
    return pThread;
}

unsigned __stdcall CWinThread::ThreadEntry(void* pParam)
{
    CWinThread* pThread = static_cast<CWinThread*>(pParam);
    TlsSetValue(g_threadSlot, pThread);
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
            if (!PumpMessage())
                return ExitInstance();
            if (IsIdleMessage(&m_msgCur))
            {
                bIdle = TRUE;
                lIdleCount = 0;
            }
        } while (PeekMessageA(&m_msgCur, NULL, 0, 0, PM_NOREMOVE));
    }
}

BOOL CWinThread::PumpMessage()
{
    if (!GetMessageA(&m_msgCur, NULL, 0, 0))
        return FALSE;
    if (!PreTranslateMessage(&m_msgCur))
    {
        TranslateMessage(&m_msgCur);
        DispatchMessageA(&m_msgCur);
    }
    return TRUE;
}

BOOL CWinThread::IsIdleMessage(MSG* pMsg)
{
    if (pMsg->message == WM_MOUSEMOVE || pMsg->message == WM_NCMOUSEMOVE)
    {
        BOOL bSame = m_nMsgLast == pMsg->message && m_ptCursorLast.x == pMsg->pt.x &&
                     m_ptCursorLast.y == pMsg->pt.y;
        m_ptCursorLast = pMsg->pt;
        m_nMsgLast = pMsg->message;
        return !bSame;
    }
    m_nMsgLast = pMsg->message;
    return pMsg->message != 0x0118;  // the caret's blink timer
}

int CWinThread::ExitInstance()
{
    return (int)m_msgCur.wParam;
}

BOOL CWinThread::OnIdle(LONG lCount)
{
    if (lCount <= 0)
    {
        AfxIdleUpdateFrames();
        return TRUE;
    }
    AfxDeleteTempMaps();
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

