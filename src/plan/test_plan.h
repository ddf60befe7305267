#pragma once
// A test plan: a sequence of phases, each one run's load settings for a while, run one after the
// other as one run whose settings change at each phase's start. Built in (quick, standard,
// thorough) or read from a JSON file (plan_file.h).

#include <string>
#include <vector>

#include "run/run_settings.h"

struct PlanPhase {
    std::string name;
    // The phase's load, thread count or core cycling, variable load and duration; the rest of the
    // run's settings (priority, pinning, stop on error, limits) hold for the whole plan.
    RunSettings settings;
};

struct TestPlan {
    std::string name;
    std::vector<PlanPhase> phases;
    double TotalSeconds() const;
};

// The plan named quick, standard or thorough for a machine that may use processors processors
// and can run the loads traits allows; false for any other name.
bool BuiltinPlan(const std::string& name, unsigned processors, const ProcessorTraits& traits, TestPlan* plan);
// For --help and the manual: each built-in plan's name, length and phases, one line each.
std::string DescribeBuiltinPlans();
// "10 minutes of widest on every processor": a phase in words.
std::string DescribePhase(const PlanPhase& phase);

// The plan --plan names: a built-in one by its name, else the plan file at that path. False with
// a reason ("nightly.json: phases[2].duration: ...").
bool FindPlan(const std::string& nameOrPath, unsigned processors, const ProcessorTraits& traits, TestPlan* plan,
              std::string* error);
