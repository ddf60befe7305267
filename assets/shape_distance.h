// Signed distances (negative inside, in pixels) of the few shapes Ferrox's lettering is built
// from. Anti-aliased coverage and the glow are both read off these distances, so edges stay
// smooth at any size and the glow lines up with the letters exactly.
#pragma once

struct Point {
    double x, y;  // y grows downwards, as rows of a picture
};

// A stroke of the given half width from a to b with square ends, not extended past a or b.
double FlatStroke(Point p, Point a, Point b, double halfWidth);

// An axis-aligned box.
double Box(Point p, double left, double top, double right, double bottom);

// A circular stroke of the given half width along the circle (centre, radius), kept between the
// angles from and to (degrees, counter-clockwise on the screen, 0 pointing right, from < to);
// its ends are cut square along the radius.
double Arc(Point p, Point centre, double radius, double halfWidth, double fromDegrees, double toDegrees);

inline double Union(double a, double b) { return a < b ? a : b; }
inline double Intersection(double a, double b) { return a > b ? a : b; }

// Coverage of a pixel whose centre lies at signed distance d from an edge: a one-pixel ramp.
double Coverage(double d);

// Hermite step from 0 at edge0 to 1 at edge1.
double SmoothStep(double edge0, double edge1, double x);
