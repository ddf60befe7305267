#pragma once
// Which points of a chart line a plot draws, the same for every backend: all of them up to most;
// beyond that, each stretch's lowest and highest value in time order, so that the line keeps its
// shape (spikes included) at a fraction of the drawing.

#include <cstddef>
#include <vector>

#include "platform/chart_window.h"

inline constexpr std::size_t kMostPointsPerLine = 300;

// Indices into line.minutes and line.values, ascending; values that are not finite are left out.
// *low and *high widen to take in the values kept.
std::vector<std::size_t> ThinChartLine(const ChartLine& line, std::size_t most, double* low, double* high);
