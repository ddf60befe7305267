#include "image/bmp_file.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

// A file header of 14 bytes, then the information header; every field little-endian. Windows
// writes a 40-byte information header (or a longer V4 or V5 one that begins with the same 40 bytes),
// as Ferrox does; OS/2 2.x writes 16 to 64 bytes with the same fields in the same places, leaving
// fields out from the end.
constexpr int kFileHeaderBytes = 14;
constexpr int kInfoHeaderBytes = 40;
constexpr int kHeaderBytes = kFileHeaderBytes + kInfoHeaderBytes;
// OS/2 2.x's shortest header: size, width, height, planes and bit count. OS/2 1.x's 12-byte header
// (16-bit sizes, 3-byte palette entries) is not read.
constexpr std::uint32_t kShortestInfoHeaderBytes = 16;
constexpr std::uint16_t kBmpType = 0x4D42;  // "BM" read as a little-endian word
constexpr int kMaxPaletteEntries = 256;
// No picture Ferrox shows comes near this; it keeps a hostile header from asking for gigabytes.
constexpr std::int64_t kMaxPixels = std::int64_t{1} << 28;

std::uint16_t getLE16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

std::uint32_t getLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

void putLE16(std::uint8_t* p, std::uint32_t value) {
    p[0] = std::uint8_t(value);
    p[1] = std::uint8_t(value >> 8);
}

void putLE32(std::uint8_t* p, std::uint32_t value) {
    putLE16(p, value);
    putLE16(p + 2, value >> 16);
}

// A stored row is padded with zero bytes to whole 32-bit words.
std::int64_t fileRowBytes(std::int64_t width, int bits) { return (width * bits + 31) / 32 * 4; }

// Only the palette formats (1, 4 and 8 bits) carry a colour table in the file.
int paletteEntriesFor(int bits) { return bits == 1 || bits == 4 || bits == 8 ? 1 << bits : 0; }

bool seekTo(std::FILE* file, std::int64_t position) {
    return position >= 0 && position <= std::numeric_limits<long>::max() &&
           std::fseek(file, long(position), SEEK_SET) == 0;
}

// Bytes from start to the end of the file (the position is left at the end), or -1 when the
// stream cannot tell.
std::int64_t bytesFrom(std::FILE* file, long start) {
    if (std::fseek(file, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(file);
    return end < start ? -1 : end - start;
}

struct BmpHeader {
    std::uint16_t type;
    std::uint32_t pixelOffset;
    std::uint32_t infoSize;
    std::int64_t headerEnd;  // file header plus the information header bytes read (at most 40)
    std::int32_t width;
    std::int32_t height;
    std::uint16_t bitCount;
    std::uint32_t compression;
};

// bytes holds the headers as read, with the fields a short header leaves out zeroed.
BmpHeader parseHeader(const std::uint8_t* bytes, std::int64_t headerEnd) {
    BmpHeader header;
    header.type = getLE16(bytes + 0);
    header.pixelOffset = getLE32(bytes + 10);
    header.infoSize = getLE32(bytes + 14);
    header.headerEnd = headerEnd;
    header.width = std::int32_t(getLE32(bytes + 18));
    header.height = std::int32_t(getLE32(bytes + 22));
    header.bitCount = getLE16(bytes + 28);
    header.compression = getLE32(bytes + 30);
    return header;
}

// Only bottom-up (positive height), uncompressed rows of a known bit count are read; the pixel
// rows must start after the headers read and inside the file.
bool isReadable(const BmpHeader& header, std::int64_t fileBytes) {
    return header.type == kBmpType && header.width > 0 && header.height > 0 && header.compression == 0 &&
           formatFromBitCount(header.bitCount) != UNKNOWN &&
           std::int64_t{header.width} * header.height <= kMaxPixels && header.pixelOffset >= header.headerEnd &&
           header.pixelOffset <= fileBytes;
}

// The colour table (4 bytes an entry) follows the information header: right after a short OS/2
// 2.x header, at byte 54 after a 40-byte one. A bigger header (V4, V5, OS/2 2.x's 64 bytes) moves
// the table when the table then still ends before the pixels; a size field beyond that is not
// trusted and the table stays at 54. Entries the file has no room for before the pixels stay black.
bool readPalette(std::FILE* file, long start, const BmpHeader& header, Color32* palette) {
    const int entries = paletteEntriesFor(header.bitCount);
    std::fill(palette, palette + kMaxPaletteEntries, Color32{0});
    if (entries == 0) return true;

    std::int64_t paletteStart = header.headerEnd;
    const std::int64_t biggerHeaderEnd = std::int64_t{kFileHeaderBytes} + header.infoSize;
    if (header.infoSize > kInfoHeaderBytes && biggerHeaderEnd <= header.pixelOffset) paletteStart = biggerHeaderEnd;
    const std::int64_t present = std::min<std::int64_t>(entries, (header.pixelOffset - paletteStart) / 4);

    std::uint8_t bytes[kMaxPaletteEntries * 4];
    const std::size_t byteCount = std::size_t(present) * 4;
    if (!seekTo(file, start + paletteStart) || std::fread(bytes, 1, byteCount, file) != byteCount) return false;
    for (int i = 0; i < entries; ++i) {
        const Color32 stored = i < present ? getLE32(bytes + 4 * i) : 0;
        palette[i] = stored | 0xFF000000u;  // the fourth byte is reserved in files, not alpha
    }
    return true;
}

// Reads count bytes; on a short read the rest is zeroed so no stale bytes survive.
bool readOrZero(std::FILE* file, std::uint8_t* destination, std::size_t count) {
    const std::size_t got = std::fread(destination, 1, count, file);
    if (got == count) return true;
    std::memset(destination + got, 0, count - got);
    return false;
}

// Rows in file order. Rows after a short read keep the zeroes the image was created with.
void readRows(std::FILE* file, Image* image, std::size_t padding) {
    const std::size_t pitch = std::size_t(image->pitch);
    if (padding == 0) {
        readOrZero(file, image->pixels, pitch * std::size_t(image->height));
        return;
    }
    std::uint8_t skipped[4];
    for (int row = 0; row < image->height; ++row) {
        if (!readOrZero(file, image->pixels + pitch * std::size_t(row), pitch)) return;
        if (std::fread(skipped, 1, padding, file) != padding) return;
    }
}

bool equalsIgnoringCase(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b) {
        const char lowerA = *a >= 'A' && *a <= 'Z' ? char(*a - 'A' + 'a') : *a;
        const char lowerB = *b >= 'A' && *b <= 'Z' ? char(*b - 'A' + 'a') : *b;
        if (lowerA != lowerB) return false;
    }
    return *a == *b;
}

void fillFileHeader(std::uint8_t* bytes, std::uint32_t fileSize, std::uint32_t pixelOffset) {
    std::memset(bytes, 0, kFileHeaderBytes);
    putLE16(bytes + 0, kBmpType);
    putLE32(bytes + 2, fileSize);
    putLE32(bytes + 10, pixelOffset);
}

// Information header followed by the colour table; returns their byte count.
std::size_t fillInfoAndPalette(std::uint8_t* bytes, const Image* image, int bits, std::int64_t imageSize) {
    const int colours = bits <= 8 ? 1 << bits : 0;
    std::memset(bytes, 0, kInfoHeaderBytes);
    putLE32(bytes + 0, kInfoHeaderBytes);
    putLE32(bytes + 4, std::uint32_t(image->width));
    putLE32(bytes + 8, std::uint32_t(image->height));
    putLE16(bytes + 12, 1);  // planes
    putLE16(bytes + 14, std::uint32_t(bits));
    putLE32(bytes + 20, std::uint32_t(imageSize));
    putLE32(bytes + 32, std::uint32_t(colours));
    for (int i = 0; i < colours; ++i) putLE32(bytes + kInfoHeaderBytes + 4 * i, image->palette[i]);
    return kInfoHeaderBytes + 4 * std::size_t(colours);
}

// Width x bits must fit a row, every row must hold its pixels, and the whole file must be
// describable by the 32-bit size fields.
bool isWritable(const Image* image, int bits, std::int64_t storedRowBytes) {
    if (bits == 0 || image->width <= 0 || image->height <= 0 || image->pixels == nullptr) return false;
    const std::int64_t pitch = image->pitch;
    if ((pitch < 0 ? -pitch : pitch) < storedRowBytes) return false;
    const std::int64_t fileBytes =
        kHeaderBytes + 4 * std::int64_t{paletteEntriesFor(bits)} + fileRowBytes(image->width, bits) * image->height;
    return fileBytes <= std::numeric_limits<std::uint32_t>::max();
}

}  // namespace

Image* loadImageFile(const char* fileName) {
    if (fileName == nullptr) return nullptr;
    std::FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) return nullptr;
    Image* image = nullptr;
    const char* extension = std::strrchr(fileName, '.');
    // ".tga" is recognised as an image name, but Ferrox has no reader behind it.
    if (extension != nullptr && equalsIgnoringCase(extension, ".bmp")) image = readBmp(file, kBmpReadMode);
    std::fclose(file);
    return image;
}

Image* readBmp(std::FILE* file, int mode) {
    if (file == nullptr || mode != kBmpReadMode) return nullptr;
    const long start = std::ftell(file);
    if (start < 0) return nullptr;
    const std::int64_t fileBytes = bytesFrom(file, start);
    if (fileBytes < kFileHeaderBytes + std::int64_t{kShortestInfoHeaderBytes} || !seekTo(file, start)) return nullptr;

    // The size field says how much information header there is to read; fields past it stay zero.
    std::uint8_t headerBytes[kHeaderBytes] = {};
    constexpr std::size_t kUpToSize = kFileHeaderBytes + 4;
    if (std::fread(headerBytes, 1, kUpToSize, file) != kUpToSize) return nullptr;
    const std::uint32_t infoSize = getLE32(headerBytes + kFileHeaderBytes);
    if (infoSize < kShortestInfoHeaderBytes) return nullptr;
    const std::size_t infoBytes = std::min<std::uint32_t>(infoSize, kInfoHeaderBytes);
    if (std::fread(headerBytes + kUpToSize, 1, infoBytes - 4, file) != infoBytes - 4) return nullptr;
    const BmpHeader header = parseHeader(headerBytes, kFileHeaderBytes + std::int64_t(infoBytes));
    if (!isReadable(header, fileBytes)) return nullptr;

    Color32 palette[kMaxPaletteEntries];
    if (!readPalette(file, start, header, palette)) return nullptr;
    if (!seekTo(file, start + std::int64_t{header.pixelOffset})) return nullptr;

    const PixelFormat format = formatFromBitCount(header.bitCount);
    Image* image = createImage(header.width, header.height, format, palette, kMaxPaletteEntries);
    if (image == nullptr) return nullptr;
    const std::int64_t padding = fileRowBytes(header.width, header.bitCount) - image->pitch;
    if (padding < 0 || padding > 3) return destroyImage(image);  // an image layout Ferrox never makes
    readRows(file, image, std::size_t(padding));
    return image;
}

bool saveBmpFile(const char* fileName, const Image* image, int /*unused*/) {
    if (fileName == nullptr) return false;
    std::FILE* file = std::fopen(fileName, "w+b");
    if (file == nullptr) return false;
    bool written = writeBmp(file, image);
    if (std::fclose(file) != 0) written = false;
    return written;
}

bool writeBmp(std::FILE* file, const Image* image) {
    if (file == nullptr || image == nullptr) return false;
    const int bits = bitsPerPixel(image->format);
    const std::int64_t storedRowBytes = (std::int64_t{image->width} * bits + 7) / 8;
    if (!isWritable(image, bits, storedRowBytes)) return false;
    const std::int64_t rowBytes = fileRowBytes(image->width, bits);

    std::uint8_t fileHeader[kFileHeaderBytes];
    std::uint8_t infoAndPalette[kInfoHeaderBytes + 4 * kMaxPaletteEntries];
    const std::size_t infoBytes = fillInfoAndPalette(infoAndPalette, image, bits, rowBytes * image->height);
    fillFileHeader(fileHeader, 0, 0);

    const long start = std::ftell(file);
    if (start < 0) return false;
    if (std::fwrite(fileHeader, 1, kFileHeaderBytes, file) != kFileHeaderBytes) return false;
    if (std::fwrite(infoAndPalette, 1, infoBytes, file) != infoBytes) return false;
    const std::uint32_t pixelOffset = std::uint32_t(kFileHeaderBytes + infoBytes);

    // Bottom-up: the image's last row is stored first. Rows are padded with zeroes to whole words.
    static const std::uint8_t zeros[4] = {};
    const std::size_t pixelBytes = std::size_t(storedRowBytes);
    const std::size_t padding = std::size_t(rowBytes - storedRowBytes);
    bool written = true;
    for (std::int64_t row = image->height - 1; row >= 0; --row) {
        const std::uint8_t* pixels = image->pixels + row * image->pitch;
        if (std::fwrite(pixels, 1, pixelBytes, file) != pixelBytes) written = false;
        if (padding != 0 && std::fwrite(zeros, 1, padding, file) != padding) written = false;
    }

    const long end = std::ftell(file);
    if (end < start) return false;
    const std::int64_t fileSize = end - start;
    fillFileHeader(fileHeader, std::uint32_t(fileSize), pixelOffset);
    if (!seekTo(file, start) || std::fwrite(fileHeader, 1, kFileHeaderBytes, file) != kFileHeaderBytes) return false;
    if (!seekTo(file, start + fileSize)) return false;
    // Buffered writes report their failures only when flushed.
    return std::fflush(file) == 0 && written;
}
