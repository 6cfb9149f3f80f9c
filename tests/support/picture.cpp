#include "picture.h"

#include <cstdio>

namespace
{
unsigned long Crc32(const unsigned char* p, size_t n, unsigned long crc = 0)
{
    static unsigned long table[256];
    static bool ready = false;
    if (!ready)
    {
        for (unsigned long i = 0; i < 256; ++i)
        {
            unsigned long c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320UL ^ (c >> 1) : c >> 1;
            table[i] = c;
        }
        ready = true;
    }
    crc ^= 0xFFFFFFFFUL;
    for (size_t i = 0; i < n; ++i)
        crc = table[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFUL;
}

void Put32(std::vector<unsigned char>& out, unsigned long v)
{
    out.push_back((unsigned char)(v >> 24));
    out.push_back((unsigned char)(v >> 16));
    out.push_back((unsigned char)(v >> 8));
    out.push_back((unsigned char)v);
}

void Chunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& data)
{
    Put32(out, (unsigned long)data.size());
    std::vector<unsigned char> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    Put32(out, Crc32(body.data(), body.size()));
}

std::string PicturesFolder()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, MAX_PATH);
    std::string folder(path);
    // <build>/tests/<area>/program.exe -> <build>/pictures
    for (int up = 0; up < 3; ++up)
    {
        size_t slash = folder.find_last_of("\\/");
        if (slash == std::string::npos)
            break;
        folder.resize(slash);
    }
    folder += "\\pictures";
    CreateDirectoryA(folder.c_str(), NULL);
    return folder;
}
}  // namespace

std::vector<unsigned char> EncodePng(int width, int height, const std::vector<DWORD>& pixels)
{
    // Raw scanlines: filter byte 0, then RGB.
    std::vector<unsigned char> raw;
    raw.reserve((size_t)height * (width * 3 + 1));
    for (int y = 0; y < height; ++y)
    {
        raw.push_back(0);
        for (int x = 0; x < width; ++x)
        {
            DWORD p = pixels[(size_t)y * width + x];
            raw.push_back((unsigned char)(p >> 16));
            raw.push_back((unsigned char)(p >> 8));
            raw.push_back((unsigned char)p);
        }
    }
    // zlib stream of stored blocks (at most 65535 bytes each) and Adler-32.
    std::vector<unsigned char> z = { 0x78, 0x01 };
    size_t pos = 0;
    do
    {
        size_t n = raw.size() - pos < 65535 ? raw.size() - pos : 65535;
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back((unsigned char)(n & 0xFF));
        z.push_back((unsigned char)(n >> 8));
        z.push_back((unsigned char)(~n & 0xFF));
        z.push_back((unsigned char)((~n >> 8) & 0xFF));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    unsigned long a = 1, b = 0;
    for (unsigned char c : raw)
    {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);

    std::vector<unsigned char> png = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    std::vector<unsigned char> header;
    Put32(header, (unsigned long)width);
    Put32(header, (unsigned long)height);
    header.insert(header.end(), { 8, 2, 0, 0, 0 });  // 8-bit RGB
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});
    return png;
}

Picture Picture::OfDC(HDC hDC, int x, int y, int width, int height)
{
    Picture picture;
    if (width <= 0 || height <= 0)
        return picture;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;  // top-down
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = NULL;
    HBITMAP hDib = CreateDIBSection(hDC, &bmi, DIB_RGB_COLORS, &bits, NULL, 0);
    HDC hMem = CreateCompatibleDC(hDC);
    HGDIOBJ hOld = SelectObject(hMem, hDib);
    BitBlt(hMem, 0, 0, width, height, hDC, x, y, SRCCOPY);
    GdiFlush();
    picture.m_width = width;
    picture.m_height = height;
    const DWORD* p = static_cast<const DWORD*>(bits);
    picture.m_pixels.assign(p, p + (size_t)width * height);
    SelectObject(hMem, hOld);
    DeleteDC(hMem);
    DeleteObject(hDib);
    return picture;
}

Picture Picture::OfWindow(HWND hWnd)
{
    RECT rc;
    GetWindowRect(hWnd, &rc);
    int width = rc.right - rc.left, height = rc.bottom - rc.top;
    if (IsWindowVisible(hWnd))
    {
        RedrawWindow(hWnd, NULL, NULL, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
        HDC hDC = GetWindowDC(hWnd);
        Picture picture = OfDC(hDC, 0, 0, width, height);
        ReleaseDC(hWnd, hDC);
        return picture;
    }
    // Hidden: the window paints itself into a memory DC.
    HDC hScreen = GetDC(NULL);
    HDC hMem = CreateCompatibleDC(hScreen);
    HBITMAP hBitmap = CreateCompatibleBitmap(hScreen, width, height);
    HGDIOBJ hOld = SelectObject(hMem, hBitmap);
    SendMessage(hWnd, WM_PRINT, (WPARAM)hMem, PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
    Picture picture = OfDC(hMem, 0, 0, width, height);
    SelectObject(hMem, hOld);
    DeleteObject(hBitmap);
    DeleteDC(hMem);
    ReleaseDC(NULL, hScreen);
    return picture;
}

COLORREF Picture::At(int x, int y) const
{
    DWORD p = m_pixels[(size_t)y * m_width + x];
    return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

std::string Picture::SavePng(const std::string& name) const
{
    std::string path = PicturesFolder() + "\\" + name + ".png";
    std::vector<unsigned char> png = EncodePng(m_width, m_height, m_pixels);
    FILE* f = fopen(path.c_str(), "wb");
    if (f == NULL)
        return "";
    bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
    ok = fclose(f) == 0 && ok;
    return ok ? path : "";
}
