#pragma once
// The display periods of the graph's period list, and where a zoomed width stands among
// them. Plain C++.
#include <optional>

namespace qn {

// Display period index 0-9 -> width of the window and grid spacing (index 5, "1hour",
// keeps its 300 s grid). nullopt outside 0-9.
struct DisplayPeriod {
    double span;
    double secondsPerDivision;
};
constexpr int kDisplayPeriods = 10;
std::optional<DisplayPeriod> displayPeriod(int index);
// The shortest and longest widths a zoom reaches.
double shortestPeriod();
double longestPeriod();
// The index of the period nearest to a width (by ratio); its grid spacing serves the width.
int nearestPeriodIndex(double span);
// The index of the period exactly this wide, -1 when the width lies between two.
int periodIndexOf(double span);

} // namespace qn
