#pragma once
// Every series of a store as one CSV table, one row per stored point:
//   series,label,unit,start_s,end_s,min,mean,max,samples
// Numbers are written in the shortest form that reads back exactly, with '.' whatever the locale.
// The file is written beside the target under a temporary name nobody can guess and renamed over
// it (ReplaceFile), so an interrupted save leaves the old file or none, never half of one, and
// nothing planted in a shared folder is written through.

#include <ostream>
#include <string>

#include "monitor/time_series_store.h"

void WriteSeriesCsv(const TimeSeriesStore& store, std::ostream& out);
// False with a message in *error (when error is not null) if the file could not be written.
// path is UTF-8; only a regular file (or nothing) there is replaced.
bool SaveSeriesCsv(const TimeSeriesStore& store, const std::string& path, std::string* error);
