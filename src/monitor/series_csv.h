#pragma once
// Every series of a store as one CSV table, one row per stored point:
//   series,label,unit,start_s,end_s,min,mean,max,samples
// Numbers are written in the shortest form that reads back exactly, with '.' whatever the locale.
// The file is written beside the target under a temporary name and renamed over it, so an
// interrupted save leaves the old file or none, never half of one.

#include <filesystem>
#include <ostream>
#include <string>

#include "monitor/time_series_store.h"

void WriteSeriesCsv(const TimeSeriesStore& store, std::ostream& out);
// False with a message in *error (when error is not null) if the file could not be written.
bool SaveSeriesCsv(const TimeSeriesStore& store, const std::filesystem::path& path, std::string* error);
