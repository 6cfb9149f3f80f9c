// Frames with docked and floating control bars: loading from resources,
// the layout of bars around the pane, the one delayed layout at idle time,
// floating, hiding and docking again. Pictures go to
// build/<arch>/pictures/frame_docked.png and frame_floating.png.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "bar_fixture.h"
#include "gui_app.h"
#include "gui_resources.h"
#include "picture.h"
#include "recorder.h"

namespace
{
class CountingFrame : public CFrameWnd
{
public:
    int m_nLayouts = 0;
    void RecalcLayout(BOOL bNotify = TRUE) override
    {
        ++m_nLayouts;
        CFrameWnd::RecalcLayout(bNotify);
    }
};

TEST(FrameTest, LoadFrameTakesMenuAcceleratorsAndTitleOfItsResource)
{
    static const struct
    {
        UINT nID;
        const char* title;
        bool bMenu;
    } cases[] = {
        { IDR_FRAME, "Batch frame", true },
        { IDR_BARE_FRAME, "", false },  // no resources: a frame without menu or title
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nID);
        CFrameWnd* pFrame = new CFrameWnd;
        ASSERT_TRUE(pFrame->LoadFrame(c.nID, WS_OVERLAPPEDWINDOW));
        CString text;
        pFrame->GetWindowText(text);
        EXPECT_STREQ(c.title, text);
        EXPECT_EQ(c.bMenu, ::GetMenu(pFrame->m_hWnd) != NULL);
        EXPECT_EQ(c.bMenu, pFrame->m_hAccelTable != NULL);
        EXPECT_EQ(c.nID, pFrame->m_nIDHelp);
        pFrame->DestroyWindow();
    }
}

TEST(FrameTest, BarsTakeTheirEdgesAndThePaneGetsTheRest)
{
    CFrameWnd* pFrame = MakeFrame();
    pFrame->EnableDocking(CBRS_ALIGN_ANY);
    SolidBar top(kTopBarSize, kTopFill), second(kTopBarSize, kTopFill), left(kLeftBarSize, kLeftFill);
    CWnd pane;
    ASSERT_TRUE(pane.Create(NULL, NULL, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), pFrame, AFX_IDW_PANE_FIRST));
    CreateDocked(pFrame, top, TEXT("Top"), CBRS_TOP, kTopBarID, CBRS_ALIGN_TOP);
    CreateDocked(pFrame, second, TEXT("Second"), CBRS_TOP, kSecondTopBarID, CBRS_ALIGN_TOP);
    CreateDocked(pFrame, left, TEXT("Left"), CBRS_LEFT, kLeftBarID, CBRS_ALIGN_LEFT);
    pFrame->RecalcLayout();
    // Dropped over the first bar's right end: the same row, after it.
    CRect topRect;
    top.GetWindowRect(&topRect);
    CRect beside(topRect.right - 10, topRect.top, topRect.right + 10, topRect.bottom);
    pFrame->DockControlBar(&second, AFX_IDW_DOCKBAR_TOP, &beside);
    pFrame->RecalcLayout();

    static const struct
    {
        UINT nID;
        CRect rect;
    } expected[] = {
        { AFX_IDW_DOCKBAR_TOP, CRect(0, 0, kClientWidth, kTopBarSize.cy) },
        { AFX_IDW_DOCKBAR_LEFT, CRect(0, kTopBarSize.cy, kLeftBarSize.cx, kClientHeight) },
        { AFX_IDW_PANE_FIRST, CRect(kLeftBarSize.cx, kTopBarSize.cy, kClientWidth, kClientHeight) },
    };
    for (const auto& e : expected)
    {
        SCOPED_TRACE(e.nID);
        EXPECT_EQ(e.rect, RectInFrame(pFrame->GetDlgItem(e.nID), pFrame));
    }
    EXPECT_EQ(CRect(kTopBarSize.cx, 0, 2 * kTopBarSize.cx, kTopBarSize.cy), RectInFrame(&second, pFrame))
        << "a bar dropped beside another shares its row";

    CRect left_over;
    pFrame->RepositionBars(0, 0xFFFF, AFX_IDW_PANE_FIRST, CWnd::reposQuery, &left_over);
    EXPECT_EQ(expected[2].rect, left_over) << "a query gives the pane's rectangle";
    pFrame->DestroyWindow();
}

TEST(FrameTest, ChangesGiveOneLayoutAtIdle)
{
    CountingFrame* pFrame = MakeFrame<CountingFrame>();
    RecordedWindow<CDockBar> dockBar;
    ASSERT_TRUE(dockBar.Create(pFrame, WS_CHILD | WS_VISIBLE | CBRS_ALIGN_TOP, AFX_IDW_DOCKBAR_TOP));
    SolidBar bar(kTopBarSize, kTopFill);
    ASSERT_TRUE(bar.Create(pFrame, TEXT("Top"), CBRS_TOP, kTopBarID));
    bar.EnableDocking(CBRS_ALIGN_TOP);
    pFrame->DockControlBar(&bar);
    AfxIdleUpdateFrames();

    MessageRecorder recorder;
    pFrame->m_nLayouts = 0;
    pFrame->ShowControlBar(&bar, FALSE, TRUE);
    pFrame->DelayRecalcLayout();
    pFrame->ShowControlBar(&bar, TRUE, TRUE);
    pFrame->ShowControlBar(&bar, FALSE, TRUE);
    EXPECT_EQ(0, pFrame->m_nLayouts) << "nothing is laid out before idle time";
    EXPECT_TRUE(bar.IsWindowVisible());
    AfxIdleUpdateFrames();
    AfxIdleUpdateFrames();

    const std::vector<std::string> expected = { "WM_SIZEPARENT", "WM_IDLEUPDATECMDUI", "WM_IDLEUPDATECMDUI" };
    std::vector<std::string> seen;
    for (const RecordedMessage& m : recorder.Messages())
    {
        if (m.hWnd == dockBar.m_hWnd && m.message == WM_SIZEPARENT)
            seen.push_back("WM_SIZEPARENT");
        else if (m.hWnd == dockBar.m_hWnd && m.message == WM_IDLEUPDATECMDUI)
            seen.push_back("WM_IDLEUPDATECMDUI");
    }
    EXPECT_EQ(expected, seen);
    EXPECT_EQ(1, pFrame->m_nLayouts);
    EXPECT_FALSE(bar.IsWindowVisible()) << "the last delayed show wins";
    EXPECT_EQ(0, RectInFrame(&dockBar, pFrame).Height()) << "a dock bar without visible bars has no thickness";
    pFrame->DestroyWindow();
}

TEST(FrameTest, FloatedBarHidesWithItsFrameAndDocksBackInItsPlace)
{
    CFrameWnd* pFrame = MakeFrame();
    pFrame->EnableDocking(CBRS_ALIGN_ANY);
    SolidBar first(kTopBarSize, kTopFill), floated(kLeftBarSize, kLeftFill), last(kTopBarSize, kTopFill);
    CreateDocked(pFrame, first, TEXT("First"), CBRS_TOP, kTopBarID, CBRS_ALIGN_TOP);
    CreateDocked(pFrame, floated, TEXT("Steps"), CBRS_TOP, kLeftBarID, CBRS_ALIGN_TOP);
    CreateDocked(pFrame, last, TEXT("Last"), CBRS_TOP, kSecondTopBarID, CBRS_ALIGN_TOP);
    // Each bar docked without a rectangle opens a row: null, first, null, floated, null, ...
    const int kMiddleEntry = 3;
    CDockBar* pTop = (CDockBar*)pFrame->GetControlBar(AFX_IDW_DOCKBAR_TOP);
    ASSERT_EQ(kMiddleEntry, pTop->FindBar(&floated));

    const CPoint kFloatAt(480, 60);
    pFrame->FloatControlBar(&floated, kFloatAt);
    ASSERT_TRUE(floated.IsFloating());
    CFrameWnd* pMini = floated.GetParentFrame();
    ASSERT_TRUE(pMini != NULL && pMini->IsKindOf(RUNTIME_CLASS(CMiniDockFrameWnd)));
    CRect client;
    pMini->GetClientRect(&client);
    EXPECT_EQ(kLeftBarSize, client.Size()) << "the floating frame fits its bar";
    CString title;
    pMini->GetWindowText(title);
    EXPECT_STREQ("Steps", title);
    EXPECT_EQ(pFrame, floated.GetDockingFrame());
    EXPECT_EQ(2, pTop->GetDockedCount()) << "the top dock bar keeps the other two";

    // Closing the floating frame hides it with its bar; showing the bar brings both back.
    pMini->SendMessage(WM_CLOSE);
    AfxIdleUpdateFrames();
    EXPECT_FALSE(pMini->IsWindowVisible());
    EXPECT_FALSE(floated.IsVisible());
    pFrame->ShowControlBar(&floated, TRUE, TRUE);
    AfxIdleUpdateFrames();
    EXPECT_TRUE(pMini->IsWindowVisible());
    CRect miniRect;
    pMini->GetWindowRect(&miniRect);
    EXPECT_EQ(kFloatAt, miniRect.TopLeft());

    // Docking it again without a rectangle puts it back between the others.
    HWND hMini = pMini->m_hWnd;
    pFrame->DockControlBar(&floated);
    EXPECT_FALSE(::IsWindow(hMini)) << "an emptied floating frame goes";
    EXPECT_EQ(kMiddleEntry, pTop->FindBar(&floated));
    EXPECT_FALSE(floated.IsFloating());
    pFrame->DestroyWindow();
}

TEST(FrameTest, DockedAndFloatingBarsArePictured)
{
    CFrameWnd* pFrame = MakeFrame();
    pFrame->EnableDocking(CBRS_ALIGN_ANY);
    SolidBar* pTop = new SolidBar(kTopBarSize, kTopFill);
    SolidBar* pFloat = new SolidBar(kLeftBarSize, kLeftFill);
    pTop->m_bAutoDelete = pFloat->m_bAutoDelete = TRUE;
    ASSERT_TRUE(pTop->Create(pFrame, TEXT("Top"), CBRS_TOP, kTopBarID));
    ASSERT_TRUE(pFloat->Create(pFrame, TEXT("Floating"), CBRS_TOP, kLeftBarID));
    pTop->EnableDocking(CBRS_ALIGN_ANY);
    pFloat->EnableDocking(CBRS_ALIGN_ANY);
    pFrame->DockControlBar(pTop);
    CRect frameRect;
    pFrame->GetWindowRect(&frameRect);
    pFrame->FloatControlBar(pFloat, CPoint(frameRect.left + 150, frameRect.top + 120));
    AfxIdleUpdateFrames();
    pFrame->UpdateWindow();
    CFrameWnd* pMini = pFloat->GetParentFrame();
    pMini->UpdateWindow();

    Picture frame = Picture::OfWindow(pFrame->m_hWnd);
    ASSERT_FALSE(frame.Empty());
    CRect barRect;
    pTop->GetWindowRect(&barRect);
    CPoint inside = barRect.CenterPoint() - frameRect.TopLeft();
    EXPECT_EQ(kTopFill, frame.At(inside.x, inside.y));
    EXPECT_NE("", frame.SavePng("frame_docked"));
    Picture mini = Picture::OfWindow(pMini->m_hWnd);
    CRect miniRect, floatRect;
    pMini->GetWindowRect(&miniRect);
    pFloat->GetWindowRect(&floatRect);
    inside = floatRect.CenterPoint() - miniRect.TopLeft();
    EXPECT_EQ(kLeftFill, mini.At(inside.x, inside.y));
    EXPECT_NE("", mini.SavePng("frame_floating"));
    pFrame->DestroyWindow();
}
TEST(FrameTest, MenuPromptsIdlePromptAndHelpFollowTheSelectedCommand)
{
    CFrameWnd* pFrame = new CFrameWnd;
    ASSERT_TRUE(pFrame->LoadFrame(IDR_FRAME, WS_OVERLAPPEDWINDOW));
    CWnd status;
    ASSERT_TRUE(status.Create(TEXT("STATIC"), TEXT(""), WS_CHILD | WS_VISIBLE, CRect(0, 0, 200, 20), pFrame,
                              AFX_IDW_STATUS_BAR));
    const UINT kMenuClosed = 0xFFFF;
    static const struct
    {
        UINT nItemID;
        UINT nFlags;
        const char* prompt;
        DWORD_PTR helpContext;
    } cases[] = {
        { ID_MAIN_CMD, MF_STRING, "Runs the main command", HID_BASE_COMMAND + ID_MAIN_CMD },
        { 0, kMenuClosed, "Ready", HID_BASE_RESOURCE + IDR_FRAME },  // the idle prompt
        { 0, MF_POPUP, "", HID_BASE_RESOURCE + IDR_FRAME },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.prompt);
        pFrame->SendMessage(WM_MENUSELECT, MAKEWPARAM(c.nItemID, c.nFlags), 0);
        CString text;
        status.GetWindowText(text);
        EXPECT_STREQ(c.prompt, text);
        TheTestApp().m_lastHelpData = 0;
        EXPECT_TRUE(pFrame->SendMessage(WM_COMMANDHELP, 0, 0));
        EXPECT_EQ(c.helpContext, TheTestApp().m_lastHelpData);
        EXPECT_EQ((UINT)HELP_CONTEXT, TheTestApp().m_nLastHelpCommand);
    }
    pFrame->DestroyWindow();
}
}  // namespace
