// The MDI sample program: a main frame with two document templates. A
// diagram child holds a static splitter with a list view of runs and a
// scrolling diagram view; a notes child holds a form view. Scripted
// messages drive command routing, menus and accelerators per template,
// mouse activation, closing with modified documents, scrolling and the
// print loop. The picture goes to build/<arch>/pictures/mdi_main.png.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "gui_app.h"
#include "gui_resources.h"
#include "picture.h"
#include "recorder.h"

#include <string>
#include <vector>

namespace
{
const CSize kMainClient(640, 440);
const CRect kDiagramChildRect(10, 10, 420, 330);
const CRect kNotesChildRect(200, 100, 600, 360);
const int kRunListWidth = 120;
const CSize kDiagramTotal(2000, 1500);
const CSize kDiagramPage(400, 300);
const CSize kDiagramLine(20, 10);
const COLORREF kDiagramFill = RGB(255, 224, 160);
const int kPrintedPages = 3;

// Which level of the routing handled each command, in order.
std::vector<std::string> g_handled;
// What the diagram view's print steps saw, in order.
std::vector<std::string> g_printSteps;

class SampleDoc : public CDocument
{
    DECLARE_DYNCREATE(SampleDoc)
public:
    int m_nSaves = 0;
    BOOL OnSaveDocument(LPCTSTR) override
    {
        ++m_nSaves;
        SetModifiedFlag(FALSE);
        return TRUE;
    }

protected:
    afx_msg void OnDocCommand() { g_handled.push_back("document"); }
    afx_msg void OnSharedCommand() { g_handled.push_back("document"); }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(SampleDoc, CDocument)
BEGIN_MESSAGE_MAP(SampleDoc, CDocument)
    ON_COMMAND(ID_DOC_CMD, OnDocCommand)
    ON_COMMAND(ID_SHARED_CMD, OnSharedCommand)
END_MESSAGE_MAP()

class DiagramView : public CScrollView
{
    DECLARE_DYNCREATE(DiagramView)
public:
    int m_nPages = kPrintedPages;  // 0: the length is left unknown

    void OnInitialUpdate() override
    {
        SetScrollSizes(MM_TEXT, kDiagramTotal, kDiagramPage, kDiagramLine);
        CScrollView::OnInitialUpdate();
    }
    void OnDraw(CDC* pDC) override { pDC->FillSolidRect(0, 0, kDiagramTotal.cx, kDiagramTotal.cy, kDiagramFill); }
    // Claims one command before its message map is asked.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override
    {
        if (nID == ID_OVERRIDE_CMD && nCode == CN_COMMAND && pHandlerInfo == NULL)
        {
            g_handled.push_back("view override");
            return TRUE;
        }
        return CScrollView::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    }
    void OnBeginPrinting(CDC*, CPrintInfo* pInfo) override
    {
        if (m_nPages > 0)
            pInfo->SetMaxPage(m_nPages);
        g_printSteps.push_back("begin");
    }
    void OnPrepareDC(CDC* pDC, CPrintInfo* pInfo = NULL) override
    {
        CScrollView::OnPrepareDC(pDC, pInfo);
        if (pInfo != NULL)
            g_printSteps.push_back("prepare " + std::to_string(pInfo->m_nCurPage));
    }
    void OnPrint(CDC* pDC, CPrintInfo* pInfo) override
    {
        g_printSteps.push_back("print " + std::to_string(pInfo->m_nCurPage));
        CScrollView::OnPrint(pDC, pInfo);
    }
    void OnEndPrinting(CDC*, CPrintInfo*) override { g_printSteps.push_back("end"); }

protected:
    afx_msg void OnViewCommand() { g_handled.push_back("view"); }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(DiagramView, CScrollView)
BEGIN_MESSAGE_MAP(DiagramView, CScrollView)
    ON_COMMAND(ID_VIEW_CMD, OnViewCommand)
END_MESSAGE_MAP()

class RunListView : public CListView
{
    DECLARE_DYNCREATE(RunListView)
public:
    void OnInitialUpdate() override
    {
        CListCtrl& list = GetListCtrl();
        list.ModifyStyle(LVS_TYPEMASK, LVS_REPORT);
        list.InsertColumn(0, "Instance", LVCFMT_LEFT, 60);
        list.InsertItem(0, "1");
        list.InsertItem(1, "2");
    }
};
IMPLEMENT_DYNCREATE(RunListView, CListView)

class NotesView : public CFormView
{
    DECLARE_DYNCREATE(NotesView)
public:
    NotesView() : CFormView(IDD_NOTES_FORM) {}
};
IMPLEMENT_DYNCREATE(NotesView, CFormView)

class DiagramFrame : public CMDIChildWnd
{
    DECLARE_DYNCREATE(DiagramFrame)
public:
    CSplitterWnd m_splitter;
    BOOL OnCreateClient(LPCREATESTRUCT, CCreateContext* pContext) override
    {
        return m_splitter.CreateStatic(this, 1, 2) &&
               m_splitter.CreateView(0, 0, RUNTIME_CLASS(RunListView), CSize(kRunListWidth, 0), pContext) &&
               m_splitter.CreateView(0, 1, RUNTIME_CLASS(DiagramView), CSize(0, 0), pContext);
    }
    DiagramView* GetDiagramView() { return (DiagramView*)m_splitter.GetPane(0, 1); }

protected:
    afx_msg void OnChildCommand() { g_handled.push_back("child frame"); }
    DECLARE_MESSAGE_MAP()
};
IMPLEMENT_DYNCREATE(DiagramFrame, CMDIChildWnd)
BEGIN_MESSAGE_MAP(DiagramFrame, CMDIChildWnd)
    ON_COMMAND(ID_CHILD_CMD, OnChildCommand)
END_MESSAGE_MAP()

class MainFrame : public CMDIFrameWnd
{
protected:
    afx_msg void OnMainCommand() { g_handled.push_back("main frame"); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(MainFrame, CMDIFrameWnd)
    ON_COMMAND(ID_MAIN_CMD, OnMainCommand)
END_MESSAGE_MAP()

// The application's part of the sample's commands.
class SampleCommands : public CCmdTarget
{
protected:
    afx_msg void OnAppCommand() { g_handled.push_back("application"); }
    DECLARE_MESSAGE_MAP()
};
BEGIN_MESSAGE_MAP(SampleCommands, CCmdTarget)
    ON_COMMAND(ID_APP_CMD, OnAppCommand)
    ON_COMMAND(ID_SHARED_CMD, OnAppCommand)
END_MESSAGE_MAP()

// Answers the save question with one button and keeps its text.
int g_nAnswer = IDCANCEL;
std::string g_question;
int AnswerSaveQuestion(LPCTSTR lpszText, UINT)
{
    g_question = lpszText;
    return g_nAnswer;
}

// The sample running: the main frame with a diagram and a notes document open.
class MdiSampleTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_handled.clear();
        g_printSteps.clear();
        m_pMain = new MainFrame;
        ASSERT_TRUE(m_pMain->LoadFrame(IDR_MDI_MAIN, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE));
        CRect rect(CPoint(0, 0), kMainClient);
        m_pMain->CalcWindowRect(&rect);
        m_pMain->SetWindowPos(NULL, 0, 0, rect.Width(), rect.Height(), SWP_NOZORDER);
        m_pMain->ShowWindow(SW_SHOW);
        m_hMain = m_pMain->m_hWnd;
        TheTestApp().m_pMainWnd = m_pMain;
        TheTestApp().m_pCommandTarget = &m_commands;

        m_pDiagramTemplate = new CMultiDocTemplate(IDR_DIAGRAM, RUNTIME_CLASS(SampleDoc),
                                                   RUNTIME_CLASS(DiagramFrame), RUNTIME_CLASS(DiagramView));
        m_pNotesTemplate = new CMultiDocTemplate(IDR_NOTES, RUNTIME_CLASS(SampleDoc),
                                                 RUNTIME_CLASS(CMDIChildWnd), RUNTIME_CLASS(NotesView));
        TheTestApp().AddDocTemplate(m_pDiagramTemplate);
        TheTestApp().AddDocTemplate(m_pNotesTemplate);
        m_pDiagramDoc = (SampleDoc*)m_pDiagramTemplate->OpenDocumentFile(NULL);
        ASSERT_NE(nullptr, m_pDiagramDoc);
        m_pDiagramFrame = (DiagramFrame*)GetFrameOf(m_pDiagramDoc);
        m_pDiagramFrame->MoveWindow(kDiagramChildRect);
        m_pNotesDoc = (SampleDoc*)m_pNotesTemplate->OpenDocumentFile(NULL);
        ASSERT_NE(nullptr, m_pNotesDoc);
        m_pNotesFrame = GetFrameOf(m_pNotesDoc);
        m_pNotesFrame->MoveWindow(kNotesChildRect);
        AfxIdleUpdateFrames();
    }
    void TearDown() override
    {
        AfxSetMessageBoxHandler(NULL);
        AfxSetPrinterDCHandler(NULL);
        TheTestApp().m_pCommandTarget = NULL;
        if (::IsWindow(m_hMain))
        {
            TheTestApp().CloseAllDocuments(FALSE);
            m_pMain->DestroyWindow();
        }
        TheTestApp().m_pMainWnd = NULL;
        TheTestApp().RemoveDocTemplates();
        // A closed main window asks the message loop to end: not this one.
        MSG msg;
        while (::PeekMessage(&msg, NULL, WM_QUIT, WM_QUIT, PM_REMOVE))
        {
        }
    }

public:
    static CFrameWnd* GetFrameOf(CDocument* pDoc)
    {
        POSITION pos = pDoc->GetFirstViewPosition();
        return pDoc->GetNextView(pos)->GetParentFrame();
    }
protected:
    // The routing's record of one command sent to the main frame.
    std::string Route(UINT nID)
    {
        g_handled.clear();
        m_pMain->SendMessage(WM_COMMAND, nID);
        return g_handled.empty() ? "" : g_handled.front();
    }
    DiagramView* Diagram() { return m_pDiagramFrame->GetDiagramView(); }

    SampleCommands m_commands;
    MainFrame* m_pMain = NULL;  // valid while m_hMain is a window
    HWND m_hMain = NULL;
    CMultiDocTemplate* m_pDiagramTemplate = NULL;
    CMultiDocTemplate* m_pNotesTemplate = NULL;
    SampleDoc* m_pDiagramDoc = NULL;
    SampleDoc* m_pNotesDoc = NULL;
    DiagramFrame* m_pDiagramFrame = NULL;
    CFrameWnd* m_pNotesFrame = NULL;
};

TEST_F(MdiSampleTest, CommandsGoToViewDocumentFramesAndApplicationInTurn)
{
    enum Child { kDiagram, kNotes };
    static const struct
    {
        Child active;
        UINT nID;
        const char* handler;
    } cases[] = {
        { kDiagram, ID_VIEW_CMD, "view" },
        { kDiagram, ID_OVERRIDE_CMD, "view override" },
        { kDiagram, ID_DOC_CMD, "document" },
        { kDiagram, ID_CHILD_CMD, "child frame" },
        { kDiagram, ID_MAIN_CMD, "main frame" },
        { kDiagram, ID_APP_CMD, "application" },
        { kDiagram, ID_SHARED_CMD, "document" },  // the document comes before the application
        { kDiagram, ID_UNHANDLED_CMD, "" },
        { kNotes, ID_VIEW_CMD, "" },  // the form view has no such handler
        { kNotes, ID_DOC_CMD, "document" },
        { kNotes, ID_CHILD_CMD, "" },
        { kNotes, ID_MAIN_CMD, "main frame" },
        { kNotes, ID_APP_CMD, "application" },
    };
    // The diagram's commands go to its diagram view, not the run list.
    m_pDiagramFrame->m_splitter.SetActivePane(0, 1);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nID);
        m_pMain->MDIActivate(c.active == kDiagram ? (CWnd*)m_pDiagramFrame : m_pNotesFrame);
        EXPECT_EQ(c.handler, Route(c.nID));
    }
    EXPECT_EQ(Diagram(), m_pDiagramFrame->m_splitter.GetActivePane());
}

TEST_F(MdiSampleTest, EachTemplateBringsItsMenuAndAcceleratorsAndTheTitle)
{
    const int kWindowPopup = 2;  // File, Diagram or Notes, Window
    enum Active { kDiagram, kNotes, kNone };
    static const struct
    {
        Active active;
        UINT nMenuID;
        bool bCtrlDTranslated;
        const char* mainTitle;
    } cases[] = {
        { kDiagram, IDR_DIAGRAM, true, "Vantorel MDI - Diagram1" },
        { kNotes, IDR_NOTES, false, "Vantorel MDI - Notes1" },
        { kNone, IDR_MDI_MAIN, false, "Vantorel MDI" },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nMenuID);
        if (c.active == kNone)
        {
            // Closing both documents leaves the frame's own menu.
            m_pDiagramDoc->OnCloseDocument();
            m_pNotesDoc->OnCloseDocument();
            AfxIdleUpdateFrames();
            EXPECT_EQ(nullptr, m_pMain->MDIGetActive());
        }
        else
        {
            m_pMain->MDIActivate(c.active == kDiagram ? (CWnd*)m_pDiagramFrame : m_pNotesFrame);
        }
        HMENU hExpected = c.active == kDiagram ? m_pDiagramTemplate->m_hMenuShared
                          : c.active == kNotes ? m_pNotesTemplate->m_hMenuShared
                                               : m_pMain->m_hMenuDefault;
        EXPECT_EQ(hExpected, ::GetMenu(m_pMain->m_hWnd));
        CString title;
        m_pMain->GetWindowText(title);
        EXPECT_STREQ(c.mainTitle, title);
        if (c.active == kNone)
            continue;

        // The Window popup lists both children after its own commands.
        HMENU hWindow = ::GetSubMenu(hExpected, kWindowPopup);
        int nChildren = 0;
        for (int i = 0; i < ::GetMenuItemCount(hWindow); ++i)
            nChildren += ::GetMenuItemID(hWindow, i) >= AFX_IDM_FIRST_MDICHILD;
        EXPECT_EQ(2, nChildren);

        // Ctrl+D is the diagram template's accelerator only.
        g_handled.clear();
        CView* pView = c.active == kDiagram ? (CView*)Diagram() : m_pNotesFrame->GetActiveView();
        MSG msg = { pView->m_hWnd, WM_KEYDOWN, 'D', 1 };
        SetModifierKeys(false, true);
        BOOL bTranslated = TheTestApp().PreTranslateMessage(&msg);
        SetModifierKeys(false, false);
        EXPECT_EQ(c.bCtrlDTranslated, bTranslated != FALSE);
        EXPECT_EQ(c.bCtrlDTranslated, g_handled == std::vector<std::string>{ "document" });
    }
}

TEST_F(MdiSampleTest, ClickingAChildsViewActivatesChildAndView)
{
    m_pMain->MDIActivate(m_pNotesFrame);
    CView* pRunList = (CView*)m_pDiagramFrame->m_splitter.GetPane(0, 0);
    ASSERT_EQ(pRunList, m_pDiagramFrame->GetActiveView()) << "the first pane starts active";
    Diagram()->SendMessage(WM_MOUSEACTIVATE, (WPARAM)m_pMain->m_hWnd, MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN));
    EXPECT_EQ(m_pDiagramFrame, m_pMain->MDIGetActive());
    EXPECT_EQ(Diagram(), m_pDiagramFrame->GetActiveView());
    EXPECT_EQ(m_pDiagramDoc, m_pDiagramFrame->GetActiveDocument());
}

TEST_F(MdiSampleTest, ClosingAModifiedDocumentAsksToSave)
{
    enum Target { kChild, kMain };
    static const struct
    {
        Target target;
        int nAnswer;
        int nSaves;
        bool bDocumentOpen;
        bool bMainOpen;
    } cases[] = {
        { kChild, IDYES, 1, false, true },
        { kChild, IDNO, 0, false, true },
        { kChild, IDCANCEL, 0, true, true },
        { kMain, IDCANCEL, 0, true, true },
        { kMain, IDNO, 0, false, false },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << (c.target == kMain ? "main " : "child ") << c.nAnswer);
        TearDown();
        SetUp();
        m_pDiagramDoc->SetModifiedFlag();
        m_pDiagramDoc->SetPathName(TEXT("diagram.vsd"), FALSE);  // Yes saves there without asking for a name
        AfxSetMessageBoxHandler(AnswerSaveQuestion);
        g_nAnswer = c.nAnswer;
        g_question.clear();
        HWND hChild = m_pDiagramFrame->m_hWnd;
        (c.target == kMain ? (CWnd*)m_pMain : m_pDiagramFrame)->SendMessage(WM_CLOSE);

        EXPECT_EQ("Save changes to Diagram1?", g_question);
        EXPECT_EQ(c.bDocumentOpen, ::IsWindow(hChild) != FALSE);
        EXPECT_EQ(c.bMainOpen, ::IsWindow(m_hMain) != FALSE);
        if (c.bDocumentOpen)
        {
            EXPECT_TRUE(m_pDiagramDoc->IsModified());
            EXPECT_EQ(c.nSaves, m_pDiagramDoc->m_nSaves);
            POSITION pos = m_pDiagramTemplate->GetFirstDocPosition();
            EXPECT_EQ(m_pDiagramDoc, m_pDiagramTemplate->GetNextDoc(pos));
        }
        else
        {
            EXPECT_EQ(nullptr, m_pDiagramTemplate->GetFirstDocPosition()) << "the document is gone";
        }
    }
}

TEST_F(MdiSampleTest, ScrollCodesMoveWithinTheScrollSizes)
{
    DiagramView* pView = Diagram();
    CRect client;
    pView->GetClientRect(&client);
    const CPoint kLimit(kDiagramTotal.cx - client.Width(), kDiagramTotal.cy - client.Height());
    const CPoint kOrigin(0, 0);
    const UINT kThumbAt = 500;
    const BOOL kQuery = FALSE, kScroll = TRUE;
    static const auto Vert = [](UINT code) { return (UINT)MAKEWORD(0xFF, code); };
    static const auto Horz = [](UINT code) { return (UINT)MAKEWORD(code, 0xFF); };
    const struct
    {
        CPoint start;
        UINT nCode;
        UINT nPos;
        BOOL bDoScroll;
        BOOL bResult;
        CPoint end;
    } cases[] = {
        { kOrigin, Vert(SB_LINEDOWN), 0, kScroll, TRUE, CPoint(0, kDiagramLine.cy) },
        { kOrigin, Horz(SB_LINEDOWN), 0, kScroll, TRUE, CPoint(kDiagramLine.cx, 0) },
        { kOrigin, Horz(SB_PAGEDOWN), 0, kScroll, TRUE, CPoint(kDiagramPage.cx, 0) },
        { CPoint(0, kDiagramPage.cy), Vert(SB_PAGEUP), 0, kScroll, TRUE, kOrigin },
        { kOrigin, Vert(SB_THUMBTRACK), kThumbAt, kScroll, TRUE, CPoint(0, kThumbAt) },
        { kOrigin, Vert(SB_LINEUP), 0, kScroll, FALSE, kOrigin },
        { kOrigin, Vert(SB_LINEDOWN), 0, kQuery, TRUE, kOrigin },
        { kLimit, Vert(SB_LINEDOWN), 0, kQuery, FALSE, kLimit },
        { kOrigin, MAKEWORD(SB_BOTTOM, SB_BOTTOM), 0, kScroll, TRUE, kLimit },
        { kLimit, MAKEWORD(SB_TOP, SB_TOP), 0, kScroll, TRUE, kOrigin },
    };
    ASSERT_GT(kLimit.x, kDiagramPage.cx);
    ASSERT_GT(kLimit.y, kDiagramPage.cy);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << std::hex << c.nCode << " from " << c.start.x << "," << c.start.y);
        pView->ScrollToPosition(c.start);
        ASSERT_EQ(c.start, pView->GetScrollPosition());
        EXPECT_EQ(c.bResult, pView->OnScroll(c.nCode, c.nPos, c.bDoScroll));
        EXPECT_EQ(c.end, pView->GetScrollPosition());
    }

    // OnScrollBy stops at the scroll sizes.
    static const struct
    {
        CSize by;
        BOOL bResult;
        CPoint end;
    } steps[] = {
        { CSize(-30, -30), FALSE, kOrigin },
        { CSize(kDiagramTotal.cx, 25), TRUE, CPoint(kLimit.x, 25) },
        { CSize(-10, kDiagramTotal.cy), TRUE, CPoint(kLimit.x - 10, kLimit.y) },
    };
    pView->ScrollToPosition(kOrigin);
    for (const auto& s : steps)
    {
        SCOPED_TRACE(testing::Message() << s.by.cx << "," << s.by.cy);
        EXPECT_EQ(s.bResult, pView->OnScrollBy(s.by));
        EXPECT_EQ(s.end, pView->GetScrollPosition());
    }

    // Drawing is moved by the scroll position.
    CClientDC dc(pView);
    pView->OnPrepareDC(&dc);
    CPoint scrolled = pView->GetScrollPosition();
    EXPECT_EQ(CPoint(-scrolled.x, -scrolled.y), dc.GetViewportOrg());
}

// The "printer" of the print tests: an enhanced metafile.
HDC g_hMetafileDC = NULL;
HDC GiveMetafile(CPrintInfo*)
{
    return g_hMetafileDC;
}

TEST_F(MdiSampleTest, ThePrintLoopRunsEachPageOnce)
{
    static const struct
    {
        int nPages;
        std::vector<std::string> steps;
    } cases[] = {
        { kPrintedPages,
          { "begin", "prepare 1", "print 1", "prepare 2", "print 2", "prepare 3", "print 3", "end" } },
        // A view that does not tell its length prints one page.
        { 0, { "begin", "prepare 1", "print 1", "prepare 2", "end" } },
    };
    m_pDiagramFrame->m_splitter.SetActivePane(0, 1);
    m_pMain->MDIActivate(m_pDiagramFrame);
    AfxSetPrinterDCHandler(GiveMetafile);
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nPages);
        Diagram()->m_nPages = c.nPages;
        g_hMetafileDC = ::CreateEnhMetaFile(NULL, NULL, NULL, NULL);
        ASSERT_NE((HDC)NULL, g_hMetafileDC);
        g_printSteps.clear();
        Route(ID_FILE_PRINT);
        EXPECT_EQ(c.steps, g_printSteps);
        HENHMETAFILE hMetafile = ::CloseEnhMetaFile(g_hMetafileDC);
        ENHMETAHEADER header;
        ASSERT_TRUE(::GetEnhMetaFileHeader(hMetafile, sizeof(header), &header));
        EXPECT_GT(header.nRecords, 2u) << "the pages drew into the metafile";
        ::DeleteEnhMetaFile(hMetafile);
    }

    // Without the seam there is no printer to prepare.
    AfxSetPrinterDCHandler(NULL);
    CPrintInfo info;
    info.m_bDirect = TRUE;
    EXPECT_FALSE(Diagram()->DoPreparePrinting(&info));
}

TEST_F(MdiSampleTest, MainWindowWithTwoChildrenIsPictured)
{
    m_pDiagramFrame->m_splitter.SetActivePane(0, 1);
    m_pMain->MDIActivate(m_pDiagramFrame);
    m_pMain->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW | RDW_FRAME);
    Picture picture = Picture::OfWindow(m_pMain->m_hWnd);
    ASSERT_FALSE(picture.Empty());
    CRect mainRect, viewRect;
    m_pMain->GetWindowRect(&mainRect);
    Diagram()->GetWindowRect(&viewRect);
    CPoint inside = viewRect.CenterPoint() - CSize(mainRect.left, mainRect.top);
    EXPECT_EQ(kDiagramFill, picture.At(inside.x, inside.y));
    EXPECT_NE("", picture.SavePng("mdi_main"));
}
}  // namespace

namespace
{
TEST(SingleDocTemplateTest, OneDocumentAndFrameServeEveryNewDocument)
{
    CSingleDocTemplate docTemplate(IDR_FRAME, RUNTIME_CLASS(SampleDoc), RUNTIME_CLASS(CFrameWnd),
                                   RUNTIME_CLASS(DiagramView));
    CDocument* pFirst = docTemplate.OpenDocumentFile(NULL);
    ASSERT_NE(nullptr, pFirst);
    CFrameWnd* pFrame = MdiSampleTest::GetFrameOf(pFirst);
    EXPECT_EQ(pFrame, TheTestApp().m_pMainWnd) << "the first frame becomes the main window";
    CString title;
    pFrame->GetWindowText(title);
    EXPECT_STREQ("Batch frame - Batch", title);

    EXPECT_EQ(pFirst, docTemplate.OpenDocumentFile(NULL));
    EXPECT_EQ(pFrame, MdiSampleTest::GetFrameOf(pFirst));
    pFirst->OnCloseDocument();
    TheTestApp().m_pMainWnd = NULL;
    POSITION pos = docTemplate.GetFirstDocPosition();
    EXPECT_EQ(nullptr, pos);
}
}  // namespace
