#pragma once
// The AVX2 + FMA kernel: twelve independent chains of 256-bit fused multiply-adds (enough to keep
// two FMA units of four cycles' latency busy every cycle, with room for five-cycle units), fed by
// loads and interleaved with stores over a 128 KiB work area (beyond the level-1 cache, within
// every level-2 cache). See vector_kernel_data.h for the arithmetic and the pass structure.

#include <cstdint>

#include "load/vector_kernel_data.h"

// Four doubles a register, twelve accumulators, 4,096 slots of 32 bytes, eight sweeps of 128
// iterations a block.
using FmaKernelData = VectorKernelData<4, 12, 4096, 8>;

// 1,024 blocks: a million iterations of 96 FMAs, about 50 million cycles with two FMA units
// (18 ms at 2.8 GHz), 50 ms at 2 GHz with one.
inline constexpr int kFmaKernelPassBlocks = 1024;
inline constexpr std::int64_t kFmaKernelPassIterations =
    static_cast<std::int64_t>(kFmaKernelPassBlocks) * FmaKernelData::kBlockIterations;

// The digest of the data after any number of whole passes started from InitFmaKernelData (a pass
// rewrites everything the digest covers). Computed by ReferenceFmaKernelDigest.
inline constexpr std::uint64_t kFmaKernelPassDigest = 0x25FD23B8708F13FAull;

// 129 KiB, 64-byte aligned: fits a worker's 4 MiB stack.
void InitFmaKernelData(FmaKernelData* data);
// One pass. Returns false, running nothing, when CanRunFmaKernel() is false or data is null or
// not 64-byte aligned. Runs with the default MXCSR (round to nearest, no flush to zero) whatever
// the caller's, and restores the caller's at the end.
bool RunFmaKernelPass(FmaKernelData* data);
// blocks blocks of the pass (a pass is kFmaKernelPassBlocks), for tests and benchmarks.
bool RunFmaKernelBlocks(FmaKernelData* data, int blocks);
std::uint64_t FmaKernelDigest(const FmaKernelData& data);

// The same pass in plain C++ (std::fma, exact IEEE results on any processor): fills end and
// endSums of data (initialised by InitFmaKernelData) as blocks blocks of the kernel would.
void RunReferenceFmaKernelBlocks(FmaKernelData* data, int blocks);
// The digest of one pass computed by the reference, for the test of kFmaKernelPassDigest.
std::uint64_t ReferenceFmaKernelDigest();
