// The framework's tool tip control: tools are rectangles of a window with a text; a tracking
// tool is shown and moved by its owner rather than by the mouse's rest.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/window_defs.h"

class CFrameWnd;

struct TOOLINFO {
    std::uint32_t uFlags = 0;
    unsigned uId = 0;
    CRect rect;
    const char* lpszText = nullptr;
};

class CToolTipCtrl {
public:
    CToolTipCtrl();
    ~CToolTipCtrl();
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

    // style: WS_POPUP, WS_VISIBLE, TTS_ALWAYSTIP. False when parent has no window.
    bool Create(CFrameWnd* parent, std::uint32_t style);
    void DestroyWindow();
    bool IsWindow() const;

    // Adds (or replaces) tool toolId covering rect of window; false without a control or text.
    bool AddTool(CFrameWnd* window, const char* text, const CRect& rect, unsigned toolId);
    bool GetToolInfo(TOOLINFO* info, CFrameWnd* window, unsigned toolId) const;
    // Writes back a record read with GetToolInfo (flags, rectangle, text).
    void SetToolInfo(const TOOLINFO* info);
    void SetToolRect(CFrameWnd* window, unsigned toolId, const CRect& rect);
    void SetDelayTime(std::uint32_t which, int milliseconds);
    int GetDelayTime(std::uint32_t which) const;

    // Shows (or hides) the tracking tool of info at the last tracked position.
    void TrackActivate(bool activate, const TOOLINFO* info);
    // Screen position of the tracking tip.
    void TrackPosition(int x, int y);
    bool IsTrackingActive() const;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
