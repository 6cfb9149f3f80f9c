// Windows: handle maps and temporaries, creation hooks, subclassing, the
// message sequence of a window's life, and the application's profile and
// message boxes.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "recorder.h"

#include <string>
#include <vector>

namespace
{
TEST(HandleMapTest, DestroyedWindowGivesAFreshTemporaryNeverAFreedObject)
{
    HWND hWnd = CreateWindow(TEXT("STATIC"), TEXT("plain"), WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_NE((HWND)NULL, hWnd);
    CWnd* pFirst = CWnd::FromHandle(hWnd);
    EXPECT_EQ(pFirst, CWnd::FromHandle(hWnd)) << "one temporary per handle until idle";
    EXPECT_EQ(NULL, CWnd::FromHandlePermanent(hWnd));

    DestroyWindow(hWnd);
    EXPECT_EQ((HWND)NULL, pFirst->m_hWnd) << "the old temporary no longer names the window";
    CWnd* pAfter = CWnd::FromHandle(hWnd);
    EXPECT_NE(pFirst, pAfter);
    EXPECT_EQ(hWnd, pAfter->m_hWnd);
    AfxDeleteTempMaps();
}

TEST(HandleMapTest, LockedTemporariesSurviveIdleUntilTheLastUnlock)
{
    CWnd* pDesktop = CWnd::GetDesktopWindow();
    AfxLockTempMaps();
    AfxDeleteTempMaps();
    EXPECT_EQ(pDesktop, CWnd::GetDesktopWindow());
    EXPECT_TRUE(AfxUnlockTempMaps());
    CWnd* pAgain = CWnd::GetDesktopWindow();
    EXPECT_EQ(GetDesktopWindow(), pAgain->m_hWnd);
    AfxDeleteTempMaps();
}

class SelfDeletingWnd : public CWnd
{
public:
    explicit SelfDeletingWnd(std::vector<std::string>* pLog) : m_pLog(pLog) {}
    BOOL PreCreateWindow(CREATESTRUCT& cs) override
    {
        m_pLog->push_back("PreCreateWindow");
        cs.style |= WS_CAPTION;
        return CWnd::PreCreateWindow(cs);
    }
    void PostNcDestroy() override
    {
        m_pLog->push_back("PostNcDestroy");
        delete this;
    }
    std::vector<std::string>* m_pLog;
};

TEST(WindowLifeTest, CreateAndDestroyRunTheHooksAndTheMessagesInOrder)
{
    std::vector<std::string> log;
    MessageRecorder recorder;
    auto* pWnd = new RecordedWindow<SelfDeletingWnd>(&log);
    ASSERT_TRUE(pWnd->CreateEx(0, NULL, TEXT("life"), WS_POPUP, 0, 0, 50, 50, NULL, NULL));
    HWND hWnd = pWnd->m_hWnd;
    EXPECT_TRUE(pWnd->GetStyle() & WS_CAPTION) << "PreCreateWindow changed the style";
    EXPECT_EQ(pWnd, CWnd::FromHandlePermanent(hWnd));
    pWnd->DestroyWindow();  // deletes the object
    EXPECT_EQ(NULL, CWnd::FromHandlePermanent(hWnd));

    const std::vector<std::string> expectedHooks = { "PreCreateWindow", "PostNcDestroy" };
    EXPECT_EQ(expectedHooks, log);
    const std::vector<std::string> expectedMessages = { "WM_CREATE", "WM_DESTROY" };
    EXPECT_EQ(expectedMessages, recorder.Names(hWnd));
}

class ClickCounter : public CWnd
{
public:
    int m_nClicks = 0;
    BOOL m_bEatKeys = FALSE;
    afx_msg void OnLButtonUp(UINT, CPoint) { ++m_nClicks; Default(); }
    BOOL PreTranslateMessage(MSG* pMsg) override
    {
        return m_bEatKeys && pMsg->message == WM_KEYDOWN;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(ClickCounter, CWnd)
    ON_WM_LBUTTONUP()
END_MESSAGE_MAP()

TEST(SubclassTest, AnExistingControlIsRoutedThroughTheObjectAndReleased)
{
    CWnd parent;
    ASSERT_TRUE(parent.CreateEx(0, NULL, TEXT("parent"), WS_POPUP, 0, 0, 100, 100, NULL, NULL));
    HWND hButton = CreateWindow(TEXT("BUTTON"), TEXT("b"), WS_CHILD | WS_VISIBLE, 0, 0, 30, 20, parent.m_hWnd,
                                (HMENU)7, NULL, NULL);
    ClickCounter button;
    ASSERT_TRUE(button.SubclassDlgItem(7, &parent));
    SendMessage(hButton, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(1, button.m_nClicks);
    EXPECT_EQ(hButton, button.UnsubclassWindow());
    SendMessage(hButton, WM_LBUTTONUP, 0, 0);
    EXPECT_EQ(1, button.m_nClicks) << "no message reaches the object after UnsubclassWindow";
    parent.DestroyWindow();
}

TEST(PreTranslateTest, TheWalkOffersAMessageToEachParentUntilOneTakesIt)
{
    ClickCounter outer;
    ASSERT_TRUE(outer.CreateEx(0, NULL, TEXT("outer"), WS_POPUP, 0, 0, 100, 100, NULL, NULL));
    CWnd inner;
    ASSERT_TRUE(inner.Create(NULL, TEXT("inner"), WS_VISIBLE, CRect(0, 0, 50, 50), &outer, 1));
    MSG msg = { inner.m_hWnd, WM_KEYDOWN, VK_F5, 0 };
    EXPECT_FALSE(CWnd::WalkPreTranslateTree(outer.m_hWnd, &msg));
    outer.m_bEatKeys = TRUE;
    EXPECT_TRUE(CWnd::WalkPreTranslateTree(outer.m_hWnd, &msg));
    outer.DestroyWindow();
}

TEST(ProfileTest, ValuesRoundTripThroughTheRegistryProfile)
{
    CWinApp* pApp = AfxGetApp();
    ASSERT_NE(nullptr, pApp);
    pApp->SetRegistryKey(TEXT("Orvane Tests"));
    const char* const kSection = "Profile Test";
    BYTE blob[] = { 0, 1, 0xFE, 0x7F };

    EXPECT_EQ(17u, pApp->GetProfileInt(kSection, "Missing", 17));
    EXPECT_STREQ("fallback", pApp->GetProfileString(kSection, "Missing", "fallback"));
    ASSERT_TRUE(pApp->WriteProfileInt(kSection, "Count", -3));
    ASSERT_TRUE(pApp->WriteProfileString(kSection, "Name", "Vantorel"));
    ASSERT_TRUE(pApp->WriteProfileBinary(kSection, "Blob", blob, sizeof(blob)));
    EXPECT_EQ(-3, (int)pApp->GetProfileInt(kSection, "Count", 0));
    EXPECT_STREQ("Vantorel", pApp->GetProfileString(kSection, "Name"));
    LPBYTE pData = NULL;
    UINT nBytes = 0;
    ASSERT_TRUE(pApp->GetProfileBinary(kSection, "Blob", &pData, &nBytes));
    ASSERT_EQ(sizeof(blob), nBytes);
    EXPECT_EQ(0, memcmp(blob, pData, nBytes));
    delete[] pData;
    EXPECT_TRUE(pApp->WriteProfileString(kSection, NULL, NULL)) << "removing the section";
    EXPECT_EQ(5u, pApp->GetProfileInt(kSection, "Count", 5));
}

std::string g_lastBoxText;
int AnswerYes(LPCTSTR lpszText, UINT)
{
    g_lastBoxText = lpszText;
    return IDYES;
}

TEST(MessageBoxTest, TheSeamAnswersInsteadOfAWindow)
{
    AFX_MESSAGEBOX_HANDLER pfnOld = AfxSetMessageBoxHandler(AnswerYes);
    EXPECT_EQ(IDYES, AfxMessageBox("Continue?", MB_YESNO));
    EXPECT_EQ("Continue?", g_lastBoxText);
    AfxSetMessageBoxHandler(pfnOld);
}

}  // namespace
