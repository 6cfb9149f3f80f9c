// Frames and solid bars for the frame, docking and dock state tests: a
// frame with a known client size and bars of one size and colour.
#pragma once

#include <framework/framework.h>
#include <gtest/gtest.h>

const int kClientWidth = 400;
const int kClientHeight = 300;
const CSize kTopBarSize(120, 28);
const CSize kLeftBarSize(50, 90);
const COLORREF kTopFill = RGB(0, 128, 255);
const COLORREF kLeftFill = RGB(0, 160, 64);
const UINT kTopBarID = 0xE810;
const UINT kSecondTopBarID = 0xE811;
const UINT kLeftBarID = 0xE812;

// A bar of a fixed size painted in one colour.
class SolidBar : public CControlBar
{
public:
    SolidBar(CSize size, COLORREF fill) : m_size(size), m_fill(fill) {}
    BOOL Create(CWnd* pParent, LPCTSTR lpszTitle, DWORD dwStyle, UINT nID)
    {
        return CWnd::Create(NULL, lpszTitle, WS_CHILD | WS_VISIBLE | dwStyle, CRect(0, 0, 0, 0), pParent, nID);
    }
    CSize CalcFixedLayout(BOOL, BOOL) override { return m_size; }
    void DoPaint(CDC* pDC) override
    {
        CRect rect;
        GetClientRect(&rect);
        pDC->FillSolidRect(&rect, m_fill);
    }

private:
    CSize m_size;
    COLORREF m_fill;
};

// A frame with a given client size at a fixed place; deletes itself with its window.
template <class TFrame = CFrameWnd>
TFrame* MakeFrame()
{
    TFrame* pFrame = new TFrame;
    EXPECT_TRUE(pFrame->Create(NULL, TEXT("Frame test"), WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(20, 20, 100, 100)));
    CRect rect(0, 0, kClientWidth, kClientHeight);
    pFrame->CalcWindowRect(&rect);
    pFrame->SetWindowPos(NULL, 0, 0, rect.Width(), rect.Height(), SWP_NOMOVE | SWP_NOZORDER);
    return pFrame;
}

// Creates the bar in pFrame, allowed on dwSides, and docks it there.
inline void CreateDocked(CFrameWnd* pFrame, SolidBar& bar, LPCTSTR lpszTitle, DWORD dwStyle, UINT nID, DWORD dwSides)
{
    ASSERT_TRUE(bar.Create(pFrame, lpszTitle, dwStyle, nID));
    bar.EnableDocking(dwSides);
    pFrame->DockControlBar(&bar);
}

// Handles this thread's messages until none has come for 200 ms (2 s at the
// most). Under load a new window's last paints, and the display's late events
// that repaint it, come after it is shown; a picture of the screen taken
// before they are done can be painted over by them.
inline void SettleWindows()
{
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < 2000)
    {
        MSG msg;
        bool bHandled = false;
        while (::PeekMessage(&msg, NULL, 0, 0, PM_REMOVE))
        {
            ::TranslateMessage(&msg);
            ::DispatchMessage(&msg);
            bHandled = true;
        }
        if (!bHandled && ::MsgWaitForMultipleObjects(0, NULL, FALSE, 200, QS_ALLINPUT) == WAIT_TIMEOUT)
            return;
    }
}

inline CRect RectInFrame(CWnd* pWnd, CWnd* pFrame)
{
    CRect rect;
    pWnd->GetWindowRect(&rect);
    pFrame->ScreenToClient(&rect);
    return rect;
}
