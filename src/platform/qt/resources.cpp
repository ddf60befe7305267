// The Qt backend's icons: QIcons from the table's pixels. Qt programs carry no module resources.

#include <QIcon>
#include <QImage>
#include <QPixmap>

#include "platform/common/resource_backend.h"
#include "platform/qt/icon_object.h"

const BitmapResource* FindModuleBitmap(unsigned) { return nullptr; }

HICON MakeIcon(unsigned id) {
    const IconResource* resource = UsableIconResource(id);
    if (resource == nullptr) return nullptr;
    QImage image(resource->width, resource->height, QImage::Format_ARGB32);
    for (int y = 0; y < resource->height; ++y) {
        for (int x = 0; x < resource->width; ++x) {
            image.setPixel(x, y, resource->pixels[y * resource->width + x]);
        }
    }
    auto* icon = new IconObject;
    // Filtered copies at the usual sizes, so title bars and trays need not scale the picture.
    for (int side : {16, 32, 48, 64}) {
        icon->icon.addPixmap(
            QPixmap::fromImage(image.scaled(side, side, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    }
    return icon;
}

void FreeIcon(HICON icon) { delete icon; }
