#include "graph/displayperiods.h"

#include <cmath>
#include <iterator>

namespace qn {

namespace {

constexpr DisplayPeriod kPeriods[kDisplayPeriods] = {
    {60, 5}, {120, 10}, {300, 30}, {600, 60}, {1800, 300},
    {3600, 300}, {7200, 600}, {21600, 1800}, {43200, 3600}, {86400, 7200},
};

} // namespace

std::optional<DisplayPeriod> displayPeriod(int index)
{
    if (index < 0 || index >= int(std::size(kPeriods)))
        return std::nullopt;
    return kPeriods[index];
}

double shortestPeriod() { return kPeriods[0].span; }
double longestPeriod() { return kPeriods[kDisplayPeriods - 1].span; }

int nearestPeriodIndex(double span)
{
    int best = 0;
    double bestDistance = INFINITY;
    for (int i = 0; i < kDisplayPeriods; ++i) {
        const double d = std::abs(std::log(span / kPeriods[i].span));
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

int periodIndexOf(double span)
{
    const int i = nearestPeriodIndex(span);
    // Zoom steps multiply the width, so a width back on a period may be off by a rounding.
    return std::abs(span / kPeriods[i].span - 1) < 1e-9 ? i : -1;
}

} // namespace qn
