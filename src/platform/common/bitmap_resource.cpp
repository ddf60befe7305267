#include "platform/bitmap_resource.h"

#include <cstdint>
#include <cstring>

#include "platform/resources.h"

namespace {
constexpr std::size_t kFileHeaderBytes = 14;
constexpr std::uint32_t kInfoHeaderBytes = 40;

std::uint32_t ReadLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint16_t ReadLE16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

// Only the address matters: it names the program's own module.
ModuleObject* ProgramModule() {
    static char module;
    return reinterpret_cast<ModuleObject*>(&module);
}
}  // namespace

HINSTANCE AfxGetResourceHandle() { return ProgramModule(); }

HBITMAP DibFromBmpFile(std::span<const std::uint8_t> file) {
    if (file.size() < kFileHeaderBytes + kInfoHeaderBytes || file[0] != 'B' || file[1] != 'M') {
        return nullptr;
    }
    const std::uint8_t* bytes = file.data();
    const std::uint32_t pixelOffset = ReadLE32(bytes + 10);
    const std::uint32_t infoSize = ReadLE32(bytes + 14);
    if (infoSize < kInfoHeaderBytes || infoSize > file.size() - kFileHeaderBytes) {
        return nullptr;
    }
    const std::uint8_t* info = bytes + kFileHeaderBytes;
    const std::int32_t width = std::int32_t(ReadLE32(info + 4));
    const std::int32_t storedHeight = std::int32_t(ReadLE32(info + 8));
    const std::uint16_t planes = ReadLE16(info + 12);
    const std::uint16_t bitCount = ReadLE16(info + 14);
    const std::uint32_t compression = ReadLE32(info + 16);
    // A negative height means top-down rows; INT32_MIN has no positive twin.
    if (storedHeight == INT32_MIN || width <= 0 || width > kMaxDibSide || storedHeight == 0 ||
        planes != 1 || (bitCount != 24 && bitCount != 32) || compression != BI_RGB) {
        return nullptr;
    }
    const bool topDown = storedHeight < 0;
    const std::int32_t height = topDown ? -storedHeight : storedHeight;
    if (height > kMaxDibSide) {
        return nullptr;
    }
    const std::uint64_t rowBytes = (std::uint64_t(width) * bitCount + 31) / 32 * 4;
    const std::uint64_t pixelBytes = rowBytes * std::uint64_t(height);
    if (pixelOffset < kFileHeaderBytes + infoSize || pixelOffset > file.size() ||
        pixelBytes > file.size() - pixelOffset) {
        return nullptr;
    }

    BITMAPINFO dibInfo{};
    dibInfo.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    dibInfo.bmiHeader.biWidth = width;
    dibInfo.bmiHeader.biHeight = height;
    dibInfo.bmiHeader.biPlanes = 1;
    dibInfo.bmiHeader.biBitCount = bitCount;
    dibInfo.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &dibInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr) {
        return nullptr;
    }
    // The section is bottom-up like an ordinary file; a top-down file is turned over.
    auto* target = static_cast<std::uint8_t*>(bits);
    const std::uint8_t* source = bytes + pixelOffset;
    for (std::int32_t row = 0; row < height; ++row) {
        const std::int32_t sourceRow = topDown ? height - 1 - row : row;
        std::memcpy(target + std::size_t(row) * rowBytes, source + std::size_t(sourceRow) * rowBytes, rowBytes);
    }
    return bitmap;
}

HBITMAP LoadImage(HINSTANCE instance, unsigned id, UINT type, int width, int height, UINT) {
    if (instance != ProgramModule() || type != IMAGE_BITMAP || width != 0 || height != 0) {
        return nullptr;
    }
    const BitmapResource* resource = FindBitmapResource(id);
    if (resource == nullptr) {
        return nullptr;
    }
    return DibFromBmpFile(resource->file);
}
