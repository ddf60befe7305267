#pragma once
// The x87 kernel's operands and one pass of it, for the worker loop and for tests.

#include <cstdint>

#include "render/math.h"

constexpr std::int32_t kX87PassIterations = 1250000;

// Builds the kernel's two matrices.
void BuildX87KernelMatrices(Matrix4* a, Matrix4* b);
// One pass over row 0 of a and b: iterations loops, the counter decreased by step (read from
// memory); leaves the x87 stack empty. iterations must be a positive multiple of step.
void RunX87KernelPass(const Matrix4& a, const Matrix4& b, const std::int32_t* iterations,
                      const std::int32_t* step);
