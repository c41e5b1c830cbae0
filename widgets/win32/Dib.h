// The device-independent bitmap the gauge's pixels travel in: 32 bits a pixel,
// rows from the top, 0x00RRGGBB as TGaugeBitmap holds them.
#pragma once

#include <windows.h>

inline BITMAPINFO TopDownRgb32(int width, int height)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}
