#include "platform/paint_dc.h"

#include <QColor>
#include <QPainter>

#include "platform/qt/paint_target.h"

void CDC::FillSolidRect(const CRect& rect, std::uint32_t color) {
    if (m_target == nullptr || m_target->painter == nullptr) {
        return;
    }
    m_target->painter->fillRect(rect.left, rect.top, rect.Width(), rect.Height(),
                                QColor::fromRgb(color & 0xFFFFFFu));
}
