#include "display/stretch_bitmap.h"

#include "display/bitmap_handles.h"
#include "platform/memory_dc.h"

int StretchBitmap(CDC* destination, int x, int y, int width, int height, HBITMAP bitmap, int sourceX,
                  int sourceY, int sourceWidth, int sourceHeight) {
    if (sourceWidth == 0 || sourceHeight == 0) {
        const BITMAP info = GetBitmapInfo(bitmap);
        if (sourceWidth == 0) sourceWidth = info.bmWidth;
        if (sourceHeight == 0) sourceHeight = info.bmHeight;
    }
    CDC* memory = CreateCompatibleDC(destination);
    HBITMAP previousBitmap = SelectObject(memory, bitmap);
    const int previousMode = SetStretchBltMode(destination, COLORONCOLOR);
    const BOOL copied = StretchBlt(destination, x, y, width != 0 ? width : sourceWidth,
                                   height != 0 ? height : sourceHeight, memory, sourceX, sourceY, sourceWidth,
                                   sourceHeight, SRCCOPY);
    if (previousMode != 0) {
        SetStretchBltMode(destination, previousMode);
    }
    SelectObject(memory, previousBitmap);
    DeleteDC(memory);
    return copied;
}
