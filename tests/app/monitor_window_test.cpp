// The Monitor window over a fake sensor tree: it opens from its menu item, plots the loaded
// processor's effective clock, the temperatures and the errors as marks, tabulates every series,
// saves them as CSV (refusing a path it cannot write), and says so when a machine has no sensors.
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "app/command_ids.h"
#include "app/monitor_view.h"
#include "app_fixture.h"
#include "load/placement.h"
#include "monitor/fake_sysfs.h"
#include "platform/processors.h"
#include "run/stress_run.h"

namespace {

class MonitorWindow : public ::testing::Test {
protected:
    void Start(const FakeSysfs& tree) {
        setenv("FERROX_SYSFS_ROOT", tree.Path().c_str(), 1);
        app = std::make_unique<CFerroxApp>();
        app->m_frameClock = TestClock::Make();
        app->m_startOptions.run.threads = 1;
        ASSERT_NE(app->InitInstance(), 0);
    }
    // Runs the window's timer until done (at most about 8 s).
    template <typename Done>
    bool RunUntil(Done done) {
        for (int tick = 0; tick < 400; ++tick) {
            if (done()) return true;
            ProcessEvents(20);
            app->m_frame->OnTimer(kRefreshTimerId);
        }
        return done();
    }
    void TearDown() override {
        unsetenv("FERROX_SYSFS_ROOT");
        unsetenv("FERROX_INJECT_FAULT");
        if (app != nullptr) {
            app->m_frame->DestroyWindow();
            app->ExitInstance();
        }
    }
    CFerroxFrame& Frame() { return *app->m_frame; }
    std::unique_ptr<CFerroxApp> app;
};

const ChartPanel* PanelTitled(const ChartContent& content, const std::string& title) {
    for (const ChartPanel& panel : content.panels)
        if (panel.title == title) return &panel;
    return nullptr;
}

TEST_F(MonitorWindow, PlotsClocksSensorsAndErrorsAndSavesThemAsCsv) {
    FakeSysfs tree;
    WriteIntelDesktop(tree, 4);
    const int loaded = SpreadOrder(AllowedProcessors())[0];
    setenv("FERROX_INJECT_FAULT", ("cpu=" + std::to_string(loaded) + ",after=1").c_str(), 1);
    Start(tree);
    const RunMonitor& monitor = *app->Monitor();
    ASSERT_TRUE(RunUntil([&] {
        return app->Summary().errors > 0 && monitor.History().FindSeries("Effective clock/cpu" + std::to_string(loaded)) &&
               monitor.History().FindSeries("Temperature/hwmon2/temp1");
    })) << "no clock, temperature or error within the time";

    Frame().SendCommand(kCmdMonitor);
    ASSERT_TRUE(Frame().MonitorWindow().IsShown());
    Frame().MonitorWindow().Refresh();
    const ChartContent& shown = Frame().MonitorWindow().Shown();
    const ChartPanel* clocks = PanelTitled(shown, "Effective clock");
    const ChartPanel* temperatures = PanelTitled(shown, "Temperatures");
    ASSERT_TRUE(clocks != nullptr && temperatures != nullptr);
    ASSERT_EQ(clocks->lines.size(), 1u) << "one loaded processor";
    EXPECT_EQ(clocks->lines[0].label, "CPU " + std::to_string(loaded));
    EXPECT_GT(clocks->lines[0].values.front(), 100.0) << "in MHz";
    EXPECT_EQ(temperatures->lines.size(), 7u) << "acpitz, three NVMe sensors, coretemp package and two cores";
    // Each temperature line its own pen (they were all black once, legend swatches too).
    const std::vector<ChartLineStyle> pens = Frame().MonitorWindow().LineStyles(1);
    ASSERT_EQ(pens.size(), 7u);
    for (std::size_t i = 0; i < pens.size(); ++i) {
        EXPECT_EQ(pens[i], ChartLineStyleAt(i)) << "line " << i;
        EXPECT_FALSE(pens[i].red == 0 && pens[i].green == 0 && pens[i].blue == 0) << "line " << i << " is black";
    }
    EXPECT_GE(Frame().MonitorWindow().PlottedPoints(), 8u) << "a point on each line at least";
    ASSERT_FALSE(shown.marks.empty());
    EXPECT_TRUE(shown.marks.front().alarm) << "the injected error";
    EXPECT_NE(shown.heading.find("Hottest 54.0 \u00b0C (coretemp Core 1)"), std::string::npos) << shown.heading;
    EXPECT_NE(shown.heading.find("1 error (red marks)"), std::string::npos) << shown.heading;
    ASSERT_FALSE(shown.rows.empty());
    EXPECT_EQ(shown.rows.front()[0], "Effective clock");
    // Each table row shows the pen of its series' line: the clock's is its panel's first, the
    // temperatures' are theirs in order, series without a panel (cpufreq, throttle counts) none.
    ASSERT_EQ(shown.rowLines.size(), shown.rows.size());
    std::vector<int> temperatureLines;
    for (std::size_t row = 0; row < shown.rows.size(); ++row) {
        const std::string& source = shown.rows[row][0];
        if (source == "Effective clock") {
            EXPECT_EQ(shown.rowLines[row], 0);
        } else if (source == "Temperature") {
            temperatureLines.push_back(shown.rowLines[row]);
        } else if (source != "Power") {
            EXPECT_EQ(shown.rowLines[row], -1) << source;
        }
    }
    EXPECT_EQ(temperatureLines, (std::vector<int>{0, 1, 2, 3, 4, 5, 6}));
    Frame().MonitorWindow().PaintNow();
    Frame().SendCommand(kCmdResults);
    const std::string results = Frame().ResultsWindow().Shown().heading;
    EXPECT_NE(results.find(" MHz mean. Hottest 54.0 \u00b0C (coretemp Core 1)."), std::string::npos) << results;

    const std::string csv = testing::TempDir() + "ferrox-monitor-test.csv";
    std::string error;
    ASSERT_TRUE(Frame().MonitorWindow().SaveTo(csv, &error)) << error;
    std::ifstream in(csv);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_EQ(text.str().rfind("time_s,CPU " + std::to_string(loaded) + " effective clock (MHz),", 0), 0u) << text.str();
    EXPECT_NE(text.str().find(",Core 1 temperature (\u00b0C),"), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("error: worker 0 on processor " + std::to_string(loaded)), std::string::npos)
        << "the injected error in the events column: " << text.str();
    std::remove(csv.c_str());
    EXPECT_FALSE(Frame().MonitorWindow().SaveTo("/nonexistent-folder/monitor.csv", &error));
    EXPECT_FALSE(error.empty());
}

TEST_F(MonitorWindow, AMachineWithoutSensorsShowsThemAbsent) {
    FakeSysfs empty;
    Start(empty);
    ASSERT_TRUE(RunUntil([&] { return app->Monitor()->History().SeriesCount() > 0; })) << "the clock alone";
    Frame().SendCommand(kCmdMonitor);
    const ChartContent& shown = Frame().MonitorWindow().Shown();
    ASSERT_EQ(shown.panels.size(), 3u);
    EXPECT_FALSE(shown.panels[0].lines.empty());
    for (int panel : {1, 2}) {
        EXPECT_TRUE(shown.panels[panel].lines.empty()) << shown.panels[panel].title;
        EXPECT_FALSE(shown.panels[panel].emptyText.empty());
    }
    EXPECT_NE(shown.heading.find("Sensors: none"), std::string::npos) << shown.heading;
    // The empty panels are one line each; the table has the room they leave.
    ProcessEvents(50);
    const ChartRoom room = Frame().MonitorWindow().Room();
    ASSERT_EQ(room.panels.size(), 3u);
    EXPECT_GE(room.panels[0], 150) << "the clock keeps its plot";
    for (int panel : {1, 2}) EXPECT_LE(room.panels[panel], 30) << shown.panels[panel].title << " is more than a line";
    EXPECT_GE(room.table, 250) << "the table is left " << room.table << " pixels";
}

// The heading's clock figures are the table's: its lowest is the lowest of the processors' minimums,
// its highest the highest of their maximums, its mean that of every sample.
TEST(MonitorChartContent, TheHeadingsClockFiguresAreTheTables) {
    TimeSeriesStore history;
    const struct {
        int processor;
        std::vector<double> megahertz;  // one sample a second
    } clocks[] = {{0, {2204.9, 2300.0, 2310.0}}, {1, {2044.7, 2500.0}}, {2, {2600.0}}};
    for (const auto& clock : clocks) {
        const std::string number = std::to_string(clock.processor);
        const auto id = history.FindOrAddSeries("Effective clock/cpu" + number, "CPU " + number, MonitorUnit::kHertz);
        double seconds = 1.0;
        for (double megahertz : clock.megahertz) history.Append(id, seconds++, megahertz * 1e6);
    }
    history.Append(history.FindOrAddSeries("Temperature/hwmon1/temp1", "Tctl", MonitorUnit::kCelsius), 1.0, 3758.2);
    RunSummary summary;
    summary.elapsedSeconds = 3.0;
    const ChartContent content = MonitorChart(history, {}, "", summary, 2.1e9);
    EXPECT_NE(content.heading.find("Effective clock 2326.6 MHz mean (2044.7 to 2600.0)"), std::string::npos) << content.heading;
    double lowest = INFINITY, highest = 0.0;
    for (const std::vector<std::string>& row : content.rows) {
        if (row[0] != "Effective clock") continue;
        lowest = std::min(lowest, std::stod(row[2]));
        highest = std::max(highest, std::stod(row[4]));
    }
    EXPECT_DOUBLE_EQ(lowest, 2044.7);
    EXPECT_DOUBLE_EQ(highest, 2600.0);
}

}  // namespace
