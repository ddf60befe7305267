// What an HICON points to in the Qt backend (inside the platform layer only).
#pragma once

#include <QIcon>

struct IconObject {
    QIcon icon;
};
