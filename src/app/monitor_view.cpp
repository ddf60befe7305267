#include "app/monitor_view.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "run/run_text.h"

namespace {

struct PanelKind {
    std::string_view source;  // the store's key begins "<source>/"
    const char* title;
    const char* unit;
    double scale;  // from the store's unit to the panel's
    const char* emptyText;
};

// The clock is what the load changes; the sensors explain it.
constexpr PanelKind kPanels[] = {
    {"Effective clock", "Effective clock", "MHz", 1e-6, "no measurement yet"},
    {"Temperature", "Temperatures", "\u00b0C", 1.0, "no temperature sensor here"},
    {"Power", "Power", "W", 1.0, "no power sensor here (or not readable without root)"},
};

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

std::string SeriesSource(std::string_view key) { return std::string(key.substr(0, key.find('/'))); }

}  // namespace

ChartContent MonitorChart(const RunMonitor& monitor, const RunSummary& summary, double timeStampHz) {
    std::vector<ThrottleEpisode> throttling = monitor.Throttling().Kept();
    throttling.insert(throttling.end(), monitor.Throttling().Open().begin(), monitor.Throttling().Open().end());
    return MonitorChart(monitor.History(), throttling, monitor.HasSensors() ? std::string() : monitor.SensorProblem(),
                        summary, timeStampHz);
}

ChartContent MonitorChart(const TimeSeriesStore& history, const std::vector<ThrottleEpisode>& throttling,
                          const std::string& sensorProblem, const RunSummary& summary, double timeStampHz) {
    ChartContent content;
    for (const PanelKind& kind : kPanels) {
        ChartPanel panel{kind.title, kind.unit, kind.emptyText, {}};
        for (TimeSeriesStore::SeriesId id = 0; id < history.SeriesCount(); ++id) {
            const SeriesInfo& info = history.Info(id);
            if (SeriesSource(info.key) != kind.source) continue;
            ChartLine line{info.label, {}, {}};
            for (const SeriesPoint& point : history.Points(id)) {
                line.minutes.push_back((point.startSeconds + point.endSeconds) / 120.0);
                line.values.push_back(point.mean * kind.scale);
            }
            panel.lines.push_back(std::move(line));
        }
        content.panels.push_back(std::move(panel));
    }
    for (const RunError& error : summary.errorList) content.marks.push_back({error.seconds / 60.0, true});
    for (const ThrottleEpisode& episode : throttling) content.marks.push_back({episode.startSeconds / 60.0, false});

    // The heading says what the title cannot: the clock the cores hold, the heat, the throttling.
    // The clock's figures come from the samples the lines and the table show.
    const SeriesSummary clock = EffectiveClockFigures(history);
    std::string heading = "Run time " + FormatRunTime(summary.elapsedSeconds) + ". Effective clock ";
    heading += clock.samples > 0 ? Number(clock.mean * 1e-6) + " MHz mean (" + Number(clock.min * 1e-6) + " to " +
                                       Number(clock.max * 1e-6) + ")"
                                 : std::string("not measured yet");
    if (timeStampHz > 0.0) heading += "; the time-stamp counter runs at " + Number(timeStampHz * 1e-6) + " MHz";
    heading += ". ";
    if (sensorProblem.empty()) {
        const std::string hottest = TemperatureText(summary.hottestCelsius, summary.hottestLabel);
        heading += hottest.empty() ? "No temperature sensor. " : "Hottest " + hottest + ". ";
        if (std::isfinite(summary.packageWatts)) heading += "Package " + Number(summary.packageWatts) + " W. ";
    } else {
        heading += "Sensors: none (" + sensorProblem + "). ";
    }
    heading += summary.throttleEvents == 0 ? "No throttling seen." : "Throttling seen " + std::to_string(summary.throttleEvents) + " times (orange marks).";
    if (summary.errors > 0) heading += " " + std::to_string(summary.errors) + (summary.errors == 1 ? " error" : " errors") + " (red marks).";
    content.heading = heading;

    content.columns = {"Series", "Sensor", "Min", "Mean", "Max", "Unit", "Samples"};
    // Each plotted series' line in its panel, counted as the panels count them, so the table
    // shows the line's pen beside its row.
    std::vector<int> linesSoFar(std::size(kPanels), 0);
    for (TimeSeriesStore::SeriesId id = 0; id < history.SeriesCount(); ++id) {
        const SeriesInfo& info = history.Info(id);
        int line = -1;
        for (std::size_t panel = 0; panel < std::size(kPanels); ++panel)
            if (SeriesSource(info.key) == kPanels[panel].source) line = linesSoFar[panel]++;
        const SeriesSummary whole = history.Summary(id);
        if (whole.samples == 0) continue;
        content.rowLines.push_back(line);
        const bool hertz = info.unit == MonitorUnit::kHertz;
        const double scale = hertz ? 1e-6 : 1.0;
        content.rows.push_back({SeriesSource(info.key), info.label, Number(whole.min * scale), Number(whole.mean * scale),
                                Number(whole.max * scale), hertz ? std::string("MHz") : std::string(UnitSymbol(info.unit)),
                                std::to_string(whole.samples)});
    }
    return content;
}

std::vector<CsvEvent> MonitorEvents(const RunMonitor& monitor, const RunSummary& summary) {
    std::vector<CsvEvent> events;
    for (const RunError& error : summary.errorList) events.push_back({error.seconds, "error: " + DescribeError(error)});
    for (const auto* list : {&monitor.Throttling().Kept(), &monitor.Throttling().Open()}) {
        for (const ThrottleEpisode& episode : *list) {
            const int first = episode.processors.empty() ? -1 : episode.processors.front();
            events.push_back({episode.startSeconds, DescribeThrottleEpisode(episode, DescribeProcessor(first, -1, -1))});
        }
    }
    return events;
}
