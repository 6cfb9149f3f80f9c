// Pictures of windows for GUI tests: a window's true image (frame included)
// copied from its window DC into a 32-bit top-down DIB section, pixel reads,
// and PNG files under build/<arch>/pictures/ (the folder of the test program's
// parent build folder), written here without any outside library.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class Picture
{
public:
    // Copies hWnd as it is on the screen (BitBlt from GetWindowDC). A
    // hidden window is asked to paint itself with WM_PRINT into memory.
    static Picture OfWindow(HWND hWnd);
    // Copies a rectangle of a DC.
    static Picture OfDC(HDC hDC, int x, int y, int width, int height);

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Empty() const { return m_pixels.empty(); }
    // The pixel as a COLORREF (0x00BBGGRR).
    COLORREF At(int x, int y) const;
    // Writes <name>.png into the pictures folder; returns the path, or "" on failure.
    std::string SavePng(const std::string& name) const;

private:
    int m_width = 0;
    int m_height = 0;
    std::vector<DWORD> m_pixels;  // 0x00RRGGBB, top row first
};

// Encodes 8-bit RGB rows as a PNG (stored deflate blocks).
std::vector<unsigned char> EncodePng(int width, int height, const std::vector<DWORD>& pixels);
