#include "platform/display_check.h"

// A Windows session always has a desktop to show windows on.
bool DisplayAvailable(std::string* /*reason*/) { return true; }
