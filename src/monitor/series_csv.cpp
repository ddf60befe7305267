// CSV export of the monitor's series, saved as reports are (platform/files.h).

#include "monitor/series_csv.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <sstream>
#include <string_view>

#include "platform/files.h"

namespace {

// How a series' values are written: in which unit, with how many decimals.
struct Presentation {
    const char* unit;  // "" for none
    double scale;      // from the store's unit
    int decimals;
};

Presentation PresentationOf(MonitorUnit unit) {
    switch (unit) {
    case MonitorUnit::kHertz: return {"MHz", 1e-6, 1};
    case MonitorUnit::kCelsius: return {"\u00b0C", 1.0, 1};
    case MonitorUnit::kWatts: return {"W", 1.0, 2};
    case MonitorUnit::kCount: break;
    }
    return {"", 1.0, 0};
}

struct Column {
    std::string name;
    Presentation presentation;
    TimeSeriesStore::SeriesId id;
};

// Rows are kept by their time in tenths of a second: series sampled together share one.
using RowKey = long long;
RowKey KeyOf(double seconds) { return std::llround(seconds * 10.0); }

// RFC 4180: a field with a comma, quote or line break is quoted, its quotes doubled. Text a
// spreadsheet would run as a formula is led by an apostrophe.
void WriteText(std::ostream& out, std::string_view text) {
    std::string field;
    if (!text.empty() && (text[0] == '=' || text[0] == '+' || text[0] == '-' || text[0] == '@')) field = "'";
    field.append(text);
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out << field;
        return;
    }
    out << '"';
    for (const char c : field) {
        if (c == '"') out << '"';
        out << c;
    }
    out << '"';
}

void WriteFixed(std::ostream& out, double value, int decimals) {
    char buffer[48];
    // Never "-0.0": a value that rounds to zero is zero.
    const double scale = std::pow(10.0, decimals);
    if (std::round(value * scale) == 0.0) value = 0.0;
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    out.write(buffer, result.ptr - buffer);
}

std::string Lowercase(std::string_view text) {
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

std::vector<Column> ColumnsOf(const TimeSeriesStore& store) {
    std::vector<Column> columns;
    std::map<std::string, int> uses;
    for (TimeSeriesStore::SeriesId id = 0; id < store.SeriesCount(); ++id) {
        const SeriesInfo& info = store.Info(id);
        const Presentation presentation = PresentationOf(info.unit);
        const std::string_view key = info.key;
        std::string name = info.label + " " + Lowercase(key.substr(0, key.find('/')));
        if (*presentation.unit != '\0') name += std::string(" (") + presentation.unit + ")";
        ++uses[name];
        columns.push_back({std::move(name), presentation, id});
    }
    // Two series of the same name (two drives' "Composite"): each named with its key as well.
    for (Column& column : columns) {
        if (uses[column.name] < 2) continue;
        const std::string& key = store.Info(column.id).key;
        const std::size_t unit = column.name.rfind(" (");
        const std::string suffix = " [" + key.substr(key.find('/') + 1) + "]";
        column.name.insert(unit == std::string::npos || *column.presentation.unit == '\0' ? column.name.size() : unit, suffix);
    }
    return columns;
}

}  // namespace

void WriteSeriesCsv(const TimeSeriesStore& store, std::ostream& out, const std::vector<CsvEvent>& events) {
    const std::vector<Column> columns = ColumnsOf(store);
    struct Row {
        std::vector<std::optional<double>> values;
        std::vector<std::string> events;
    };
    std::map<RowKey, Row> rows;
    const auto rowAt = [&](RowKey key) -> Row& {
        Row& row = rows[key];
        row.values.resize(columns.size());
        return row;
    };
    for (std::size_t c = 0; c < columns.size(); ++c) {
        for (const SeriesPoint& point : store.Points(columns[c].id))
            rowAt(KeyOf((point.startSeconds + point.endSeconds) / 2.0)).values[c] = point.mean;
    }
    std::vector<CsvEvent> ordered = events;
    std::stable_sort(ordered.begin(), ordered.end(), [](const CsvEvent& a, const CsvEvent& b) { return a.seconds < b.seconds; });
    for (const CsvEvent& event : ordered) {
        const auto at = rows.lower_bound(KeyOf(event.seconds));
        (at != rows.end() ? at->second : rowAt(KeyOf(event.seconds))).events.push_back(event.text);
    }

    out << "time_s";
    for (const Column& column : columns) {
        out << ',';
        WriteText(out, column.name);
    }
    out << ",events\n";
    for (const auto& [key, row] : rows) {
        WriteFixed(out, static_cast<double>(key) / 10.0, 1);
        for (std::size_t c = 0; c < columns.size(); ++c) {
            out << ',';
            if (row.values[c]) WriteFixed(out, *row.values[c] * columns[c].presentation.scale, columns[c].presentation.decimals);
        }
        out << ',';
        std::string joined;
        for (const std::string& text : row.events) joined += (joined.empty() ? "" : "; ") + text;
        WriteText(out, joined);
        out << '\n';
    }
}

bool SaveSeriesCsv(const TimeSeriesStore& store, const std::string& path, std::string* error, const std::vector<CsvEvent>& events) {
    std::ostringstream csv;
    WriteSeriesCsv(store, csv, events);
    return ReplaceFile(path, csv.str(), error);
}
