// A Linux program inherits its terminal's streams: nothing to attach.

#include "platform/console.h"

void AttachParentConsole() {}
