// Memory contexts are the framework's bookkeeping (the selected bitmap and the stretch mode); the
// copy itself is GDI's StretchBlt between real device contexts, the source's DIB section
// selected into a memory context for the call.

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <cmath>

#include "platform/memory_dc.h"
#include "platform/win32/bitmap_object.h"
#include "platform/win32/paint_target.h"

namespace {
// The bitmap selected into a context, if it is still alive.
BitmapObject* LiveSelection(const CDC* dc) {
    BitmapObject* bitmap = dc->GetSelectedBitmap();
    return IsLiveBitmap(bitmap) ? bitmap : nullptr;
}

bool IsCopyable(const BITMAP& info) { return info.bmBitsPixel == 24 || info.bmBitsPixel == 32; }

// A GDI memory context with a bitmap selected for one copy; deselects and frees on the way out.
class SelectedSection {
public:
    explicit SelectedSection(Win32HBITMAP section) : m_dc(CreateCompatibleDC(static_cast<HDC>(nullptr))) {
        if (m_dc != nullptr) m_previous = SelectObject(m_dc, static_cast<HGDIOBJ>(section));
    }
    ~SelectedSection() {
        if (m_dc == nullptr) return;
        SelectObject(m_dc, m_previous);
        DeleteDC(m_dc);
    }
    SelectedSection(const SelectedSection&) = delete;
    SelectedSection& operator=(const SelectedSection&) = delete;
    HDC Get() const { return m_previous != nullptr ? m_dc : nullptr; }

private:
    HDC m_dc;
    HGDIOBJ m_previous = nullptr;
};

// GDI keeps the alpha byte of a 32-bit copy; the header promises opaque colours.
void MakeOpaque(const BITMAP& info, const RECT& area) {
    const LONG left = std::max<LONG>(area.left, 0), right = std::min<LONG>(area.right, info.bmWidth);
    const LONG top = std::max<LONG>(area.top, 0), bottom = std::min<LONG>(area.bottom, info.bmHeight);
    auto* bits = static_cast<std::uint8_t*>(info.bmBits);
    for (LONG row = top; row < bottom; ++row) {
        // Picture row `row` is stored row bmHeight - 1 - row of a bottom-up bitmap.
        auto* pixel = reinterpret_cast<std::uint32_t*>(bits + std::size_t(info.bmHeight - 1 - row) * info.bmWidthBytes);
        for (LONG column = left; column < right; ++column) pixel[column] |= 0xFF000000u;
    }
}

int NativeStretchMode(int mode) { return mode == HALFTONE ? 4 : mode == COLORONCOLOR ? 3 : 1; }
}  // namespace

CDC* CreateCompatibleDC(CDC*) { return new CDC(nullptr); }

BOOL DeleteDC(CDC* dc) {
    if (dc == nullptr) {
        return FALSE;
    }
    delete dc;
    return TRUE;
}

HBITMAP SelectObject(CDC* dc, HBITMAP bitmap) { return dc != nullptr ? dc->SelectBitmap(bitmap) : nullptr; }

int SetStretchBltMode(CDC* dc, int mode) {
    if (dc == nullptr || mode < BLACKONWHITE || mode > HALFTONE) {
        return 0;
    }
    return dc->SetStretchMode(mode);
}

BOOL StretchBlt(CDC* destination, int x, int y, int width, int height, CDC* source, int sourceX, int sourceY,
                int sourceWidth, int sourceHeight, DWORD rop) {
    if (destination == nullptr || source == nullptr || rop != SRCCOPY || width <= 0 || height <= 0 ||
        sourceWidth <= 0 || sourceHeight <= 0) {
        return FALSE;
    }
    const BitmapObject* sourceBitmap = LiveSelection(source);
    if (sourceBitmap == nullptr || !IsCopyable(sourceBitmap->info)) {
        return FALSE;
    }
    const BITMAP& info = sourceBitmap->info;
    // Clip the source rectangle to the bitmap, in 64 bits so that no sum overflows; GDI itself
    // would stretch what lies outside as well.
    const long long left = std::max<long long>(sourceX, 0);
    const long long top = std::max<long long>(sourceY, 0);
    const long long right = std::min<long long>((long long)sourceX + sourceWidth, info.bmWidth);
    const long long bottom = std::min<long long>((long long)sourceY + sourceHeight, info.bmHeight);
    if (left >= right || top >= bottom) {
        return FALSE;
    }
    const double scaleX = double(width) / sourceWidth, scaleY = double(height) / sourceHeight;
    const RECT target{LONG(std::lround(x + (left - sourceX) * scaleX)), LONG(std::lround(y + (top - sourceY) * scaleY)),
                      LONG(std::lround(x + (right - sourceX) * scaleX)),
                      LONG(std::lround(y + (bottom - sourceY) * scaleY))};
    if (target.right <= target.left || target.bottom <= target.top) {
        return TRUE;  // shrinks to nothing
    }

    SelectedSection from(sourceBitmap->section);
    if (from.Get() == nullptr) {
        return FALSE;
    }
    const auto copy = [&](HDC to) {
        const int previousMode = ::SetStretchBltMode(to, NativeStretchMode(destination->GetStretchMode()));
        POINT previousOrigin{};
        SetBrushOrgEx(to, 0, 0, &previousOrigin);  // HALFTONE wants it set after the mode
        const BOOL copied = ::StretchBlt(to, target.left, target.top, target.right - target.left,
                                         target.bottom - target.top, from.Get(), int(left), int(top),
                                         int(right - left), int(bottom - top), 0x00CC0020ul /* SRCCOPY */);
        SetBrushOrgEx(to, previousOrigin.x, previousOrigin.y, nullptr);
        if (previousMode != 0) ::SetStretchBltMode(to, previousMode);
        return copied != 0;
    };

    if (PaintTarget* window = destination->GetPaintTarget()) {
        return window->hdc != nullptr && copy(window->hdc) ? TRUE : FALSE;
    }
    BitmapObject* targetBitmap = LiveSelection(destination);
    if (targetBitmap == nullptr || targetBitmap->info.bmBitsPixel != 32) {
        return FALSE;
    }
    SelectedSection to(targetBitmap->section);
    if (to.Get() == nullptr || !copy(to.Get())) {
        return FALSE;
    }
    GdiFlush();  // the pixels are read directly from here on
    MakeOpaque(targetBitmap->info, target);
    return TRUE;
}
