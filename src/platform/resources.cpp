#include "platform/resources.h"

#include <map>
#include <memory>

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "platform/icon_object.h"

namespace {
const ResourceTable* g_resources = nullptr;

// Icons live as long as the program, as Windows keeps resource icons of a module.
std::map<unsigned, std::unique_ptr<IconObject>>& IconCache() {
    static std::map<unsigned, std::unique_ptr<IconObject>> cache;
    return cache;
}

constexpr int kLargestIconSide = 256;
}  // namespace

void AfxSetResourceTable(const ResourceTable* table) {
    g_resources = table;
    IconCache().clear();
}

const MenuResource* FindMenuResource(unsigned id) {
    if (g_resources == nullptr) {
        return nullptr;
    }
    for (const MenuResource& menu : g_resources->menus) {
        if (menu.id == id) {
            return &menu;
        }
    }
    return nullptr;
}

const IconResource* FindIconResource(unsigned id) {
    if (g_resources == nullptr) {
        return nullptr;
    }
    for (const IconResource& icon : g_resources->icons) {
        if (icon.id == id) {
            return &icon;
        }
    }
    return nullptr;
}

const BitmapResource* FindBitmapResource(unsigned id) {
    if (g_resources == nullptr) {
        return nullptr;
    }
    for (const BitmapResource& bitmap : g_resources->bitmaps) {
        if (bitmap.id == id) {
            return &bitmap;
        }
    }
    return nullptr;
}

std::string LoadString(unsigned id) {
    if (g_resources == nullptr) {
        return {};
    }
    for (const StringResource& entry : g_resources->strings) {
        if (entry.id == id && entry.text != nullptr) {
            return entry.text;
        }
    }
    return {};
}

HICON LoadIcon(unsigned id) {
    auto cached = IconCache().find(id);
    if (cached != IconCache().end()) {
        return cached->second.get();
    }
    const IconResource* resource = FindIconResource(id);
    if (resource == nullptr || resource->pixels == nullptr || resource->width <= 0 ||
        resource->height <= 0 || resource->width > kLargestIconSide ||
        resource->height > kLargestIconSide) {
        return nullptr;
    }
    QImage image(resource->width, resource->height, QImage::Format_ARGB32);
    for (int y = 0; y < resource->height; ++y) {
        for (int x = 0; x < resource->width; ++x) {
            image.setPixel(x, y, resource->pixels[y * resource->width + x]);
        }
    }
    auto icon = std::make_unique<IconObject>();
    // Filtered copies at the usual sizes, so title bars and trays need not scale the picture.
    for (int side : {16, 32, 48, 64}) {
        icon->icon.addPixmap(
            QPixmap::fromImage(image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    }
    HICON handle = icon.get();
    IconCache().emplace(id, std::move(icon));
    return handle;
}
