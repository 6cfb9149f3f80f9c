// Painting: ternary raster operations over known pixels match their truth
// tables, and the solid fill and 3-D frame helpers paint where they say.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "picture.h"

namespace
{
// The result of a ternary raster operation, bit by bit: the operation's
// high word is a truth table indexed by (pattern, source, destination).
COLORREF TruthTable(DWORD dwRop, COLORREF pattern, COLORREF source, COLORREF dest)
{
    BYTE table = (BYTE)(dwRop >> 16);
    COLORREF result = 0;
    for (int bit = 0; bit < 24; ++bit)
    {
        int p = (pattern >> bit) & 1, s = (source >> bit) & 1, d = (dest >> bit) & 1;
        if ((table >> ((p << 2) | (s << 1) | d)) & 1)
            result |= 1u << bit;
    }
    return result;
}

const COLORREF kPattern = RGB(0xF0, 0xCC, 0xAA);
const COLORREF kSource = RGB(0xFF, 0x0F, 0x33);
const COLORREF kDest = RGB(0x3C, 0x99, 0x55);
const DWORD kDisabledImageRop = 0x00B8074A;  // PSDPxax: pattern where the source is black
const DWORD kMaskedPaintRop = 0x00E20746;    // DSPDxax: source where it is set, else destination

TEST(RasterOperationTest, EachCodeGivesItsTruthTableOverKnownPixels)
{
    struct
    {
        const char* name;
        DWORD rop;
    } const codes[] = {
        { "SRCCOPY", SRCCOPY },     { "SRCPAINT", SRCPAINT },   { "SRCAND", SRCAND },
        { "SRCINVERT", SRCINVERT }, { "SRCERASE", SRCERASE },   { "NOTSRCCOPY", NOTSRCCOPY },
        { "MERGEPAINT", MERGEPAINT }, { "MERGECOPY", MERGECOPY }, { "PATCOPY", PATCOPY },
        { "PATPAINT", PATPAINT },   { "PATINVERT", PATINVERT }, { "DSTINVERT", DSTINVERT },
        { "PSDPxax", kDisabledImageRop }, { "DSPDxax", kMaskedPaintRop },
    };
    CDC screen;
    screen.Attach(::GetDC(NULL));
    CDC dest, source;
    ASSERT_TRUE(dest.CreateCompatibleDC(&screen));
    ASSERT_TRUE(source.CreateCompatibleDC(&screen));
    CBitmap destBitmap, sourceBitmap;
    ASSERT_TRUE(destBitmap.CreateCompatibleBitmap(&screen, 4, 4));
    ASSERT_TRUE(sourceBitmap.CreateCompatibleBitmap(&screen, 4, 4));
    CBitmap* pOldDest = dest.SelectObject(&destBitmap);
    CBitmap* pOldSource = source.SelectObject(&sourceBitmap);
    source.FillSolidRect(0, 0, 4, 4, kSource);
    CBrush brush(kPattern);
    CBrush* pOldBrush = dest.SelectObject(&brush);

    for (const auto& code : codes)
    {
        dest.FillSolidRect(0, 0, 4, 4, kDest);
        dest.BitBlt(0, 0, 4, 4, &source, 0, 0, code.rop);
        EXPECT_EQ(TruthTable(code.rop, kPattern, kSource, kDest), dest.GetPixel(1, 1)) << code.name;
    }

    dest.SelectObject(pOldBrush);
    dest.SelectObject(pOldDest);
    source.SelectObject(pOldSource);
    ::ReleaseDC(NULL, screen.Detach());
}

TEST(ShapeHelperTest, SolidFillsAndThreeDFramesPaintTheirEdges)
{
    const COLORREF kFill = RGB(10, 20, 30), kLight = RGB(250, 250, 250), kDark = RGB(60, 60, 60);
    CDC screen;
    screen.Attach(::GetDC(NULL));
    CDC dc;
    ASSERT_TRUE(dc.CreateCompatibleDC(&screen));
    CBitmap bitmap;
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(&screen, 20, 20));
    CBitmap* pOld = dc.SelectObject(&bitmap);
    dc.FillSolidRect(CRect(0, 0, 20, 20), kFill);
    dc.Draw3dRect(CRect(2, 2, 12, 12), kLight, kDark);

    struct
    {
        int x, y;
        COLORREF colour;
    } const pixels[] = { { 2, 2, kLight }, { 10, 2, kLight }, { 2, 10, kLight }, { 11, 2, kDark },
                         { 11, 11, kDark }, { 2, 11, kDark }, { 6, 6, kFill }, { 15, 15, kFill } };
    for (const auto& p : pixels)
        EXPECT_EQ(p.colour, dc.GetPixel(p.x, p.y)) << p.x << "," << p.y;
    dc.SelectObject(pOld);
    ::ReleaseDC(NULL, screen.Detach());
}

TEST(PngTest, AnImageEncodesToAValidHeaderAndStoredBlocks)
{
    std::vector<DWORD> pixels(3 * 2, 0x00FF0000);
    std::vector<unsigned char> png = EncodePng(3, 2, pixels);
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(0x89, png[0]);
    EXPECT_EQ('I', png[12]);
    EXPECT_EQ(3, png[19]);  // width, big-endian
    EXPECT_EQ(2, png[23]);  // height
}
}  // namespace
