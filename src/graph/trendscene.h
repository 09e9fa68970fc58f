#pragma once
// Everything one full picture of the trend graph shows, in canvas pixels, worked out from
// the series and the time window; and what changed between two such pictures, which is
// what the canvas draws again. GUI thread only.
#include "graph/coordinates.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace qn {

class TimeWindow;
class TrendSeries;

// A stretch of a trace whose values lie beyond the value axis's range: drawn along the
// plot's edge at edgeY, from column x0 to x1, and marked there (clipMarks) so that it does
// not read as a value on the edge.
struct ClipRun {
    int x0 = 0, x1 = 0;
    int edgeY = 0;
    int markLeft = 0, markRight = 0; // the plot's edges: marks keep inside them
    bool above = false; // above the range (top edge), else below it (bottom edge)
    bool operator==(const ClipRun &) const = default;
};

struct Trace {
    std::uint32_t color = 0;
    bool wide = false;
    std::vector<QPoint> points; // the selected samples (selectSamples), one pixel each
    std::vector<ClipRun> clipped; // left to right
    bool operator==(const Trace &) const = default;
};

// The marks of a clipped stretch: small arrowheads just inside the edge pointing out of
// the plot, one at the stretch's first column and then every kClipMarkSpacing columns, each
// as the pixels (in the trace's coordinates) to light. A stretch that only grows to the
// right keeps its marks and gains new ones.
constexpr int kClipMarkSpacing = 8;
constexpr int kClipMarkReach = 4; // how far a mark reaches into the plot and to either side
void clipMarks(const ClipRun &run, std::vector<QPoint> &pixels);

struct TrendScene {
    QSize size;
    double viewWidth = 0;         // 0: no window, a black picture
    double gridAnchor = 0;        // the time labels follow from it and the spacing
    double secondsPerDivision = 0;
    std::vector<int> gridX;       // anchor line first
    int focus = -1;               // value axis and caption of this series, -1 none
    std::string name, unit;
    double minValue = 0, maxValue = 0;
    bool digital = false;
    std::uint32_t focusColor = 0;
    std::vector<Trace> traces;    // in drawing order, the focused one last
    bool operator==(const TrendScene &) const = default;
};

// The picture of `series` at `size` through `window`; `focus` (an index into series, or
// out of range for none) gets the value axis and is drawn last, wider when others show.
TrendScene makeScene(QSize size, const TimeWindow &window, std::span<const std::unique_ptr<TrendSeries>> series,
                int focus);

// The x of every grid line of the window on a plot, anchor line first; with the anchor's
// time and the spacing they fix every time label too.
std::vector<int> gridLines(const TimeWindow &window, const PlotArea &area);

// Whether two scenes differ only in what moves with the time window (grid, time labels,
// traces), so that the value labels, captions and frame need no drawing.
bool sameBackdrop(const TrendScene &a, const TrendScene &b);
// Whether every trace of `after` draws what it drew in `before` and perhaps more.
bool tracesOnlyGrew(const TrendScene &before, const TrendScene &after);
// Where the picture changes from `before` to `after` when the traces only grew at their
// newest ends (empty: nothing to draw); nothing when anything else changed.
std::optional<QRect> grownPart(const TrendScene &before, const TrendScene &after);

} // namespace qn
