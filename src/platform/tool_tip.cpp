#include "platform/tool_tip.h"

#include <map>

#include <QPointer>
#include <QToolTip>

#include "platform/frame_widget.h"
#include "platform/frame_wnd.h"

namespace {
struct Tool {
    std::uint32_t flags = 0;
    CRect rect;
    std::string text;
};
}  // namespace

struct CToolTipCtrl::State {
    bool created = false;
    QPointer<FrameWidget> owner;
    std::map<unsigned, Tool> tools;
    std::map<std::uint32_t, int> delays;
    bool trackingActive = false;
    unsigned trackingTool = 0;
    QPoint trackPosition;

    void ShowTrackingTip() {
        auto tool = tools.find(trackingTool);
        if (!owner || tool == tools.end()) {
            return;
        }
        QWidget* view = owner->View();
        // A one-pixel area under the tip keeps Qt from hiding it while the owner moves it.
        QRect keepArea(view->mapFromGlobal(trackPosition), QSize(1, 1));
        QToolTip::showText(trackPosition, QString::fromStdString(tool->second.text), view,
                           keepArea);
    }
};

CToolTipCtrl::CToolTipCtrl() : m_state(std::make_unique<State>()) {}

CToolTipCtrl::~CToolTipCtrl() { DestroyWindow(); }

bool CToolTipCtrl::Create(CFrameWnd* parent, std::uint32_t) {
    if (parent == nullptr || parent->GetFrameWidget() == nullptr) {
        return false;
    }
    m_state->owner = parent->GetFrameWidget();
    m_state->created = true;
    return true;
}

void CToolTipCtrl::DestroyWindow() {
    if (m_state->trackingActive && m_state->owner) {
        QToolTip::hideText();
    }
    *m_state = State{};
}

bool CToolTipCtrl::IsWindow() const { return m_state->created; }

bool CToolTipCtrl::AddTool(CFrameWnd*, const char* text, const CRect& rect, unsigned toolId) {
    if (!m_state->created || text == nullptr) {
        return false;
    }
    m_state->tools[toolId] = Tool{0, rect, text};
    return true;
}

bool CToolTipCtrl::GetToolInfo(TOOLINFO* info, CFrameWnd*, unsigned toolId) const {
    auto tool = m_state->tools.find(toolId);
    if (info == nullptr || tool == m_state->tools.end()) {
        return false;
    }
    info->uFlags = tool->second.flags;
    info->uId = toolId;
    info->rect = tool->second.rect;
    info->lpszText = tool->second.text.c_str();
    return true;
}

void CToolTipCtrl::SetToolInfo(const TOOLINFO* info) {
    if (info == nullptr) {
        return;
    }
    auto tool = m_state->tools.find(info->uId);
    if (tool == m_state->tools.end()) {
        return;
    }
    tool->second.flags = info->uFlags;
    tool->second.rect = info->rect;
    if (info->lpszText != nullptr) {
        tool->second.text = std::string(info->lpszText);
    }
}

void CToolTipCtrl::SetToolRect(CFrameWnd*, unsigned toolId, const CRect& rect) {
    auto tool = m_state->tools.find(toolId);
    if (tool != m_state->tools.end()) {
        tool->second.rect = rect;
    }
}

void CToolTipCtrl::SetDelayTime(std::uint32_t which, int milliseconds) {
    m_state->delays[which] = milliseconds;
}

int CToolTipCtrl::GetDelayTime(std::uint32_t which) const {
    auto found = m_state->delays.find(which);
    return found != m_state->delays.end() ? found->second : 0;
}

void CToolTipCtrl::TrackActivate(bool activate, const TOOLINFO* info) {
    if (!m_state->created || info == nullptr || m_state->tools.count(info->uId) == 0) {
        return;
    }
    if (activate) {
        m_state->trackingActive = true;
        m_state->trackingTool = info->uId;
        m_state->ShowTrackingTip();
    } else if (m_state->trackingActive && m_state->trackingTool == info->uId) {
        m_state->trackingActive = false;
        QToolTip::hideText();
    }
}

void CToolTipCtrl::TrackPosition(int x, int y) {
    m_state->trackPosition = QPoint(x, y);
    if (m_state->trackingActive) {
        m_state->ShowTrackingTip();
    }
}

bool CToolTipCtrl::IsTrackingActive() const { return m_state->trackingActive; }
