#pragma once
// The rounding mode a draw runs with on each path (toward negative infinity on the SSE path, to
// nearest on the scalar path), for tests that call a stage directly; the caller's mode comes back
// at the end of the scope.

#include "render/rounding_mode.h"

class DrawRounding {
public:
    explicit DrawRounding(bool ssePath) { SetRoundingMode(ssePath ? RoundingMode::Down : RoundingMode::Nearest); }

private:
    MxcsrGuard saved_;
};
