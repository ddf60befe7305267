#pragma once
// A window of plots beside the main one (the Monitor window): a heading, panels of lines over the
// run time with marks drawn across every panel, a table below them, and a button that saves the
// data. It refreshes itself once a second from the program's values while it is shown; closing it
// only hides it.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/chart_palette.h"

class CFrameWnd;

struct ChartLine {
    std::string label;
    std::vector<double> minutes;  // run time
    std::vector<double> values;   // as many as minutes
};

struct ChartPanel {
    std::string title;      // "Effective clock"
    std::string unit;       // the vertical axis' unit: "MHz"
    std::string emptyText;  // shown instead of lines when there are none: "no temperature sensor here"
    std::vector<ChartLine> lines;
};

struct ChartMark {
    double minutes = 0.0;
    bool alarm = false;  // an error (red); otherwise a warning such as throttling (orange)
};

struct ChartContent {
    std::string heading;
    std::vector<ChartPanel> panels;
    std::vector<ChartMark> marks;
    std::vector<std::string> columns;  // the table under the plots
    std::vector<std::vector<std::string>> rows;
    // Per row (when given): the index of the line it describes within its panel, whose pen the
    // table shows beside the row's second cell as the legend would; -1 for a row without a line.
    std::vector<int> rowLines;
};

// How the window's middle is shared out now, in pixels: each panel's height (one line of text for
// a panel without lines) and the table's.
struct ChartRoom {
    std::vector<int> panels;
    int table = 0;
};

class CChartWindow {
public:
    using ContentSource = std::function<ChartContent()>;
    // Writes the data to path; false with a reason.
    using SaveAction = std::function<bool(const std::string& path, std::string* error)>;

    CChartWindow();
    ~CChartWindow();
    CChartWindow(const CChartWindow&) = delete;
    CChartWindow& operator=(const CChartWindow&) = delete;

    // Shows the window titled title (and raises it), filled from source now and every second; its
    // "Save as CSV..." button asks for a file name and calls save.
    void Show(CFrameWnd* owner, const std::string& title, ContentSource source, SaveAction save);
    void Close();
    bool IsShown() const;
    // Fills the window from its source at once (tests and benchmarks; the timer does it by itself).
    void Refresh();
    // Paints the whole window into an image now, as a repaint would (benchmarks, screenshots in tests).
    void PaintNow();
    // What it shows now, and the points its panels plot (line by line, panel after panel).
    const ChartContent& Shown() const;
    std::size_t PlottedPoints() const;
    ChartRoom Room() const;
    // The pens panel's lines are drawn with now, as the window set them (tests).
    std::vector<ChartLineStyle> LineStyles(std::size_t panel) const;
    // The save button's action without its file dialog; a failure is also shown in the window.
    bool SaveTo(const std::string& path, std::string* error);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
