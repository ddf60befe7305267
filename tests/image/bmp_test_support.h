#pragma once
// Shared pieces of the BMP tests: owning handles, bitmap files built field by field in memory,
// and little-endian field access on written bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "image/bmp_file.h"
#include "image/image.h"

namespace bmp_test {

using Bytes = std::vector<std::uint8_t>;

struct ImageDeleter {
    void operator()(Image* image) const { destroyImage(image); }
};
using ImagePtr = std::unique_ptr<Image, ImageDeleter>;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline std::uint32_t le32(const Bytes& bytes, std::size_t at) {
    return std::uint32_t(bytes.at(at)) | std::uint32_t(bytes.at(at + 1)) << 8 |
           std::uint32_t(bytes.at(at + 2)) << 16 | std::uint32_t(bytes.at(at + 3)) << 24;
}

inline std::uint16_t le16(const Bytes& bytes, std::size_t at) {
    return std::uint16_t(bytes.at(at) | bytes.at(at + 1) << 8);
}

inline void putLe32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes.at(at + i) = std::uint8_t(value >> (8 * i));
}

inline void putLe16(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes.at(at) = std::uint8_t(value);
    bytes.at(at + 1) = std::uint8_t(value >> 8);
}

// A bitmap file described field by field; build() lays out the headers, the palette bytes right
// after the 40-byte information header (or after infoSize bytes when paletteAfterInfoSize), and
// the pixel bytes at pixelOffset (54 + palette when 0). An information header shorter than 40
// bytes holds only the fields that fit in infoSize bytes, as OS/2 2.x writes them.
struct BmpFile {
    std::uint16_t type = 0x4D42;
    std::uint32_t infoSize = 40;
    std::int32_t width = 1;
    std::int32_t height = 1;
    std::uint16_t bitCount = 24;
    std::uint32_t compression = 0;
    std::uint32_t pixelOffset = 0;
    bool paletteAfterInfoSize = false;
    Bytes palette;  // raw bytes, 4 per entry
    Bytes pixels;   // raw rows as stored, padding included

    Bytes build() const {
        const std::size_t paletteStart = paletteAfterInfoSize ? 14 + infoSize : 54;
        const std::size_t offset = pixelOffset != 0 ? pixelOffset : paletteStart + palette.size();
        Bytes header(54, 0);
        putLe16(header, 0, type);
        putLe32(header, 10, std::uint32_t(offset));
        putLe32(header, 14, infoSize);
        putLe32(header, 18, std::uint32_t(width));
        putLe32(header, 22, std::uint32_t(height));
        putLe16(header, 26, 1);
        putLe16(header, 28, bitCount);
        putLe32(header, 30, compression);
        const std::size_t headerBytes = infoSize >= 40 ? 54 : 14 + std::max<std::size_t>(infoSize, 4);
        Bytes bytes(std::max({headerBytes, paletteStart + palette.size(), offset}), 0);
        std::copy(header.begin(), header.begin() + std::ptrdiff_t(headerBytes), bytes.begin());
        std::copy(palette.begin(), palette.end(), bytes.begin() + std::ptrdiff_t(paletteStart));
        bytes.resize(offset);
        bytes.insert(bytes.end(), pixels.begin(), pixels.end());
        putLe32(bytes, 2, std::uint32_t(bytes.size()));
        return bytes;
    }
};

// fwrite wants a real pointer even for no bytes; an empty vector may have none.
inline void writeAll(std::FILE* file, const Bytes& bytes) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), file);
}

// A temporary file holding prefix junk bytes then bytes, positioned where bytes begin.
inline FilePtr fileWith(const Bytes& bytes, std::size_t prefix = 0) {
    // Windows' tmpfile takes its names from one sequence that test programs running side by side
    // share: a name another program holds fails, and the next call tries the next name.
    FilePtr file(std::tmpfile());
    for (int attempt = 0; !file && attempt < 100; ++attempt) file.reset(std::tmpfile());
    if (!file) return file;
    const Bytes junk(prefix, 0xA5);
    writeAll(file.get(), junk);
    writeAll(file.get(), bytes);
    std::fflush(file.get());
    std::fseek(file.get(), long(prefix), SEEK_SET);
    return file;
}

inline ImagePtr readBytes(const Bytes& bytes, std::size_t prefix = 0) {
    FilePtr file = fileWith(bytes, prefix);
    return ImagePtr(file ? readBmp(file.get(), kBmpReadMode) : nullptr);
}

// Every byte of the file, from its very beginning.
inline Bytes contentsOf(std::FILE* file) {
    Bytes bytes;
    std::fflush(file);
    std::fseek(file, 0, SEEK_END);
    bytes.resize(std::size_t(std::ftell(file)));
    std::fseek(file, 0, SEEK_SET);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    return bytes;
}

inline Bytes contentsOf(const char* path) {
    FilePtr file(std::fopen(path, "rb"));
    return file ? contentsOf(file.get()) : Bytes{};
}

// Row r of an image as bytes (its packed pixels, not the pitch).
inline Bytes imageRow(const Image* image, int row, std::size_t length) {
    const std::uint8_t* first = image->pixels + std::ptrdiff_t(row) * image->pitch;
    return Bytes(first, first + length);
}

}  // namespace bmp_test
