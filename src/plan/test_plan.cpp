#include "plan/test_plan.h"

#include "run/run_text.h"

double TestPlan::TotalSeconds() const {
    double total = 0.0;
    for (const PlanPhase& phase : phases) total += phase.settings.durationSeconds;
    return total;
}

std::string DescribePhase(const PlanPhase& phase) {
    const RunSettings& settings = phase.settings;
    std::string text = FormatRunTime(settings.durationSeconds) + " of " + LoadChoiceKey(settings.load);
    if (settings.cycleSeconds > 0) {
        text += ", one processor at a time for " + std::to_string(settings.cycleSeconds) + " s each";
    } else if (settings.threads == 0) {
        text += " on every processor";
    } else {
        text += " on " + std::to_string(settings.threads) + (settings.threads == 1 ? " thread" : " threads");
    }
    if (settings.variablePeriodSeconds > 0.0) text += ", variable load " + VariableLoadText(settings);
    return text;
}
