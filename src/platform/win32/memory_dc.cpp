// The Win32 backend's copies (common/memory_dc.cpp checked and clipped them): GDI's StretchBlt
// between real device contexts, the source's DIB section selected into a memory context for the
// call.

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <cmath>

#include "platform/win32/bitmap_object.h"
#include "platform/win32/paint_target.h"

namespace {
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

BOOL DrawStretchCopy(CDC* destination, const StretchCopy& stretch) {
    const RECT target{LONG(std::lround(stretch.targetLeft)), LONG(std::lround(stretch.targetTop)),
                      LONG(std::lround(stretch.targetRight)), LONG(std::lround(stretch.targetBottom))};
    if (target.right <= target.left || target.bottom <= target.top) {
        return TRUE;  // shrinks to nothing
    }

    SelectedSection from(stretch.source->section);
    if (from.Get() == nullptr) {
        return FALSE;
    }
    const auto copy = [&](HDC to) {
        const int previousMode = ::SetStretchBltMode(to, NativeStretchMode(destination->GetStretchMode()));
        POINT previousOrigin{};
        SetBrushOrgEx(to, 0, 0, &previousOrigin);  // HALFTONE wants it set after the mode
        const BOOL copied = ::StretchBlt(to, target.left, target.top, target.right - target.left,
                                         target.bottom - target.top, from.Get(), stretch.left, stretch.top,
                                         stretch.width, stretch.height, 0x00CC0020ul /* SRCCOPY */);
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
