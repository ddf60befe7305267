#include "wordmark.h"

namespace {
constexpr double kFar = 1e6;  // far beyond any picture, yet finite inside the box arithmetic

// Round letters reach a little past the flat ones, as they do in type, so they look as tall.
constexpr double kOvershoot = 1.5;

// Small letters share one bowl: its outer edge touches xTop and baseline (plus overshoot).
struct Bowl {
    Point centre;
    double radius;  // along the middle of the stroke
};

Bowl BowlAt(const LetterMetrics& m, double left) {
    const double outer = (m.baseline - m.xTop) / 2 + kOvershoot;
    return {{left + outer, (m.baseline + m.xTop) / 2}, outer - m.stroke / 2};
}

double LetterE(Point p, const LetterMetrics& m, double left, double* advance) {
    const Bowl bowl = BowlAt(m, left);
    const double half = m.stroke / 2;
    const double outer = bowl.radius + half;
    *advance = 2 * outer;
    // The bar sits a touch above the middle; the bowl opens below it on the right.
    const double barHalf = half * 0.85;
    const double barY = bowl.centre.y - barHalf * 0.35;
    const double bar = Box(p, bowl.centre.x - outer + half, barY - barHalf, bowl.centre.x + outer, barY + barHalf);
    const double ring = Arc(p, bowl.centre, bowl.radius, half, 0.0, 322.0);
    return Union(bar, ring);
}

double LetterR(Point p, const LetterMetrics& m, double left, double* advance) {
    const double half = m.stroke / 2;
    const double stem = Box(p, left, m.xTop, left + m.stroke, m.baseline);
    // The shoulder leaves the stem and turns over to the right, ending in a square terminal.
    const double radius = (m.baseline - m.xTop) * 0.42;
    const Point centre{left + m.stroke + radius - half * 1.2, m.xTop - kOvershoot + half + radius};
    const double shoulder = Intersection(Arc(p, centre, radius, half, 52.0, 180.0), -Box(p, -kFar, -kFar, left + half, kFar));
    *advance = centre.x + radius * 0.62 + half - left;
    return Union(stem, shoulder);
}

double LetterO(Point p, const LetterMetrics& m, double left, double* advance) {
    const Bowl bowl = BowlAt(m, left);
    *advance = 2 * (bowl.radius + m.stroke / 2);
    return Arc(p, bowl.centre, bowl.radius, m.stroke / 2, 0.0, 360.0);
}

double LetterX(Point p, const LetterMetrics& m, double left, double* advance) {
    const double width = (m.baseline - m.xTop) * 0.92;
    const double half = m.stroke / 2;
    *advance = width;
    // Diagonals run just far enough past the top and bottom to be cut flat there; any further
    // and the glow would follow their hidden ends.
    const double reach = half * 0.6;
    const double lean = (width - m.stroke) / (m.baseline - m.xTop);
    const Point topLeft{left + half - reach * lean, m.xTop - reach};
    const Point bottomRight{left + width - half + reach * lean, m.baseline + reach};
    const Point topRight{left + width - half + reach * lean, m.xTop - reach};
    const Point bottomLeft{left + half - reach * lean, m.baseline + reach};
    const double strokeHalf = half * 1.04;  // diagonals look thinner than upright strokes
    const double cross = Union(FlatStroke(p, topLeft, bottomRight, strokeHalf), FlatStroke(p, topRight, bottomLeft, strokeHalf));
    const double band = Box(p, -kFar, m.xTop, kFar, m.baseline);
    return Intersection(cross, band);
}
}  // namespace

double LetterF(Point p, const LetterMetrics& m, double left, double* advance) {
    const double height = m.baseline - m.capTop;
    const double armTop = left + height * 0.62;
    const double armMiddle = left + height * 0.53;
    const double middleTop = m.capTop + height * 0.42;
    *advance = armTop - left;
    const double stem = Box(p, left, m.capTop, left + m.stroke, m.baseline);
    const double top = Box(p, left, m.capTop, armTop, m.capTop + m.stroke);
    const double middle = Box(p, left, middleTop, armMiddle, middleTop + m.stroke * 0.95);
    return Union(stem, Union(top, middle));
}

Wordmark::Wordmark(const LetterMetrics& metrics, double centreX) : m(metrics), m_left(0) {
    double width = 0;
    Letters({0, 0}, 0, &width);
    m_left = centreX - width / 2;
}

double Wordmark::Distance(Point p) const {
    double width = 0;
    return Letters(p, m_left, &width);
}

double Wordmark::Letters(Point p, double left, double* width) const {
    using Letter = double (*)(Point, const LetterMetrics&, double, double*);
    static const Letter kLetters[] = {LetterF, LetterE, LetterR, LetterR, LetterO, LetterX};
    double distance = kFar;
    double x = left;
    for (Letter letter : kLetters) {
        double advance = 0;
        const double d = letter(p, m, x, &advance);
        distance = Union(distance, d);
        x += advance + m.gap;
    }
    *width = x - m.gap - left;
    return distance;
}
