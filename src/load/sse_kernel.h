#pragma once
// The SSE kernel's data and one pass of it, for the worker loop and for tests.

#include <cstdint>

constexpr int kSseWorkAreaDoubles = 32768;  // 256 KiB
constexpr std::int64_t kSsePassIterations = 4194304;

// Fills the work area (2,048-byte aligned) and the two 16-byte-aligned vectors.
void InitSseKernelData(double* workArea, std::uint32_t* v0, std::uint32_t* v1);
// One pass: iterations of the 16-group body; leaves the x87 stack empty.
void RunSseKernelPass(double* workArea, const std::uint32_t* v0, const std::uint32_t* v1,
                      std::int64_t iterations);
