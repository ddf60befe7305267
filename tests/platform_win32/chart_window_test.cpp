// The chart window on Windows: panels thinned as the Qt window thins them, the lines painted into
// the plot area, the table filled, and saving reported in the window's status line.

#include "platform/win32/windows_api.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "platform/chart_palette.h"
#include "platform/chart_window.h"
#include "platform/memory_dc.h"

namespace {

COLORREF LineColour(std::size_t index) {
    const ChartLineStyle style = ChartLineStyleAt(index);
    return RGB(style.red, style.green, style.blue);
}

ChartLine Line(const std::string& label, std::size_t points, double (*value)(std::size_t)) {
    ChartLine line{label, {}, {}};
    for (std::size_t i = 0; i < points; ++i) {
        line.minutes.push_back(static_cast<double>(i) / 60.0);
        line.values.push_back(value(i));
    }
    return line;
}

ChartContent Content() {
    ChartContent content;
    content.heading = "Monitor";
    ChartPanel clocks{"Effective clock", "MHz", "no clock", {}};
    // 1000 points in stretches of 7: a rising line keeps two points of each, a flat one one.
    clocks.lines.push_back(Line("rising", 1000, [](std::size_t i) { return 2000.0 + static_cast<double>(i); }));
    clocks.lines.push_back(Line("flat", 1000, [](std::size_t) { return 2400.0; }));
    ChartPanel temperatures{"Temperature", "\xC2\xB0" "C", "no temperature sensor here", {}};
    // Short lines are plotted whole; values that are not numbers are left out.
    temperatures.lines.push_back(Line("gaps", 10, [](std::size_t i) { return i % 2 == 0 ? 50.0 : NAN; }));
    content.panels = {clocks, temperatures, ChartPanel{"Power", "W", "no power sensor here", {}}};
    content.marks = {{0.5, true}, {1.0, false}};
    content.columns = {"Sensor", "Min", "Max"};
    content.rows = {{"rising", "2000", "2999"}, {"flat", "2400", "2400"}};
    content.rowLines = {0, 1};
    return content;
}

// Whether the first line's colour is anywhere in the window's client area.
bool ShowsColour(HWND window, COLORREF colour) {
    RECT client;
    GetClientRect(window, &client);
    HDC screen = GetDC(window);
    HDC memory = CreateCompatibleDC(screen);
    Win32BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HGDIOBJ picture = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, picture);
    BitBlt(memory, 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    GdiFlush();
    bool found = false;
    const auto* pixels = static_cast<const std::uint32_t*>(bits);
    const std::uint32_t wanted = std::uint32_t(GetRValue(colour)) << 16 | std::uint32_t(GetGValue(colour)) << 8 | GetBValue(colour);
    for (long i = 0; i < long(client.right) * client.bottom && !found; ++i) found = (pixels[i] & 0xFFFFFF) == wanted;
    SelectObject(memory, old);
    DeleteObject(picture);
    DeleteDC(memory);
    ReleaseDC(window, screen);
    return found;
}

}  // namespace

TEST(Win32ChartWindow, PlotsThinnedLinesFillsTheTableAndReportsSaving) {
    CChartWindow chart;
    std::string saved;
    chart.Show(nullptr, "Monitor", Content, [&](const std::string& path, std::string* error) {
        if (path.find("bad") != std::string::npos) {
            *error = "cannot write there";
            return false;
        }
        saved = path;
        return true;
    });
    ASSERT_TRUE(chart.IsShown());
    EXPECT_EQ(chart.Shown().panels.size(), 3u);
    EXPECT_EQ(chart.PlottedPoints(), 143u * 2 + 143u + 5u);

    HWND window = FindWindowW(L"FerroxChart", L"Monitor");
    ASSERT_NE(window, nullptr);
    HWND plots = FindWindowExW(window, nullptr, L"FerroxChartPlots", nullptr);
    ASSERT_NE(plots, nullptr);
    chart.PaintNow();
    // Each line in its own colour from the palette (the old plots drew some alike).
    for (std::size_t line : {0u, 1u}) EXPECT_TRUE(ShowsColour(plots, LineColour(line))) << "line " << line << " is drawn";

    HWND list = FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr);
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(ListView_GetItemCount(list), 2);
    wchar_t cell[32] = {};
    ListView_GetItemText(list, 1, 2, cell, 32);
    EXPECT_STREQ(cell, L"2400");
    // Each row shows its line's pen beside its name.
    for (int row : {0, 1}) {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iSubItem = 1;
        ASSERT_TRUE(ListView_GetItem(list, &item));
        EXPECT_EQ(item.iImage, row) << "row " << row;
    }

    HWND heading = FindWindowExW(window, nullptr, L"STATIC", nullptr);
    HWND status = FindWindowExW(window, heading, L"STATIC", nullptr);
    ASSERT_NE(status, nullptr);
    wchar_t text[128] = {};
    std::string error;
    EXPECT_TRUE(chart.SaveTo("C:\\monitor.csv", &error));
    EXPECT_EQ(saved, "C:\\monitor.csv");
    GetWindowTextW(status, text, 128);
    EXPECT_STREQ(text, L"Saved to C:\\monitor.csv");
    EXPECT_FALSE(chart.SaveTo("C:\\bad\\monitor.csv", &error));
    EXPECT_EQ(error, "cannot write there");
    GetWindowTextW(status, text, 128);
    EXPECT_STREQ(text, L"Not saved: cannot write there");

    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(chart.IsShown());
}

// A machine without sensors: the empty panels keep one line of text each and the table takes the
// room they leave (it had a fifth of the window, whatever the panels held).
TEST(Win32ChartWindow, EmptyPanelsGiveTheirRoomToTheTable) {
    const auto content = [] {
        ChartContent shown = Content();
        shown.panels[1].lines.clear();
        return shown;
    };
    CChartWindow chart;
    chart.Show(nullptr, "Monitor without sensors", content, nullptr);
    ChartRoom room = chart.Room();
    ASSERT_EQ(room.panels.size(), 3u);
    EXPECT_LE(room.panels[1], 24) << "an empty panel is one line";
    EXPECT_LE(room.panels[2], 24) << "an empty panel is one line";
    EXPECT_GE(room.panels[0], 150) << "the panel with lines keeps a plot";
    EXPECT_GT(room.table, room.panels[1] + room.panels[2]);
    EXPECT_GE(room.table, 200) << "the table has room for rows";

    // With every panel drawn the plots take the larger part again.
    chart.Show(nullptr, "Monitor with sensors", [] {
        ChartContent shown = Content();
        shown.panels[2].lines.push_back(Line("package-0", 10, [](std::size_t) { return 45.0; }));
        return shown;
    }, nullptr);
    room = chart.Room();
    ASSERT_EQ(room.panels.size(), 3u);
    for (int height : room.panels) EXPECT_GE(height, 100);
    EXPECT_LT(room.table, room.panels[0] + room.panels[1] + room.panels[2]);
    chart.Close();
}
