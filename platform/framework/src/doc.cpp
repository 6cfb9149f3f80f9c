#include <framework/framework.h>

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)
IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)
IMPLEMENT_DYNAMIC(CMultiDocTemplate, CDocTemplate)
IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

namespace
{
// Shows the message of a failed open or save, falling back to lpszDefault.
void ReportFileError(CException* e, LPCTSTR lpszDefault)
{
    TCHAR szMessage[512];
    if (e == NULL || !e->GetErrorMessage(szMessage, 512))
        lstrcpyn(szMessage, lpszDefault, 512);
    AfxMessageBox(szMessage, MB_ICONEXCLAMATION);
}
}  // namespace

// ---------------------------------------------------------------- CDocument

BEGIN_MESSAGE_MAP(CDocument, CCmdTarget)
    ON_COMMAND(ID_FILE_CLOSE, OnFileClose)
    ON_COMMAND(ID_FILE_SAVE, OnFileSave)
    ON_COMMAND(ID_FILE_SAVE_AS, OnFileSaveAs)
END_MESSAGE_MAP()

CDocument::CDocument() : m_bAutoDelete(TRUE), m_pDocTemplate(NULL), m_bModified(FALSE)
{
}

CDocument::~CDocument()
{
    // Views outliving their document must not call back into it.
    for (POSITION pos = GetFirstViewPosition(); pos != NULL;)
        GetNextView(pos)->m_pDocument = NULL;
    if (m_pDocTemplate != NULL)
        m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(LPCTSTR lpszTitle)
{
    m_strTitle = lpszTitle;
    CPtrList frames;
    GetFrames(frames);
    for (POSITION pos = frames.GetHeadPosition(); pos != NULL;)
        ((CFrameWnd*)frames.GetNext(pos))->OnUpdateFrameTitle(TRUE);
}

void CDocument::SetPathName(LPCTSTR lpszPathName, BOOL bAddToMRU)
{
    m_strPathName = lpszPathName;
    if (!bAddToMRU)
        return;
    CString name = m_strPathName;
    int nSlash = name.ReverseFind('\\');
    if (name.ReverseFind('/') > nSlash)
        nSlash = name.ReverseFind('/');
    SetTitle(name.Mid(nSlash + 1));
}

void CDocument::AddView(CView* pView)
{
    m_viewList.AddTail(pView);
    pView->m_pDocument = this;
    OnChangedViewList();
}

void CDocument::RemoveView(CView* pView)
{
    POSITION pos = m_viewList.Find(pView);
    if (pos == NULL)
        return;
    m_viewList.RemoveAt(pos);
    pView->m_pDocument = NULL;
    OnChangedViewList();
}

void CDocument::OnChangedViewList()
{
    if (m_viewList.IsEmpty() && m_bAutoDelete)
        OnCloseDocument();
}

void CDocument::UpdateAllViews(CView* pSender, LPARAM lHint, CObject* pHint)
{
    for (POSITION pos = GetFirstViewPosition(); pos != NULL;)
    {
        CView* pView = GetNextView(pos);
        if (pView != pSender)
            pView->OnUpdate(pSender, lHint, pHint);
    }
}

void CDocument::GetFrames(CPtrList& frames) const
{
    for (POSITION pos = GetFirstViewPosition(); pos != NULL;)
    {
        CFrameWnd* pFrame = GetNextView(pos)->GetParentFrame();
        if (pFrame != NULL && frames.Find(pFrame) == NULL)
            frames.AddTail(pFrame);
    }
}

BOOL CDocument::OnNewDocument()
{
    DeleteContents();
    m_strPathName.Empty();
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnOpenDocument(LPCTSTR lpszPathName)
{
    CFile file;
    CFileException fileError;
    if (!file.Open(lpszPathName, CFile::modeRead | CFile::shareDenyWrite, &fileError))
    {
        ReportFileError(&fileError, TEXT("The file could not be opened."));
        return FALSE;
    }
    DeleteContents();
    SetModifiedFlag(TRUE);  // stays set when reading fails half-way
    try
    {
        CArchive ar(&file, CArchive::load);
        Serialize(ar);
        ar.Close();
    }
    catch (CException* e)
    {
        DeleteContents();
        ReportFileError(e, TEXT("The file could not be read."));
        e->Delete();
        return FALSE;
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

BOOL CDocument::OnSaveDocument(LPCTSTR lpszPathName)
{
    CFile file;
    CFileException fileError;
    if (!file.Open(lpszPathName, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive, &fileError))
    {
        ReportFileError(&fileError, TEXT("The file could not be saved."));
        return FALSE;
    }
    try
    {
        CArchive ar(&file, CArchive::store);
        Serialize(ar);
        ar.Close();
        file.Close();
    }
    catch (CException* e)
    {
        ReportFileError(e, TEXT("The file could not be saved."));
        e->Delete();
        return FALSE;  // the document stays modified
    }
    SetModifiedFlag(FALSE);
    return TRUE;
}

void CDocument::OnCloseDocument()
{
    // Destroying the frames destroys the views, which would close the
    // document again when it is the last one: hold that off.
    BOOL bAutoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE;
    CPtrList frames;
    GetFrames(frames);
    for (POSITION pos = frames.GetHeadPosition(); pos != NULL;)
    {
        CFrameWnd* pFrame = (CFrameWnd*)frames.GetNext(pos);
        PreCloseFrame(pFrame);
        pFrame->DestroyWindow();
    }
    m_bAutoDelete = bAutoDelete;
    DeleteContents();
    if (m_bAutoDelete)
        delete this;
}

BOOL CDocument::SaveModified()
{
    if (!IsModified())
        return TRUE;
    CString prompt = TEXT("Save changes to ") + m_strTitle + TEXT("?");
    switch (AfxMessageBox(prompt, MB_YESNOCANCEL | MB_ICONQUESTION))
    {
    case IDCANCEL:
        return FALSE;
    case IDYES:
        return DoFileSave();
    default:
        return TRUE;
    }
}

BOOL CDocument::CanCloseFrame(CFrameWnd* pFrame)
{
    CPtrList frames;
    GetFrames(frames);
    for (POSITION pos = frames.GetHeadPosition(); pos != NULL;)
    {
        if (frames.GetNext(pos) != pFrame)
            return TRUE;  // another frame still shows the document
    }
    return SaveModified();
}

BOOL CDocument::DoSave(LPCTSTR lpszPathName, BOOL bReplace)
{
    CString path = lpszPathName != NULL ? CString(lpszPathName) : CString();
    if (path.IsEmpty())
    {
        CString ext;
        if (m_pDocTemplate != NULL)
            m_pDocTemplate->GetDocString(ext, CDocTemplate::filterExt);
        CFileDialog dialog(FALSE, ext.IsEmpty() ? NULL : (LPCTSTR)ext + 1,
                           m_strPathName.IsEmpty() ? m_strTitle : m_strPathName,
                           OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT);
        if (dialog.DoModal() != IDOK)
            return FALSE;
        path = dialog.GetPathName();
    }
    if (!OnSaveDocument(path))
        return FALSE;
    if (bReplace)
        SetPathName(path);
    return TRUE;
}

BOOL CDocument::DoFileSave()
{
    // A new document, or one whose file is read-only, asks for a name.
    DWORD dwAttributes = m_strPathName.IsEmpty() ? 0 : ::GetFileAttributes(m_strPathName);
    BOOL bReadOnly = dwAttributes != INVALID_FILE_ATTRIBUTES && (dwAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    return DoSave(m_strPathName.IsEmpty() || bReadOnly ? NULL : (LPCTSTR)m_strPathName);
}

void CDocument::OnFileClose()
{
    if (SaveModified())
        OnCloseDocument();
}

void CDocument::OnFileSave()
{
    DoFileSave();
}

void CDocument::OnFileSaveAs()
{
    DoSave(NULL);
}

BOOL CDocument::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo)
{
    if (CCmdTarget::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return m_pDocTemplate != NULL && m_pDocTemplate->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

// ---------------------------------------------------------------- CDocTemplate

CDocTemplate::CDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                           CRuntimeClass* pViewClass)
    : m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass), m_nIDResource(nIDResource)
{
    m_strDocStrings.LoadString(nIDResource);
}

CDocTemplate::~CDocTemplate()
{
}

BOOL CDocTemplate::GetDocString(CString& rString, DocStringIndex index) const
{
    rString.Empty();
    int nStart = 0;
    for (int i = 0; i < index; ++i)
    {
        nStart = m_strDocStrings.Find('\n', nStart);
        if (nStart < 0)
            return FALSE;
        ++nStart;
    }
    int nEnd = m_strDocStrings.Find('\n', nStart);
    rString = nEnd < 0 ? m_strDocStrings.Mid(nStart) : m_strDocStrings.Mid(nStart, nEnd - nStart);
    return !rString.IsEmpty();
}

void CDocTemplate::AddDocument(CDocument* pDoc)
{
    pDoc->m_pDocTemplate = this;
}

void CDocTemplate::RemoveDocument(CDocument* pDoc)
{
    pDoc->m_pDocTemplate = NULL;
}

CDocument* CDocTemplate::CreateNewDocument()
{
    CObject* pObject = m_pDocClass != NULL ? m_pDocClass->CreateObject() : NULL;
    CDocument* pDoc = DYNAMIC_DOWNCAST(CDocument, pObject);
    if (pDoc == NULL)
    {
        delete pObject;
        return NULL;
    }
    AddDocument(pDoc);
    return pDoc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther)
{
    CCreateContext context;
    context.m_pCurrentFrame = pOther;
    context.m_pCurrentDoc = pDoc;
    context.m_pNewViewClass = m_pViewClass;
    context.m_pNewDocTemplate = this;
    CObject* pObject = m_pFrameClass != NULL ? m_pFrameClass->CreateObject() : NULL;
    CFrameWnd* pFrame = DYNAMIC_DOWNCAST(CFrameWnd, pObject);
    if (pFrame == NULL)
    {
        delete pObject;
        return NULL;
    }
    // A frame whose window cannot be made deletes itself (PostNcDestroy).
    if (!pFrame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, NULL, &context))
        return NULL;
    return pFrame;
}

CString CDocTemplate::GetDefaultName() const
{
    CString name;
    if (!GetDocString(name, docName))
        name = TEXT("Untitled");
    return name;
}

CFrameWnd* CDocTemplate::CreateFrameFor(CDocument* pDoc)
{
    // Until its frame stands, the document must not close itself.
    BOOL bAutoDelete = pDoc->m_bAutoDelete;
    pDoc->m_bAutoDelete = FALSE;
    CFrameWnd* pFrame = CreateNewFrame(pDoc, NULL);
    pDoc->m_bAutoDelete = bAutoDelete;
    return pFrame;
}

BOOL CDocTemplate::NewOrOpen(CDocument* pDoc, LPCTSTR lpszPathName)
{
    if (lpszPathName == NULL)
    {
        SetDefaultTitle(pDoc);
        return pDoc->OnNewDocument();
    }
    if (!pDoc->OnOpenDocument(lpszPathName))
        return FALSE;
    pDoc->SetPathName(lpszPathName);
    return TRUE;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible)
{
    pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
}

BOOL CDocTemplate::SaveAllModified()
{
    for (POSITION pos = GetFirstDocPosition(); pos != NULL;)
    {
        if (!GetNextDoc(pos)->SaveModified())
            return FALSE;
    }
    return TRUE;
}

void CDocTemplate::CloseAllDocuments(BOOL)
{
    for (POSITION pos = GetFirstDocPosition(); pos != NULL;)
        GetNextDoc(pos)->OnCloseDocument();  // the document leaves the list
}

// ---------------------------------------------------------------- CMultiDocTemplate

CMultiDocTemplate::CMultiDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                                     CRuntimeClass* pViewClass)
    : CDocTemplate(nIDResource, pDocClass, pFrameClass, pViewClass), m_hMenuShared(NULL),
      m_hAccelTable(NULL), m_nUntitledCount(0)
{
    HINSTANCE hInst = AfxGetResourceHandle();
    if (::FindResource(hInst, MAKEINTRESOURCE(nIDResource), RT_MENU) != NULL)
        m_hMenuShared = ::LoadMenu(hInst, MAKEINTRESOURCE(nIDResource));
    m_hAccelTable = ::LoadAccelerators(hInst, MAKEINTRESOURCE(nIDResource));
}

CMultiDocTemplate::~CMultiDocTemplate()
{
    while (!m_docList.IsEmpty())
        delete (CDocument*)m_docList.GetHead();  // the destructor takes it off the list
    if (m_hMenuShared != NULL)
        ::DestroyMenu(m_hMenuShared);
    if (m_hAccelTable != NULL)
        ::DestroyAcceleratorTable(m_hAccelTable);
}

void CMultiDocTemplate::AddDocument(CDocument* pDoc)
{
    CDocTemplate::AddDocument(pDoc);
    m_docList.AddTail(pDoc);
}

void CMultiDocTemplate::RemoveDocument(CDocument* pDoc)
{
    CDocTemplate::RemoveDocument(pDoc);
    if (POSITION pos = m_docList.Find(pDoc))
        m_docList.RemoveAt(pos);
}

CDocument* CMultiDocTemplate::OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible)
{
    CDocument* pDoc = CreateNewDocument();
    if (pDoc == NULL)
        return NULL;
    CFrameWnd* pFrame = CreateFrameFor(pDoc);
    if (pFrame == NULL)
    {
        delete pDoc;
        return NULL;
    }
    if (!NewOrOpen(pDoc, lpszPathName))
    {
        // Destroying the frame removes the last view, which deletes the document.
        pFrame->DestroyWindow();
        return NULL;
    }
    InitialUpdateFrame(pFrame, pDoc, bMakeVisible);
    return pDoc;
}

void CMultiDocTemplate::SetDefaultTitle(CDocument* pDoc)
{
    TCHAR szNumber[16];
    wsprintf(szNumber, TEXT("%u"), ++m_nUntitledCount);
    pDoc->SetTitle(GetDefaultName() + szNumber);
}

// ---------------------------------------------------------------- CSingleDocTemplate

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                                       CRuntimeClass* pViewClass)
    : CDocTemplate(nIDResource, pDocClass, pFrameClass, pViewClass), m_pOnlyDoc(NULL)
{
}

CSingleDocTemplate::~CSingleDocTemplate()
{
    delete m_pOnlyDoc;
}

void CSingleDocTemplate::AddDocument(CDocument* pDoc)
{
    CDocTemplate::AddDocument(pDoc);
    m_pOnlyDoc = pDoc;
}

void CSingleDocTemplate::RemoveDocument(CDocument* pDoc)
{
    CDocTemplate::RemoveDocument(pDoc);
    if (m_pOnlyDoc == pDoc)
        m_pOnlyDoc = NULL;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible)
{
    CDocument* pDoc = m_pOnlyDoc;
    CFrameWnd* pFrame = NULL;
    BOOL bCreated = FALSE;
    if (pDoc != NULL)
    {
        if (!pDoc->SaveModified())
            return NULL;
        POSITION pos = pDoc->GetFirstViewPosition();
        if (pos != NULL)
            pFrame = pDoc->GetNextView(pos)->GetParentFrame();
    }
    else
    {
        pDoc = CreateNewDocument();
        if (pDoc == NULL)
            return NULL;
        bCreated = TRUE;
    }
    if (pFrame == NULL)
    {
        pFrame = CreateFrameFor(pDoc);
        if (pFrame == NULL)
        {
            if (bCreated)
                delete pDoc;
            return NULL;
        }
        bCreated = TRUE;
    }
    if (!NewOrOpen(pDoc, lpszPathName))
    {
        // A new frame goes with its document; a reused one keeps the
        // document, emptied by the failed open.
        if (bCreated)
            pFrame->DestroyWindow();
        return NULL;
    }
    CWinThread* pThread = AfxGetThread();
    if (bCreated && pThread != NULL && pThread->m_pMainWnd == NULL)
        pThread->m_pMainWnd = pFrame;
    InitialUpdateFrame(pFrame, pDoc, bMakeVisible);
    return pDoc;
}

void CSingleDocTemplate::SetDefaultTitle(CDocument* pDoc)
{
    pDoc->SetTitle(GetDefaultName());
}

// ---------------------------------------------------------------- CWinApp

BOOL CWinApp::SaveAllModified()
{
    for (POSITION pos = GetFirstDocTemplatePosition(); pos != NULL;)
    {
        if (!GetNextDocTemplate(pos)->SaveAllModified())
            return FALSE;
    }
    return TRUE;
}

void CWinApp::CloseAllDocuments(BOOL bEndSession)
{
    for (POSITION pos = GetFirstDocTemplatePosition(); pos != NULL;)
        GetNextDocTemplate(pos)->CloseAllDocuments(bEndSession);
}
