#pragma once
// Fault injection for tests and demonstrations: FERROX_INJECT_FAULT=cpu=1,after=3 makes the check
// on logical processor 1 report one flipped bit after three good checks there. Other kinds put the
// fault into the work itself, after that many passes on the processor:
//   kind=kernel,bit=B     bit B (0-63) of the load kernel's state wrong in one pass
//   kind=work-area,bit=B  bit B of a word of the kernel's work area wrong from the middle of a pass
//   kind=memory,bit=B     bit B of a word in a block of the memory load's buffer flipped after
//                         the block was written (found when a worker next reads the block)
//   kind=crash            a real invalid memory access inside the pass
//   kind=hang             the pass never ends (the worker spins where it is)
// Without the variable nothing is injected.

#include <atomic>
#include <string>
#include <string_view>

enum class FaultKind : int { CheckDigest, KernelBit, WorkAreaBit, Crash, Hang, MemoryBit };

struct FaultPlan {
    int processor = -1;  // cpu=N, the logical processor where the fault happens
    int after = 0;       // after=K, the good checks (kind=check) or passes (other kinds) there first
    FaultKind kind = FaultKind::CheckDigest;
    int bit = 0;         // bit=B, for the kinds that flip a bit
};

// Parses the variable's value (the items above, each at most once, in any order; cpu is needed).
// False with a one-line reason for anything else.
bool ParseFaultInjection(std::string_view text, FaultPlan* plan, std::string* error);

// "check", "kernel", "work-area", "crash", "hang", "memory".
const char* FaultKindKey(FaultKind kind);
// One line for the user: "the check on processor 1 will report bit 0 wrong after 3 good checks there".
std::string DescribeFaultPlan(const FaultPlan& plan);

class FaultInjector {
public:
    explicit FaultInjector(FaultPlan plan) : m_plan(plan) {}

    // Called once per check (kind check) or per pass (the other kinds) with the processor it runs
    // on; true exactly once: at the one that follows `after` of them on the chosen processor.
    bool Due(int processor);

    const FaultPlan& Plan() const { return m_plan; }
    bool InjectsIntoChecks() const { return m_plan.kind == FaultKind::CheckDigest; }

private:
    FaultPlan m_plan;
    std::atomic<int> m_seen{0};
};
