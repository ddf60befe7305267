#include "platform/tool_tip.h"

#include <QPointer>
#include <QToolTip>

#include "platform/common/tool_table.h"
#include "platform/frame_wnd.h"
#include "platform/qt/frame_widget.h"

struct CToolTipCtrl::State {
    bool created = false;
    QPointer<FrameWidget> owner;
    ToolTable tools;
    bool trackingActive = false;
    unsigned trackingTool = 0;
    QPoint trackPosition;

    void ShowTrackingTip() {
        const ToolEntry* tool = tools.Find(trackingTool);
        if (!owner || tool == nullptr) {
            return;
        }
        QWidget* view = owner->View();
        // A one-pixel area under the tip keeps Qt from hiding it while the owner moves it.
        QRect keepArea(view->mapFromGlobal(trackPosition), QSize(1, 1));
        QToolTip::showText(trackPosition, QString::fromStdString(tool->text), view,
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
    m_state->tools.Add(toolId, rect, text);
    return true;
}

bool CToolTipCtrl::GetToolInfo(TOOLINFO* info, CFrameWnd*, unsigned toolId) const {
    return m_state->tools.Describe(toolId, info);
}

void CToolTipCtrl::SetToolInfo(const TOOLINFO* info) { m_state->tools.Update(info); }

void CToolTipCtrl::SetToolRect(CFrameWnd*, unsigned toolId, const CRect& rect) { m_state->tools.Move(toolId, rect); }

void CToolTipCtrl::SetDelayTime(std::uint32_t which, int milliseconds) { m_state->tools.SetDelay(which, milliseconds); }

int CToolTipCtrl::GetDelayTime(std::uint32_t which) const { return m_state->tools.Delay(which); }

void CToolTipCtrl::TrackActivate(bool activate, const TOOLINFO* info) {
    if (!m_state->created || info == nullptr || m_state->tools.Find(info->uId) == nullptr) {
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
