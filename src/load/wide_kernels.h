#pragma once
// The AVX2/FMA and AVX-512 kernels as a worker runs them. Their data lives on the heap, allocated
// once per worker (64-byte alignment is sure there on every platform). Every pass's digest is
// compared right after the pass (0.2 % of it), so a wrong pass is known before the worker can move.

#include <memory>

#include "load/load_kernel.h"

// Null when kind is not a wide kernel.
std::unique_ptr<LoadKernel> MakeWideKernel(LoadKernelKind kind);
