// The docking drag of control bars under scripted mouse input, and the saved
// dock state: profile round trip, damaged profiles and mutated archives.
// Pictures go to build/<arch>/pictures/dock_drag_outline.png and
// dock_docked_and_floating.png.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "bar_fixture.h"
#include "picture.h"

#include <map>
#include <random>
#include <string>
#include <vector>

namespace
{
const UINT kSnapshotMessage = WM_APP + 1;
const UINT kFloatingBarID = 0xE813;
const TCHAR kRoundTripProfile[] = TEXT("DockRoundTrip");  // one profile per test: tests run side by side
const TCHAR kFaultsProfile[] = TEXT("DockFaults");
const TCHAR kCompany[] = TEXT("Orvane Tests");

// Posts what a user does after pressing the bar at its centre (moves to
// target, keys, release), then presses it: the drag loop takes the posted
// input. Returns the pressed point (screen).
CPoint DragBar(CControlBar& bar, CPoint target, UINT nKeyBeforeMove, UINT nKeyAfterMove,
               HWND hSnapshot = NULL)
{
    CRect rect;
    bar.GetWindowRect(&rect);
    CPoint start = rect.CenterPoint();
    CPoint startClient = start, targetClient = target;
    bar.ScreenToClient(&startClient);
    bar.ScreenToClient(&targetClient);
    if (nKeyBeforeMove != 0)
        bar.PostMessage(WM_KEYDOWN, nKeyBeforeMove, 0);
    bar.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(targetClient.x, targetClient.y));
    if (hSnapshot != NULL)
        ::PostMessage(hSnapshot, kSnapshotMessage, 0, 0);
    if (nKeyAfterMove != 0)
        bar.PostMessage(WM_KEYDOWN, nKeyAfterMove, 0);
    bar.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(targetClient.x, targetClient.y));
    bar.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(startClient.x, startClient.y));
    // What a cancelled loop left unread goes.
    MSG msg;
    while (::PeekMessage(&msg, bar.m_hWnd, 0, 0, PM_REMOVE))
        ;
    return start;
}

// Copies a rectangle of the screen when it receives kSnapshotMessage,
// that is, from inside a drag loop.
class ScreenSnapshot : public CWnd
{
public:
    CRect m_rect;
    Picture m_picture;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        if (message != kSnapshotMessage)
            return CWnd::WindowProc(message, wParam, lParam);
        HDC hScreen = ::GetDC(NULL);
        m_picture = Picture::OfDC(hScreen, m_rect.left, m_rect.top, m_rect.Width(), m_rect.Height());
        ::ReleaseDC(NULL, hScreen);
        return 0;
    }
};

int DifferingPixels(const Picture& a, const Picture& b)
{
    int nCount = 0;
    for (int y = 0; y < a.Height() && y < b.Height(); ++y)
        for (int x = 0; x < a.Width() && x < b.Width(); ++x)
            nCount += a.At(x, y) != b.At(x, y);
    return nCount;
}

UINT DockBarID(CControlBar& bar)
{
    return bar.m_pDockBar != NULL ? (UINT)bar.m_pDockBar->GetDlgCtrlID() : 0;
}

TEST(DockDragTest, ScriptedDragsFloatAndDockABar)
{
    CFrameWnd* pFrame = MakeFrame();
    pFrame->EnableDocking(CBRS_ALIGN_ANY);
    SolidBar bar(kTopBarSize, kTopFill);
    CreateDocked(pFrame, bar, TEXT("Steps"), CBRS_TOP, kTopBarID, CBRS_ALIGN_ANY);
    pFrame->RecalcLayout();
    pFrame->UpdateWindow();
    SettleWindows();
    CPoint origin(0, 0);
    pFrame->ClientToScreen(&origin);

    enum Action { kDrag, kDoubleClick };
    const CPoint kOverPane = origin + CSize(kClientWidth / 2, kClientHeight / 2);
    const CPoint kOverTopEdge = origin + CSize(kClientWidth / 2, 4);
    const CPoint kOverLeftEdge = origin + CSize(8, kClientHeight / 2);
    const CPoint kNowhere(0, 0);
    const struct
    {
        const char* name;
        Action action;
        const CPoint& target;
        UINT nKeyBeforeMove, nKeyAfterMove;
        bool bFloating;
        UINT nDockBarID;
        bool bFollowsMouse;  // floats with its top left moved as the mouse moved
    } steps[] = {
        { "a drag into the pane floats the bar", kDrag, kOverPane, 0, 0, true, AFX_IDW_DOCKBAR_FLOAT, true },
        { "a drag onto the top edge docks it", kDrag, kOverTopEdge, 0, 0, false, AFX_IDW_DOCKBAR_TOP, false },
        { "Ctrl keeps it floating over the edge", kDrag, kOverTopEdge, VK_CONTROL, 0, true, AFX_IDW_DOCKBAR_FLOAT,
          true },
        { "a double click docks it where it docked", kDoubleClick, kNowhere, 0, 0, false, AFX_IDW_DOCKBAR_TOP,
          false },
        { "a double click floats it where it floated", kDoubleClick, kNowhere, 0, 0, true, AFX_IDW_DOCKBAR_FLOAT,
          false },
        { "Escape cancels: it stays floating", kDrag, kOverTopEdge, 0, VK_ESCAPE, true, AFX_IDW_DOCKBAR_FLOAT,
          false },
        { "a drag onto the left edge docks it upright", kDrag, kOverLeftEdge, 0, 0, false, AFX_IDW_DOCKBAR_LEFT,
          false },
    };

    // The outline of the first drag is pictured from inside the loop.
    ScreenSnapshot snapshot;
    ASSERT_TRUE(snapshot.CreateEx(0, AfxRegisterWndClass(0), NULL, WS_POPUP, 0, 0, 1, 1, NULL, NULL));
    snapshot.m_rect = CRect(kOverPane - CSize(100, 60), CSize(200, 120));
    HDC hScreen = ::GetDC(NULL);
    Picture before = Picture::OfDC(hScreen, snapshot.m_rect.left, snapshot.m_rect.top, 200, 120);
    ::ReleaseDC(NULL, hScreen);

    CPoint floatedAt(-1, -1);
    for (const auto& step : steps)
    {
        SCOPED_TRACE(step.name);
        CRect rectBefore;
        bar.GetWindowRect(&rectBefore);
        CPoint start;
        if (step.action == kDrag)
            start = DragBar(bar, step.target, step.nKeyBeforeMove, step.nKeyAfterMove,
                            &step == &steps[0] ? snapshot.m_hWnd : NULL);
        else
            bar.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(2, 2));
        AfxIdleUpdateFrames();
        EXPECT_EQ(step.bFloating, !!bar.IsFloating());
        EXPECT_EQ(step.nDockBarID, DockBarID(bar));
        CRect rectAfter;
        bar.GetWindowRect(&rectAfter);
        if (step.bFollowsMouse)
            EXPECT_EQ(rectBefore.TopLeft() + (step.target - start), rectAfter.TopLeft());
        if (step.bFloating && step.action == kDrag && step.bFollowsMouse)
            floatedAt = rectAfter.TopLeft();
        if (step.action == kDoubleClick && step.bFloating)
            EXPECT_EQ(floatedAt, rectAfter.TopLeft()) << "floats again where it last floated";
        EXPECT_TRUE(::GetCapture() == NULL) << "the loop lets the mouse go";
    }
    EXPECT_EQ((UINT)AFX_IDW_DOCKBAR_LEFT, bar.m_pDockContext->m_uMRUDockID);

    // Wine draws the outline on the desktop DC over the frame windows.
    EXPECT_GT(DifferingPixels(before, snapshot.m_picture), 0) << "the floating outline shows during the drag";
    EXPECT_NE("", snapshot.m_picture.SavePng("dock_drag_outline"));
    snapshot.DestroyWindow();
    pFrame->DestroyWindow();
}

// A floating dynamic bar whose area stays the same: the width asked for
// gives the height.
class WrappingBar : public SolidBar
{
public:
    static const int kArea = 120 * 40;
    WrappingBar() : SolidBar(CSize(120, 40), kLeftFill), m_size(120, 40) {}
    CSize CalcDynamicLayout(int nLength, DWORD nMode) override
    {
        if (nLength <= 0)
            return m_size;
        CSize size = (nMode & LM_LENGTHY) ? CSize(kArea / nLength, nLength) : CSize(nLength, kArea / nLength);
        if (nMode & LM_COMMIT)
            m_size = size;
        return size;
    }
    CSize m_size;
};

TEST(DockDragTest, StretchingAFloatingDynamicBarGivesItTheLengthAsked)
{
    CFrameWnd* pFrame = MakeFrame();
    pFrame->EnableDocking(CBRS_ALIGN_ANY);
    WrappingBar bar;
    ASSERT_TRUE(bar.Create(pFrame, TEXT("Wrapping"), CBRS_TOP | CBRS_SIZE_DYNAMIC, kFloatingBarID));
    bar.EnableDocking(CBRS_ALIGN_ANY);
    CRect frameRect;
    pFrame->GetWindowRect(&frameRect);
    pFrame->FloatControlBar(&bar, frameRect.TopLeft() + CSize(100, 100));

    static const struct
    {
        int nHitTest;
        CSize move;
        CSize size;
    } cases[] = {
        { HTRIGHT, CSize(40, 0), CSize(160, WrappingBar::kArea / 160) },  // wider and lower
        { HTLEFT, CSize(80, 0), CSize(80, WrappingBar::kArea / 80) },     // the left edge in: narrower
        { HTBOTTOM, CSize(0, -20), CSize(WrappingBar::kArea / 40, 40) },  // the height asked for
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.nHitTest);
        CRect before;
        bar.GetWindowRect(&before);
        CPoint start = before.CenterPoint();
        CPoint end = start + c.move;
        bar.ScreenToClient(&end);
        bar.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(end.x, end.y));
        bar.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(end.x, end.y));
        bar.m_pDockContext->StartResize(c.nHitTest, start);
        CRect after;
        bar.GetWindowRect(&after);
        EXPECT_EQ(c.size, after.Size());
        EXPECT_TRUE(bar.IsFloating());
        // The edges opposite the dragged one stay.
        if (c.nHitTest == HTLEFT)
            EXPECT_EQ(before.right, after.right);
        else
            EXPECT_EQ(before.TopLeft(), after.TopLeft());
    }
    pFrame->DestroyWindow();
}

// ---------------------------------------------------------------- state

// Where each bar of a frame is: dock bar, entry, visibility and place.
struct BarPlace
{
    UINT nDockBarID;
    int nEntry;
    bool bVisible;
    CRect rect;
    bool operator==(const BarPlace& o) const
    {
        return nDockBarID == o.nDockBarID && nEntry == o.nEntry && bVisible == o.bVisible && rect == o.rect;
    }
};

std::map<UINT, BarPlace> Layout(const std::vector<CControlBar*>& bars)
{
    std::map<UINT, BarPlace> places;
    for (CControlBar* pBar : bars)
    {
        BarPlace place = { DockBarID(*pBar), pBar->m_pDockBar ? pBar->m_pDockBar->FindBar(pBar) : -1,
                           !!pBar->IsVisible(), CRect() };
        pBar->GetWindowRect(&place.rect);
        places[(UINT)pBar->GetDlgCtrlID()] = place;
    }
    return places;
}

// Every docked bar stands once in its own dock bar and in no other.
void ExpectConsistent(CFrameWnd* pFrame, const std::vector<CControlBar*>& bars)
{
    std::vector<CDockBar*> dockBars;
    for (POSITION pos = pFrame->m_listControlBars.GetHeadPosition(); pos != NULL;)
    {
        CControlBar* pBar = (CControlBar*)pFrame->m_listControlBars.GetNext(pos);
        if (pBar->IsKindOf(RUNTIME_CLASS(CDockBar)))
            dockBars.push_back((CDockBar*)pBar);
    }
    for (CControlBar* pBar : bars)
    {
        int nFound = 0;
        for (CDockBar* pDockBar : dockBars)
        {
            for (int i = 0; i < (int)pDockBar->m_arrBars.GetSize(); ++i)
                nFound += pDockBar->m_arrBars[i] == pBar;
            if (pDockBar->FindBar(pBar) > 0)
                ASSERT_EQ(pDockBar, pBar->m_pDockBar);
        }
        ASSERT_EQ(pBar->m_pDockBar != NULL ? 1 : 0, nFound) << pBar->GetDlgCtrlID();
    }
}

// A frame with two bars in the top dock bar, one on the left and one floating.
struct DockedFrame
{
    CFrameWnd* pFrame = MakeFrame();
    SolidBar top{ kTopBarSize, kTopFill }, second{ kTopBarSize, kTopFill };
    SolidBar left{ kLeftBarSize, kLeftFill }, floating{ kLeftBarSize, kLeftFill };
    std::vector<CControlBar*> Bars() { return { &top, &second, &left, &floating }; }

    DockedFrame()
    {
        pFrame->EnableDocking(CBRS_ALIGN_ANY);
        CreateDocked(pFrame, top, TEXT("Top"), CBRS_TOP, kTopBarID, CBRS_ALIGN_ANY);
        CreateDocked(pFrame, second, TEXT("Second"), CBRS_TOP, kSecondTopBarID, CBRS_ALIGN_ANY);
        CreateDocked(pFrame, left, TEXT("Left"), CBRS_LEFT, kLeftBarID, CBRS_ALIGN_LEFT);
        left.EnableDocking(CBRS_ALIGN_ANY);
        CreateDocked(pFrame, floating, TEXT("Floating"), CBRS_TOP, kFloatingBarID, CBRS_ALIGN_ANY);
        CRect frameRect;
        pFrame->GetWindowRect(&frameRect);
        pFrame->FloatControlBar(&floating, frameRect.TopLeft() + CSize(kClientWidth + 40, 30));
        pFrame->RecalcLayout();
    }
    ~DockedFrame() { pFrame->DestroyWindow(); }
    // Moves every bar somewhere else.
    void Scramble()
    {
        CRect frameRect;
        pFrame->GetWindowRect(&frameRect);
        pFrame->FloatControlBar(&top, frameRect.TopLeft() + CSize(60, 200));
        pFrame->DockControlBar(&floating, AFX_IDW_DOCKBAR_RIGHT);
        pFrame->DockControlBar(&second, AFX_IDW_DOCKBAR_BOTTOM);
        pFrame->ShowControlBar(&left, FALSE, FALSE);
        pFrame->RecalcLayout();
    }
};

HKEY OpenProfileSection(LPCTSTR lpszSection)
{
    CString path;
    path.Format(TEXT("Software\\%s\\%s\\%s"), kCompany, AfxGetApp()->m_pszProfileName, lpszSection);
    HKEY hKey = NULL;
    ::RegOpenKeyEx(HKEY_CURRENT_USER, path, 0, KEY_READ, &hKey);
    return hKey;
}

DWORD ReadProfileDword(LPCTSTR lpszSection, LPCTSTR lpszEntry)
{
    HKEY hKey = OpenProfileSection(lpszSection);
    DWORD dwValue = (DWORD)-1, dwSize = sizeof(dwValue);
    if (hKey != NULL)
    {
        ::RegQueryValueEx(hKey, lpszEntry, NULL, NULL, (LPBYTE)&dwValue, &dwSize);
        ::RegCloseKey(hKey);
    }
    return dwValue;
}

TEST(DockStateTest, SavedLayoutComesBackAfterTheBarsWereMoved)
{
    AfxGetApp()->SetRegistryKey(kCompany);
    DockedFrame frame;
    auto saved = Layout(frame.Bars());
    frame.pFrame->SaveBarState(kRoundTripProfile);

    // Four bars, and the top, left and floating dock bars: empty ones are left out.
    const DWORD kSavedRecords = 7;
    EXPECT_EQ(kSavedRecords, ReadProfileDword(TEXT("DockRoundTrip-Summary"), TEXT("Bars")));
    EXPECT_EQ((DWORD)::GetSystemMetrics(SM_CXSCREEN),
              ReadProfileDword(TEXT("DockRoundTrip-Summary"), TEXT("ScreenCX")));

    frame.Scramble();
    ASSERT_FALSE(saved == Layout(frame.Bars()));
    ASSERT_TRUE(frame.pFrame->LoadBarState(kRoundTripProfile));
    AfxIdleUpdateFrames();
    EXPECT_TRUE(saved == Layout(frame.Bars()));
    ExpectConsistent(frame.pFrame, frame.Bars());

    // Saved again hidden, the bar keeps no stale "Visible" once shown again.
    frame.pFrame->ShowControlBar(&frame.left, FALSE, FALSE);
    frame.pFrame->SaveBarState(kRoundTripProfile);
    frame.pFrame->ShowControlBar(&frame.left, TRUE, FALSE);
    frame.pFrame->SaveBarState(kRoundTripProfile);
    frame.pFrame->ShowControlBar(&frame.left, FALSE, FALSE);
    ASSERT_TRUE(frame.pFrame->LoadBarState(kRoundTripProfile));
    EXPECT_TRUE(frame.left.IsWindowVisible());
}

TEST(DockStateTest, ProfilesThatDoNotFitTheFrameAreRefusedWhole)
{
    CWinApp* pApp = AfxGetApp();
    pApp->SetRegistryKey(kCompany);
    const CString kSummary = TEXT("DockFaults-Summary");
    const CString kTopDockBar = TEXT("DockFaults-Bar0");  // the top dock bar: made first
    const CString kTopBar = TEXT("DockFaults-Bar2");      // after the top and left dock bars
    const int kUnknownBarID = 0x7777;
    const int kSideTheFrameLacks = 0xE820;
    const struct
    {
        const char* name;
        const CString& section;
        LPCTSTR entry;
        int value;
    } faults[] = {
        { "more bars than sections", kSummary, TEXT("Bars"), 8 },
        { "a count past any array", kSummary, TEXT("Bars"), 100000 },
        { "a negative count", kSummary, TEXT("Bars"), -3 },
        { "no screen size to scale from", kSummary, TEXT("ScreenCX"), 0 },
        { "a dock bar holding an unknown bar", kTopDockBar, TEXT("Bar#1"), kUnknownBarID },
        { "a dock bar holding a dock bar", kTopDockBar, TEXT("Bar#1"), AFX_IDW_DOCKBAR_LEFT },
        { "an entry past the placeholder bit", kTopDockBar, TEXT("Bar#1"), 0x30000 | kTopBarID },
        { "a bar count past its entries", kTopDockBar, TEXT("Bars"), 70000 },
        { "a record of a side the frame lacks", kTopDockBar, TEXT("BarID"), kSideTheFrameLacks },
        { "a bar docked last on a side the frame lacks", kTopBar, TEXT("MRUDockID"), kSideTheFrameLacks },
    };
    for (const auto& fault : faults)
    {
        SCOPED_TRACE(fault.name);
        DockedFrame frame;
        frame.pFrame->SaveBarState(kFaultsProfile);
        ASSERT_EQ((int)kTopBarID, (int)pApp->GetProfileInt(kTopBar, TEXT("BarID"), 0));
        pApp->WriteProfileInt(fault.section, fault.entry, fault.value);
        frame.Scramble();
        auto live = Layout(frame.Bars());
        EXPECT_FALSE(frame.pFrame->LoadBarState(kFaultsProfile));
        EXPECT_TRUE(live == Layout(frame.Bars())) << "the live layout stays";
    }
}

// Byte offsets of the fields a mutation aims at are not needed: the
// mutations change bytes, words and lengths at random places.
std::vector<BYTE> Archived(CDockState& state)
{
    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        state.Serialize(ar);
        ar.Close();
    }
    std::vector<BYTE> bytes((size_t)file.GetLength());
    file.SeekToBegin();
    file.Read(bytes.data(), (UINT)bytes.size());
    return bytes;
}

// FALSE when loading throws; the state is then empty.
bool LoadArchived(CDockState& state, std::vector<BYTE>& bytes)
{
    CMemFile file(bytes.data(), (UINT)bytes.size());
    CArchive ar(&file, CArchive::load);
    try
    {
        state.Serialize(ar);
        return true;
    }
    catch (CException* e)
    {
        e->Delete();
        EXPECT_EQ(0, state.m_arrBarInfo.GetSize()) << "a failed load leaves nothing behind";
        return false;
    }
}

TEST(DockStateTest, MutatedArchivesLoadWholeOrAreRefusedWithTheLayoutKept)
{
    DockedFrame frame;
    CDockState original;
    frame.pFrame->GetDockState(original);
    std::vector<BYTE> bytes = Archived(original);
    {
        CDockState copy;
        ASSERT_TRUE(LoadArchived(copy, bytes));
        ASSERT_TRUE(frame.pFrame->SetDockState(copy)) << "the unchanged archive applies";
    }
    auto baseline = Layout(frame.Bars());

    const int kMutations = 2000;
    const DWORD kTelling[] = { 0, 1, 0xFFFF, 0x10000, 0x1FFFF, 0x7FFFFFFF, 0xFFFFFFFF, AFX_IDW_DOCKBAR_TOP,
                               AFX_IDW_DOCKBAR_FLOAT, kTopBarID, kLeftBarID | 0x10000 };
    std::mt19937 random(20240601);
    int nLoadFailed = 0, nRefused = 0, nApplied = 0;
    for (int i = 0; i < kMutations; ++i)
    {
        SCOPED_TRACE(i);
        std::vector<BYTE> mutated = bytes;
        size_t nAt = random() % mutated.size();
        switch (random() % 4)
        {
        case 0:  // one byte
            mutated[nAt] = (BYTE)random();
            break;
        case 1:  // a 32-bit value with a telling content
        {
            DWORD value = kTelling[random() % (sizeof(kTelling) / sizeof(kTelling[0]))];
            nAt = std::min(nAt, mutated.size() - sizeof(value));
            memcpy(&mutated[nAt], &value, sizeof(value));
            break;
        }
        case 2:  // cut short
            mutated.resize(nAt);
            break;
        default:  // bytes inserted
            mutated.insert(mutated.begin() + nAt, 1 + random() % 8, (BYTE)random());
            break;
        }
        CDockState state;
        if (mutated.empty() || !LoadArchived(state, mutated))
        {
            ++nLoadFailed;
            continue;
        }
        if (!frame.pFrame->SetDockState(state))
        {
            ++nRefused;
            ASSERT_TRUE(baseline == Layout(frame.Bars())) << "a refused state leaves the layout";
            continue;
        }
        ++nApplied;
        ExpectConsistent(frame.pFrame, frame.Bars());
        CDockState again;
        ASSERT_TRUE(LoadArchived(again, bytes));
        ASSERT_TRUE(frame.pFrame->SetDockState(again));
        AfxIdleUpdateFrames();
        ASSERT_TRUE(baseline == Layout(frame.Bars())) << "the original state brings the layout back";
    }
    EXPECT_GT(nLoadFailed, 0);
    EXPECT_GT(nRefused, 0);
    EXPECT_GT(nApplied, 0);
    std::cout << nLoadFailed << " failed to load, " << nRefused << " refused, " << nApplied << " applied\n";
}

TEST(DockStateTest, MainWindowWithDockedAndFloatingBarsIsPictured)
{
    DockedFrame frame;
    AfxIdleUpdateFrames();
    CFrameWnd* pMini = frame.floating.GetParentFrame();
    ASSERT_TRUE(pMini != NULL && pMini != frame.pFrame);
    for (CWnd* pWnd : { (CWnd*)frame.pFrame, (CWnd*)pMini })
        pWnd->RedrawWindow(NULL, NULL, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
    CRect frameRect, miniRect, both;
    frame.pFrame->GetWindowRect(&frameRect);
    pMini->GetWindowRect(&miniRect);
    both.UnionRect(&frameRect, &miniRect);
    // Each window from its own DC: windows of tests running beside this
    // one may cover the screen.
    CClientDC screen(NULL);
    CDC memory;
    memory.CreateCompatibleDC(&screen);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&screen, both.Width(), both.Height());
    CBitmap* pOld = memory.SelectObject(&bitmap);
    memory.FillSolidRect(0, 0, both.Width(), both.Height(), ::GetSysColor(COLOR_DESKTOP));
    for (CWnd* pWnd : { (CWnd*)frame.pFrame, (CWnd*)pMini })
    {
        CRect rect;
        pWnd->GetWindowRect(&rect);
        CWindowDC windowDC(pWnd);
        memory.BitBlt(rect.left - both.left, rect.top - both.top, rect.Width(), rect.Height(), &windowDC, 0, 0,
                      SRCCOPY);
    }
    Picture picture = Picture::OfDC(memory.m_hDC, 0, 0, both.Width(), both.Height());
    memory.SelectObject(pOld);
    ASSERT_FALSE(picture.Empty());
    for (CControlBar* pBar : frame.Bars())
    {
        CRect rect;
        pBar->GetWindowRect(&rect);
        CPoint inside = rect.CenterPoint() - both.TopLeft();
        EXPECT_EQ(pBar == &frame.left || pBar == &frame.floating ? kLeftFill : kTopFill,
                  picture.At(inside.x, inside.y))
            << pBar->GetDlgCtrlID();
    }
    EXPECT_NE("", picture.SavePng("dock_docked_and_floating"));
}
}  // namespace
