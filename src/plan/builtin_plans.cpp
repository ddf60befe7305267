// The plans Ferrox brings: quick (about 5 minutes), standard (about 30) and thorough (hours).

#include <algorithm>

#include "plan/test_plan.h"

namespace {

constexpr double kMinute = 60.0;

PlanPhase Phase(const char* name, LoadChoice load, double minutes) {
    PlanPhase phase;
    phase.name = name;
    phase.settings.load = load;
    phase.settings.durationSeconds = minutes * kMinute;
    return phase;
}

// Each processor alone in turn, period seconds each: the boost clocks one busy core reaches.
PlanPhase EachAlone(const char* name, LoadChoice load, unsigned period, unsigned processors) {
    PlanPhase phase;
    phase.name = name;
    phase.settings.load = load;
    phase.settings.cycleSeconds = period;
    phase.settings.durationSeconds = static_cast<double>(period) * std::max(1u, processors);
    return phase;
}

PlanPhase Variable(const char* name, double periodSeconds, double minutes) {
    PlanPhase phase = Phase(name, LoadChoice::Widest, minutes);
    phase.settings.variablePeriodSeconds = periodSeconds;
    phase.settings.variableOnShare = 0.5;
    return phase;
}

// The self-checked kernels this machine runs, widest first, and then the classic mixes.
std::vector<LoadChoice> EveryLoad(const ProcessorTraits& traits) {
    std::vector<LoadChoice> loads;
    if (traits.avx512) loads.push_back(LoadChoice::Avx512);
    if (traits.avx2Fma) loads.push_back(LoadChoice::Avx2Fma);
    loads.push_back(LoadChoice::Builtin);
    return loads;
}

const char* LoadName(LoadChoice load) {
    switch (load) {
    case LoadChoice::Avx512: return "AVX-512 on every processor";
    case LoadChoice::Avx2Fma: return "AVX2/FMA on every processor";
    default: return "the classic mixes on every processor";
    }
}

const char* AloneName(LoadChoice load) {
    switch (load) {
    case LoadChoice::Avx512: return "AVX-512 on each processor alone";
    case LoadChoice::Avx2Fma: return "AVX2/FMA on each processor alone";
    default: return "the classic mixes on each processor alone";
    }
}

}  // namespace

bool BuiltinPlan(const std::string& name, unsigned processors, const ProcessorTraits& traits, TestPlan* plan) {
    TestPlan built;
    built.name = name;
    // Each processor alone for 2 minutes in all (at least 10 s each).
    const unsigned quickPeriod = std::max(10u, 120u / std::max(1u, processors));
    if (name == "quick") {
        built.phases = {
            Phase("every processor, widest kernel", LoadChoice::Widest, 2),
            EachAlone("each processor alone", LoadChoice::Widest, quickPeriod, processors),
            Phase("memory", LoadChoice::Memory, 1),
        };
    } else if (name == "standard") {
        built.phases = {
            Phase("every processor, widest kernel", LoadChoice::Widest, 10),
            Variable("variable load, 10 ms periods", 0.01, 2.5),
            Variable("variable load, 1 s periods", 1.0, 2.5),
            EachAlone("each processor alone", LoadChoice::Widest, std::max(10u, 300u / std::max(1u, processors)), processors),
        };
        // The next narrower self-checked kernel where there is one; else more of the widest.
        const std::vector<LoadChoice> loads = EveryLoad(traits);
        const bool narrower = loads.size() > 2;
        built.phases.push_back(narrower ? Phase(LoadName(loads[1]), loads[1], 5)
                                        : Phase("every processor again, widest kernel", LoadChoice::Widest, 5));
        built.phases.push_back(Phase("caches", LoadChoice::Cache, 2));
        built.phases.push_back(Phase("memory", LoadChoice::Memory, 3));
    } else if (name == "thorough") {
        for (LoadChoice load : EveryLoad(traits)) built.phases.push_back(Phase(LoadName(load), load, 30));
        built.phases.push_back(Phase("caches", LoadChoice::Cache, 30));
        built.phases.push_back(Phase("memory", LoadChoice::Memory, 30));
        for (LoadChoice load : EveryLoad(traits)) built.phases.push_back(EachAlone(AloneName(load), load, 120, processors));
        built.phases.push_back(Variable("variable load, 10 ms periods", 0.01, 10));
        built.phases.push_back(Variable("variable load, 100 ms periods", 0.1, 10));
        built.phases.push_back(Variable("variable load, 1 s periods", 1.0, 10));
        built.phases.push_back(Variable("variable load, 10 s periods", 10.0, 10));
    } else {
        return false;
    }
    if (plan != nullptr) *plan = std::move(built);
    return true;
}

std::string DescribeBuiltinPlans() {
    return "quick (about 5 minutes: the widest self-checked kernel on every processor for 2 minutes, then each "
           "processor alone for 2 minutes in all, then 1 minute of the memory load); "
           "standard (about 30 minutes: 10 minutes on every processor, 5 of variable load at 10 ms and 1 s periods, "
           "5 of each processor alone, 5 of the next narrower kernel (or more of the widest), 2 of the caches and 3 "
           "of memory); "
           "thorough (about 4 hours and 2 minutes per processor per load: 30 minutes of every load, of the caches and "
           "of memory, each processor alone with every load, and 40 minutes of variable load from 10 ms to 10 s periods)";
}
