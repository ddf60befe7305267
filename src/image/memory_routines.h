#pragma once
// Plain memory routines used by the device and the copies.

#include <cstddef>
#include <cstdint>

// Fills count bytes with value; nothing for an absent buffer.
void fillBytes(void* destination, std::uint8_t value, std::size_t count);
// Copies count bytes, or zeroes them when the source is absent; nothing for an absent destination.
void copyBytes(void* destination, const void* source, std::size_t count);
// Copies rowCount rows of rowBytes bytes between buffers with their own strides (which may be
// negative for bottom-up rows), zero-filling when the source is absent.
void copyRows(void* destination, std::ptrdiff_t destinationStride, const void* source, std::ptrdiff_t sourceStride,
              std::size_t rowBytes, int rowCount);
