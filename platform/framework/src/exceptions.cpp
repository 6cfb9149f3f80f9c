#include <framework/exceptions.h>

#include <cstdio>
#include <cstring>

IMPLEMENT_DYNAMIC(CException, CObject)
IMPLEMENT_DYNAMIC(CMemoryException, CException)
IMPLEMENT_DYNAMIC(CNotSupportedException, CException)
IMPLEMENT_DYNAMIC(CUserException, CException)
IMPLEMENT_DYNAMIC(CFileException, CException)
IMPLEMENT_DYNAMIC(CArchiveException, CException)

void CException::Delete()
{
    if (m_bAutoDelete)
        delete this;
}

BOOL CException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    if (pnHelpContext != NULL)
        *pnHelpContext = 0;
    if (lpszError != NULL && nMaxError > 0)
        *lpszError = '\0';
    return FALSE;
}

BOOL CException::CopyMessage(LPCTSTR lpszText, LPTSTR lpszError, UINT nMaxError,
                             PUINT pnHelpContext)
{
    if (pnHelpContext != NULL)
        *pnHelpContext = 0;
    if (lpszError == NULL || nMaxError == 0)
        return FALSE;
    lstrcpynA(lpszError, lpszText, nMaxError);
    return TRUE;
}

BOOL CMemoryException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    return CopyMessage("Out of memory.", lpszError, nMaxError, pnHelpContext);
}

BOOL CNotSupportedException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError,
                                             PUINT pnHelpContext)
{
    return CopyMessage("Unsupported operation was attempted.", lpszError, nMaxError,
                       pnHelpContext);
}

CFileException::CFileException(int cause, LONG lOsError, LPCTSTR lpszFileName)
    : m_cause(cause), m_lOsError(lOsError), m_strFileName(lpszFileName)
{
}

int CFileException::OsErrorToException(LONG lOsError)
{
    switch (lOsError)
    {
    case NO_ERROR:
        return none;
    case ERROR_FILE_NOT_FOUND:
        return fileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_PATHNAME:
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return badPath;
    case ERROR_TOO_MANY_OPEN_FILES:
        return tooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return accessDenied;
    case ERROR_INVALID_HANDLE:
        return invalidFile;
    case ERROR_CURRENT_DIRECTORY:
        return removeCurrentDir;
    case ERROR_CANNOT_MAKE:
        return directoryFull;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
        return badSeek;
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_READ_FAULT:
    case ERROR_WRITE_FAULT:
    case ERROR_GEN_FAILURE:
        return hardIO;
    case ERROR_SHARING_VIOLATION:
        return sharingViolation;
    case ERROR_LOCK_VIOLATION:
        return lockViolation;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return diskFull;
    case ERROR_HANDLE_EOF:
        return endOfFile;
    default:
        return generic;
    }
}

void CFileException::ThrowOsError(LONG lOsError, LPCTSTR lpszFileName)
{
    AfxThrowFileException(OsErrorToException(lOsError), lOsError, lpszFileName);
}

BOOL CFileException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    static const char* const kCauses[] = {
        "No error occurred",
        "An unspecified error occurred",
        "The file was not found",
        "All or part of the path is invalid",
        "Too many files are open",
        "Access was denied",
        "An invalid file handle was used",
        "The current working directory cannot be removed",
        "There are no more directory entries",
        "The file pointer was moved to an illegal position",
        "A hardware I/O error occurred",
        "A sharing violation occurred",
        "A locking violation occurred",
        "The disk is full",
        "The end of file was reached",
    };
    int cause = m_cause >= none && m_cause <= endOfFile ? m_cause : generic;
    char szText[MAX_PATH + 128];
    std::snprintf(szText, sizeof(szText), "%s while accessing %s.", kCauses[cause],
                  m_strFileName.IsEmpty() ? "an unnamed file" : (LPCTSTR)m_strFileName);
    return CopyMessage(szText, lpszError, nMaxError, pnHelpContext);
}

CArchiveException::CArchiveException(int cause, LPCTSTR lpszFileName)
    : m_cause(cause), m_strFileName(lpszFileName)
{
}

BOOL CArchiveException::GetErrorMessage(LPTSTR lpszError, UINT nMaxError, PUINT pnHelpContext)
{
    static const char* const kCauses[] = {
        "No error occurred",
        "An unspecified error occurred",
        "Tried to write to an archive opened for loading",
        "Reached the end of the archive unexpectedly",
        "Tried to read from an archive opened for storing",
        "The archive has an invalid format",
        "The archive contains an object of an unexpected class",
        "The archive contains an object with an unsupported schema",
    };
    int cause = m_cause >= none && m_cause <= badSchema ? m_cause : generic;
    char szText[MAX_PATH + 128];
    std::snprintf(szText, sizeof(szText), "%s in %s.", kCauses[cause],
                  m_strFileName.IsEmpty() ? "an unnamed file" : (LPCTSTR)m_strFileName);
    return CopyMessage(szText, lpszError, nMaxError, pnHelpContext);
}

void AfxThrowMemoryException()
{
    // Shared instance: throwing must not need memory when memory is short.
    static CMemoryException s_memoryException(FALSE);
    throw &s_memoryException;
}

void AfxThrowNotSupportedException()
{
    throw new CNotSupportedException;
}

void AfxThrowUserException()
{
    throw new CUserException;
}

void AfxThrowFileException(int cause, LONG lOsError, LPCTSTR lpszFileName)
{
    throw new CFileException(cause, lOsError, lpszFileName);
}

void AfxThrowArchiveException(int cause, LPCTSTR lpszFileName)
{
    throw new CArchiveException(cause, lpszFileName);
}
