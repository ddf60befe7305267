// The application object: the user's settings (thread count or core cycling, priority, load,
// pinning, stop on error), the commands that change them, their check marks in both menus, and the
// home page. It is the run as well: the workers, their checks, the verdict and the log.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/frame_clock.h"
#include "app/kept_settings.h"
#include "platform/system_info.h"
#include "plan/plan_runner.h"
#include "platform/win_app.h"
#include "run/stress_run.h"

class CFerroxFrame;
class MetricsFile;
struct CommandLine;

// How the window starts: the run's settings (by default Automatic and Normal) and the window's own.
struct StartOptions {
    RunSettings run;
    bool animated = true;
    bool minimized = false;   // start in the tray
    bool closeAtEnd = false;  // close the window when the run's duration ends
    std::optional<TestPlan> plan;  // a test plan to run from the start
    MetricsFile* metrics = nullptr;  // --metrics: the window's timer writes it
    unsigned cyclePeriodSeconds = 60;  // the "Cycle Period" checked while not cycling
};

// What the window starts with: the settings kept from earlier runs (none with --reset-settings,
// which forgets them), the command line's options over them for this run only, and what the user
// should hear (a kept file that could not be read, a kept load this processor cannot run).
struct WindowStart {
    StartOptions options;
    KeptSettings kept;  // as kept: the command line's options are not among them
    std::vector<std::string> notes;
};
WindowStart PrepareWindowStart(const CommandLine& line, const std::string& location, const ProcessorTraits& traits);

class CFerroxApp : public CWinApp, public StressRun {
public:
    CFerroxApp();
    ~CFerroxApp() override;

    int InitInstance() override;
    // Ends the run (incomplete when its duration has not been reached); the exit code is the
    // verdict's, or the framework's when that is 0.
    int ExitInstance() override;
    // A caught SIGINT, SIGTERM or SIGHUP ends Ferrox as Exit does; the log says which.
    void OnTerminationSignal(int signal) override;

    virtual void OnSettingsCommand(unsigned id);
    virtual void OnUpdateSettingsCommand(CCmdUI& item);

    // Restarts the workers with the count of m_threadCommand (0 for an unknown id), leaving core
    // cycling.
    void ApplyThreadCommand();
    // Stores the priority pair of m_priorityCommand (Normal for an unknown id); running workers
    // pick it up at their next pass (or are restarted where they could not go back up).
    void ApplyPriorityCommand();
    // Opens the home page with every worker held still meanwhile; says so when no browser can.
    void OpenHomePage();
    // Runs a test plan from now on (the run's duration becomes the plan's end).
    void StartPlan(TestPlan plan);
    // The plan being run (null: none), and its result for this summary.
    PlanRunner* Plan() { return m_plan.get(); }
    std::optional<PlanResult> PlanResultOf(const RunSummary& summary) const;
    // The animation switched from the menus: kept like the app's own settings.
    void KeepAnimated(bool on);

    unsigned m_priorityCommand = 0;
    unsigned m_threadCommand = 0;
    unsigned m_cyclePeriodCommand = 0;  // the checked "Cycle Period" item
    SYSTEM_INFO m_systemInfo{};
    std::string m_endReason = "the window was closed";
    CFerroxFrame* m_frame = nullptr;

    // The state the window starts in, and the clocks the main frame will be created with.
    StartOptions m_startOptions;
    FrameClock m_frameClock;

    // Where the menus' choices are kept (platform/settings_store.h); empty: they are not kept.
    std::string m_settingsLocation;
    // The settings as kept; each menu choice changes its own one and keeps them all again.
    KeptSettings m_kept;
    // Said at the start, after the run's first line (see WindowStart).
    std::vector<std::string> m_settingsNotes;

protected:
    std::span<const CommandMapEntry> GetCommandMap() const override;

private:
    std::unique_ptr<PlanRunner> m_plan;
    // Writes m_kept to m_settingsLocation; a failure is said on stderr, in the log and once in a
    // notification.
    void KeepSettings();
    bool m_keepFailed = false;
};

// The worker count a thread-count command asks for: the processor count for Automatic,
// 0 for an id that is not a thread-count command.
unsigned ThreadCountForCommand(unsigned id, const SYSTEM_INFO& systemInfo);

// The Win32 pair a priority command stands for; Normal for any other id.
PriorityPair PriorityPairForCommand(unsigned id);

// Between the settings and the menus' commands, both ways.
PriorityChoice PriorityChoiceForCommand(unsigned id);
unsigned CommandForPriority(PriorityChoice choice);
// The thread-count item of a count (0: Automatic), or 0 when no item has that count.
unsigned CommandForThreadCount(unsigned threads);
unsigned CyclePeriodForCommand(unsigned id);       // seconds; 60 for an unknown id
unsigned CommandForCyclePeriod(unsigned seconds);  // 0 when no item has that period
LoadChoice LoadChoiceForCommand(unsigned id);
unsigned CommandForLoadChoice(LoadChoice choice);
// RunSettings::maxCelsius of a Temperature Limit item, and back (0 when no item has it).
double TemperatureLimitForCommand(unsigned id);
unsigned CommandForTemperatureLimit(double maxCelsius);
// The Memory Size items: a share of the available memory (the default request for another id),
// and the item of a request (0: none, as for a size given on the command line).
MemorySizeRequest MemoryRequestForCommand(unsigned id);
unsigned CommandForMemoryRequest(const MemorySizeRequest& request);
