#pragma once
// Internal to the platform layer: the backend's reading of the processors this process may run
// on (common/processors.cpp keeps it and fills in for an empty answer).

#include <vector>

#include "platform/processors.h"

// Each allowed, online processor with its core and package where the system says; may be empty.
std::vector<ProcessorPlace> ReadAllowedProcessors();
