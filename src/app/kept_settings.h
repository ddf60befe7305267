#pragma once
// The window's settings kept between runs: what the Settings menu chooses (the thread count or
// core cycling and its period, the priority, the load, the memory size, the temperature limit,
// pinning, stopping a worker on error, the animation). Read at the start (platform/settings_store.h), with the command line's options put
// over them for that run only; each choice in the menus is kept at once. Headless runs take only
// the command line.

#include <string>
#include <vector>

#include "platform/settings_store.h"
#include "run/run_settings.h"

struct KeptSettings {
    unsigned threads = 0;  // 0: Automatic
    bool cycling = false;
    unsigned cyclePeriodSeconds = 60;
    PriorityChoice priority = PriorityChoice::Normal;
    LoadChoice load = LoadChoice::Widest;
    double memoryPercent = 0.0;             // of the available memory; 0: the default
    double maxCelsius = kLimitFromSensors;  // or kNoLimit, or one of the menu's degrees
    bool pin = true;
    bool stopOnError = false;
    bool animated = true;

    bool operator==(const KeptSettings&) const = default;
};

// As kept: threads=auto|1|2|4|8|16, cycling=true|false, cycle_period=10|60|300|600,
// priority=low|normal|high|realtime, load=builtin|avx2|avx512|widest|cache|memory,
// memory_size=default|10|25|50|70 (percent), max_temperature=sensors|none|80|85|90|95, pin,
// stop_on_error and animated true|false.
SettingsValues KeptSettingsValues(const KeptSettings& kept);
// The settings in values. A setting that is missing keeps its default; one with a value the menus
// could not have chosen keeps its default too, with a note that says so. Other names are left alone
// (a later version may keep more), unless there are no known ones at all: that is noted too.
KeptSettings KeptSettingsFrom(const SettingsValues& values, std::vector<std::string>* notes);
