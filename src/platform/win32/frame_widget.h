// The native window behind a CFrameWnd (inside the Win32 backend only): its window class, its
// window procedure, which turns window messages into the frame's On... handlers, and what the
// procedure needs to remember between messages. Named as the Qt backend's FrameWidget, which
// plays the same part there.
#pragma once

#include "platform/win32/windows_api.h"

#include <string>

#include "platform/frame_wnd.h"

// A largest client size the frame leaves as it found it: no limit.
inline constexpr int kNoTrackLimit = 32767;

class FrameWidget {
public:
    // Creates the window (not shown) with the given styles, title and menu bar; null on failure.
    static FrameWidget* Create(CFrameWnd* frame, std::uint32_t style, std::uint32_t exStyle, const std::wstring& title,
                               HMENU menuBar);

    CFrameWnd* Frame() const { return m_frame; }
    HWND Handle() const { return m_hwnd; }
    // From now on no message reaches the frame.
    void Detach() { m_frame = nullptr; }

    // The client-area limits the frame gave through OnGetMinMaxInfo.
    void SetTrackLimits(const MINMAXINFO& limits) { m_limits = limits; m_haveLimits = true; }
    void SetCursorShape(StandardCursor cursor) { m_cursor = cursor; }
    StandardCursor CursorShape() const { return m_cursor; }

private:
    explicit FrameWidget(CFrameWnd* frame) : m_frame(frame) {}
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void ApplyTrackLimits(Win32MINMAXINFO* info) const;

    CFrameWnd* m_frame;
    HWND m_hwnd = nullptr;
    MINMAXINFO m_limits{};
    bool m_haveLimits = false;
    StandardCursor m_cursor = StandardCursor::Arrow;
};

// The window's menu bar and styles into window size: what AdjustWindowRectEx gives for a client
// rectangle.
CRect WindowRectForClient(HWND hwnd, const CRect& client);
