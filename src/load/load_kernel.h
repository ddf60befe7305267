#pragma once
// The load kernels a worker can run, how one is chosen for a processor, and the interface the
// worker loop drives them through.

#include <cstdint>

enum class LoadKernelKind : int {
    Sse,     // the x87 + scalar SSE mix over a 256 KiB work area ("GenuineIntel" processors)
    X87,     // the full x87 stack mix (every other processor)
    Fma,     // 256-bit AVX2 fused multiply-adds
    Avx512,  // 512-bit AVX-512F fused multiply-adds
};
inline constexpr int kLoadKernelKindCount = 4;

// "SSE mix", "x87 mix", "AVX2/FMA", "AVX-512": for the Results view, the log and the report.
const char* LoadKernelName(LoadKernelKind kind);

enum class LoadChoice : int {
    Builtin,  // the SSE mix on "GenuineIntel" processors with SSE, the x87 mix elsewhere
    Avx2Fma,
    Avx512,
    Widest,   // the widest the processor and the system can run
};

// What the choice depends on; read from the processor by ReadProcessorTraits, injected by tests.
struct ProcessorTraits {
    int vendor = 0;      // CpuVendor
    bool sse = false;
    bool avx2Fma = false;  // AVX2 and FMA3, with the YMM state saved by the system
    bool avx512 = false;   // AVX-512F, with the ZMM state saved by the system
};

ProcessorTraits ReadProcessorTraits();

// The kernel a choice runs on such a processor; false (and nothing to start) when it cannot run
// the kernel chosen.
bool ChooseKernel(LoadChoice choice, const ProcessorTraits& traits, LoadKernelKind* kind);

// One kernel's data and passes, driven by the worker loop on the worker's own thread.
class LoadKernel {
public:
    virtual ~LoadKernel() = default;
    virtual LoadKernelKind Kind() const = 0;
    // One pass: a fixed stretch of work, without calls, locks or allocation.
    virtual void RunPass() = 0;
    // The digest of what the last pass left behind and what it must be; false when the kernel
    // leaves nothing to check.
    virtual bool StateDigest(std::uint64_t* obtained, std::uint64_t* expected) = 0;
};
