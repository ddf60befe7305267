#include "platform/qt/frame_widget.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QVBoxLayout>

#include "platform/frame_wnd.h"
#include "platform/qt/paint_target.h"

namespace {
// Windows' hover time when the caller asks for the default.
constexpr int kDefaultHoverMilliseconds = 400;

CPoint ToPoint(const QPoint& point) { return CPoint{point.x(), point.y()}; }
}  // namespace

ClientView::ClientView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    // The frame paints every pixel itself; Qt must not clear before each paint.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    m_hoverTimer.setSingleShot(true);
    connect(&m_hoverTimer, &QTimer::timeout, this, [this] {
        if (m_frame != nullptr && m_hoverWanted) {
            m_hoverWanted = false;
            m_frame->OnMouseHover(ToPoint(m_lastMouse));
        }
    });
}

void ClientView::TrackMouse(bool hover, bool leave, int hoverMilliseconds) {
    m_leaveWanted = m_leaveWanted || leave;
    if (hover) {
        m_hoverWanted = true;
        m_hoverTimer.start(hoverMilliseconds > 0 ? hoverMilliseconds : kDefaultHoverMilliseconds);
    }
}

void ClientView::paintEvent(QPaintEvent*) {
    if (m_frame == nullptr) {
        return;
    }
    QPainter painter(this);
    PaintTarget target{&painter, this};
    CDC dc(&target);
    if (m_erasePending) {
        m_erasePending = false;
        if (!m_frame->OnEraseBkgnd(dc)) {
            dc.FillSolidRect(CRect{0, 0, width(), height()}, 0x000000);
        }
    }
    m_frame->OnPaint(dc);
}

void ClientView::resizeEvent(QResizeEvent*) {
    m_erasePending = true;
    if (m_frame != nullptr) {
        m_frame->OnSize(width(), height());
    }
}

void ClientView::mouseMoveEvent(QMouseEvent* event) {
    m_lastMouse = event->position().toPoint();
    if (m_frame != nullptr) {
        m_frame->OnMouseMove(ToPoint(m_lastMouse));
    }
}

void ClientView::mousePressEvent(QMouseEvent* event) {
    if (m_frame != nullptr && event->button() == Qt::LeftButton) {
        m_frame->OnLButtonDown(ToPoint(event->position().toPoint()));
    }
}

void ClientView::leaveEvent(QEvent*) {
    m_hoverTimer.stop();
    m_hoverWanted = false;
    if (m_frame != nullptr && m_leaveWanted) {
        m_leaveWanted = false;
        m_frame->OnMouseLeave();
    }
}

FrameWidget::FrameWidget(CFrameWnd* frame, bool canMaximize)
    : QWidget(nullptr), m_frame(frame), m_canMaximize(canMaximize) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                            Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                            Qt::WindowCloseButtonHint;
    if (canMaximize) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    setWindowFlags(flags);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // The window follows the client view's limits (the menu bar's height comes on top of them).
    layout->setSizeConstraint(QLayout::SetMinAndMaxSize);
    m_menuBar = new QMenuBar(this);
    layout->setMenuBar(m_menuBar);
    m_view = new ClientView(this);
    m_view->Attach(frame);
    layout->addWidget(m_view);
}

void FrameWidget::Detach() {
    m_frame = nullptr;
    m_view->Detach();
}

void FrameWidget::closeEvent(QCloseEvent* event) {
    // Closing is the frame's decision (OnClose destroys the window).
    event->ignore();
    if (m_frame != nullptr) {
        m_frame->OnClose();
    }
}

void FrameWidget::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Some window managers maximise although the window has no maximise button: undo it once
    // the window manager has finished its own state change.
    if (event->type() == QEvent::WindowStateChange && !m_canMaximize && isMaximized()) {
        QPointer<FrameWidget> self(this);
        QTimer::singleShot(0, this, [self] {
            if (self && self->isMaximized()) {
                self->showNormal();
            }
        });
    }
}
