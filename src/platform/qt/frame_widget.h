// The Qt widgets behind a CFrameWnd (inside the platform layer only): the top-level window with
// its menu bar and the client view under it.
#pragma once

#include <QMenuBar>
#include <QPoint>
#include <QTimer>
#include <QWidget>

class CFrameWnd;

// The client area: paints, mouse, hover and leave go to the frame.
class ClientView : public QWidget {
    Q_OBJECT
public:
    explicit ClientView(QWidget* parent);

    void Detach() { m_frame = nullptr; }
    void Attach(CFrameWnd* frame) { m_frame = frame; }
    void RequestErase() { m_erasePending = true; }
    void TrackMouse(bool hover, bool leave, int hoverMilliseconds);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    CFrameWnd* m_frame = nullptr;
    bool m_erasePending = true;
    bool m_hoverWanted = false;
    bool m_leaveWanted = false;
    QPoint m_lastMouse;
    QTimer m_hoverTimer;
};

class FrameWidget : public QWidget {
    Q_OBJECT
public:
    FrameWidget(CFrameWnd* frame, bool canMaximize);

    CFrameWnd* Frame() const { return m_frame; }
    void Detach();
    ClientView* View() const { return m_view; }
    QMenuBar* MenuBar() const { return m_menuBar; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    CFrameWnd* m_frame;
    bool m_canMaximize;
    QMenuBar* m_menuBar;
    ClientView* m_view;
};
