// What a CDC paints into in the Qt backend (inside the platform layer only).
#pragma once

class QPainter;
class QWidget;

struct PaintTarget {
    QPainter* painter;
    QWidget* widget;
};
