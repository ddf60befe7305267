// CSV export of the monitor's series, saved through a temporary file.

#include "monitor/series_csv.h"

#include <charconv>
#include <fstream>
#include <string_view>
#include <system_error>

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

bool SaveSeriesCsv(const TimeSeriesStore& store, const std::filesystem::path& path, std::string* error) {
    const auto fail = [&](const std::string& message) {
        if (error != nullptr) *error = message;
        return false;
    };
    std::filesystem::path partial = path;
    partial += ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        if (!out) return fail("cannot create \"" + partial.string() + "\"");
        WriteSeriesCsv(store, out);
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(partial, ignored);
            return fail("cannot write \"" + partial.string() + "\" (disk full?)");
        }
    }
    std::error_code renameError;
    std::filesystem::rename(partial, path, renameError);
    if (renameError) {
        std::error_code ignored;
        std::filesystem::remove(partial, ignored);
        return fail("cannot rename \"" + partial.string() + "\" to \"" + path.string() + "\": " +
                    renameError.message());
    }
    return true;
}
