// The word "Ferrox" as Ferrox draws it: a geometric sans of square-ended strokes and arcs, given
// as one signed distance over the picture. The logo, its glow and the icon's letter all come from
// here, so they line up to the pixel.
#pragma once

#include "shape_distance.h"

struct LetterMetrics {
    double stroke;     // stroke width
    double capTop;     // top edge of the capital
    double xTop;       // top edge of the small letters
    double baseline;   // bottom edge of every letter
    double gap;        // space between letters
};

// Letters laid out from left to right; distances are in the picture's pixels.
class Wordmark {
public:
    // Centred horizontally on centreX.
    Wordmark(const LetterMetrics& metrics, double centreX);

    double Distance(Point p) const;

private:
    // The distance to the letters laid out from left; *width receives the word's width.
    double Letters(Point p, double left, double* width) const;

    LetterMetrics m;
    double m_left;
};

// The capital F alone, its stem's left edge at left (for the icon).
double LetterF(Point p, const LetterMetrics& m, double left, double* advance);
