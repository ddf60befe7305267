// The Monitor window's content: the effective clock of each loaded processor, the temperatures,
// the package power, the checks' errors and any throttling as marks, and each series' whole-run
// min / mean / max in the table below.
#pragma once

#include "monitor/series_csv.h"
#include "platform/chart_window.h"
#include "run/run_monitor.h"
#include "run/run_summary.h"

// timeStampHz: the time-stamp counter's rate the title shows, for comparison in the heading.
ChartContent MonitorChart(const RunMonitor& monitor, const RunSummary& summary, double timeStampHz);
// The same from its parts; sensorProblem is empty when the machine has sensors.
ChartContent MonitorChart(const TimeSeriesStore& history, const std::vector<ThrottleEpisode>& throttling,
                          const std::string& sensorProblem, const RunSummary& summary, double timeStampHz);

// What the CSV's events column tells: every error kept and every throttling episode, at its start.
std::vector<CsvEvent> MonitorEvents(const RunMonitor& monitor, const RunSummary& summary);
