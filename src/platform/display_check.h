// Whether the toolkit will find a display to open (inside the platform layer only).
#pragma once

#include <string>

// False with the reason when no display is configured or the X server's socket does not answer,
// so the program can leave with a message instead of the toolkit aborting or waiting.
bool DisplayAvailable(std::string* reason);
