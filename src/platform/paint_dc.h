// A device context: what a frame paints into during one paint or background erase.
#pragma once

#include <cstdint>

#include "platform/window_defs.h"

struct PaintTarget;  // the backend's drawing surface, valid for one paint only

class CDC {
public:
    explicit CDC(PaintTarget* target) : m_target(target) {}

    // Fills rect with the colour 0x00RRGGBB.
    void FillSolidRect(const CRect& rect, std::uint32_t color);

    PaintTarget* GetPaintTarget() const { return m_target; }

private:
    PaintTarget* m_target;
};
