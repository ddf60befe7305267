// Ferrox's own resources: the menu bar (101), the tray menu (102), the icon and title (101), and
// the logo's bitmaps (113, 115, 117).
#pragma once

#include "platform/resources.h"

const ResourceTable& FerroxResources();
