// A device context: what a frame paints into during one paint or background erase.
#pragma once

#include <cstdint>

#include "platform/window_defs.h"

struct PaintTarget;  // the backend's drawing surface, valid for one paint only
struct BitmapObject;

class CDC {
public:
    // A window's context during one paint, or (null target) a memory context that draws into the
    // bitmap selected into it (see memory_dc.h).
    explicit CDC(PaintTarget* target) : m_target(target) {}

    // Fills rect with the colour 0x00RRGGBB.
    void FillSolidRect(const CRect& rect, std::uint32_t color);

    PaintTarget* GetPaintTarget() const { return m_target; }

    // The bitmap a memory context draws into; the previous one is returned.
    BitmapObject* SelectBitmap(BitmapObject* bitmap) {
        BitmapObject* previous = m_bitmap;
        m_bitmap = bitmap;
        return previous;
    }
    BitmapObject* GetSelectedBitmap() const { return m_bitmap; }

    // How StretchBlt scales into this context (Win32 stretch modes); the previous one is returned.
    int SetStretchMode(int mode) {
        int previous = m_stretchMode;
        m_stretchMode = mode;
        return previous;
    }
    int GetStretchMode() const { return m_stretchMode; }

private:
    PaintTarget* m_target;
    BitmapObject* m_bitmap = nullptr;
    int m_stretchMode = 1;  // BLACKONWHITE, the Win32 default
};
