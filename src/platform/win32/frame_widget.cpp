#include "platform/win32/frame_widget.h"

#include "platform/win32/menu_handle.h"
#include "platform/win32/notify_icons.h"
#include "platform/win32/paint_target.h"
#include "platform/win32/termination_window.h"
#include "platform/common/termination_signals_internal.h"
#include "platform/win_app.h"

namespace {
constexpr wchar_t kWindowClass[] = L"FerroxFrame";

CPoint PointOf(LPARAM lParam) {
    return CPoint{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

bool RegisterFrameClass(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        // Every size change repaints the whole client area: the picture is stretched to fit.
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        windowClass.lpszClassName = kWindowClass;
        return RegisterClassExW(&windowClass) != 0;
    }();
    return registered;
}
}  // namespace

CRect WindowRectForClient(HWND hwnd, const CRect& client) {
    RECT rect{client.left, client.top, client.right, client.bottom};
    const auto style = static_cast<Win32DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE));
    const auto exStyle = static_cast<Win32DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE));
    AdjustWindowRectEx(&rect, style, GetMenu(hwnd) != nullptr, exStyle);
    return CRect{rect.left, rect.top, rect.right, rect.bottom};
}

FrameWidget* FrameWidget::Create(CFrameWnd* frame, std::uint32_t style, std::uint32_t exStyle,
                                 const std::wstring& title, HMENU menuBar) {
    if (!RegisterFrameClass(WindowProc)) return nullptr;
    auto* widget = new FrameWidget(frame);
    // WM_NCCREATE stores the widget with the window; WM_NCDESTROY deletes it.
    HWND hwnd = CreateWindowExW(exStyle, kWindowClass, title.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menuBar, GetModuleHandleW(nullptr), widget);
    return hwnd != nullptr ? widget : nullptr;
}

LRESULT CALLBACK FrameWidget::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* widget = static_cast<FrameWidget*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        widget->m_hwnd = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(widget));
    }
    auto* widget = reinterpret_cast<FrameWidget*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (widget == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        delete widget;
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    return widget->OnMessage(message, wParam, lParam);
}

// A handler may destroy the window: nothing here touches the widget after calling one.
LRESULT FrameWidget::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    const HWND hwnd = m_hwnd;
    CFrameWnd* frame = m_frame;
    if (frame == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CLOSE:
        // Closing is the frame's decision (OnClose destroys the window).
        frame->OnClose();
        return 0;
    case WM_ERASEBKGND: {
        PaintTarget target{reinterpret_cast<HDC>(wParam)};
        CDC dc(&target);
        if (!frame->OnEraseBkgnd(dc)) {
            RECT client;
            GetClientRect(hwnd, &client);
            dc.FillSolidRect(CRect{0, 0, client.right, client.bottom}, 0x000000);
        }
        return 1;
    }
    case WM_PAINT: {
        PAINTSTRUCT paint;
        PaintTarget target{BeginPaint(hwnd, &paint)};
        CDC dc(&target);
        frame->OnPaint(dc);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_SIZE:
        // A minimised window keeps its client size for the frame, as in the Qt backend.
        if (wParam != SIZE_MINIMIZED) frame->OnSize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_GETMINMAXINFO:
        ApplyTrackLimits(reinterpret_cast<Win32MINMAXINFO*>(lParam));
        return 0;
    case WM_TIMER:
        frame->OnTimer(static_cast<unsigned>(wParam));
        return 0;
    case WM_MOUSEMOVE:
        frame->OnMouseMove(PointOf(lParam));
        return 0;
    case WM_LBUTTONDOWN:
        frame->OnLButtonDown(PointOf(lParam));
        return 0;
    case WM_MOUSEHOVER:
        frame->OnMouseHover(PointOf(lParam));
        return 0;
    case WM_MOUSELEAVE:
        frame->OnMouseLeave();
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            SetCursor(LoadCursorW(nullptr, m_cursor == StandardCursor::Hand ? IDC_HAND : IDC_ARROW));
            return TRUE;
        }
        break;
    case WM_INITMENUPOPUP:
        if (HIWORD(lParam) == 0) {  // not the window menu
            MenuHandle handle{reinterpret_cast<HMENU>(wParam)};
            CMenu popup(&handle);
            frame->OnInitMenuPopup(popup);
        }
        return 0;
    case WM_COMMAND:
        // Menu items and accelerators; controls would give their window in lParam.
        if (lParam == 0) {
            frame->SendCommand(LOWORD(wParam));
            return 0;
        }
        break;
    default:
        if (message == TaskbarCreatedMessage()) {
            RestoreNotifyIcons(frame);
            return 0;
        }
        if (message == TerminationSignalMessage()) {
            // Every signal waiting, in order; the application decides what each one does.
            while (const int signal = ReadTerminationSignal()) {
                if (CWinApp* app = AfxGetApp()) app->OnTerminationSignal(signal);
            }
            return 0;
        }
        if (message >= WM_USER && message < 0xC000) return frame->OnUserMessage(message, wParam, lParam);
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

void FrameWidget::ApplyTrackLimits(Win32MINMAXINFO* info) const {
    if (!m_haveLimits || info == nullptr) return;
    // The frame speaks of the client area; Windows of the whole window.
    const CRect smallest = WindowRectForClient(m_hwnd, CRect{0, 0, m_limits.ptMinTrackSize.x, m_limits.ptMinTrackSize.y});
    info->ptMinTrackSize = POINT{smallest.Width(), smallest.Height()};
    if (m_limits.ptMaxTrackSize.x < kNoTrackLimit && m_limits.ptMaxTrackSize.y < kNoTrackLimit) {
        const CRect largest =
            WindowRectForClient(m_hwnd, CRect{0, 0, m_limits.ptMaxTrackSize.x, m_limits.ptMaxTrackSize.y});
        info->ptMaxTrackSize = POINT{largest.Width(), largest.Height()};
    }
}
