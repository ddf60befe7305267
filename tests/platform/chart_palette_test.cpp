// The chart lines' palette: 64 lines each look different, the first eight colours stay apart for
// colour-blind eyes (simulated protanopia, deuteranopia and tritanopia), and no line is black (as
// every line once was) or too pale to see on the white plot.

#include "platform/chart_palette.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <tuple>

namespace {

using Matrix = std::array<std::array<double, 3>, 3>;
using Lab = std::array<double, 3>;

double Linear(unsigned char channel) {
    const double c = channel / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

// CIE L*a*b* (D65) of a linear-light RGB colour, each channel first put through vision (the
// identity for normal sight).
Lab LabOf(const ChartLineStyle& style, const Matrix& vision) {
    const double in[3] = {Linear(style.red), Linear(style.green), Linear(style.blue)};
    double rgb[3];
    for (int row = 0; row < 3; ++row) {
        const double value = vision[row][0] * in[0] + vision[row][1] * in[1] + vision[row][2] * in[2];
        rgb[row] = std::clamp(value, 0.0, 1.0);
    }
    const double x = (0.4124 * rgb[0] + 0.3576 * rgb[1] + 0.1805 * rgb[2]) / 0.95047;
    const double y = 0.2126 * rgb[0] + 0.7152 * rgb[1] + 0.0722 * rgb[2];
    const double z = (0.0193 * rgb[0] + 0.1192 * rgb[1] + 0.9505 * rgb[2]) / 1.08883;
    const auto f = [](double t) { return t > 216.0 / 24389.0 ? std::cbrt(t) : (24389.0 / 27.0 * t + 16.0) / 116.0; };
    return {116.0 * f(y) - 16.0, 500.0 * (f(x) - f(y)), 200.0 * (f(y) - f(z))};
}

double Distance(const Lab& a, const Lab& b) {
    return std::sqrt((a[0] - b[0]) * (a[0] - b[0]) + (a[1] - b[1]) * (a[1] - b[1]) + (a[2] - b[2]) * (a[2] - b[2]));
}

constexpr Matrix kNormal = {{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
// Machado, Oliveira and Fernandes (2009), severity 1.0.
constexpr Matrix kProtanopia = {{{0.152286, 1.052583, -0.204868}, {0.114503, 0.786281, 0.099216}, {-0.003882, -0.048116, 1.051998}}};
constexpr Matrix kDeuteranopia = {{{0.367322, 0.860646, -0.227968}, {0.280085, 0.672501, 0.047413}, {-0.011820, 0.042940, 0.968881}}};
constexpr Matrix kTritanopia = {{{1.255528, -0.076749, -0.178779}, {-0.078411, 0.930809, 0.147602}, {0.004733, 0.691367, 0.303900}}};

// The smallest colour difference between any two of lines first .. last - 1 that share a dash.
double ClosestSameDash(std::size_t first, std::size_t last, const Matrix& vision) {
    double closest = INFINITY;
    for (std::size_t i = first; i < last; ++i)
        for (std::size_t j = i + 1; j < last; ++j)
            if (ChartLineStyleAt(i).dash == ChartLineStyleAt(j).dash)
                closest = std::min(closest, Distance(LabOf(ChartLineStyleAt(i), vision), LabOf(ChartLineStyleAt(j), vision)));
    return closest;
}

}  // namespace

TEST(ChartPalette, EveryLineOfUpTo64LooksDifferent) {
    for (const std::size_t lines : {2u, 8u, 16u, 33u, 64u}) {
        std::set<std::tuple<int, int, int, int>> looks;
        for (std::size_t i = 0; i < lines; ++i) {
            const ChartLineStyle style = ChartLineStyleAt(i);
            looks.insert({style.red, style.green, style.blue, static_cast<int>(style.dash)});
        }
        EXPECT_EQ(looks.size(), lines) << "two of " << lines << " lines look alike";
    }
    // Lines that share a dash differ plainly in colour for normal sight (CIE76 distance).
    EXPECT_GE(ClosestSameDash(0, kChartLineStyles, kNormal), 24.0);
    // After the 64th the palette starts again.
    EXPECT_EQ(ChartLineStyleAt(64), ChartLineStyleAt(0));
    EXPECT_EQ(ChartLineStyleAt(64 + 37), ChartLineStyleAt(37));
}

TEST(ChartPalette, TheFirstEightStayApartForColourBlindEyes) {
    const struct {
        const char* vision;
        const Matrix* matrix;
    } cases[] = {{"normal", &kNormal}, {"protanopia", &kProtanopia}, {"deuteranopia", &kDeuteranopia}, {"tritanopia", &kTritanopia}};
    for (const auto& c : cases) {
        EXPECT_GE(ClosestSameDash(0, 8, *c.matrix), 15.0) << c.vision;
        // The two lines of a two-processor machine: far apart whatever the eyes.
        EXPECT_GE(Distance(LabOf(ChartLineStyleAt(0), *c.matrix), LabOf(ChartLineStyleAt(1), *c.matrix)), 40.0) << c.vision;
    }
    // Beyond eight lines the dash tells them apart as well: the ninth is the first's colour, dashed.
    const ChartLineStyle first = ChartLineStyleAt(0), ninth = ChartLineStyleAt(8);
    EXPECT_EQ(first.dash, ChartDash::Solid);
    EXPECT_EQ(ninth.dash, ChartDash::Dash);
    EXPECT_EQ(std::tie(first.red, first.green, first.blue), std::tie(ninth.red, ninth.green, ninth.blue));
}

TEST(ChartPalette, NoLineIsBlackOrTooPaleForTheWhitePlot) {
    const Lab white = {100.0, 0.0, 0.0}, black = {0.0, 0.0, 0.0};
    for (std::size_t i = 0; i < kChartLineStyles; ++i) {
        const Lab lab = LabOf(ChartLineStyleAt(i), kNormal);
        EXPECT_LE(lab[0], 72.0) << "line " << i << " is too pale on white";
        EXPECT_GE(Distance(lab, black), 30.0) << "line " << i << " is black or nearly";
        EXPECT_GE(Distance(lab, white), 40.0) << "line " << i;
    }
}
