// The tool tip control of the common controls (tooltips_class32). Tools are kept here as well,
// so GetToolInfo can hand out text that lives as long as the tool.

#include "platform/win32/windows_api.h"

#include "platform/common/tool_table.h"
#include "platform/frame_wnd.h"
#include "platform/win32/frame_widget.h"
#include "platform/win32/text.h"

struct CToolTipCtrl::State {
    HWND control = nullptr;
    HWND owner = nullptr;
    ToolTable tools;
    bool trackingActive = false;

    // The record the control's messages take; text points into wideText.
    TTTOOLINFOW Native(unsigned id, const ToolEntry& tool, std::wstring& wideText) const {
        TTTOOLINFOW info{};
        // The record of comctl32 5, which every version takes.
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.uFlags = tool.flags;
        info.hwnd = owner;
        info.uId = id;
        info.rect = RECT{tool.rect.left, tool.rect.top, tool.rect.right, tool.rect.bottom};
        wideText = Utf16(tool.text);
        info.lpszText = wideText.data();
        return info;
    }
    bool Alive() const { return control != nullptr && ::IsWindow(control); }
};

CToolTipCtrl::CToolTipCtrl() : m_state(std::make_unique<State>()) {}

CToolTipCtrl::~CToolTipCtrl() { DestroyWindow(); }

bool CToolTipCtrl::Create(CFrameWnd* parent, std::uint32_t style) {
    FrameWidget* owner = parent != nullptr ? parent->GetFrameWidget() : nullptr;
    if (owner == nullptr) {
        return false;
    }
    DestroyWindow();
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    // Owned by the frame, so it goes when the frame's window goes.
    m_state->control = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                       (style & ~WS_VISIBLE) | WS_POPUP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                                       CW_USEDEFAULT, CW_USEDEFAULT, owner->Handle(), nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    if (m_state->control == nullptr) {
        return false;
    }
    m_state->owner = owner->Handle();
    return true;
}

void CToolTipCtrl::DestroyWindow() {
    if (m_state->Alive()) {
        ::DestroyWindow(m_state->control);
    }
    *m_state = State{};
}

bool CToolTipCtrl::IsWindow() const { return m_state->Alive(); }

bool CToolTipCtrl::AddTool(CFrameWnd*, const char* text, const CRect& rect, unsigned toolId) {
    if (!m_state->Alive() || text == nullptr) {
        return false;
    }
    const ToolEntry& tool = m_state->tools.Add(toolId, rect, text);
    std::wstring wide;
    TTTOOLINFOW info = m_state->Native(toolId, tool, wide);
    SendMessageW(m_state->control, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    return SendMessageW(m_state->control, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

bool CToolTipCtrl::GetToolInfo(TOOLINFO* info, CFrameWnd*, unsigned toolId) const {
    return m_state->tools.Describe(toolId, info);
}

void CToolTipCtrl::SetToolInfo(const TOOLINFO* info) {
    const ToolEntry* tool = m_state->tools.Update(info);
    if (tool != nullptr && m_state->Alive()) {
        std::wstring wide;
        TTTOOLINFOW native = m_state->Native(info->uId, *tool, wide);
        SendMessageW(m_state->control, TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&native));
    }
}

void CToolTipCtrl::SetToolRect(CFrameWnd*, unsigned toolId, const CRect& rect) {
    const ToolEntry* tool = m_state->tools.Move(toolId, rect);
    if (tool != nullptr && m_state->Alive()) {
        std::wstring wide;
        TTTOOLINFOW native = m_state->Native(toolId, *tool, wide);
        SendMessageW(m_state->control, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&native));
    }
}

void CToolTipCtrl::SetDelayTime(std::uint32_t which, int milliseconds) {
    m_state->tools.SetDelay(which, milliseconds);
    if (m_state->Alive()) {
        SendMessageW(m_state->control, TTM_SETDELAYTIME, which, MAKELPARAM(milliseconds, 0));
    }
}

int CToolTipCtrl::GetDelayTime(std::uint32_t which) const { return m_state->tools.Delay(which); }

void CToolTipCtrl::TrackActivate(bool activate, const TOOLINFO* info) {
    if (!m_state->Alive() || info == nullptr) {
        return;
    }
    const ToolEntry* tool = m_state->tools.Find(info->uId);
    if (tool == nullptr) {
        return;
    }
    std::wstring wide;
    TTTOOLINFOW native = m_state->Native(info->uId, *tool, wide);
    SendMessageW(m_state->control, TTM_TRACKACTIVATE, activate ? TRUE : FALSE, reinterpret_cast<LPARAM>(&native));
    m_state->trackingActive = activate;
}

void CToolTipCtrl::TrackPosition(int x, int y) {
    if (m_state->Alive()) {
        SendMessageW(m_state->control, TTM_TRACKPOSITION, 0, MAKELPARAM(x, y));
    }
}

bool CToolTipCtrl::IsTrackingActive() const { return m_state->trackingActive; }
