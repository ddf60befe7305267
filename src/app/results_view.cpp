#include "app/results_view.h"

#include <cstdio>

#include "memtest/memory_size.h"
#include "run/run_text.h"

namespace {
std::string Megahertz(double hz) {
    if (hz <= 0.0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", hz * 1e-6);
    return text;
}

std::string PlaceOf(int value) { return value >= 0 ? std::to_string(value) : "-"; }

// The share of the time it was meant to be loaded that it was.
std::string ShareText(double share) {
    if (share < 0.0) return "-";
    char text[16];
    std::snprintf(text, sizeof text, "%.0f%%", 100.0 * share);
    return text;
}
}  // namespace

TableContent ResultsTable(const RunSummary& summary, bool ended, const PlanResult* plan) {
    TableContent table;
    const std::string load = summary.kernelRuns ? LoadKernelName(summary.kernel) : "none (not supported here)";
    if (summary.verdict == Verdict::Failed) {
        table.heading = "FAILED: " + std::to_string(summary.errors) + (summary.errors == 1 ? " error. " : " errors. ") +
                        FailingProcessorsText(summary.failingProcessors);
    } else if (ended) {
        table.heading = VerdictText(summary) + ": no errors in " + std::to_string(summary.checks) + " checks.";
    } else if (!summary.selfChecked) {
        table.heading = "No errors seen in " + std::to_string(summary.checks) +
                        " checks so far (classic mix: its own results are not checked, only the checks between passes).";
    } else {
        table.heading = "No errors in " + std::to_string(summary.checks) + " checks so far.";
    }
    table.heading += " Run time " + FormatRunTime(summary.elapsedSeconds) + ", load: " + load + ".";
    if (summary.loadSpells.size() > 1) {
        table.heading += " Loads:";
        for (const LoadSpell& spell : summary.loadSpells)
            table.heading += " " + spell.kernel + " at " + PriorityChoiceKey(spell.priority) + " " + FormatRunTime(spell.seconds) + ",";
        table.heading.back() = '.';
    }
    if (summary.memory.ran) {
        table.heading += std::string(" ") + (summary.memory.kernel == LoadKernelKind::Memory ? "Memory" : "Cache") + " " +
                         FormatBandwidth(summary.memory.bytesPerSecond) + " (" + FormatBandwidth(summary.memory.meanBytesPerSecond) +
                         " mean)";
        if (summary.memory.kernel == LoadKernelKind::Memory)
            table.heading += ", " + std::to_string(summary.memory.blocksVerified) + " blocks verified in a buffer of " +
                             FormatBytes(summary.memory.bufferBytes);
        table.heading += ".";
    }
    if (summary.coreClock.samples > 0) table.heading += " Effective clock " + Megahertz(summary.coreClock.mean) + " MHz mean.";
    if (const std::string hottest = TemperatureText(summary.hottestCelsius, summary.hottestLabel); !hottest.empty())
        table.heading += " Hottest " + hottest + ".";
    if (plan != nullptr) table.heading += " " + PlanResultText(*plan) + ".";
    table.columns = {"Processor", "Core",   "Package",    "Loaded",      "Share", "Checks passed",
                     "Errors",    "First error", "Clock (MHz)", "State"};
    for (const ProcessorResult& result : summary.processors) {
        table.rows.push_back({std::to_string(result.processor), PlaceOf(result.core), PlaceOf(result.package),
                              FormatRunTime(result.loadedSeconds), ShareText(result.loadedShare),
                              std::to_string(result.checks),
                              std::to_string(result.errors),
                              result.firstErrorSeconds >= 0.0 ? FormatRunTime(result.firstErrorSeconds, true) : "-",
                              Megahertz(result.coreClockHz),
                              result.failed ? "stopped after an error" : result.errors > 0 ? "errors" : "ok"});
        table.alarmRows.push_back(result.errors > 0);
    }
    return table;
}
