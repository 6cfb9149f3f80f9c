// Documents and document templates.
//
// A CDocument holds one set of data and the views that show it. Views tell
// it about themselves (AddView/RemoveView); it tells them about changes
// (UpdateAllViews with a hint number and a hint object). A document made by
// a template deletes itself when its last view goes (m_bAutoDelete).
//
// A CDocTemplate ties a document class, a frame class and a view class to
// one resource id, whose string resource holds the document strings
// ("window title\ndocument name\nnew name\nfilter\nextension\ntype id\n
// type name") and, for a CMultiDocTemplate, whose menu and accelerators
// the template's child frames show. OpenDocumentFile makes the document and
// its frame and view from their run-time classes.
//
// Closing: a frame asks its document's CanCloseFrame; the document's last
// frame asks SaveModified, which offers Yes (save), No (discard) and Cancel
// (keep everything open). The application's main frame asks every document
// (CWinApp::SaveAllModified) before closing them all.
//
// Commands: a view passes commands it does not handle to its document,
// which passes them on to its template (OnCmdMsg).
// Everything runs on the thread that owns the windows.
#pragma once

#include <framework/cmdids.h>
#include <framework/cmdtarget.h>
#include <framework/cstring.h>
#include <framework/lists.h>

#include <windows.h>

class CArchive;
class CDocTemplate;
class CFrameWnd;
class CView;
class CWnd;

class CDocument : public CCmdTarget
{
    DECLARE_DYNAMIC(CDocument)
public:
    CDocument();
    ~CDocument();

    const CString& GetTitle() const { return m_strTitle; }
    // Sets the title and updates the title of every frame showing the document.
    virtual void SetTitle(LPCTSTR lpszTitle);
    const CString& GetPathName() const { return m_strPathName; }
    // Sets the path; with bAddToMRU the title becomes the file's name.
    virtual void SetPathName(LPCTSTR lpszPathName, BOOL bAddToMRU = TRUE);
    CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

    virtual BOOL IsModified() { return m_bModified; }
    virtual void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }

    // Views.
    void AddView(CView* pView);
    // Removes the view; the last view of an auto-delete document closes it.
    void RemoveView(CView* pView);
    POSITION GetFirstViewPosition() const { return m_viewList.GetHeadPosition(); }
    CView* GetNextView(POSITION& rPosition) const { return (CView*)m_viewList.GetNext(rPosition); }
    // Calls OnUpdate of every view but pSender.
    void UpdateAllViews(CView* pSender, LPARAM lHint = 0L, CObject* pHint = NULL);
    virtual void OnChangedViewList();

    // Data.
    virtual void DeleteContents() {}
    // Empties the document for new data; FALSE fails the new document.
    virtual BOOL OnNewDocument();
    // Reads the file through Serialize; FALSE (with a message box) when it
    // cannot be opened or read.
    virtual BOOL OnOpenDocument(LPCTSTR lpszPathName);
    // Writes the file through Serialize; FALSE (with a message box) when it
    // cannot be written. Clears the modified flag on success.
    virtual BOOL OnSaveDocument(LPCTSTR lpszPathName);
    // Destroys the document's frames and deletes the document (auto-delete).
    virtual void OnCloseDocument();

    // Closing.
    // Asks whether to save a modified document: Yes saves (TRUE when the
    // save worked), No discards (TRUE), Cancel keeps it (FALSE).
    virtual BOOL SaveModified();
    // TRUE when pFrame may close: it is not the document's last frame, or
    // SaveModified agreed.
    virtual BOOL CanCloseFrame(CFrameWnd* pFrame);
    virtual void PreCloseFrame(CFrameWnd* pFrame) { (void)pFrame; }
    // Saves under lpszPathName, or asks for a name when it is NULL.
    virtual BOOL DoSave(LPCTSTR lpszPathName, BOOL bReplace = TRUE);
    virtual BOOL DoFileSave();

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;

    BOOL m_bAutoDelete;  // delete the document when its last view goes

protected:
    // The frames that show the document, each once.
    void GetFrames(CPtrList& frames) const;
    afx_msg void OnFileClose();
    afx_msg void OnFileSave();
    afx_msg void OnFileSaveAs();

    CString m_strTitle;
    CString m_strPathName;
    CDocTemplate* m_pDocTemplate;
    CPtrList m_viewList;
    BOOL m_bModified;
    friend class CDocTemplate;
    DECLARE_MESSAGE_MAP()
};

// What CreateNewFrame passes to the frame's creation (defined in frame.h).
struct CCreateContext;

class CDocTemplate : public CCmdTarget
{
    DECLARE_DYNAMIC(CDocTemplate)
public:
    ~CDocTemplate();

    enum DocStringIndex
    {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName,
    };
    // One '\n'-separated field of the template's string resource; FALSE
    // (and an empty string) when it has none.
    virtual BOOL GetDocString(CString& rString, DocStringIndex index) const;

    // Documents.
    virtual void AddDocument(CDocument* pDoc);
    virtual void RemoveDocument(CDocument* pDoc);
    virtual POSITION GetFirstDocPosition() const = 0;
    virtual CDocument* GetNextDoc(POSITION& rPos) const = 0;
    // A new document of the template's class (not yet opened), or NULL.
    virtual CDocument* CreateNewDocument();
    // A new frame with its view for pDoc (pOther: a frame to copy the view
    // class from), made from the frame class and loaded from the resource id.
    virtual CFrameWnd* CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther);
    virtual void InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible = TRUE);
    // NULL path: a new untitled document; else the file opened. Returns the
    // document, or NULL when it could not be made or opened.
    virtual CDocument* OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible = TRUE) = 0;
    virtual void SetDefaultTitle(CDocument* pDoc) = 0;
    // SaveModified of every document; FALSE as soon as one is cancelled.
    virtual BOOL SaveAllModified();
    virtual void CloseAllDocuments(BOOL bEndSession);

    UINT GetResourceID() const { return m_nIDResource; }

    CRuntimeClass* m_pDocClass;
    CRuntimeClass* m_pFrameClass;
    CRuntimeClass* m_pViewClass;

protected:
    CDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                 CRuntimeClass* pViewClass);
    // The document name of the strings, or "Untitled".
    CString GetDefaultName() const;
    // CreateNewFrame, the document not closing itself meanwhile.
    CFrameWnd* CreateFrameFor(CDocument* pDoc);
    // A new untitled document (NULL path), or the file read; FALSE on failure.
    BOOL NewOrOpen(CDocument* pDoc, LPCTSTR lpszPathName);

    UINT m_nIDResource;
    CString m_strDocStrings;
};

// Any number of documents, each in its own MDI child frames.
class CMultiDocTemplate : public CDocTemplate
{
    DECLARE_DYNAMIC(CMultiDocTemplate)
public:
    CMultiDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                      CRuntimeClass* pViewClass);
    ~CMultiDocTemplate();

    void AddDocument(CDocument* pDoc) override;
    void RemoveDocument(CDocument* pDoc) override;
    POSITION GetFirstDocPosition() const override { return m_docList.GetHeadPosition(); }
    CDocument* GetNextDoc(POSITION& rPos) const override { return (CDocument*)m_docList.GetNext(rPos); }
    CDocument* OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible = TRUE) override;
    // The document name (or "Untitled") followed by the next number.
    void SetDefaultTitle(CDocument* pDoc) override;

    HMENU m_hMenuShared;  // the menu of the template's child frames (owned)
    HACCEL m_hAccelTable; // their accelerators (owned)

protected:
    CPtrList m_docList;
    UINT m_nUntitledCount;
};

// One document at a time, in the application's main frame.
class CSingleDocTemplate : public CDocTemplate
{
    DECLARE_DYNAMIC(CSingleDocTemplate)
public:
    CSingleDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                       CRuntimeClass* pViewClass);
    ~CSingleDocTemplate();

    void AddDocument(CDocument* pDoc) override;
    void RemoveDocument(CDocument* pDoc) override;
    POSITION GetFirstDocPosition() const override { return m_pOnlyDoc != NULL ? (POSITION)1 : NULL; }
    CDocument* GetNextDoc(POSITION& rPos) const override
    {
        rPos = NULL;
        return m_pOnlyDoc;
    }
    // Reuses the one document (after SaveModified agreed) and its frame;
    // makes both the first time, the frame becoming the main window.
    CDocument* OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible = TRUE) override;
    // The document name, or "Untitled".
    void SetDefaultTitle(CDocument* pDoc) override;

protected:
    CDocument* m_pOnlyDoc;
};
