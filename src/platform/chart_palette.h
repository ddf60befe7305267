#pragma once
// The look of a panel's lines, the same for every backend: line i of a panel takes entry i of a
// palette of 64, so that up to 64 processors each have a line of their own. The first eight
// colours stay apart also for people who cannot tell red from green or blue from yellow (they
// were chosen with simulations of protanopia, deuteranopia and tritanopia), and every eight lines
// the dash changes (solid, dashed, dotted, dash-dotted): the ninth line is the first's colour,
// dashed. From the 33rd line on, eight more colours take their turn with the same dashes. None is
// light enough to fade into the white plot, nor is any black.

#include <cstddef>

enum class ChartDash : int { Solid, Dash, Dot, DashDot };

struct ChartLineStyle {
    unsigned char red = 0;
    unsigned char green = 0;
    unsigned char blue = 0;
    ChartDash dash = ChartDash::Solid;

    bool operator==(const ChartLineStyle&) const = default;
};

inline constexpr std::size_t kChartLineStyles = 64;

// The style of line index of a panel; after the 64th the palette starts again.
ChartLineStyle ChartLineStyleAt(std::size_t index);
