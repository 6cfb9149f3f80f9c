// CRectTracker: what a point hits on the drawn tracker, and the tracking
// loop under posted mouse input. Picture: build/<arch>/pictures/tracker.png.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "picture.h"

namespace
{
const CRect kRect(40, 40, 140, 100);
const CRect kInverted(140, 100, 40, 40);
const UINT kOutside = CRectTracker::resizeOutside | CRectTracker::solidLine;
const UINT kInside = CRectTracker::resizeInside | CRectTracker::solidLine;
const UINT kHatched = CRectTracker::hatchedBorder;

TEST(RectTrackerTest, HitTestNamesThePartUnderThePoint)
{
    // Default handles are 4 pixels; outside ones ring the rectangle.
    static const struct
    {
        UINT nStyle;
        CRect rect;
        CPoint point;
        int nHit;
        int nNormalized;  // the handle of the rectangle as stored
    } cases[] = {
        { kOutside, kRect, CPoint(37, 37), CRectTracker::hitTopLeft, CRectTracker::hitTopLeft },
        { kOutside, kRect, CPoint(142, 38), CRectTracker::hitTopRight, CRectTracker::hitTopRight },
        { kOutside, kRect, CPoint(142, 102), CRectTracker::hitBottomRight, CRectTracker::hitBottomRight },
        { kOutside, kRect, CPoint(38, 102), CRectTracker::hitBottomLeft, CRectTracker::hitBottomLeft },
        { kOutside, kRect, CPoint(90, 38), CRectTracker::hitTop, CRectTracker::hitTop },
        { kOutside, kRect, CPoint(142, 70), CRectTracker::hitRight, CRectTracker::hitRight },
        { kOutside, kRect, CPoint(90, 102), CRectTracker::hitBottom, CRectTracker::hitBottom },
        { kOutside, kRect, CPoint(38, 70), CRectTracker::hitLeft, CRectTracker::hitLeft },
        { kOutside, kRect, CPoint(90, 70), CRectTracker::hitMiddle, CRectTracker::hitMiddle },
        { kOutside, kRect, CPoint(60, 38), CRectTracker::hitNothing, CRectTracker::hitNothing },  // between handles
        { kOutside, kRect, CPoint(10, 10), CRectTracker::hitNothing, CRectTracker::hitNothing },
        { kInside, kRect, CPoint(41, 41), CRectTracker::hitTopLeft, CRectTracker::hitTopLeft },
        { kInside, kRect, CPoint(90, 41), CRectTracker::hitTop, CRectTracker::hitTop },
        { kInside, kRect, CPoint(38, 70), CRectTracker::hitNothing, CRectTracker::hitNothing },
        { kHatched, kRect, CPoint(60, 38), CRectTracker::hitMiddle, CRectTracker::hitMiddle },  // the border
        { kOutside, kInverted, CPoint(37, 37), CRectTracker::hitTopLeft, CRectTracker::hitBottomRight },
        { kOutside, kInverted, CPoint(142, 70), CRectTracker::hitRight, CRectTracker::hitLeft },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(testing::Message() << c.point.x << "," << c.point.y << " style " << c.nStyle);
        CRectTracker tracker(&c.rect, c.nStyle);
        int nHit = tracker.HitTest(c.point);
        EXPECT_EQ(c.nHit, nHit);
        EXPECT_EQ(c.nNormalized, tracker.NormalizeHit(nHit));
    }
}

TEST(RectTrackerTest, TrackingMovesOrResizesUntilTheButtonIsReleased)
{
    CWnd wnd;
    ASSERT_TRUE(wnd.CreateEx(0, AfxRegisterWndClass(0, NULL, (HBRUSH)(COLOR_WINDOW + 1)), TEXT("Tracker"),
                             WS_POPUP | WS_VISIBLE, 100, 100, 240, 160, NULL, NULL));
    enum Kind { kTrack, kRubberBand };
    const CSize kMinimum(8, 8);
    static const struct
    {
        const char* name;
        Kind kind;
        CPoint from, to;
        UINT nCancelKey;
        BOOL bResult;
        CRect rect;
    } cases[] = {
        { "the middle moves it", kTrack, CPoint(90, 70), CPoint(100, 75), 0, TRUE, CRect(50, 45, 150, 105) },
        { "a handle resizes down to the minimum", kTrack, CPoint(142, 102), CPoint(45, 45), 0, TRUE,
          CRect(40, 40, 40 + kMinimum.cx, 40 + kMinimum.cy) },
        { "the left handle moves the left edge only", kTrack, CPoint(38, 70), CPoint(18, 10), 0, TRUE,
          CRect(20, 40, 140, 100) },
        { "Escape keeps the rectangle", kTrack, CPoint(90, 70), CPoint(120, 90), VK_ESCAPE, FALSE, kRect },
        { "a press off the tracker does nothing", kTrack, CPoint(5, 5), CPoint(30, 30), 0, FALSE, kRect },
        { "a rubber band spans press and release", kRubberBand, CPoint(10, 10), CPoint(30, 25), 0, TRUE,
          CRect(10, 10, 30, 25) },
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.name);
        CRectTracker tracker(&kRect, kOutside);
        wnd.PostMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(c.to.x, c.to.y));
        if (c.nCancelKey != 0)
            wnd.PostMessage(WM_KEYDOWN, c.nCancelKey, 0);
        wnd.PostMessage(WM_LBUTTONUP, 0, MAKELPARAM(c.to.x, c.to.y));
        BOOL bResult = c.kind == kTrack ? tracker.Track(&wnd, c.from) : tracker.TrackRubberBand(&wnd, c.from);
        MSG msg;
        while (::PeekMessage(&msg, wnd.m_hWnd, 0, 0, PM_REMOVE))
            ;
        EXPECT_EQ(c.bResult, bResult);
        EXPECT_EQ(c.rect, tracker.m_rect);
        EXPECT_TRUE(::GetCapture() == NULL);
    }

    // Drawn into memory: the picture does not depend on what covers the screen.
    const CSize kPictureSize(180, 140);
    const COLORREF kPaper = RGB(255, 255, 255);
    CClientDC screen(NULL);
    CDC memory;
    memory.CreateCompatibleDC(&screen);
    CBitmap bitmap;
    bitmap.CreateCompatibleBitmap(&screen, kPictureSize.cx, kPictureSize.cy);
    CBitmap* pOld = memory.SelectObject(&bitmap);
    memory.FillSolidRect(0, 0, kPictureSize.cx, kPictureSize.cy, kPaper);
    CRectTracker drawn(&kRect, kOutside | CRectTracker::hatchInside);
    drawn.Draw(&memory);
    Picture picture = Picture::OfDC(memory.m_hDC, 0, 0, kPictureSize.cx, kPictureSize.cy);
    memory.SelectObject(pOld);
    EXPECT_EQ(RGB(0, 0, 0), picture.At(38, 38)) << "a corner handle";
    EXPECT_EQ(RGB(0, 0, 0), picture.At(kRect.left, 70)) << "the solid line";
    EXPECT_EQ(kPaper, picture.At(10, 10));
    EXPECT_NE("", picture.SavePng("tracker"));
    wnd.DestroyWindow();
}
}  // namespace
