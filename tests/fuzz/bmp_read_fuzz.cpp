// libFuzzer target for the BMP reader: any bytes are a file. Whatever the reader accepts must
// be a consistent image whose every pixel byte is addressable, and must survive a write and a
// second read with its rows reversed and its bytes unchanged.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/bmp_file.h"
#include "image/image.h"

namespace {

// Round trips stay in memory and small enough to keep the fuzzer fast.
constexpr std::size_t kMaxRoundTripBytes = std::size_t{1} << 20;
// Headers the reader accepts may ask for up to a gigabyte of zeroed pixels; mapping and unmapping
// that for every input would cut the fuzzer to a few hundred inputs a second, so inputs that
// legitimately ask for more than this are left out. Sizes the reader must refuse still run.
constexpr std::int64_t kMaxFuzzedPixelBytes = std::int64_t{4} << 20;
constexpr std::int64_t kReaderPixelLimit = std::int64_t{1} << 28;

std::int64_t le32(const std::uint8_t* p) {
    return std::int32_t(std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                        std::uint32_t(p[3]) << 24);
}

bool asksForHugeImage(const std::uint8_t* data, std::size_t size) {
    // The header as the reader sees it: the information header's size field says how many of its
    // first 40 bytes are there (OS/2 2.x's short forms hold 16 or more), and the rest count as zero.
    if (size < 30 || data[0] != 'B' || data[1] != 'M') return false;
    const std::uint32_t infoSize = std::uint32_t(le32(data + 14));
    if (infoSize < 16) return false;
    std::uint8_t header[54] = {};
    std::memcpy(header, data, std::min<std::size_t>({size, 54, 14 + std::size_t(std::min<std::uint32_t>(infoSize, 40))}));
    if (le32(header + 30) != 0) return false;
    const std::int64_t width = le32(header + 18), height = le32(header + 22);
    const int bits = header[28] | header[29] << 8;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (width <= 0 || height <= 0 || width * height > kReaderPixelLimit) return false;
    return (width * bits + 7) / 8 * height > kMaxFuzzedPixelBytes;
}

void check(bool condition) {
    if (!condition) __builtin_trap();
}

void checkRoundTrip(const Image* image) {
    const int bits = bitsPerPixel(image->format);
    const std::size_t fileRow = (std::size_t(image->width) * std::size_t(bits) + 31) / 32 * 4;
    const std::size_t colours = bits <= 8 ? std::size_t{1} << bits : 0;
    const std::size_t fileBytes = 54 + 4 * colours + fileRow * std::size_t(image->height);
    // One spare byte: a memory stream written to its end puts a terminating zero over the last byte.
    std::vector<unsigned char> buffer(fileBytes + 1);
    std::FILE* file = fmemopen(buffer.data(), buffer.size(), "w+b");
    if (file == nullptr) return;
    check(writeBmp(file, image));
    check(std::ftell(file) == long(fileBytes));
    std::fseek(file, 0, SEEK_SET);
    Image* back = readBmp(file, kBmpReadMode);
    std::fclose(file);
    check(back != nullptr);
    check(back->width == image->width && back->height == image->height && back->format == image->format);
    check(std::memcmp(back->palette, image->palette, sizeof image->palette) == 0);
    const std::size_t pitch = std::size_t(image->pitch);
    for (int row = 0; row < image->height; ++row) {
        const std::uint8_t* written = image->pixels + pitch * std::size_t(image->height - 1 - row);
        check(std::memcmp(back->pixels + pitch * std::size_t(row), written, pitch) == 0);
    }
    destroyImage(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (asksForHugeImage(data, size)) return 0;
    // fmemopen only reads through the pointer in "rb" mode.
    std::FILE* file = size != 0 ? fmemopen(const_cast<std::uint8_t*>(data), size, "rb") : std::tmpfile();
    if (file == nullptr) return 0;
    Image* image = readBmp(file, kBmpReadMode);
    std::fclose(file);
    if (image == nullptr) return 0;

    check(image->width > 0 && image->height > 0);
    check(image->pitch == packedRowBytes(image->width, image->format) && image->pitch > 0);
    const std::size_t pixelBytes = std::size_t(image->pitch) * std::size_t(image->height);
    // Both ends of the pixels must belong to the allocation (AddressSanitizer checks).
    volatile std::uint8_t ends = image->pixels[0] ^ image->pixels[pixelBytes - 1];
    (void)ends;
    // Palette formats get opaque entries for all their colours.
    const int bits = bitsPerPixel(image->format);
    for (int i = 0; bits <= 8 && i < (1 << bits); ++i) check(image->palette[i] >> 24 == 0xFF);
    if (pixelBytes <= kMaxRoundTripBytes) checkRoundTrip(image);
    destroyImage(image);
    return 0;
}
