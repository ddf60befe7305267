#include "platform/win32/windows_api.h"

#include "platform/paint_dc.h"
#include "platform/win32/paint_target.h"

void CDC::FillSolidRect(const CRect& rect, std::uint32_t color) {
    if (m_target == nullptr || m_target->hdc == nullptr) {
        return;
    }
    // 0x00RRGGBB to Windows' COLORREF, 0x00BBGGRR.
    const COLORREF colorRef = RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
    HBRUSH brush = CreateSolidBrush(colorRef);
    if (brush == nullptr) {
        return;
    }
    const RECT area{rect.left, rect.top, rect.right, rect.bottom};
    FillRect(m_target->hdc, &area, brush);
    DeleteObject(brush);
}
