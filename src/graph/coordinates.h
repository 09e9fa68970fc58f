#pragma once
// From times and values to canvas pixels. Plain C++, shared by the window, the scene and
// the painters so that every part maps a time to the same column.
#include "history/trendseries.h"

#include <algorithm>
#include <cmath>

namespace qn {

struct PlotArea {
    int left = 0, top = 0, right = 0, bottom = 0; // L, T, R, B in canvas pixels
};

// Where the value labels begin: a tenth of the plot's usual left margin.
inline int valueLabelLeft(int w)
{
    return int(0.1 * w) / 10;
}

// labelWidth: the widest value label in pixels. The plot's left edge moves right as far as
// it takes for such a label to end clear of the frame (at L - 1), up to 0.4 w.
inline PlotArea plotAreaFor(int w, int h, int labelWidth = 0)
{
    const int usual = int(0.1 * w);
    const int left = std::max(usual, std::min(valueLabelLeft(w) + labelWidth + 2, int(0.4 * w)));
    return {left, int(0.06 * h), int(0.93 * w), int(0.9 * h)};
}

// Coordinates far outside the picture are pinned so the conversion to int stays defined.
// NaN (a series added with equal minimum and maximum, or a reading that is not a number)
// goes far off the picture too, and a trace's clamp then keeps it on the plot's edge.
inline int toPixel(double v)
{
    if (std::isnan(v))
        return -1'000'000;
    return int(std::clamp(v, -1.0e6, 1.0e6));
}

// trunc(q / d + 0.5) for many q over one d, as exactly as the division itself: a multiply
// by the reciprocal decides, unless its result lies so near a whole number that the two could
// differ, where the division is done after all.
struct RoundedQuotient {
    double d;
    double inverse;
    explicit RoundedQuotient(double divisor) : d(divisor), inverse(1.0 / divisor) {}
    int operator()(double q) const
    {
        const double a = q * inverse + 0.5;
        if (std::abs(a) < 1.0e6) { // on and near the canvas (never for not-a-number)
            // Without a rounding instruction (baseline x86-64) floor and trunc are slow, and
            // this runs for every point of every trace: the same test by the truncation.
            const int t = int(a);
            const double f = std::abs(a - double(t));
            if (f >= 1e-6 && f <= 1 - 1e-6)
                return t;
        }
        const double frac = a - std::floor(a);
        if (frac < 1e-6 || frac > 1 - 1e-6)
            return toPixel(std::trunc(q / d + 0.5));
        return toPixel(std::trunc(a));
    }
};

struct Mapper {
    PlotArea a;
    double viewStart;
    double viewEnd;
    int x(double t) const
    {
        return a.left + toPixel(std::trunc((t - viewStart) * (a.right - a.left) / (viewEnd - viewStart) + 0.5));
    }
    static int y(const PlotArea &a, const TrendSeries &s, double v)
    {
        return a.bottom - toPixel(std::trunc((v - s.minValue()) * (a.bottom - a.top) / (s.maxValue() - s.minValue()) + 0.5));
    }
};

} // namespace qn
