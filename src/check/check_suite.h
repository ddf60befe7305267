#pragma once
// One check of a worker: every part once, each digest compared with its constant.

#include <cstdint>

#include "check/check_parts.h"

class FaultInjector;

struct CheckFailure {
    CheckPart part = CheckPart::X87Chain;
    std::uint64_t expected = 0;
    std::uint64_t obtained = 0;
};

// Runs every part, area being the worker's check area (kCheckAreaWords words, overwritten).
// True when every digest is what it must be; otherwise false with the first part that differed.
// injector (may be null) flips one bit of a digest when it is told to for processor, the logical
// processor the check runs on.
bool RunCheckSuite(std::uint64_t* area, CheckFailure* failure, FaultInjector* injector = nullptr,
                   int processor = -1);
