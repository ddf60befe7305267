#include "display/bitmap_handles.h"

BITMAP GetBitmapInfo(HBITMAP bitmap) {
    BITMAP info{};  // GetObject writes nothing for a handle it refuses
    GetObject(bitmap, sizeof info, &info);
    return info;
}

int DibRowPitch(HBITMAP bitmap) {
    const BITMAP info = GetBitmapInfo(bitmap);
    return ((info.bmWidth * info.bmBitsPixel + 7) / 8 + 3) & ~3;
}

HBITMAP CreateDib(int width, int height, int bitsPerPixel) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // positive: bottom row stored first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = WORD(bitsPerPixel);
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
}

HBITMAP DeleteBitmapHandle(HBITMAP bitmap) {
    if (bitmap != nullptr && DeleteObject(bitmap)) {
        return nullptr;
    }
    return bitmap;
}
