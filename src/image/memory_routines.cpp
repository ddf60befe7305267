#include "image/memory_routines.h"

#include <cstring>

void fillBytes(void* destination, std::uint8_t value, std::size_t count) {
    if (destination != nullptr && count > 0) {
        std::memset(destination, value, count);
    }
}

void copyBytes(void* destination, const void* source, std::size_t count) {
    if (destination == nullptr || count == 0) {
        return;
    }
    if (source == nullptr) {
        std::memset(destination, 0, count);
    } else {
        std::memmove(destination, source, count);
    }
}

void copyRows(void* destination, std::ptrdiff_t destinationStride, const void* source, std::ptrdiff_t sourceStride,
              std::size_t rowBytes, int rowCount) {
    if (destination == nullptr || rowBytes == 0 || rowCount <= 0) {
        return;
    }
    const auto packed = static_cast<std::ptrdiff_t>(rowBytes);
    if (destinationStride == packed && (source == nullptr || sourceStride == packed)) {
        // Both sides tightly packed: one block.
        copyBytes(destination, source, rowBytes * static_cast<std::size_t>(rowCount));
        return;
    }
    auto* to = static_cast<std::uint8_t*>(destination);
    const auto* from = static_cast<const std::uint8_t*>(source);
    for (int row = 0; row < rowCount; ++row) {
        copyBytes(to + row * destinationStride, from != nullptr ? from + row * sourceStride : nullptr, rowBytes);
    }
}
