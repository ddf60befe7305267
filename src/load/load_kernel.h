#pragma once
// The load kernels a worker can run, how one is chosen for a processor, and the interface the
// worker loop drives them through.

#include <cstdint>

enum class LoadKernelKind : int {
    Sse,     // the x87 + scalar SSE mix over a 256 KiB work area ("GenuineIntel" processors)
    X87,     // the full x87 stack mix (every other processor)
    Fma,     // 256-bit AVX2 fused multiply-adds
    Avx512,  // 512-bit AVX-512F fused multiply-adds
    Cache,   // verified sweeps over the worker's share of its caches (src/memtest)
    Memory,  // verified copies of checksummed blocks in one large buffer shared by every worker (src/memtest)
};
inline constexpr int kLoadKernelKindCount = 6;

// "SSE mix", "x87 mix", "AVX2/FMA", "AVX-512", "cache", "memory": for the Results view, the log and
// the report.
const char* LoadKernelName(LoadKernelKind kind);

enum class LoadChoice : int {
    Builtin,  // the SSE mix on "GenuineIntel" processors with SSE, the x87 mix elsewhere
    Avx2Fma,
    Avx512,
    Widest,   // the widest self-checked kernel the processor and the system can run (else Builtin)
    Cache,
    Memory,
};

// The cache and memory loads: run by src/memtest's kernels, which the run hands to the workers.
inline bool IsMemoryLoad(LoadKernelKind kind) { return kind == LoadKernelKind::Cache || kind == LoadKernelKind::Memory; }

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

// A word of the cache or memory load that did not hold what was written: where it is, what it
// should have been, what was read and who wrote it.
struct WordMismatch {
    std::uint64_t address = 0;          // virtual address of the first wrong word
    std::uint64_t physicalAddress = 0;  // where the system tells it; 0: unknown
    int writer = -1;                    // the processor that wrote the block
    int reader = -1;                    // the processor that read it
    std::uint32_t wrongWords = 0;       // wrong words in the block (0: only its checksum differed)
};

// What a kernel found about its own pass, right after it.
struct PassCheck {
    bool checked = false;  // the kernel compared the pass's work with what it must be
    bool correct = true;
    std::uint64_t expected = 0;
    std::uint64_t obtained = 0;
    bool wordMismatch = false;  // a memory or cache word differed: mismatch says where
    WordMismatch mismatch;
    // The cache and memory loads' work: bytes verified (copied, for the memory load) and blocks
    // verified by their checksum.
    std::uint64_t bytesVerified = 0;
    std::uint64_t blocksVerified = 0;
};

// Where an injected wrong bit goes (see FERROX_INJECT_FAULT).
enum class WrongBitPlace : int {
    KernelState,  // the state the next pass computes from (the wide kernels' accumulators)
    WorkArea,     // a word of the kernel's work area, from the middle of the next pass on
    MemoryBlock,  // a word of a block in the memory load's buffer, after it was written
};

// One kernel's data and passes, driven by the worker loop on the worker's own thread.
class LoadKernel {
public:
    virtual ~LoadKernel() = default;
    virtual LoadKernelKind Kind() const = 0;
    // Whether every pass's arithmetic is compared with its known result (the wide kernels). The
    // classic mixes drop their arithmetic results: only what they leave behind is checked.
    virtual bool SelfChecked() const = 0;
    // One pass: a fixed stretch of work, without calls, locks or allocation.
    virtual PassCheck RunPass() = 0;
    // About a fiftieth of a pass, checked as a pass is: the unit of work under a variable load,
    // whose on-times may be a few milliseconds.
    virtual PassCheck RunSlice() = 0;
    // The digest of what the passes left behind and what it must be, for the check between
    // passes; false when the kernel leaves nothing more to check than its passes did.
    virtual bool StateDigest(std::uint64_t* obtained, std::uint64_t* expected) = 0;
    // Makes the next pass work with bit (0-63) wrong at place. False when the kernel has no such
    // place.
    virtual bool InjectWrongBit(WrongBitPlace place, int bit) = 0;
};
