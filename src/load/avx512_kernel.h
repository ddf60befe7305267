#pragma once
// The AVX-512 kernel: the AVX2 + FMA kernel's design (vector_kernel_data.h) at 512 bits, with
// twenty-four independent chains of fused multiply-adds held in zmm0-zmm23, fed by loads and
// interleaved with stores over a 128 KiB work area. Runs only where CanRunAvx512Kernel() says so.

#include <cstdint>

#include "load/vector_kernel_data.h"

// Eight doubles a register, twenty-four accumulators, 2,048 slots of 64 bytes, eight sweeps of 128
// iterations a block.
using Avx512KernelData = VectorKernelData<8, 24, 2048, 8>;

// 1,024 blocks: a million iterations of 96 FMAs, about 50 million cycles with two 512-bit FMA
// units (16 ms at 3.2 GHz), 63 ms at 1.6 GHz with one.
inline constexpr int kAvx512KernelPassBlocks = 1024;
inline constexpr std::int64_t kAvx512KernelPassIterations =
    static_cast<std::int64_t>(kAvx512KernelPassBlocks) * Avx512KernelData::kBlockIterations;

// The digest of the data after any number of whole passes started from InitAvx512KernelData.
// Computed by ReferenceAvx512KernelDigest.
inline constexpr std::uint64_t kAvx512KernelPassDigest = 0x046E55343296841Dull;

// 133 KiB, 64-byte aligned: fits a worker's 4 MiB stack.
void InitAvx512KernelData(Avx512KernelData* data);
// One pass. Returns false, running nothing, when CanRunAvx512Kernel() is false or data is null or
// not 64-byte aligned. Runs with the default MXCSR whatever the caller's, and restores the
// caller's at the end.
bool RunAvx512KernelPass(Avx512KernelData* data);
// blocks blocks of the pass (a pass is kAvx512KernelPassBlocks), for tests and benchmarks.
bool RunAvx512KernelBlocks(Avx512KernelData* data, int blocks);
std::uint64_t Avx512KernelDigest(const Avx512KernelData& data);

// The same pass in plain C++ (see RunReferenceFmaKernelBlocks).
void RunReferenceAvx512KernelBlocks(Avx512KernelData* data, int blocks);
std::uint64_t ReferenceAvx512KernelDigest();
