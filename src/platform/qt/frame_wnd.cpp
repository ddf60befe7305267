#include "platform/frame_wnd.h"

#include <limits>
#include <map>

#include <QApplication>
#include <QCursor>
#include <QIcon>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

#include "platform/qt/frame_widget.h"
#include "platform/qt/icon_object.h"
#include "platform/qt/menu_handle.h"
#include "platform/resources.h"
#include "platform/win_app.h"

struct CFrameWnd::State {
    QPointer<FrameWidget> widget;
    MenuHandle menuBarHandle;
    std::unique_ptr<CMenu> menuBar;
    std::map<unsigned, QTimer*> timers;
    HICON icon = nullptr;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
};

CFrameWnd::CFrameWnd() : m_state(std::make_unique<State>()) {}

CFrameWnd::~CFrameWnd() {
    if (m_state->widget) {
        // Destroyed without DestroyWindow: the widget must not call back into this object.
        m_state->widget->Detach();
        delete m_state->widget.data();
    }
}

bool CFrameWnd::LoadFrame(unsigned resourceId, std::uint32_t style) {
    if (m_state->widget || QApplication::instance() == nullptr) {
        return false;
    }
    CREATESTRUCT cs;
    cs.style = style;
    if (!PreCreateWindow(cs)) {
        return false;
    }
    m_state->style = cs.style;
    m_state->exStyle = cs.dwExStyle;
    auto* widget = new FrameWidget(this, (cs.style & WS_MAXIMIZEBOX) != 0);
    m_state->widget = widget;

    if (const MenuResource* menu = FindMenuResource(resourceId)) {
        BuildMenuItems(widget->MenuBar(), menu->items);
    }
    m_state->menuBarHandle.widget = widget->MenuBar();
    m_state->menuBar = std::make_unique<CMenu>(&m_state->menuBarHandle);
    QObject::connect(widget->MenuBar(), &QMenuBar::triggered, widget, [widget](QAction* action) {
        if (CFrameWnd* frame = widget->Frame()) {
            frame->SendCommand(ActionCommandId(action));
        }
    });
    ConnectMenuUpdates(widget->MenuBar(), widget, [widget](QMenu* popup) {
        if (CFrameWnd* frame = widget->Frame()) {
            MenuHandle handle{popup};
            CMenu wrapper(&handle);
            frame->OnInitMenuPopup(wrapper);
        }
    });

    m_state->icon = LoadIcon(resourceId);
    if (m_state->icon != nullptr) {
        widget->setWindowIcon(m_state->icon->icon);
    }
    widget->setWindowTitle(QString::fromStdString(LoadString(resourceId)));

    if (OnCreate() == -1) {
        for (auto& [id, timer] : m_state->timers) {
            timer->stop();
        }
        m_state->timers.clear();
        widget->Detach();
        delete widget;
        m_state->menuBar.reset();
        return false;
    }

    MINMAXINFO info;
    info.ptMinTrackSize = CPoint{0, 0};
    info.ptMaxTrackSize = CPoint{QWIDGETSIZE_MAX, QWIDGETSIZE_MAX};
    OnGetMinMaxInfo(&info);
    widget->View()->setMinimumSize(info.ptMinTrackSize.x, info.ptMinTrackSize.y);
    widget->View()->setMaximumSize(info.ptMaxTrackSize.x, info.ptMaxTrackSize.y);
    return true;
}

void CFrameWnd::DestroyWindow() {
    FrameWidget* widget = m_state->widget;
    if (widget == nullptr) {
        return;
    }
    OnDestroy();
    for (auto& [id, timer] : m_state->timers) {
        timer->stop();
    }
    m_state->timers.clear();
    widget->Detach();
    widget->hide();
    // Possibly called from inside one of the widget's own event handlers.
    widget->deleteLater();
    m_state->widget.clear();
    m_state->menuBar.reset();
    PostNcDestroy();
}

bool CFrameWnd::IsWindow() const { return !m_state->widget.isNull(); }

void CFrameWnd::ShowWindow(int showCommand) {
    FrameWidget* widget = m_state->widget;
    if (widget == nullptr) {
        return;
    }
    switch (showCommand) {
    case SW_HIDE: widget->hide(); break;
    case SW_MINIMIZE: widget->showMinimized(); break;
    case SW_SHOWNORMAL: widget->showNormal(); break;
    default: widget->show(); break;
    }
}

void CFrameWnd::UpdateWindow() {
    if (m_state->widget && m_state->widget->isVisible()) {
        m_state->widget->View()->repaint();
    }
}

void CFrameWnd::InvalidateRect(bool erase) {
    if (m_state->widget) {
        if (erase) {
            m_state->widget->View()->RequestErase();
        }
        m_state->widget->View()->update();
    }
}

void CFrameWnd::SetForegroundWindow() {
    if (m_state->widget) {
        m_state->widget->raise();
        m_state->widget->activateWindow();
    }
}

bool CFrameWnd::IsWindowVisible() const { return m_state->widget && m_state->widget->isVisible(); }
bool CFrameWnd::IsIconic() const { return m_state->widget && m_state->widget->isMinimized(); }
bool CFrameWnd::IsZoomed() const { return m_state->widget && m_state->widget->isMaximized(); }

void CFrameWnd::SetWindowText(const std::string& text) {
    if (m_state->widget) {
        m_state->widget->setWindowTitle(QString::fromStdString(text));
    }
}

std::string CFrameWnd::GetWindowText() const {
    return m_state->widget ? m_state->widget->windowTitle().toStdString() : std::string();
}

void CFrameWnd::GetClientRect(CRect* rect) const {
    if (rect == nullptr) {
        return;
    }
    *rect = CRect{};
    if (m_state->widget) {
        QWidget* view = m_state->widget->View();
        *rect = CRect{0, 0, view->width(), view->height()};
    }
}

void CFrameWnd::ClientToScreen(CPoint* point) const {
    if (point != nullptr && m_state->widget) {
        QPoint global = m_state->widget->View()->mapToGlobal(QPoint(point->x, point->y));
        *point = CPoint{global.x(), global.y()};
    }
}

void CFrameWnd::CalcWindowRect(CRect*) const {}

void CFrameWnd::MoveWindow(int x, int y, int width, int height, bool repaint) {
    FrameWidget* widget = m_state->widget;
    if (widget == nullptr) {
        return;
    }
    // The rectangle is the client area's; the menu bar is laid out above it.
    int menuHeight = widget->MenuBar()->heightForWidth(width);
    if (menuHeight < 0) {
        menuHeight = widget->MenuBar()->sizeHint().height();
    }
    // Before the first show the window manager chooses the place; afterwards the client's top
    // left corner goes to (x, y).
    if (widget->isVisible()) {
        // setGeometry places the inside of the window; the window manager's border goes around.
        QPoint origin = widget->View()->mapTo(widget, QPoint(0, 0));
        widget->setGeometry(x - origin.x(), y - origin.y(), width, height + menuHeight);
    } else {
        widget->resize(width, height + menuHeight);
    }
    if (repaint) {
        InvalidateRect(true);
    }
}

std::uint32_t CFrameWnd::GetStyle() const { return m_state->style; }
std::uint32_t CFrameWnd::GetExStyle() const { return m_state->exStyle; }

void CFrameWnd::SetExStyle(std::uint32_t exStyle) {
    bool toolBefore = (m_state->exStyle & WS_EX_TOOLWINDOW) != 0;
    bool toolAfter = (exStyle & WS_EX_TOOLWINDOW) != 0;
    m_state->exStyle = exStyle;
    FrameWidget* widget = m_state->widget;
    if (widget != nullptr && toolBefore != toolAfter) {
        // A tool window has no task bar button; changing the flag re-creates the native window.
        bool visible = widget->isVisible();
        widget->setWindowFlag(Qt::Tool, toolAfter);
        if (visible) {
            widget->show();
        }
    }
}

HICON CFrameWnd::GetIcon() const { return m_state->icon; }

CMenu* CFrameWnd::GetMenu() { return m_state->menuBar.get(); }

void CFrameWnd::SetTimer(unsigned id, unsigned milliseconds) {
    FrameWidget* widget = m_state->widget;
    if (widget == nullptr) {
        return;
    }
    QTimer*& timer = m_state->timers[id];
    if (timer == nullptr) {
        timer = new QTimer(widget);
        QObject::connect(timer, &QTimer::timeout, widget, [widget, id] {
            if (CFrameWnd* frame = widget->Frame()) {
                frame->OnTimer(id);
            }
        });
    }
    timer->start(static_cast<int>(std::min<unsigned>(milliseconds, std::numeric_limits<int>::max())));
}

void CFrameWnd::KillTimer(unsigned id) {
    auto found = m_state->timers.find(id);
    if (found != m_state->timers.end()) {
        found->second->stop();
        found->second->deleteLater();
        m_state->timers.erase(found);
    }
}

void CFrameWnd::SetCursor(StandardCursor cursor) {
    if (m_state->widget) {
        m_state->widget->View()->setCursor(cursor == StandardCursor::Hand ? Qt::PointingHandCursor
                                                                          : Qt::ArrowCursor);
    }
}

void CFrameWnd::TrackMouseEvent(std::uint32_t flags, std::uint32_t hoverMilliseconds) {
    if (m_state->widget) {
        int hover = hoverMilliseconds == HOVER_DEFAULT
                        ? 0
                        : static_cast<int>(std::min<std::uint32_t>(hoverMilliseconds, 60000));
        m_state->widget->View()->TrackMouse((flags & TME_HOVER) != 0, (flags & TME_LEAVE) != 0,
                                            hover);
    }
}

void CFrameWnd::PostCommand(unsigned id) {
    FrameWidget* widget = m_state->widget;
    if (widget == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        widget,
        [widget, id] {
            if (CFrameWnd* frame = widget->Frame()) {
                frame->SendCommand(id);
            }
        },
        Qt::QueuedConnection);
}

void CFrameWnd::PostUserMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
    FrameWidget* widget = m_state->widget;
    if (widget == nullptr) {
        return;
    }
    QMetaObject::invokeMethod(
        widget,
        [widget, message, wParam, lParam] {
            if (CFrameWnd* frame = widget->Frame()) {
                frame->OnUserMessage(message, wParam, lParam);
            }
        },
        Qt::QueuedConnection);
}

FrameWidget* CFrameWnd::GetFrameWidget() const { return m_state->widget; }

bool GetCursorPos(CPoint* point) {
    if (point == nullptr) {
        return false;
    }
    QPoint position = QCursor::pos();
    *point = CPoint{position.x(), position.y()};
    return true;
}
