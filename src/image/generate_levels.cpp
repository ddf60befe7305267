// Level generation: each level from the one above, by a 2x2 box filter or by point sampling.

#include "image/color_math.h"
#include "image/surface.h"
#include "image/texture.h"

namespace {

void reduceLevel(const Surface& source, const Surface& destination, bool boxFilter) {
    // Surface::getPixel reads 0 outside the source, and putPixel skips positions outside the destination.
    for (int j = 0; j < source.height(); j += 2) {
        for (int k = 0; k < source.width(); k += 2) {
            Color32 value = source.getPixel(k, j);
            if (boxFilter) {
                // Mean of the two truncated pair means, truncated; alpha averaged like the colours.
                const Color32 top = lerpColor(value, source.getPixel(k + 1, j), 128);
                const Color32 bottom = lerpColor(source.getPixel(k, j + 1), source.getPixel(k + 1, j + 1), 128);
                value = lerpColor(top, bottom, 128);
            }
            destination.putPixel(k / 2, j / 2, value);
        }
    }
}

}  // namespace

void Texture::generateLevels(bool boxFilter) {
    for (int i = 1; i < kMaxTextureLevels; ++i) {
        Image* above = getLevel(i - 1);
        Image* level = getLevel(i);
        if (above == nullptr || level == nullptr) {
            return;
        }
        Surface source;
        Surface destination;
        source.attachImage(above);
        destination.attachImage(level);
        reduceLevel(source, destination, boxFilter);
        source.detach();
        destination.detach();
    }
}
