#include "plan/plan_runner.h"

#include <algorithm>

#include "run/run_text.h"

namespace {

bool IsClassic(LoadKernelKind kind) { return kind == LoadKernelKind::Sse || kind == LoadKernelKind::X87; }

}  // namespace

PlanRunner::PlanRunner(TestPlan plan) : m_plan(std::move(plan)) {}

RunSettings PlanRunner::StartSettings(const RunSettings& base) const {
    RunSettings settings = base;
    if (!m_plan.phases.empty()) {
        const RunSettings& first = m_plan.phases.front().settings;
        settings.load = first.load;
        settings.threads = first.threads;
        settings.cycleSeconds = first.cycleSeconds;
        settings.variablePeriodSeconds = first.variablePeriodSeconds;
        settings.variableOnShare = first.variableOnShare;
    }
    settings.durationSeconds = m_plan.TotalSeconds();
    return settings;
}

void PlanRunner::Begin(StressRun& run) {
    m_startSeconds = run.ElapsedSeconds();
    m_marks.clear();
    m_over = m_plan.phases.empty();
    run.Log().Write("plan " + m_plan.name + ": " + std::to_string(m_plan.phases.size()) + " phases, " +
                    FormatRunTime(m_plan.TotalSeconds()));
    if (!m_over) StartPhase(run, 0);
}

void PlanRunner::StartPhase(StressRun& run, std::size_t index) {
    m_current = index;
    const PlanPhase& phase = m_plan.phases[index];
    const RunSummary summary = run.Summary();
    Mark mark;
    mark.seconds = run.ElapsedSeconds();
    mark.checks = summary.checks;
    mark.errors = summary.errors;
    m_marks.push_back(mark);
    // The first phase's settings are the run's already when it began with StartSettings.
    const RunSettings& now = run.Settings();
    const RunSettings& next = phase.settings;
    if (index > 0 || now.load != next.load || now.threads != next.threads || now.cycleSeconds != next.cycleSeconds ||
        now.variablePeriodSeconds != next.variablePeriodSeconds || now.variableOnShare != next.variableOnShare) {
        run.ChangePhase(next);
    }
    LoadKernelKind kind = LoadKernelKind::X87;
    if (run.ChosenKernel(&kind)) m_marks.back().kernels.push_back(kind);
    run.Log().Write("plan " + m_plan.name + ": phase " + std::to_string(index + 1) + " of " +
                    std::to_string(m_plan.phases.size()) + " (" + phase.name + "): " + DescribePhase(phase));
}

bool PlanRunner::Step(StressRun& run) {
    if (m_over) return true;
    const double into = run.ElapsedSeconds() - m_startSeconds;
    double end = 0.0;
    std::size_t due = 0;
    for (; due < m_plan.phases.size(); ++due) {
        end += m_plan.phases[due].settings.durationSeconds;
        if (into < end) break;
    }
    if (due >= m_plan.phases.size()) {
        m_over = true;
        return true;
    }
    while (m_current < due) StartPhase(run, m_current + 1);
    return false;
}

std::string PlanRunner::CurrentPhaseText(const StressRun& run) const {
    if (m_over || run.Ended() || m_plan.phases.empty()) return {};
    return "phase " + std::to_string(m_current + 1) + " of " + std::to_string(m_plan.phases.size()) + " (" +
           m_plan.phases[m_current].name + ")";
}

PlanResult PlanRunner::Result(const RunSummary& summary) const {
    PlanResult result;
    result.name = m_plan.name;
    result.verdict = summary.verdict;
    for (std::size_t index = 0; index < m_plan.phases.size(); ++index) {
        const PlanPhase& phase = m_plan.phases[index];
        PhaseResult entry;
        entry.name = phase.name;
        entry.description = DescribePhase(phase);
        entry.plannedSeconds = phase.settings.durationSeconds;
        entry.ran = index < m_marks.size();
        if (entry.ran) {
            const Mark& mark = m_marks[index];
            const bool last = index + 1 == m_marks.size();
            const double endSeconds = last ? summary.elapsedSeconds : m_marks[index + 1].seconds;
            const std::uint64_t endChecks = last ? summary.checks : m_marks[index + 1].checks;
            const std::uint64_t endErrors = last ? summary.errors : m_marks[index + 1].errors;
            entry.ranSeconds = std::max(0.0, endSeconds - mark.seconds);
            entry.checks = endChecks - std::min(endChecks, mark.checks);
            entry.errors = endErrors - std::min(endErrors, mark.errors);
            // The phase the run ended in takes the end's verdict (stopped by a limit, cut short);
            // the ones before it their own errors.
            const bool endedHere = last && (summary.verdict == Verdict::Stopped || summary.verdict == Verdict::Incomplete) &&
                                   entry.ranSeconds + 0.5 < entry.plannedSeconds;
            const bool classic = std::any_of(mark.kernels.begin(), mark.kernels.end(), IsClassic);
            if (entry.errors > 0) {
                entry.verdict = Verdict::Failed;
            } else if (endedHere) {
                entry.verdict = summary.verdict;
                entry.verdictReason = summary.verdictReason;
            } else if (classic) {
                entry.verdict = Verdict::NoErrorsSeen;
                entry.verdictReason = "classic mix: results not self-checked";
            } else {
                entry.verdict = Verdict::Passed;
            }
        }
        result.phases.push_back(entry);
    }
    return result;
}

std::string PlanResultText(const PlanResult& result) {
    std::string text = "plan " + result.name + ": " + VerdictWord(result.verdict);
    for (const PhaseResult& phase : result.phases) {
        text += "; " + phase.name + " ";
        text += phase.ran ? std::string(VerdictWord(phase.verdict)) + " (" + FormatRunTime(phase.ranSeconds) + ", " +
                                std::to_string(phase.checks) + " checks, " + std::to_string(phase.errors) +
                                (phase.errors == 1 ? " error)" : " errors)")
                          : std::string("not run");
    }
    return text;
}
