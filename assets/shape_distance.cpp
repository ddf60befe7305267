#include "shape_distance.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {
double Length(double x, double y) { return std::sqrt(x * x + y * y); }

// Distance from p to the segment a-b (unsigned).
double SegmentDistance(Point p, Point a, Point b) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double t = std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy), 0.0, 1.0);
    return Length(p.x - a.x - t * dx, p.y - a.y - t * dy);
}

// A point on the screen at an angle (counter-clockwise as seen, so y goes up with the angle).
Point OnCircle(Point centre, double radius, double degrees) {
    const double radians = degrees * std::numbers::pi / 180.0;
    return {centre.x + radius * std::cos(radians), centre.y - radius * std::sin(radians)};
}
}  // namespace

double Box(Point p, double left, double top, double right, double bottom) {
    const double cx = (left + right) / 2, cy = (top + bottom) / 2;
    const double qx = std::abs(p.x - cx) - (right - left) / 2;
    const double qy = std::abs(p.y - cy) - (bottom - top) / 2;
    return Length(std::max(qx, 0.0), std::max(qy, 0.0)) + std::min(std::max(qx, qy), 0.0);
}

double FlatStroke(Point p, Point a, Point b, double halfWidth) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = Length(dx, dy);
    const double ux = dx / length, uy = dy / length;
    // Into the stroke's own frame: along it and across it, centred on its middle.
    const double rx = p.x - (a.x + b.x) / 2, ry = p.y - (a.y + b.y) / 2;
    const double along = rx * ux + ry * uy;
    const double across = -rx * uy + ry * ux;
    return Box({along, across}, -length / 2, -halfWidth, length / 2, halfWidth);
}

double Arc(Point p, Point centre, double radius, double halfWidth, double fromDegrees, double toDegrees) {
    double angle = std::atan2(centre.y - p.y, p.x - centre.x) * 180.0 / std::numbers::pi;
    while (angle < fromDegrees) angle += 360.0;
    if (angle <= toDegrees) {
        return std::abs(Length(p.x - centre.x, p.y - centre.y) - radius) - halfWidth;
    }
    // Outside the swept angles the nearest part is one of the two square ends.
    auto endFace = [&](double degrees) {
        return SegmentDistance(p, OnCircle(centre, radius - halfWidth, degrees),
                               OnCircle(centre, radius + halfWidth, degrees));
    };
    return std::min(endFace(fromDegrees), endFace(toDegrees));
}

double Coverage(double d) { return std::clamp(0.5 - d, 0.0, 1.0); }

double SmoothStep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}
