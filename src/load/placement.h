#pragma once
// The order in which workers are placed on processors.

#include <vector>

#include "platform/processors.h"

// The processors ordered so that the first ones sit on distinct physical cores: every core's first
// logical processor (by package, then core), then every core's second, and so on. A processor
// whose core is unknown counts as a core of its own.
std::vector<int> SpreadOrder(const std::vector<ProcessorPlace>& places);

// Distinct physical cores among the places (a processor whose core is unknown counts as one).
unsigned CountPhysicalCores(const std::vector<ProcessorPlace>& places);
