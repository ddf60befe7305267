#include "platform/win32/windows_api.h"

#include <map>

#include "platform/frame_wnd.h"
#include "platform/resources.h"
#include "platform/win_app.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/icon_object.h"
#include "platform/win32/menu_handle.h"
#include "platform/win32/text.h"

struct CFrameWnd::State {
    FrameWidget* widget = nullptr;
    MenuHandle menuBarHandle;
    std::unique_ptr<CMenu> menuBar;
    HICON icon = nullptr;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;

    HWND Window() const { return widget != nullptr ? widget->Handle() : nullptr; }
};

namespace {
// Styles of the framework that Windows does not know.
constexpr std::uint32_t kFrameworkStyles = FWS_ADDTOTITLE;
}  // namespace

CFrameWnd::CFrameWnd() : m_state(std::make_unique<State>()) {}

CFrameWnd::~CFrameWnd() {
    if (m_state->widget != nullptr) {
        // Destroyed without DestroyWindow: the window must not call back into this object.
        HWND hwnd = m_state->Window();
        m_state->widget->Detach();
        m_state->widget = nullptr;
        ::DestroyWindow(hwnd);
    }
}

bool CFrameWnd::LoadFrame(unsigned resourceId, std::uint32_t style) {
    if (m_state->widget != nullptr) {
        return false;
    }
    CREATESTRUCT cs;
    cs.style = style;
    if (!PreCreateWindow(cs)) {
        return false;
    }
    m_state->style = cs.style;
    m_state->exStyle = cs.dwExStyle;

    HMENU menuBar = nullptr;
    if (const MenuResource* menu = FindMenuResource(resourceId)) {
        menuBar = BuildMenu(menu->items, false);
    }
    FrameWidget* widget = FrameWidget::Create(this, cs.style & ~kFrameworkStyles & ~WS_VISIBLE, cs.dwExStyle,
                                              Utf16(LoadString(resourceId)), menuBar);
    if (widget == nullptr) {
        if (menuBar != nullptr) DestroyMenu(menuBar);
        return false;
    }
    m_state->widget = widget;
    m_state->menuBarHandle.menu = menuBar;
    m_state->menuBar = std::make_unique<CMenu>(&m_state->menuBarHandle);

    m_state->icon = LoadIcon(resourceId);
    if (m_state->icon != nullptr) {
        SendMessageW(widget->Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_state->icon->large));
        SendMessageW(widget->Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_state->icon->small));
    }

    if (OnCreate() == -1) {
        HWND hwnd = widget->Handle();
        widget->Detach();
        m_state->widget = nullptr;
        m_state->menuBar.reset();
        ::DestroyWindow(hwnd);  // timers and the menu bar go with the window
        return false;
    }

    MINMAXINFO info;
    info.ptMinTrackSize = CPoint{0, 0};
    info.ptMaxTrackSize = CPoint{kNoTrackLimit, kNoTrackLimit};
    OnGetMinMaxInfo(&info);
    widget->SetTrackLimits(info);
    return true;
}

void CFrameWnd::DestroyWindow() {
    FrameWidget* widget = m_state->widget;
    if (widget == nullptr) {
        return;
    }
    OnDestroy();
    HWND hwnd = widget->Handle();
    widget->Detach();
    m_state->widget = nullptr;
    m_state->menuBar.reset();
    // The window's timers and menu bar go with it; WM_NCDESTROY frees the widget.
    ::DestroyWindow(hwnd);
    PostNcDestroy();
}

bool CFrameWnd::IsWindow() const { return m_state->widget != nullptr; }

void CFrameWnd::ShowWindow(int showCommand) {
    if (HWND hwnd = m_state->Window()) {
        ::ShowWindow(hwnd, showCommand);
    }
}

void CFrameWnd::UpdateWindow() {
    if (HWND hwnd = m_state->Window()) {
        ::UpdateWindow(hwnd);
    }
}

void CFrameWnd::InvalidateRect(bool erase) {
    if (HWND hwnd = m_state->Window()) {
        ::InvalidateRect(hwnd, nullptr, erase ? TRUE : FALSE);
    }
}

void CFrameWnd::SetForegroundWindow() {
    if (HWND hwnd = m_state->Window()) {
        ::SetForegroundWindow(hwnd);
    }
}

bool CFrameWnd::IsWindowVisible() const {
    HWND hwnd = m_state->Window();
    return hwnd != nullptr && ::IsWindowVisible(hwnd);
}

bool CFrameWnd::IsIconic() const {
    HWND hwnd = m_state->Window();
    return hwnd != nullptr && ::IsIconic(hwnd);
}

bool CFrameWnd::IsZoomed() const {
    HWND hwnd = m_state->Window();
    return hwnd != nullptr && ::IsZoomed(hwnd);
}

void CFrameWnd::SetWindowText(const std::string& text) {
    if (HWND hwnd = m_state->Window()) {
        SetWindowTextW(hwnd, Utf16(text).c_str());
    }
}

std::string CFrameWnd::GetWindowText() const {
    HWND hwnd = m_state->Window();
    if (hwnd == nullptr) {
        return {};
    }
    std::wstring text(std::size_t(GetWindowTextLengthW(hwnd)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(hwnd, text.data(), int(text.size()))));
    return Utf8(text);
}

void CFrameWnd::GetClientRect(CRect* rect) const {
    if (rect == nullptr) {
        return;
    }
    *rect = CRect{};
    RECT client;
    if (HWND hwnd = m_state->Window(); hwnd != nullptr && ::GetClientRect(hwnd, &client)) {
        *rect = CRect{0, 0, client.right, client.bottom};
    }
}

void CFrameWnd::ClientToScreen(CPoint* point) const {
    HWND hwnd = m_state->Window();
    if (point != nullptr && hwnd != nullptr) {
        POINT screen{point->x, point->y};
        ::ClientToScreen(hwnd, &screen);
        *point = CPoint{screen.x, screen.y};
    }
}

// Both backends take client rectangles in MoveWindow and the size limits (see frame_wnd.h); the
// border and the menu bar are added where Windows needs whole-window sizes.
void CFrameWnd::CalcWindowRect(CRect*) const {}

void CFrameWnd::MoveWindow(int x, int y, int width, int height, bool repaint) {
    HWND hwnd = m_state->Window();
    if (hwnd == nullptr) {
        return;
    }
    const CRect window = WindowRectForClient(hwnd, CRect{x, y, x + width, y + height});
    ::MoveWindow(hwnd, window.left, window.top, window.Width(), window.Height(), repaint ? TRUE : FALSE);
}

std::uint32_t CFrameWnd::GetStyle() const { return m_state->style; }
std::uint32_t CFrameWnd::GetExStyle() const { return m_state->exStyle; }

void CFrameWnd::SetExStyle(std::uint32_t exStyle) {
    m_state->exStyle = exStyle;
    if (HWND hwnd = m_state->Window()) {
        // The task bar reads a tool window's flag when the window is next shown.
        SetWindowLongPtrW(hwnd, GWL_EXSTYLE, static_cast<LONG_PTR>(exStyle));
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

HICON CFrameWnd::GetIcon() const { return m_state->icon; }

CMenu* CFrameWnd::GetMenu() { return m_state->menuBar.get(); }

void CFrameWnd::SetTimer(unsigned id, unsigned milliseconds) {
    if (HWND hwnd = m_state->Window()) {
        ::SetTimer(hwnd, id, milliseconds, nullptr);
    }
}

void CFrameWnd::KillTimer(unsigned id) {
    if (HWND hwnd = m_state->Window()) {
        ::KillTimer(hwnd, id);
    }
}

void CFrameWnd::SetCursor(StandardCursor cursor) {
    if (m_state->widget == nullptr) {
        return;
    }
    m_state->widget->SetCursorShape(cursor);
    // WM_SETCURSOR keeps it while the pointer stays over the client area.
    ::SetCursor(LoadCursorW(nullptr, cursor == StandardCursor::Hand ? IDC_HAND : IDC_ARROW));
}

void CFrameWnd::TrackMouseEvent(std::uint32_t flags, std::uint32_t hoverMilliseconds) {
    if (HWND hwnd = m_state->Window()) {
        TRACKMOUSEEVENT request{};
        request.cbSize = sizeof request;
        request.dwFlags = flags & (TME_HOVER | TME_LEAVE);
        request.hwndTrack = hwnd;
        request.dwHoverTime = hoverMilliseconds;
        ::TrackMouseEvent(&request);
    }
}

void CFrameWnd::PostCommand(unsigned id) {
    if (HWND hwnd = m_state->Window()) {
        PostMessageW(hwnd, WM_COMMAND, id, 0);
    }
}

void CFrameWnd::PostUserMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    if (HWND hwnd = m_state->Window()) {
        PostMessageW(hwnd, message, wParam, lParam);
    }
}

FrameWidget* CFrameWnd::GetFrameWidget() const { return m_state->widget; }

bool GetCursorPos(CPoint* point) {
    POINT position;
    if (point == nullptr || !GetCursorPos(&position)) {
        return false;
    }
    *point = CPoint{position.x, position.y};
    return true;
}
