// The Win32 backend's resources: the executable's own (ferrox.rc), which come before the table's
// (common/resources.cpp) for icons and bitmaps, the way a Windows program carries them.

#include "platform/win32/windows_api.h"

#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "platform/common/resource_backend.h"
#include "platform/win32/icon_object.h"

namespace {
// A bitmap resource of the executable as the whole BMP file it was made from.
struct ModuleBitmap {
    std::vector<std::uint8_t> file;
    BitmapResource resource;
};

std::map<unsigned, std::unique_ptr<ModuleBitmap>>& ModuleBitmaps() {
    static std::map<unsigned, std::unique_ptr<ModuleBitmap>> bitmaps;
    return bitmaps;
}

constexpr std::size_t kFileHeaderBytes = 14;

void PutLE32(std::uint8_t* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) p[i] = std::uint8_t(value >> (8 * i));
}

std::uint32_t ReadLE32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

}  // namespace

// A BITMAP resource is a BMP file without its 14-byte file header; the header is put back, so
// that the one BMP reader (DibFromBmpFile) checks both kinds of bitmap alike.
const BitmapResource* FindModuleBitmap(unsigned id) {
    auto cached = ModuleBitmaps().find(id);
    if (cached != ModuleBitmaps().end()) {
        return &cached->second->resource;
    }
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(2) /* RT_BITMAP */);
    HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
    const auto* bytes = loaded != nullptr ? static_cast<const std::uint8_t*>(LockResource(loaded)) : nullptr;
    const std::size_t size = found != nullptr ? SizeofResource(module, found) : 0;
    if (bytes == nullptr || size < 40) {
        return nullptr;
    }
    const std::uint32_t infoSize = ReadLE32(bytes);
    const std::uint32_t colours = ReadLE32(bytes + 32);  // biClrUsed: palette entries before the pixels
    auto bitmap = std::make_unique<ModuleBitmap>();
    bitmap->file.resize(kFileHeaderBytes + size);
    bitmap->file[0] = 'B';
    bitmap->file[1] = 'M';
    PutLE32(&bitmap->file[2], std::uint32_t(bitmap->file.size()));
    PutLE32(&bitmap->file[10], std::uint32_t(kFileHeaderBytes + infoSize + 4ull * colours));
    std::memcpy(bitmap->file.data() + kFileHeaderBytes, bytes, size);
    bitmap->resource = BitmapResource{id, bitmap->file};
    const BitmapResource* resource = &bitmap->resource;
    ModuleBitmaps().emplace(id, std::move(bitmap));
    return resource;
}

namespace {
Win32HICON ModuleIcon(unsigned id, int sizeMetricX, int sizeMetricY) {
    return static_cast<Win32HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id), IMAGE_ICON,
                                              GetSystemMetrics(sizeMetricX), GetSystemMetrics(sizeMetricY),
                                              LR_DEFAULTCOLOR));
}

// An icon from the table's pixels (0xAARRGGBB, top row first): a 32-bit colour picture with its
// own alpha and an empty mask.
Win32HICON TableIcon(const IconResource& resource) {
    Win32BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(Win32BITMAPINFOHEADER);
    info.bmiHeader.biWidth = resource.width;
    info.bmiHeader.biHeight = -resource.height;  // top row first, as the table stores it
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = 0;  // BI_RGB
    void* bits = nullptr;
    Win32HBITMAP colour = CreateDIBSection(static_cast<HDC>(nullptr), &info, 0, &bits, nullptr, Win32DWORD{0});
    Win32HBITMAP mask = CreateBitmap(resource.width, resource.height, 1, 1, nullptr);
    Win32HICON icon = nullptr;
    if (colour != nullptr && mask != nullptr && bits != nullptr) {
        std::memcpy(bits, resource.pixels, std::size_t(resource.width) * std::size_t(resource.height) * 4);
        ICONINFO parts{};
        parts.fIcon = TRUE;
        parts.hbmColor = colour;
        parts.hbmMask = mask;
        icon = CreateIconIndirect(&parts);  // copies both bitmaps
    }
    if (colour != nullptr) DeleteObject(static_cast<HGDIOBJ>(colour));
    if (mask != nullptr) DeleteObject(static_cast<HGDIOBJ>(mask));
    return icon;
}

void DestroyIcons(IconObject& icon) {
    if (icon.small != nullptr && icon.small != icon.large) DestroyIcon(icon.small);
    if (icon.large != nullptr) DestroyIcon(icon.large);
}
}  // namespace

HICON MakeIcon(unsigned id) {
    auto icon = std::make_unique<IconObject>();
    icon->large = ModuleIcon(id, SM_CXICON, SM_CYICON);
    icon->small = ModuleIcon(id, SM_CXSMICON, SM_CYSMICON);
    if (icon->large == nullptr || icon->small == nullptr) {
        DestroyIcons(*icon);
        const IconResource* resource = UsableIconResource(id);
        if (resource == nullptr) {
            return nullptr;
        }
        // One picture for both sizes: Windows scales it where it is drawn.
        icon->large = icon->small = TableIcon(*resource);
        if (icon->large == nullptr) {
            return nullptr;
        }
    }
    return icon.release();
}

void FreeIcon(HICON icon) {
    if (icon == nullptr) return;
    DestroyIcons(*icon);
    delete icon;
}
