#include "handlemap.h"

IMPLEMENT_DYNAMIC(CFileDialog, CDialog)
IMPLEMENT_DYNAMIC(CFindReplaceDialog, CDialog)

// ---------------------------------------------------------------- file dialog

CFileDialog::CFileDialog(BOOL bOpenFileDialog, LPCTSTR lpszDefExt, LPCTSTR lpszFileName, DWORD dwFlags,
                         LPCTSTR lpszFilter, CWnd* pParentWnd)
    : m_ofn(), m_bOpenFileDialog(bOpenFileDialog), m_szFileName(), m_szFileTitle()
{
    m_pParentWnd = pParentWnd;
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.Flags = dwFlags | OFN_EXPLORER;
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrFileTitle = m_szFileTitle;
    m_ofn.nMaxFileTitle = MAX_PATH;
    if (lpszDefExt != NULL)
    {
        m_strDefExt = lpszDefExt;
        m_ofn.lpstrDefExt = m_strDefExt;
    }
    if (lpszFileName != NULL)
        lstrcpyn(m_szFileName, lpszFileName, MAX_PATH);
    if (lpszFilter != NULL)
    {
        // "Text|*.txt|All|*.*||" becomes the system's NUL-separated list.
        m_strFilter = lpszFilter;
        LPTSTR p = m_strFilter.GetBuffer(m_strFilter.GetLength() + 1);
        for (LPTSTR q = p; *q != '\0'; ++q)
        {
            if (*q == '|')
                *q = '\0';
        }
        m_strFilter.ReleaseBuffer(m_strFilter.GetLength());
        m_ofn.lpstrFilter = m_strFilter;
    }
}

INT_PTR CFileDialog::DoModal()
{
    CWnd* pOwner = GetSafeOwner(m_pParentWnd);
    m_ofn.hwndOwner = pOwner->GetSafeHwnd();
    m_ofn.hInstance = AfxGetResourceHandle();
    BOOL bResult = m_bOpenFileDialog ? ::GetOpenFileName(&m_ofn) : ::GetSaveFileName(&m_ofn);
    return bResult ? IDOK : IDCANCEL;
}

CString CFileDialog::GetFileName() const
{
    CString path = GetPathName();
    int nSlash = path.ReverseFind('\\');
    return path.Mid(nSlash + 1);
}

CString CFileDialog::GetFileExt() const
{
    CString name = GetFileName();
    int nDot = name.ReverseFind('.');
    return nDot < 0 ? CString() : name.Mid(nDot + 1);
}

CString CFileDialog::GetFileTitle() const
{
    CString name = GetFileName();
    int nDot = name.ReverseFind('.');
    return nDot < 0 ? name : name.Left(nDot);
}

// ---------------------------------------------------------------- find and replace

CFindReplaceDialog::CFindReplaceDialog() : m_fr(), m_szFindWhat(), m_szReplaceWith()
{
    m_fr.lStructSize = sizeof(m_fr);
    m_fr.lpstrFindWhat = m_szFindWhat;
    m_fr.wFindWhatLen = sizeof(m_szFindWhat) / sizeof(TCHAR);
    m_fr.lpstrReplaceWith = m_szReplaceWith;
    m_fr.wReplaceWithLen = sizeof(m_szReplaceWith) / sizeof(TCHAR);
}

BOOL CFindReplaceDialog::Create(BOOL bFindDialogOnly, LPCTSTR lpszFindWhat, LPCTSTR lpszReplaceWith,
                                DWORD dwFlags, CWnd* pParentWnd)
{
    m_fr.Flags = dwFlags;
    m_fr.lCustData = (LPARAM)this;
    CWnd* pOwner = pParentWnd != NULL ? pParentWnd : AfxGetMainWnd();
    m_fr.hwndOwner = pOwner->GetSafeHwnd();
    if (lpszFindWhat != NULL)
        lstrcpyn(m_szFindWhat, lpszFindWhat, (int)m_fr.wFindWhatLen);
    if (lpszReplaceWith != NULL)
        lstrcpyn(m_szReplaceWith, lpszReplaceWith, (int)m_fr.wReplaceWithLen);
    AfxHookWindowCreate(this);
    HWND hWnd = bFindDialogOnly ? ::FindText(&m_fr) : ::ReplaceText(&m_fr);
    AfxUnhookWindowCreate();
    return hWnd != NULL && m_hWnd == hWnd;
}

CFindReplaceDialog* CFindReplaceDialog::GetNotifier(LPARAM lParam)
{
    return reinterpret_cast<CFindReplaceDialog*>(((LPFINDREPLACE)lParam)->lCustData);
}
