#pragma once
// The SSE rounding mode of a draw. Every float operation on x86-64 runs on the SSE unit, so the
// renderer's rounding mode (toward negative infinity on the SSE path, to nearest on the scalar path)
// is put in force only for the length of a draw and the caller's control word comes back on every
// way out.

#include <cstdint>
#include <xmmintrin.h>

enum class RoundingMode : std::uint32_t {
    Nearest = _MM_ROUND_NEAREST,
    Down = _MM_ROUND_DOWN,
    Up = _MM_ROUND_UP,
    TowardZero = _MM_ROUND_TOWARD_ZERO,
};

inline void SetRoundingMode(RoundingMode mode) {
    _mm_setcsr((_mm_getcsr() & ~static_cast<std::uint32_t>(_MM_ROUND_MASK)) | static_cast<std::uint32_t>(mode));
}

inline RoundingMode GetRoundingMode() { return static_cast<RoundingMode>(_mm_getcsr() & _MM_ROUND_MASK); }

// Saves the whole MXCSR when made and writes it back when it goes out of scope.
class MxcsrGuard {
public:
    MxcsrGuard() : saved_(_mm_getcsr()) {}
    ~MxcsrGuard() { _mm_setcsr(saved_); }
    MxcsrGuard(const MxcsrGuard&) = delete;
    MxcsrGuard& operator=(const MxcsrGuard&) = delete;

private:
    std::uint32_t saved_;
};
