#pragma once
// Fault injection for tests and demonstrations: FERROX_INJECT_FAULT=cpu=1,after=3 makes the check
// on logical processor 1 report one flipped bit after three good checks there. Without the
// variable nothing is injected.

#include <atomic>
#include <string>
#include <string_view>

struct FaultPlan {
    int processor = -1;   // cpu=N, the logical processor whose check fails
    int afterChecks = 0;  // after=K, the good checks there before the failing one
};

// Parses the variable's value ("cpu=N" with an optional ",after=K", in either order). False with
// a one-line reason for anything else.
bool ParseFaultInjection(std::string_view text, FaultPlan* plan, std::string* error);

class FaultInjector {
public:
    explicit FaultInjector(FaultPlan plan) : m_plan(plan) {}

    // Called once per check; true exactly once: at the check that follows afterChecks checks on
    // the chosen processor.
    bool ShouldFlip(int processor);

    const FaultPlan& Plan() const { return m_plan; }

private:
    FaultPlan m_plan;
    std::atomic<int> m_checksSeen{0};
};
