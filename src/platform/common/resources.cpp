// The program's resource table and its lookups, for both backends; the icons are the backend's
// (common/resource_backend.h).

#include "platform/resources.h"

#include <map>
#include <memory>
#include <span>

#include "platform/common/resource_backend.h"

namespace {
const ResourceTable* g_resources = nullptr;

struct IconRelease {
    void operator()(IconObject* icon) const { FreeIcon(icon); }
};
using KeptIcon = std::unique_ptr<IconObject, IconRelease>;

// Icons live as long as the program, as Windows keeps resource icons of a module.
std::map<unsigned, KeptIcon>& IconCache() {
    static std::map<unsigned, KeptIcon> cache;
    return cache;
}

constexpr int kLargestIconSide = 256;

template <typename Resource>
const Resource* FindById(std::span<const Resource> resources, unsigned id) {
    for (const Resource& resource : resources)
        if (resource.id == id) return &resource;
    return nullptr;
}
}  // namespace

void AfxSetResourceTable(const ResourceTable* table) {
    g_resources = table;
    IconCache().clear();
}

const MenuResource* FindMenuResource(unsigned id) {
    return g_resources != nullptr ? FindById(g_resources->menus, id) : nullptr;
}

const IconResource* FindIconResource(unsigned id) {
    return g_resources != nullptr ? FindById(g_resources->icons, id) : nullptr;
}

const BitmapResource* FindBitmapResource(unsigned id) {
    if (const BitmapResource* module = FindModuleBitmap(id)) return module;
    return g_resources != nullptr ? FindById(g_resources->bitmaps, id) : nullptr;
}

std::string LoadString(unsigned id) {
    const StringResource* entry = g_resources != nullptr ? FindById(g_resources->strings, id) : nullptr;
    return entry != nullptr && entry->text != nullptr ? entry->text : std::string();
}

const IconResource* UsableIconResource(unsigned id) {
    const IconResource* resource = FindIconResource(id);
    if (resource == nullptr || resource->pixels == nullptr || resource->width <= 0 || resource->height <= 0 ||
        resource->width > kLargestIconSide || resource->height > kLargestIconSide)
        return nullptr;
    return resource;
}

HICON LoadIcon(unsigned id) {
    auto cached = IconCache().find(id);
    if (cached != IconCache().end()) return cached->second.get();
    HICON icon = MakeIcon(id);
    if (icon != nullptr) IconCache().emplace(id, KeptIcon(icon));
    return icon;
}
