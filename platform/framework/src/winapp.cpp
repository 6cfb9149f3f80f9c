#include <framework/framework.h>

#include <cstdio>
#include <vector>

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

namespace
{
CWinApp* g_pApp = NULL;
AFX_MESSAGEBOX_HANDLER g_pfnMessageBox = NULL;
}  // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName)
    : m_pszRegistryKey(NULL), m_pszProfileName(NULL), m_pszHelpFilePath(NULL),
      m_nWaitCursorCount(0), m_hcurWaitCursorRestore(NULL)
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
    m_strProfileName = m_strExeName + TEXT(".INI");
    m_pszProfileName = m_strProfileName;
}

CWinApp::~CWinApp()
{
    while (!m_templateList.IsEmpty())
        delete (CDocTemplate*)m_templateList.RemoveHead();
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

HINSTANCE AfxGetResourceHandle()
{
    return AfxGetInstanceHandle();
}

CWnd* AfxGetMainWnd()
{
    CWinThread* pThread = AfxGetThread();
    if (pThread != NULL && pThread->m_pMainWnd != NULL)
        return pThread->m_pMainWnd;
    return g_pApp != NULL ? g_pApp->m_pMainWnd : NULL;
}

// ---------------------------------------------------------------- profile

void CWinApp::SetRegistryKey(LPCTSTR lpszRegistryKey)
{
    m_strRegistryKey = lpszRegistryKey;
    m_pszRegistryKey = m_strRegistryKey;
    m_strProfileName = m_strAppName;
    m_pszProfileName = m_strProfileName;
}

void CWinApp::SetRegistryKey(UINT nIDRegistryKey)
{
    CString key;
    key.LoadString(nIDRegistryKey);
    SetRegistryKey(key);
}

HKEY CWinApp::GetAppRegistryKey()
{
    if (m_pszRegistryKey == NULL)
        return NULL;
    CString path = CString(TEXT("Software\\")) + m_pszRegistryKey + TEXT("\\") + m_pszProfileName;
    HKEY hKey = NULL;
    DWORD dw;
    if (RegCreateKeyEx(HKEY_CURRENT_USER, path, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                       NULL, &hKey, &dw) != ERROR_SUCCESS)
        return NULL;
    return hKey;
}

HKEY CWinApp::GetSectionKey(LPCTSTR lpszSection)
{
    HKEY hAppKey = GetAppRegistryKey();
    if (hAppKey == NULL)
        return NULL;
    HKEY hKey = NULL;
    DWORD dw;
    if (RegCreateKeyEx(hAppKey, lpszSection, 0, NULL, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                       NULL, &hKey, &dw) != ERROR_SUCCESS)
        hKey = NULL;
    RegCloseKey(hAppKey);
    return hKey;
}

UINT CWinApp::GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault)
{
    if (m_pszRegistryKey == NULL)
        return ::GetPrivateProfileInt(lpszSection, lpszEntry, nDefault, m_pszProfileName);
    HKEY hKey = GetSectionKey(lpszSection);
    if (hKey == NULL)
        return nDefault;
    DWORD dwValue, dwType, dwCount = sizeof(DWORD);
    LONG lResult = RegQueryValueEx(hKey, lpszEntry, NULL, &dwType, (LPBYTE)&dwValue, &dwCount);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS && dwType == REG_DWORD ? (UINT)dwValue : (UINT)nDefault;
}

BOOL CWinApp::WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue)
{
    if (m_pszRegistryKey == NULL)
    {
        TCHAR sz[16];
        wsprintf(sz, TEXT("%d"), nValue);
        return ::WritePrivateProfileString(lpszSection, lpszEntry, sz, m_pszProfileName);
    }
    HKEY hKey = GetSectionKey(lpszSection);
    if (hKey == NULL)
        return FALSE;
    LONG lResult = RegSetValueEx(hKey, lpszEntry, 0, REG_DWORD, (const BYTE*)&nValue, sizeof(nValue));
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

CString CWinApp::GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault)
{
    CString result = lpszDefault != NULL ? lpszDefault : TEXT("");
    if (m_pszRegistryKey == NULL)
    {
        TCHAR sz[4096];
        ::GetPrivateProfileString(lpszSection, lpszEntry, result, sz, 4096, m_pszProfileName);
        return sz;
    }
    HKEY hKey = GetSectionKey(lpszSection);
    if (hKey == NULL)
        return result;
    DWORD dwType, dwCount = 0;
    if (RegQueryValueEx(hKey, lpszEntry, NULL, &dwType, NULL, &dwCount) == ERROR_SUCCESS &&
        dwType == REG_SZ)
    {
        std::vector<BYTE> buffer(dwCount + 1, 0);
        if (RegQueryValueEx(hKey, lpszEntry, NULL, &dwType, buffer.data(), &dwCount) == ERROR_SUCCESS)
            result = (LPCTSTR)buffer.data();
    }
    RegCloseKey(hKey);
    return result;
}

BOOL CWinApp::WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue)
{
    if (m_pszRegistryKey == NULL)
        return ::WritePrivateProfileString(lpszSection, lpszEntry, lpszValue, m_pszProfileName);
    if (lpszEntry == NULL)
    {
        // No entry: remove the whole section.
        HKEY hAppKey = GetAppRegistryKey();
        if (hAppKey == NULL)
            return FALSE;
        LONG lResult = RegDeleteKey(hAppKey, lpszSection);
        RegCloseKey(hAppKey);
        return lResult == ERROR_SUCCESS;
    }
    HKEY hKey = GetSectionKey(lpszSection);
    if (hKey == NULL)
        return FALSE;
    LONG lResult = lpszValue == NULL
                       ? RegDeleteValue(hKey, lpszEntry)
                       : RegSetValueEx(hKey, lpszEntry, 0, REG_SZ, (const BYTE*)lpszValue,
                                       (DWORD)(lstrlen(lpszValue) + 1) * sizeof(TCHAR));
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

BOOL CWinApp::GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData, UINT* pBytes)
{
    *ppData = NULL;
    *pBytes = 0;
    if (m_pszRegistryKey == NULL)
    {
        // Two hex digits per byte.
        CString text = GetProfileString(lpszSection, lpszEntry, NULL);
        if (text.IsEmpty() || text.GetLength() % 2 != 0)
            return FALSE;
        UINT n = (UINT)text.GetLength() / 2;
        *ppData = new BYTE[n];
        for (UINT i = 0; i < n; ++i)
        {
            unsigned value = 0;
            sscanf((LPCTSTR)text + 2 * i, "%2x", &value);
            (*ppData)[i] = (BYTE)value;
        }
        *pBytes = n;
        return TRUE;
    }
    HKEY hKey = GetSectionKey(lpszSection);
    if (hKey == NULL)
        return FALSE;
    DWORD dwType, dwCount = 0;
    LONG lResult = RegQueryValueEx(hKey, lpszEntry, NULL, &dwType, NULL, &dwCount);
    if (lResult == ERROR_SUCCESS && dwType == REG_BINARY)
    {
        *ppData = new BYTE[dwCount > 0 ? dwCount : 1];
        lResult = RegQueryValueEx(hKey, lpszEntry, NULL, &dwType, *ppData, &dwCount);
        *pBytes = dwCount;
    }
    RegCloseKey(hKey);
    if (lResult != ERROR_SUCCESS || dwType != REG_BINARY)
    {
        delete[] *ppData;
        *ppData = NULL;
        *pBytes = 0;
        return FALSE;
    }
    return TRUE;
}

BOOL CWinApp::WriteProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE pData, UINT nBytes)
{
    if (m_pszRegistryKey == NULL)
    {
        CString text;
        for (UINT i = 0; i < nBytes; ++i)
        {
            TCHAR sz[3];
            wsprintf(sz, TEXT("%02X"), pData[i]);
            text += sz;
        }
        return WriteProfileString(lpszSection, lpszEntry, text);
    }
    HKEY hKey = GetSectionKey(lpszSection);
    if (hKey == NULL)
        return FALSE;
    LONG lResult = RegSetValueEx(hKey, lpszEntry, 0, REG_BINARY, pData, nBytes);
    RegCloseKey(hKey);
    return lResult == ERROR_SUCCESS;
}

// ---------------------------------------------------------------- message boxes

AFX_MESSAGEBOX_HANDLER AfxSetMessageBoxHandler(AFX_MESSAGEBOX_HANDLER pfnHandler)
{
    AFX_MESSAGEBOX_HANDLER pfnOld = g_pfnMessageBox;
    g_pfnMessageBox = pfnHandler;
    return pfnOld;
}

int CWinApp::DoMessageBox(LPCTSTR lpszPrompt, UINT nType, UINT)
{
    if (g_pfnMessageBox != NULL)
        return g_pfnMessageBox(lpszPrompt, nType);
    CWnd* pOwner = CWnd::GetSafeOwner(NULL);
    if ((nType & MB_ICONMASK) == 0)
    {
        UINT nButtons = nType & MB_TYPEMASK;
        nType |= nButtons == MB_OKCANCEL || nButtons == MB_YESNO || nButtons == MB_YESNOCANCEL
                     ? MB_ICONQUESTION
                     : MB_ICONEXCLAMATION;
    }
    return ::MessageBox(pOwner->GetSafeHwnd(), lpszPrompt, m_pszAppName, nType);
}

int AfxMessageBox(LPCTSTR lpszText, UINT nType, UINT nIDHelp)
{
    if (g_pApp != NULL)
        return g_pApp->DoMessageBox(lpszText, nType, nIDHelp);
    if (g_pfnMessageBox != NULL)
        return g_pfnMessageBox(lpszText, nType);
    return ::MessageBox(NULL, lpszText, NULL, nType);
}

int AfxMessageBox(UINT nIDPrompt, UINT nType, UINT nIDHelp)
{
    CString text;
    text.LoadString(nIDPrompt);
    return AfxMessageBox(text, nType, nIDHelp == (UINT)-1 ? nIDPrompt : nIDHelp);
}

// ---------------------------------------------------------------- help

void CWinApp::WinHelp(DWORD_PTR dwData, UINT nCmd)
{
    CWnd* pMainWnd = AfxGetMainWnd();
    ::WinHelp(pMainWnd->GetSafeHwnd(), m_pszHelpFilePath, nCmd, dwData);
}

// ---------------------------------------------------------------- wait cursor

void CWinApp::DoWaitCursor(int nCode)
{
    HCURSOR hcurWait = ::LoadCursor(NULL, IDC_WAIT);
    m_nWaitCursorCount += nCode;
    if (m_nWaitCursorCount > 0)
    {
        HCURSOR hcurPrev = ::SetCursor(hcurWait);
        if (nCode > 0 && m_nWaitCursorCount == 1)
            m_hcurWaitCursorRestore = hcurPrev;
    }
    else
    {
        m_nWaitCursorCount = 0;
        ::SetCursor(m_hcurWaitCursorRestore);
    }
}

CWaitCursor::CWaitCursor()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->DoWaitCursor(1);
}

CWaitCursor::~CWaitCursor()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->DoWaitCursor(-1);
}

void CWaitCursor::Restore()
{
    if (CWinApp* pApp = AfxGetApp())
        pApp->DoWaitCursor(0);
}
