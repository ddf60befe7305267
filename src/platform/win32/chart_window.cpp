// The chart window: a top-level window with a heading, a plot area painted with GDI (one panel
// under another, each with its lines, its value range and the marks along its bottom), a list
// view table under the plots and a "Save as CSV..." button beside a status line. Refilled from its
// source by a one-second timer while it is shown; closing it only hides it.

#include "platform/win32/windows_api.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/chart_palette.h"
#include "platform/common/chart_thinning.h"
#include "platform/chart_window.h"
#include "platform/frame_wnd.h"
#include "platform/memory_dc.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/text.h"

namespace {
constexpr wchar_t kWindowClass[] = L"FerroxChart";
constexpr wchar_t kPlotClass[] = L"FerroxChartPlots";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kSaveButtonId = 101;
constexpr int kMargin = 8;
constexpr int kHeadingHeight = 36;
constexpr int kButtonHeight = 26;
// More lines than this and the legend would crowd out the plot: the table names them instead.
constexpr std::size_t kMostLegendLines = 16;
// A panel with lines asks for this much of the window's middle, an empty one for one line of
// text; the table under them takes the rest (the plots at most kMostPlotShare of it).
constexpr int kPanelHeight = 230;
constexpr int kEmptyPanelHeight = 20;
constexpr double kMostPlotShare = 0.72;
constexpr COLORREF kErrorColour = RGB(200, 0, 0);
constexpr COLORREF kWarningColour = RGB(230, 140, 0);

struct PlotPoint {
    double minutes, value;
};

std::vector<PlotPoint> PlotPoints(const ChartLine& line, double& low, double& high) {
    std::vector<PlotPoint> points;
    for (std::size_t i : ThinChartLine(line, kMostPointsPerLine, &low, &high))
        points.push_back(PlotPoint{line.minutes[i], line.values[i]});
    return points;
}

// The next round step above span / 5 (1, 2 or 5 times a power of ten), so the axis shows a few
// round values.
double NiceStep(double span) {
    const double rough = span / 5.0;
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (double factor : {1.0, 2.0, 5.0, 10.0})
        if (factor * power >= rough) return factor * power;
    return 10.0 * power;
}

// One panel's lines after thinning, and the range they are drawn in.
struct PanelPlot {
    std::vector<std::vector<PlotPoint>> lines;
    double low = 0.0, high = 1.0;
};

void DrawText(HDC dc, int x, int y, const std::string& text, COLORREF colour, UINT align = TA_LEFT | TA_TOP) {
    SetTextColor(dc, colour);
    SetTextAlign(dc, align);
    const std::wstring wide = Utf16(text);
    TextOutW(dc, x, y, wide.c_str(), static_cast<int>(wide.size()));
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

COLORREF LineColour(std::size_t index) {
    const ChartLineStyle style = ChartLineStyleAt(index);
    return RGB(style.red, style.green, style.blue);
}

// Line index's pen: its colour and dash from the shared palette, one pixel wide (GDI dashes only
// one-pixel pens).
HPEN CreateLinePen(std::size_t index) {
    static constexpr int kStyles[] = {PS_SOLID, PS_DASH, PS_DOT, PS_DASHDOT};
    return CreatePen(kStyles[static_cast<int>(ChartLineStyleAt(index).dash)], 1, LineColour(index));
}

// Each line's pen as a small picture, for the table's rows (the list view owns the list).
HIMAGELIST MakeSwatches() {
    HIMAGELIST swatches = ImageList_Create(28, 12, ILC_COLOR24, static_cast<int>(kChartLineStyles), 0);
    if (swatches == nullptr) return nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    for (std::size_t i = 0; i < kChartLineStyles; ++i) {
        HGDIOBJ picture = CreateCompatibleBitmap(screen, 28, 12);
        HGDIOBJ old = SelectObject(dc, picture);
        const RECT all{0, 0, 28, 12};
        FillRect(dc, &all, GetSysColorBrush(COLOR_WINDOW));
        HPEN pen = CreateLinePen(i);
        HGDIOBJ oldPen = SelectObject(dc, pen);
        for (int y : {5, 6}) {
            MoveToEx(dc, 1, y, nullptr);
            LineTo(dc, 27, y);
        }
        SelectObject(dc, oldPen);
        DeleteObject(pen);
        SelectObject(dc, old);
        ImageList_Add(swatches, static_cast<Win32HBITMAP>(picture), nullptr);
        DeleteObject(picture);
    }
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return swatches;
}

int PanelHeightWanted(const ChartPanel& panel) { return panel.lines.empty() ? kEmptyPanelHeight : kPanelHeight; }

}  // namespace

struct CChartWindow::Impl {
    HWND window = nullptr, heading = nullptr, plots = nullptr, list = nullptr, status = nullptr, button = nullptr;
    ContentSource source;
    SaveAction save;
    ChartContent shown;
    std::vector<PanelPlot> panelPlots;
    double endMinutes = 1.0;
    std::size_t plotted = 0;
    int columnsShown = 0;

    static Impl* Of(HWND hwnd) { return reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        if (Impl* self = Of(hwnd)) {
            switch (message) {
            case WM_CLOSE:
                self->Hide();
                return 0;
            case WM_TIMER:
                if (wParam == kRefreshTimer && IsWindowVisible(hwnd)) self->Fill();
                return 0;
            case WM_SIZE:
                self->Layout(LOWORD(lParam), HIWORD(lParam));
                return 0;
            case WM_COMMAND:
                if (LOWORD(wParam) == kSaveButtonId && HIWORD(wParam) == BN_CLICKED) self->AskAndSave();
                return 0;
            case WM_NCDESTROY:
                SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
                self->window = self->heading = self->plots = self->list = self->status = self->button = nullptr;
                break;
            default: break;
            }
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    static LRESULT CALLBACK PlotProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        Impl* self = Of(hwnd);
        if (self != nullptr && message == WM_PAINT) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(hwnd, &paint);
            self->PaintPlots(hwnd, dc);
            EndPaint(hwnd, &paint);
            return 0;
        }
        if (message == WM_ERASEBKGND) return 1;  // the paint covers everything
        if (message == WM_NCDESTROY) SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }

    bool Build(HWND owner) {
        static const bool registered = [] {
            INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
            InitCommonControlsEx(&controls);
            WNDCLASSEXW windowClass{};
            windowClass.cbSize = sizeof windowClass;
            windowClass.lpfnWndProc = WindowProc;
            windowClass.hInstance = GetModuleHandleW(nullptr);
            windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
            windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
            windowClass.lpszClassName = kWindowClass;
            WNDCLASSEXW plotClass = windowClass;
            plotClass.lpfnWndProc = PlotProc;
            plotClass.hbrBackground = nullptr;
            plotClass.style = CS_HREDRAW | CS_VREDRAW;
            plotClass.lpszClassName = kPlotClass;
            return RegisterClassExW(&windowClass) != 0 && RegisterClassExW(&plotClass) != 0;
        }();
        if (!registered) return false;
        const HMODULE instance = GetModuleHandleW(nullptr);
        window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 760, 700, owner,
                                 nullptr, instance, this);
        if (window == nullptr) return false;
        heading = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 0, 0, window, nullptr, instance, nullptr);
        plots = CreateWindowExW(0, kPlotClass, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window, nullptr, instance, this);
        list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL,
                               0, 0, 0, 0, window, nullptr, instance, nullptr);
        status = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE, 0, 0, 0, 0, window,
                                 nullptr, instance, nullptr);
        button = CreateWindowExW(0, L"BUTTON", L"Save as CSV...", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, 0,
                                 0, 0, 0, window, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSaveButtonId)), instance,
                                 nullptr);
        if (heading == nullptr || plots == nullptr || list == nullptr || status == nullptr || button == nullptr) return false;
        const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        for (HWND child : {heading, list, status, button}) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES | LVS_EX_SUBITEMIMAGES);
        if (HIMAGELIST swatches = MakeSwatches()) ListView_SetImageList(list, swatches, LVSIL_SMALL);
        RECT client;
        GetClientRect(window, &client);
        Layout(client.right, client.bottom);
        return true;
    }

    // The panels get the room they ask for (at most kMostPlotShare of the middle), the table the
    // rest, as the Qt window's splitter starts.
    void Layout(int width, int height) {
        if (button == nullptr) return;
        const int inner = width - 2 * kMargin;
        const int bottom = height - kMargin - kButtonHeight;
        const int middle = std::max(0, bottom - kMargin - kHeadingHeight);
        int wanted = 0;
        for (const ChartPanel& panel : shown.panels) wanted += PanelHeightWanted(panel);
        if (shown.panels.empty()) wanted = middle * 4 / 5;
        const int plotHeight = std::min(wanted, static_cast<int>(middle * kMostPlotShare));
        MoveWindow(heading, kMargin, kMargin, inner, kHeadingHeight - kMargin, TRUE);
        MoveWindow(plots, kMargin, kHeadingHeight, inner, plotHeight, TRUE);
        MoveWindow(list, kMargin, kHeadingHeight + plotHeight + 4, inner, middle - plotHeight - 4, TRUE);
        MoveWindow(status, kMargin, bottom, inner - 130, kButtonHeight, TRUE);
        MoveWindow(button, width - kMargin - 120, bottom, 120, kButtonHeight, TRUE);
    }

    void Hide() {
        if (window == nullptr) return;
        KillTimer(window, kRefreshTimer);
        ShowWindow(window, SW_HIDE);
    }

    void Fill() {
        if (!source || window == nullptr) return;
        std::vector<bool> hadLines;
        for (const ChartPanel& panel : shown.panels) hadLines.push_back(!panel.lines.empty());
        shown = source();
        SetWindowTextW(heading, Utf16(shown.heading).c_str());
        std::vector<bool> hasLines;
        for (const ChartPanel& panel : shown.panels) hasLines.push_back(!panel.lines.empty());
        if (hasLines != hadLines) {
            RECT client;
            GetClientRect(window, &client);
            Layout(client.right, client.bottom);
        }
        endMinutes = 0.0;
        for (const ChartPanel& panel : shown.panels)
            for (const ChartLine& line : panel.lines)
                if (!line.minutes.empty()) endMinutes = std::max(endMinutes, line.minutes.back());
        for (const ChartMark& mark : shown.marks) endMinutes = std::max(endMinutes, mark.minutes);
        endMinutes = std::max(1.0, endMinutes);
        plotted = 0;
        panelPlots.assign(shown.panels.size(), PanelPlot{});
        for (std::size_t i = 0; i < shown.panels.size(); ++i) {
            PanelPlot& plot = panelPlots[i];
            double low = INFINITY, high = -INFINITY;
            for (const ChartLine& line : shown.panels[i].lines) {
                plot.lines.push_back(PlotPoints(line, low, high));
                plotted += plot.lines.back().size();
            }
            if (!std::isfinite(low)) {
                low = 0.0;
                high = 1.0;
            }
            const double pad = std::max((high - low) * 0.08, std::max(std::fabs(high) * 0.01, 0.5));
            const double step = NiceStep(high + pad - std::max(0.0, low - pad));
            plot.low = std::floor(std::max(0.0, low - pad) / step) * step;
            plot.high = std::ceil((high + pad) / step) * step;
        }
        FillTable();
        InvalidateRect(plots, nullptr, FALSE);
    }

    void FillTable() {
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        const int columns = static_cast<int>(shown.columns.size());
        const int rows = static_cast<int>(shown.rows.size());
        const bool reshaped = columns != columnsShown || rows != ListView_GetItemCount(list);
        if (columns != columnsShown) {
            while (columnsShown > 0) ListView_DeleteColumn(list, --columnsShown);
            for (int column = 0; column < columns; ++column) {
                std::wstring name = Utf16(shown.columns[static_cast<std::size_t>(column)]);
                LVCOLUMNW add{};
                add.mask = LVCF_TEXT | LVCF_WIDTH;
                add.pszText = name.data();
                add.cx = 100;
                ListView_InsertColumn(list, column, &add);
            }
            columnsShown = columns;
        }
        while (ListView_GetItemCount(list) > rows) ListView_DeleteItem(list, ListView_GetItemCount(list) - 1);
        for (int row = 0; row < rows; ++row) {
            if (row >= ListView_GetItemCount(list)) {
                LVITEMW item{};
                item.mask = LVIF_TEXT | LVIF_IMAGE;
                item.iItem = row;
                item.iImage = I_IMAGENONE;
                item.pszText = const_cast<wchar_t*>(L"");
                ListView_InsertItem(list, &item);
            }
            // The second cell shows the row's line as the legend would.
            const auto at = static_cast<std::size_t>(row);
            const int line = at < shown.rowLines.size() ? shown.rowLines[at] : -1;
            LVITEMW swatch{};
            swatch.mask = LVIF_IMAGE;
            swatch.iItem = row;
            swatch.iSubItem = 1;
            swatch.iImage = line >= 0 ? line % static_cast<int>(kChartLineStyles) : I_IMAGENONE;
            if (columns > 1) ListView_SetItem(list, &swatch);
            const std::vector<std::string>& cells = shown.rows[static_cast<std::size_t>(row)];
            // Only changed cells get new text: laying out text is most of a refresh's cost.
            for (int column = 0; column < columns; ++column) {
                std::wstring text = static_cast<std::size_t>(column) < cells.size() ? Utf16(cells[column]) : std::wstring();
                wchar_t current[256] = {};
                ListView_GetItemText(list, row, column, current, 256);
                if (text != current) ListView_SetItemText(list, row, column, text.data());
            }
        }
        if (reshaped)
            for (int column = 0; column < columns; ++column) ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE_USEHEADER);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }

    // Each panel's height in a plot area of height pixels: one line of text for an empty panel,
    // an even share of the rest for each panel with lines.
    std::vector<int> PanelHeights(int height) const {
        int charts = 0, empties = 0;
        for (const ChartPanel& panel : shown.panels) (panel.lines.empty() ? empties : charts) += 1;
        const int chartRoom = std::max(0, height - empties * kEmptyPanelHeight);
        std::vector<int> heights;
        int chart = 0;
        for (const ChartPanel& panel : shown.panels) {
            if (panel.lines.empty()) {
                heights.push_back(kEmptyPanelHeight);
            } else {
                ++chart;
                heights.push_back(chartRoom * chart / charts - chartRoom * (chart - 1) / charts);
            }
        }
        return heights;
    }

    // Every panel into a memory bitmap first, then onto the window in one copy (no flicker).
    void PaintPlots(HWND hwnd, HDC target) {
        RECT client;
        GetClientRect(hwnd, &client);
        const int width = client.right, height = client.bottom;
        if (width <= 0 || height <= 0) return;
        HDC dc = CreateCompatibleDC(target);
        HGDIOBJ bitmap = CreateCompatibleBitmap(target, width, height);
        HGDIOBJ oldBitmap = SelectObject(dc, bitmap);
        HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SetBkMode(dc, TRANSPARENT);
        const std::vector<int> heights = PanelHeights(height);
        int top = 0;
        for (std::size_t i = 0; i < shown.panels.size(); ++i) {
            PaintPanel(dc, RECT{0, top, width, top + heights[i]}, shown.panels[i], panelPlots[i]);
            top += heights[i];
        }
        BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }

    void PaintPanel(HDC dc, const RECT& area, const ChartPanel& panel, const PanelPlot& plot) const {
        if (panel.lines.empty()) {
            DrawText(dc, area.left + 6, area.top + 3, panel.title + ": " + panel.emptyText, RGB(60, 60, 60));
            return;
        }
        // The legend names the lines while all of them fit beside the plot; the table always does.
        const bool legend = panel.lines.size() <= kMostLegendLines &&
                            static_cast<int>(panel.lines.size()) * 14 <= area.bottom - area.top - 42;
        const RECT frame{area.left + 56, area.top + 20, area.right - (legend ? 150 : 12), area.bottom - 22};
        DrawText(dc, (area.left + area.right) / 2, area.top + 3, panel.title, RGB(0, 0, 0), TA_CENTER | TA_TOP);
        if (frame.right - frame.left < 20 || frame.bottom - frame.top < 20) return;
        // The value axis: round values with grid lines; the time axis: 0 to the run's end.
        HPEN grid = CreatePen(PS_SOLID, 1, RGB(225, 225, 225));
        HGDIOBJ oldPen = SelectObject(dc, grid);
        const double span = plot.high - plot.low;
        const auto yOf = [&](double value) {
            return frame.bottom - static_cast<int>(std::lround((value - plot.low) / span * (frame.bottom - frame.top)));
        };
        const auto xOf = [&](double minutes) {
            return frame.left + static_cast<int>(std::lround(minutes / endMinutes * (frame.right - frame.left)));
        };
        const double step = NiceStep(span);
        for (double value = plot.low; value <= plot.high + step / 2; value += step) {
            MoveToEx(dc, frame.left, yOf(value), nullptr);
            LineTo(dc, frame.right, yOf(value));
            DrawText(dc, frame.left - 4, yOf(value) - 6, Number(value), RGB(60, 60, 60), TA_RIGHT | TA_TOP);
        }
        DrawText(dc, area.left + 2, area.top + 3, panel.unit, RGB(60, 60, 60));
        const double timeStep = NiceStep(endMinutes);
        for (double minutes = 0.0; minutes <= endMinutes + timeStep / 100; minutes += timeStep)
            DrawText(dc, xOf(minutes), frame.bottom + 2, Number(minutes), RGB(60, 60, 60), TA_CENTER | TA_TOP);
        DrawText(dc, frame.right, frame.bottom + 2, "min", RGB(60, 60, 60), TA_RIGHT | TA_TOP);
        SelectObject(dc, GetStockObject(BLACK_PEN));
        SelectObject(dc, GetStockObject(NULL_BRUSH));
        Rectangle(dc, frame.left, frame.top, frame.right + 1, frame.bottom + 1);
        // Lines, clipped to the frame; a one-pixel pen is drawn as it is.
        HRGN clip = CreateRectRgn(frame.left, frame.top, frame.right + 1, frame.bottom + 1);
        SelectClipRgn(dc, clip);
        for (std::size_t i = 0; i < plot.lines.size(); ++i) {
            HPEN pen = CreateLinePen(i);
            SelectObject(dc, pen);
            std::vector<POINT> points;
            for (const PlotPoint& point : plot.lines[i]) points.push_back(POINT{xOf(point.minutes), yOf(point.value)});
            if (points.size() == 1) points.push_back(POINT{points[0].x + 1, points[0].y});
            if (!points.empty()) Polyline(dc, points.data(), static_cast<int>(points.size()));
            SelectObject(dc, GetStockObject(BLACK_PEN));
            DeleteObject(pen);
        }
        // Errors (red squares) and throttling (orange circles) along the bottom.
        for (const ChartMark& mark : shown.marks) {
            HBRUSH brush = CreateSolidBrush(mark.alarm ? kErrorColour : kWarningColour);
            HGDIOBJ oldBrush = SelectObject(dc, brush);
            SelectObject(dc, GetStockObject(NULL_PEN));
            const int x = xOf(mark.minutes), y = frame.bottom - 5;
            if (mark.alarm) {
                Rectangle(dc, x - 4, y - 4, x + 5, y + 5);
            } else {
                Ellipse(dc, x - 4, y - 4, x + 5, y + 5);
            }
            SelectObject(dc, oldBrush);
            DeleteObject(brush);
        }
        SelectClipRgn(dc, nullptr);
        DeleteObject(clip);
        if (legend) {
            for (std::size_t i = 0; i < panel.lines.size(); ++i) {
                const int y = frame.top + static_cast<int>(i) * 14;
                if (y + 14 > area.bottom) break;
                // A stretch of the line's own pen, then its name.
                HPEN pen = CreateLinePen(i);
                HGDIOBJ old = SelectObject(dc, pen);
                MoveToEx(dc, frame.right + 8, y + 7, nullptr);
                LineTo(dc, frame.right + 30, y + 7);
                SelectObject(dc, old);
                DeleteObject(pen);
                DrawText(dc, frame.right + 34, y, panel.lines[i].label, LineColour(i));
            }
        }
        SelectObject(dc, oldPen);
        DeleteObject(grid);
    }

    void AskAndSave() {
        wchar_t path[MAX_PATH] = L"ferrox-monitor.csv";
        OPENFILENAMEW dialog{};
        dialog.lStructSize = sizeof dialog;
        dialog.hwndOwner = window;
        dialog.lpstrFilter = L"CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0";
        dialog.lpstrFile = path;
        dialog.nMaxFile = MAX_PATH;
        dialog.lpstrTitle = L"Save the monitor's data";
        dialog.lpstrDefExt = L"csv";
        dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;
        if (GetSaveFileNameW(&dialog)) SaveTo(Utf8(path), nullptr);
    }

    bool SaveTo(const std::string& path, std::string* error) {
        std::string reason;
        const bool saved = save && save(path, &reason);
        if (!save) reason = "nothing to save";
        if (status != nullptr) SetWindowTextW(status, Utf16(saved ? "Saved to " + path : "Not saved: " + reason).c_str());
        if (!saved && error != nullptr) *error = reason;
        return saved;
    }
};

CChartWindow::CChartWindow() : m_impl(std::make_unique<Impl>()) {}

CChartWindow::~CChartWindow() {
    if (m_impl->window != nullptr) DestroyWindow(m_impl->window);
}

void CChartWindow::Show(CFrameWnd* owner, const std::string& title, ContentSource source, SaveAction save) {
    if (m_impl->window == nullptr) {
        FrameWidget* ownerWidget = owner != nullptr ? owner->GetFrameWidget() : nullptr;
        if (!m_impl->Build(ownerWidget != nullptr ? ownerWidget->Handle() : nullptr)) {
            if (m_impl->window != nullptr) DestroyWindow(m_impl->window);
            return;
        }
    }
    m_impl->source = std::move(source);
    m_impl->save = std::move(save);
    SetWindowTextW(m_impl->window, Utf16(title).c_str());
    m_impl->Fill();
    SetTimer(m_impl->window, kRefreshTimer, 1000, nullptr);
    ShowWindow(m_impl->window, SW_SHOWNORMAL);
    SetForegroundWindow(m_impl->window);
}

void CChartWindow::Close() { m_impl->Hide(); }

bool CChartWindow::IsShown() const { return m_impl->window != nullptr && IsWindowVisible(m_impl->window); }

void CChartWindow::Refresh() { m_impl->Fill(); }

void CChartWindow::PaintNow() {
    if (m_impl->plots == nullptr) return;
    RedrawWindow(m_impl->window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
}

const ChartContent& CChartWindow::Shown() const { return m_impl->shown; }

std::size_t CChartWindow::PlottedPoints() const { return m_impl->plotted; }

std::vector<ChartLineStyle> CChartWindow::LineStyles(std::size_t panel) const {
    std::vector<ChartLineStyle> styles;
    if (panel < m_impl->shown.panels.size())
        for (std::size_t i = 0; i < m_impl->shown.panels[panel].lines.size(); ++i) styles.push_back(ChartLineStyleAt(i));
    return styles;
}

ChartRoom CChartWindow::Room() const {
    ChartRoom room;
    if (m_impl->plots == nullptr) return room;
    RECT plots, table;
    GetClientRect(m_impl->plots, &plots);
    GetWindowRect(m_impl->list, &table);
    room.panels = m_impl->PanelHeights(plots.bottom);
    room.table = table.bottom - table.top;
    return room;
}

bool CChartWindow::SaveTo(const std::string& path, std::string* error) { return m_impl->SaveTo(path, error); }
