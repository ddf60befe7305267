#pragma once
// The monitor's history as one CSV table that a spreadsheet or pandas reads as it is: a row per
// sampling time, a column per series, and a last column for what happened then:
//   time_s,CPU 0 effective clock (MHz),...,Core 1 temperature (°C),...,package-0 power (W),events
// time_s is the run time in seconds (one decimal). The last 15 minutes come one row a second;
// older rows are the history's buckets, each at the middle of its samples with their mean. Values
// are in the units people read, with the precision the sensors have: MHz and °C with one decimal,
// W with two, counts whole; a series without a value at that time leaves its cell empty. Numbers
// use '.' whatever the locale; text is UTF-8 and quoted as RFC 4180 says; text that a spreadsheet
// would take for a formula (beginning with =, +, - or @) is led by an apostrophe. A column's name
// is the series' label, its source and its unit, with the series' key added when two would be the
// same. An event (an error, a throttling episode) lands on the first row at or after its time
// ("; " between two), or on a row of its own after the last sample.
// The file is written beside the target under a temporary name nobody can guess and renamed over
// it (ReplaceFile), so an interrupted save leaves the old file or none, never half of one, and
// nothing planted in a shared folder is written through.

#include <ostream>
#include <string>
#include <vector>

#include "monitor/time_series_store.h"

struct CsvEvent {
    double seconds = 0.0;  // run time, as the history's
    std::string text;
};

void WriteSeriesCsv(const TimeSeriesStore& store, std::ostream& out, const std::vector<CsvEvent>& events = {});
// False with a message in *error (when error is not null) if the file could not be written.
// path is UTF-8; only a regular file (or nothing) there is replaced.
bool SaveSeriesCsv(const TimeSeriesStore& store, const std::string& path, std::string* error,
                   const std::vector<CsvEvent>& events = {});
