// Which kernel runs: the built-in pair by vendor, or a wide kernel the processor and the system
// can run.

#include "load/cpu_feature.h"
#include "load/cpu_vendor.h"
#include "load/load_kernel.h"
#include "load/vector_support.h"

namespace {
const char* const kKernelNames[kLoadKernelKindCount] = {"SSE mix", "x87 mix", "AVX2/FMA", "AVX-512", "cache", "memory"};
}  // namespace

const char* LoadKernelName(LoadKernelKind kind) {
    const int index = static_cast<int>(kind);
    return index >= 0 && index < kLoadKernelKindCount ? kKernelNames[index] : "unknown";
}

ProcessorTraits ReadProcessorTraits() {
    ProcessorTraits traits;
    traits.vendor = GetCpuVendor();
    traits.sse = GetCpuFeature(CpuFeatureSse) != 0;
    traits.avx2Fma = CanRunFmaKernel();
    traits.avx512 = CanRunAvx512Kernel();
    return traits;
}

bool ChooseKernel(LoadChoice choice, const ProcessorTraits& traits, LoadKernelKind* kind) {
    LoadKernelKind chosen = LoadKernelKind::X87;
    switch (choice) {
    case LoadChoice::Builtin:
        // A "GenuineIntel" processor without SSE cannot run the SSE mix: it gets the x87 mix, like
        // every other processor.
        chosen = traits.vendor == CpuVendorIntel && traits.sse ? LoadKernelKind::Sse : LoadKernelKind::X87;
        break;
    case LoadChoice::Avx2Fma:
        if (!traits.avx2Fma) return false;
        chosen = LoadKernelKind::Fma;
        break;
    case LoadChoice::Avx512:
        if (!traits.avx512) return false;
        chosen = LoadKernelKind::Avx512;
        break;
    case LoadChoice::Cache:
        // SSE2 is every x86-64 processor's; wider loads and stores are used where there are.
        chosen = LoadKernelKind::Cache;
        break;
    case LoadChoice::Memory:
        chosen = LoadKernelKind::Memory;
        break;
    case LoadChoice::Widest:
        return ChooseKernel(traits.avx512 ? LoadChoice::Avx512 : traits.avx2Fma ? LoadChoice::Avx2Fma : LoadChoice::Builtin,
                            traits, kind);
    }
    if (kind != nullptr) *kind = chosen;
    return true;
}
