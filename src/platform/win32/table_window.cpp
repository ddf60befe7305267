// The table window: a plain top-level window holding a static heading and a list view in report
// mode, refilled from its source by a one-second timer while it is shown. Rows shown as an alarm
// are drawn in red through the list view's custom draw.

#include "platform/win32/windows_api.h"

#include "platform/frame_wnd.h"
#include "platform/table_window.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/text.h"

namespace {
constexpr wchar_t kWindowClass[] = L"FerroxTable";
constexpr UINT_PTR kRefreshTimer = 1;
constexpr int kHeadingHeight = 40;
constexpr int kMargin = 8;
constexpr COLORREF kAlarmColour = RGB(200, 0, 0);
}  // namespace

struct CTableWindow::Impl {
    HWND window = nullptr;
    HWND heading = nullptr;
    HWND list = nullptr;
    ContentSource source;
    TableContent shown;
    int columnsShown = 0;

    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        auto* self = reinterpret_cast<Impl*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (self != nullptr) {
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
            case WM_NOTIFY: {
                const auto* header = reinterpret_cast<const NMHDR*>(lParam);
                if (header->hwndFrom == self->list && header->code == NM_CUSTOMDRAW)
                    return self->CustomDraw(reinterpret_cast<NMLVCUSTOMDRAW*>(lParam));
                break;
            }
            case WM_NCDESTROY:
                SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
                self->window = self->heading = self->list = nullptr;
                break;
            default: break;
            }
        }
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
            return RegisterClassExW(&windowClass) != 0;
        }();
        if (!registered) return false;
        // Owned by the main window: above it, and gone with it.
        window = CreateWindowExW(0, kWindowClass, L"", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 720, 320,
                                 owner, nullptr, GetModuleHandleW(nullptr), this);
        if (window == nullptr) return false;
        const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
        heading = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT, 0, 0, 0, 0, window, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
        list = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                               WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, 0, 0, 0, 0,
                               window, nullptr, GetModuleHandleW(nullptr), nullptr);
        if (heading == nullptr || list == nullptr) return false;
        SendMessageW(heading, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SendMessageW(list, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        ListView_SetExtendedListViewStyle(list, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
        RECT client;
        GetClientRect(window, &client);
        Layout(client.right, client.bottom);
        return true;
    }

    void Layout(int width, int height) {
        if (heading == nullptr || list == nullptr) return;
        MoveWindow(heading, kMargin, kMargin, width - 2 * kMargin, kHeadingHeight - kMargin, TRUE);
        MoveWindow(list, kMargin, kHeadingHeight, width - 2 * kMargin, height - kHeadingHeight - kMargin, TRUE);
    }

    void Hide() {
        if (window == nullptr) return;
        KillTimer(window, kRefreshTimer);
        ShowWindow(window, SW_HIDE);
    }

    bool AlarmRow(std::size_t row) const { return row < shown.alarmRows.size() && shown.alarmRows[row]; }

    LRESULT CustomDraw(NMLVCUSTOMDRAW* draw) {
        switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT: return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            if (AlarmRow(static_cast<std::size_t>(draw->nmcd.dwItemSpec))) draw->clrText = kAlarmColour;
            return CDRF_DODEFAULT;
        default: return CDRF_DODEFAULT;
        }
    }

    void Fill() {
        if (!source || list == nullptr) return;
        shown = source();
        SetWindowTextW(heading, Utf16(shown.heading).c_str());
        // The columns change rarely: rebuilt only when their names do.
        SendMessageW(list, WM_SETREDRAW, FALSE, 0);
        const int columns = static_cast<int>(shown.columns.size());
        bool sameColumns = columns == columnsShown;
        for (int column = 0; sameColumns && column < columns; ++column) {
            wchar_t text[256] = {};
            LVCOLUMNW read{};
            read.mask = LVCF_TEXT;
            read.pszText = text;
            read.cchTextMax = 256;
            sameColumns = ListView_GetColumn(list, column, &read) && Utf16(shown.columns[column]) == text;
        }
        if (!sameColumns) {
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
        const int rows = static_cast<int>(shown.rows.size());
        while (ListView_GetItemCount(list) > rows) ListView_DeleteItem(list, ListView_GetItemCount(list) - 1);
        for (int row = 0; row < rows; ++row) {
            const std::vector<std::string>& cells = shown.rows[static_cast<std::size_t>(row)];
            if (row >= ListView_GetItemCount(list)) {
                LVITEMW item{};
                item.mask = LVIF_TEXT;
                item.iItem = row;
                item.pszText = const_cast<wchar_t*>(L"");
                ListView_InsertItem(list, &item);
            }
            for (int column = 0; column < columns; ++column) {
                std::wstring text = static_cast<std::size_t>(column) < cells.size() ? Utf16(cells[column]) : std::wstring();
                ListView_SetItemText(list, row, column, text.data());
            }
        }
        // Every column as wide as the widest of its header and cells.
        for (int column = 0; column < columns; ++column) ListView_SetColumnWidth(list, column, LVSCW_AUTOSIZE_USEHEADER);
        SendMessageW(list, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(list, nullptr, TRUE);
    }
};

CTableWindow::CTableWindow() : m_impl(std::make_unique<Impl>()) {}

CTableWindow::~CTableWindow() {
    if (m_impl->window != nullptr) DestroyWindow(m_impl->window);
}

void CTableWindow::Show(CFrameWnd* owner, const std::string& title, ContentSource source) {
    if (m_impl->window == nullptr) {
        FrameWidget* ownerWidget = owner != nullptr ? owner->GetFrameWidget() : nullptr;
        if (!m_impl->Build(ownerWidget != nullptr ? ownerWidget->Handle() : nullptr)) {
            if (m_impl->window != nullptr) DestroyWindow(m_impl->window);
            return;
        }
    }
    m_impl->source = std::move(source);
    SetWindowTextW(m_impl->window, Utf16(title).c_str());
    m_impl->Fill();
    SetTimer(m_impl->window, kRefreshTimer, 1000, nullptr);
    ShowWindow(m_impl->window, SW_SHOWNORMAL);
    SetForegroundWindow(m_impl->window);
}

void CTableWindow::Close() { m_impl->Hide(); }

bool CTableWindow::IsShown() const { return m_impl->window != nullptr && IsWindowVisible(m_impl->window); }

void CTableWindow::Refresh() { m_impl->Fill(); }

TableContent CTableWindow::Shown() const { return m_impl->shown; }
