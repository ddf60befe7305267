#pragma once
// Internal to the platform layer: what each backend adds to the resource table's lookups
// (common/resources.cpp), which are the same for both.

#include "platform/resources.h"

// The executable's own bitmap resource id, which comes before the table's; null where there is
// none (a Qt program carries no resources of its own).
const BitmapResource* FindModuleBitmap(unsigned id);
// A new icon for resource id (the executable's own, else the table's, see UsableIconResource);
// null when there is none. LoadIcon keeps it until the table changes or the program ends, then
// frees it with FreeIcon.
HICON MakeIcon(unsigned id);
void FreeIcon(HICON icon);

// The table's icon id when its pixel table can make an icon (sides from 1 to 256); null otherwise.
const IconResource* UsableIconResource(unsigned id);
