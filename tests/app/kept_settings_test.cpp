// The window's settings kept between runs: the menus' choices are there at the next start, the
// command line's options hold for their run only, --reset-settings goes back to the defaults, and
// a kept file that cannot be used is a warning and the defaults, never a crash.
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/command_ids.h"
#include "app/kept_settings.h"
#include "app_fixture.h"
#include "cli/command_line_options.h"
#include "platform/settings_store.h"

namespace {

CommandLine Parsed(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "ferrox");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    CommandLine line;
    const ParseOutcome outcome = ParseFerroxCommandLine(static_cast<int>(argv.size()), argv.data(), 8, &line);
    EXPECT_TRUE(outcome.proceed) << outcome.message;
    return line;
}

std::string FileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every processor feature, so any kept load runs.
constexpr ProcessorTraits kEveryLoad{0, true, true, true};

CCmdUI ItemState(CFrameWnd& frame, unsigned id) {
    CCmdUI item(id);
    item.DoUpdate(frame);
    return item;
}

// A settings place of the test's own, as $XDG_CONFIG_HOME/ferrox/ferrox.conf would be.
class KeptSettingsTest : public ::testing::Test {
protected:
    std::string Location() const { return (folder.path() + "/ferrox/ferrox.conf").toStdString(); }
    void Keep(const KeptSettings& kept) {
        std::string error;
        ASSERT_TRUE(WriteSettings(Location(), KeptSettingsValues(kept), &error)) << error;
    }
    KeptSettings Kept() const {
        SettingsValues values;
        std::string problem;
        EXPECT_TRUE(ReadSettings(Location(), &values, &problem)) << problem;
        std::vector<std::string> notes;
        const KeptSettings kept = KeptSettingsFrom(values, &notes);
        EXPECT_TRUE(notes.empty()) << notes.front();
        return kept;
    }
    // A run of the window as the program starts it: the kept settings, the command line over them.
    std::unique_ptr<CFerroxApp> StartApp(const std::vector<std::string>& arguments) {
        TestClock::now = 1000.0L;
        WindowStart start = PrepareWindowStart(Parsed(arguments), Location(), ReadProcessorTraits());
        auto app = std::make_unique<CFerroxApp>();
        app->m_frameClock = TestClock::Make();
        app->m_startOptions = start.options;
        app->m_kept = start.kept;
        app->m_settingsLocation = Location();
        app->m_settingsNotes = start.notes;
        EXPECT_NE(app->InitInstance(), 0);
        return app;
    }
    static void Stop(std::unique_ptr<CFerroxApp>& app) {
        if (app->m_frame != nullptr) app->m_frame->DestroyWindow();
        app->ExitInstance();
        app.reset();
        ProcessEvents();
    }

    QTemporaryDir folder;
};

}  // namespace

TEST_F(KeptSettingsTest, EverySettingReadsBackAsKept) {
    KeptSettings cycling;
    cycling.cycling = true;
    cycling.cyclePeriodSeconds = 600;
    cycling.priority = PriorityChoice::Low;
    KeptSettings chosen;
    chosen.threads = 16;
    chosen.priority = PriorityChoice::Realtime;
    chosen.load = LoadChoice::Avx2Fma;
    chosen.pin = false;
    chosen.stopOnError = true;
    chosen.animated = false;
    chosen.memoryPercent = 25;
    chosen.maxCelsius = 85;
    KeptSettings memory;
    memory.load = LoadChoice::Memory;
    memory.memoryPercent = 10;
    memory.maxCelsius = kNoLimit;
    KeptSettings cache;
    cache.load = LoadChoice::Cache;
    for (const KeptSettings& kept : {KeptSettings{}, cycling, chosen, memory, cache}) {
        std::vector<std::string> notes;
        EXPECT_EQ(KeptSettingsFrom(KeptSettingsValues(kept), &notes), kept);
        EXPECT_TRUE(notes.empty());
        Keep(kept);
        EXPECT_EQ(Kept(), kept);
    }
}

TEST_F(KeptSettingsTest, AValueTheMenusCouldNotHaveChosenIsNotedAndLeavesItsDefault) {
    KeptSettings base;
    base.threads = 4;
    base.priority = PriorityChoice::High;
    base.load = LoadChoice::Builtin;
    base.cyclePeriodSeconds = 300;
    base.animated = false;
    base.memoryPercent = 50;
    base.maxCelsius = 90;
    const struct {
        const char* name;
        const char* value;
        void (*expect)(KeptSettings&);  // base with that setting back at its default
    } cases[] = {
        {"threads", "3", [](KeptSettings& k) { k.threads = 0; }},
        {"threads", "banana", [](KeptSettings& k) { k.threads = 0; }},
        {"threads", "-1", [](KeptSettings& k) { k.threads = 0; }},
        {"cycle_period", "45", [](KeptSettings& k) { k.cyclePeriodSeconds = 60; }},
        {"priority", "idle", [](KeptSettings& k) { k.priority = PriorityChoice::Normal; }},
        {"load", "sse", [](KeptSettings& k) { k.load = LoadChoice::Widest; }},
        {"memory_size", "33", [](KeptSettings& k) { k.memoryPercent = 0; }},
        {"memory_size", "70%", [](KeptSettings& k) { k.memoryPercent = 0; }},
        {"max_temperature", "99", [](KeptSettings& k) { k.maxCelsius = kLimitFromSensors; }},
        {"max_temperature", "-1", [](KeptSettings& k) { k.maxCelsius = kLimitFromSensors; }},
        {"animated", "yes", [](KeptSettings& k) { k.animated = true; }},
        {"cycling", "", [](KeptSettings& k) { k.cycling = false; }},
    };
    for (const auto& c : cases) {
        SettingsValues values = KeptSettingsValues(base);
        values[c.name] = c.value;
        std::vector<std::string> notes;
        KeptSettings expected = base;
        c.expect(expected);
        EXPECT_EQ(KeptSettingsFrom(values, &notes), expected) << c.name << "=" << c.value;
        ASSERT_EQ(notes.size(), 1u) << c.name << "=" << c.value;
        EXPECT_NE(notes[0].find(std::string(c.name) + "=" + c.value), std::string::npos) << notes[0];
    }
    // Names Ferrox does not know are left alone (a later version may keep more)...
    SettingsValues later = KeptSettingsValues(base);
    later["theme"] = "dark";
    std::vector<std::string> notes;
    EXPECT_EQ(KeptSettingsFrom(later, &notes), base);
    EXPECT_TRUE(notes.empty());
    // ... but a file with none of Ferrox's names is not its settings.
    EXPECT_EQ(KeptSettingsFrom({{"\xef\xbf\xbd\xef\xbf\xbd", "junk"}}, &notes), KeptSettings{});
    EXPECT_EQ(notes.size(), 1u);
}

TEST_F(KeptSettingsTest, TheCommandLineGoesOverTheKeptSettingsForItsRunOnly) {
    KeptSettings kept;
    kept.threads = 1;
    kept.priority = PriorityChoice::High;
    kept.load = LoadChoice::Builtin;
    kept.cyclePeriodSeconds = 300;
    kept.animated = false;
    kept.pin = true;
    kept.memoryPercent = 25;
    kept.maxCelsius = 80;
    Keep(kept);
    const std::string before = FileText(Location());
    const struct {
        std::vector<std::string> arguments;
        void (*expect)(StartOptions&);  // the kept start with the option's change
    } cases[] = {
        {{}, [](StartOptions&) {}},
        {{"--threads", "2"}, [](StartOptions& o) { o.run.threads = 2; }},
        {{"--threads", "auto"}, [](StartOptions& o) { o.run.threads = 0; }},
        {{"--cycle", "30"}, [](StartOptions& o) { o.run.cycleSeconds = 30; }},
        {{"--priority", "low"}, [](StartOptions& o) { o.run.priority = PriorityChoice::Low; }},
        {{"--load", "widest"}, [](StartOptions& o) { o.run.load = LoadChoice::Widest; }},
        {{"--no-pin"}, [](StartOptions& o) { o.run.pin = false; }},
        {{"--stop-on-error", "--duration", "90s"}, [](StartOptions& o) { o.run.stopOnError = true; o.run.durationSeconds = 90; }},
        {{"--minimized"}, [](StartOptions& o) { o.minimized = true; }},
        {{"--load", "memory", "--memory", "1G"}, [](StartOptions& o) {
             o.run.load = LoadChoice::Memory;
             o.run.memory = MemorySizeRequest{MemorySizeRequest::Kind::Bytes, 1ull << 30, 0.0};
         }},
        {{"--max-temperature", "70"}, [](StartOptions& o) { o.run.maxCelsius = 70; }},
        {{"--max-power", "65"}, [](StartOptions& o) { o.run.maxWatts = 65; }},
    };
    for (const auto& c : cases) {
        const WindowStart start = PrepareWindowStart(Parsed(c.arguments), Location(), kEveryLoad);
        StartOptions expected;
        expected.run.threads = 1;
        expected.run.priority = PriorityChoice::High;
        expected.run.load = LoadChoice::Builtin;
        expected.animated = false;
        expected.cyclePeriodSeconds = 300;
        expected.run.memory = MemorySizeRequest{MemorySizeRequest::Kind::Percent, 0, 25.0};
        expected.run.maxCelsius = 80;
        c.expect(expected);
        const std::string what = c.arguments.empty() ? "no options" : c.arguments.front();
        EXPECT_EQ(start.options.run, expected.run) << what;
        EXPECT_EQ(start.options.animated, expected.animated) << what;
        EXPECT_EQ(start.options.minimized, expected.minimized) << what;
        EXPECT_EQ(start.options.cyclePeriodSeconds, 300u) << what;
        EXPECT_EQ(start.kept, kept) << what << ": the option is not among the kept settings";
        EXPECT_TRUE(start.notes.empty()) << what << ": " << start.notes.front();
        EXPECT_EQ(FileText(Location()), before) << what << ": the start wrote the settings";
    }
}

TEST_F(KeptSettingsTest, ResetSettingsForgetsThemAndStartsFromTheDefaults) {
    KeptSettings kept;
    kept.threads = 2;
    kept.stopOnError = true;
    Keep(kept);
    const WindowStart reset = PrepareWindowStart(Parsed({"--reset-settings"}), Location(), kEveryLoad);
    EXPECT_FALSE(std::filesystem::exists(Location()));
    EXPECT_EQ(reset.kept, KeptSettings{});
    EXPECT_EQ(reset.options.run, RunSettings{});
    EXPECT_TRUE(reset.options.animated);
    EXPECT_TRUE(reset.notes.empty());
    // Options given with it still hold for the run.
    Keep(kept);
    const WindowStart withOption = PrepareWindowStart(Parsed({"--reset-settings", "--priority", "high"}), Location(), kEveryLoad);
    EXPECT_EQ(withOption.options.run.priority, PriorityChoice::High);
    EXPECT_EQ(withOption.options.run.threads, 0u);
    EXPECT_FALSE(std::filesystem::exists(Location()));
}

TEST_F(KeptSettingsTest, KeptSettingsThatCannotBeUsedAreAWarningAndTheDefaults) {
    const struct {
        const char* what;
        void (*prepare)(const std::string& location);
        const char* says;
    } cases[] = {
        {"a broken file", [](const std::string& location) { std::ofstream(location, std::ios::binary) << std::string("\0\1\2x=1\n[[[\n", 11); },
         "not in the settings' format"},
        {"a folder in its place",
         [](const std::string& location) {
             std::filesystem::remove(location);
             std::filesystem::create_directory(location);
         },
         "not a regular file"},
        {"a link in its place",
         [](const std::string& location) {
             std::filesystem::remove(location);
             std::filesystem::create_symlink("/etc/hostname", location);
         },
         "symbolic link"},
    };
    for (const auto& c : cases) {
        KeptSettings kept;
        kept.threads = 8;
        Keep(kept);
        c.prepare(Location());
        const WindowStart start = PrepareWindowStart(Parsed({}), Location(), kEveryLoad);
        EXPECT_EQ(start.options.run, RunSettings{}) << c.what;
        EXPECT_EQ(start.kept, KeptSettings{}) << c.what;
        ASSERT_EQ(start.notes.size(), 1u) << c.what;
        EXPECT_NE(start.notes[0].find(c.says), std::string::npos) << c.what << ": " << start.notes[0];
        EXPECT_NE(start.notes[0].find("the defaults are used"), std::string::npos) << start.notes[0];
        std::filesystem::remove_all(Location());
    }
    // A load kept on a processor that had it: this one runs the widest it can, and the kept
    // choice stays for the machine that has it.
    KeptSettings avx512;
    avx512.load = LoadChoice::Avx512;
    Keep(avx512);
    const WindowStart start = PrepareWindowStart(Parsed({}), Location(), ProcessorTraits{0, true, true, false});
    EXPECT_EQ(start.options.run.load, LoadChoice::Widest);
    EXPECT_EQ(start.kept.load, LoadChoice::Avx512);
    ASSERT_EQ(start.notes.size(), 1u);
    EXPECT_NE(start.notes[0].find("avx512 cannot run on this processor"), std::string::npos) << start.notes[0];
}

// Two starts of the window: what the menus chose in the first is what the second starts with,
// check marks included; an option of the second's command line is not kept by a choice there.
TEST_F(KeptSettingsTest, MenuChoicesAreThereAtTheNextStart) {
    auto first = StartApp({});
    EXPECT_EQ(first->m_threadCommand, kCmdAutomaticThreads) << "nothing kept yet";
    for (unsigned id : {kCmdOneThread, kCmdHighPriority, kCmdLoadBuiltin, kCmdCycle5Minutes, kCmdPinWorkers, kCmdStopOnError,
                        kCmdAnimated, kCmdMemory25Percent, kCmdLimit85})
        first->m_frame->SendCommand(id);
    Stop(first);

    auto second = StartApp({});
    CFerroxFrame& frame = *second->m_frame;
    EXPECT_EQ(second->m_threadCommand, kCmdOneThread);
    EXPECT_EQ(LiveWorkerCount(*second), 1u);
    EXPECT_EQ(second->m_priorityCommand, kCmdHighPriority);
    EXPECT_EQ(second->Settings().load, LoadChoice::Builtin);
    EXPECT_EQ(second->m_cyclePeriodCommand, kCmdCycle5Minutes);
    EXPECT_FALSE(second->Settings().pin);
    EXPECT_TRUE(second->Settings().stopOnError);
    EXPECT_EQ(frame.m_animated, 0);
    EXPECT_EQ(second->Settings().maxCelsius, 85.0);
    EXPECT_EQ(second->Settings().memory.percent, 25.0);
    for (unsigned id : {kCmdOneThread, kCmdHighPriority, kCmdLoadBuiltin, kCmdCycle5Minutes, kCmdStopOnError, kCmdMemory25Percent, kCmdLimit85})
        EXPECT_TRUE(ItemState(frame, id).IsChecked()) << id;
    for (unsigned id : {kCmdAutomaticThreads, kCmdNormalPriority, kCmdLoadWidest, kCmdPinWorkers, kCmdAnimated, kCmdMemory70Percent,
                        kCmdLimitFromSensors})
        EXPECT_FALSE(ItemState(frame, id).IsChecked()) << id;
    Stop(second);

    // Two threads at low priority for one run; the load chosen then is kept, the options are not.
    auto third = StartApp({"--threads", "2", "--priority", "low"});
    EXPECT_EQ(LiveWorkerCount(*third), 2u);
    EXPECT_EQ(third->m_priorityCommand, kCmdLowPriority);
    third->m_frame->SendCommand(kCmdLoadWidest);
    Stop(third);
    const KeptSettings kept = Kept();
    EXPECT_EQ(kept.threads, 1u);
    EXPECT_EQ(kept.priority, PriorityChoice::High);
    EXPECT_EQ(kept.load, LoadChoice::Widest);
}

// Settings that cannot be kept (the place taken by a file) are said once, in the log and on
// stderr, and the choices still hold for the run.
TEST_F(KeptSettingsTest, AChoiceThatCannotBeKeptIsSaidOnce) {
    std::ofstream((folder.path() + "/ferrox").toStdString()) << "a file, not a folder\n";
    auto app = StartApp({});
    app->m_frame->SendCommand(kCmdOneThread);
    app->m_frame->SendCommand(kCmdLowPriority);
    EXPECT_EQ(LiveWorkerCount(*app), 1u);
    EXPECT_EQ(app->m_priorityCommand, kCmdLowPriority);
    const std::string log = FileText(app->Log().Path());
    std::size_t said = 0;
    for (std::size_t at = log.find("could not be kept"); at != std::string::npos; at = log.find("could not be kept", at + 1)) ++said;
    EXPECT_EQ(said, 1u) << log;
    Stop(app);
}
