// CSV export of the monitor's series, saved as reports are (platform/files.h).

#include "monitor/series_csv.h"

#include <charconv>
#include <sstream>
#include <string_view>

#include "platform/files.h"

namespace {

// RFC 4180: a field with a comma, quote or line break is quoted, its quotes doubled.
void WriteField(std::ostream& out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        out << text;
        return;
    }
    out << '"';
    for (const char c : text) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

void WriteNumber(std::ostream& out, double value) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    out.write(buffer, result.ptr - buffer);
}

}  // namespace

void WriteSeriesCsv(const TimeSeriesStore& store, std::ostream& out) {
    out << "series,label,unit,start_s,end_s,min,mean,max,samples\n";
    for (TimeSeriesStore::SeriesId id = 0; id < store.SeriesCount(); ++id) {
        const SeriesInfo& info = store.Info(id);
        for (const SeriesPoint& point : store.Points(id)) {
            WriteField(out, info.key);
            out << ',';
            WriteField(out, info.label);
            out << ',' << UnitKey(info.unit);
            for (const double value : {point.startSeconds, point.endSeconds, point.min, point.mean, point.max}) {
                out << ',';
                WriteNumber(out, value);
            }
            out << ',' << point.samples << '\n';
        }
    }
}

bool SaveSeriesCsv(const TimeSeriesStore& store, const std::string& path, std::string* error) {
    std::ostringstream csv;
    WriteSeriesCsv(store, csv);
    return ReplaceFile(path, csv.str(), error);
}
