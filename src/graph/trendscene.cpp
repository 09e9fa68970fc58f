#include "graph/trendscene.h"

#include "graph/backdroppainter.h"
#include "graph/timewindow.h"
#include "history/trendseries.h"

#include <algorithm>

namespace qn {

namespace {

Trace traceOf(const TrendSeries &s, const TimeWindow &window, const PlotArea &a, bool wide)
{
    Trace trace;
    trace.color = s.color();
    trace.wide = wide;
    thread_local std::vector<SelectedSample> selection;
    const double start = window.start();
    selectSamples(s, start, window.end(), a.right - a.left, selection);
    if (selection.empty())
        return trace;
    // The mapping of Mapper, with the divisions by the window and the range taken out of
    // the loop (same results).
    const RoundedQuotient xq(window.end() - start);
    const RoundedQuotient yq(s.maxValue() - s.minValue());
    const double width = a.right - a.left;
    const double height = a.bottom - a.top;
    const auto xOf = [&](double t) { return a.left + xq((t - start) * width); };
    const auto yOf = [&](double v) { return a.bottom - yq((v - s.minValue()) * height); };
    // A point beyond the range (before the clamp puts it on the edge) extends the stretch
    // the point before it began on the same edge, or begins one. Rare, so out of the loop's
    // way: inside the range a point costs the two comparisons the clamp costs anyway.
    bool lastClipped = false;
    const auto clip = [&](int x, int y) {
        const bool above = y < a.top;
        if (lastClipped && !trace.clipped.empty() && trace.clipped.back().above == above)
            trace.clipped.back().x1 = std::max(trace.clipped.back().x1, x);
        else
            trace.clipped.push_back({x, x, above ? a.top : a.bottom, a.left, a.right, above});
        lastClipped = true;
        return above ? a.top : a.bottom;
    };

    trace.points.reserve(selection.size());
    for (const auto &[p, i] : selection) {
        int x = xOf(p.time);
        int y = yOf(p.value);
        if (trace.points.empty() && x < a.left && std::size_t(i) + 1 < s.count()) {
            // Enter at the left edge with the value interpolated there.
            const TrendSample &next = s.at(std::size_t(i) + 1);
            const double v = next.time > p.time ? p.value + (next.value - p.value) * (start - p.time) / (next.time - p.time)
                                                : next.value;
            x = a.left;
            y = yOf(v);
        }
        if (y < a.top || y > a.bottom) [[unlikely]]
            y = clip(x, y);
        else
            lastClipped = false;
        // Samples of one column that land on one pixel draw nothing more than the first.
        if (!trace.points.empty() && trace.points.back() == QPoint(x, y))
            continue;
        trace.points.emplace_back(x, y);
    }
    return trace;
}

} // namespace

std::vector<int> gridLines(const TimeWindow &window, const PlotArea &a)
{
    std::vector<int> xs;
    if (!window.isOpen() || window.secondsPerDivision() < 0.01)
        return xs;
    const Mapper map{a, window.start(), window.end()};
    xs.push_back(map.x(window.gridAnchor()));
    for (int direction : {1, -1}) {
        double t = window.gridAnchor();
        for (;;) {
            t += direction * window.secondsPerDivision();
            const int x = map.x(t);
            if (direction > 0 ? x >= a.right : x <= a.left)
                break;
            xs.push_back(x);
        }
    }
    return xs;
}

TrendScene makeScene(QSize size, const TimeWindow &window, std::span<const std::unique_ptr<TrendSeries>> series, int focus)
{
    TrendScene sc;
    sc.size = size;
    if (!window.isOpen())
        return sc;
    const TrendSeries *focused = focus >= 0 && focus < int(series.size()) ? series[std::size_t(focus)].get() : nullptr;
    const PlotArea a = plotAreaOf(size, focused);
    sc.viewWidth = window.end() - window.start();
    sc.gridAnchor = window.gridAnchor();
    sc.secondsPerDivision = window.secondsPerDivision();
    sc.gridX = gridLines(window, a);
    if (focused) {
        sc.focus = focus;
        sc.name = focused->name();
        sc.unit = focused->unit();
        sc.minValue = focused->minValue();
        sc.maxValue = focused->maxValue();
        sc.digital = focused->isDigital();
        sc.focusColor = focused->color();
    }
    int others = 0;
    for (const auto &s : series) {
        if (s.get() == focused)
            continue;
        sc.traces.push_back(traceOf(*s, window, a, false));
        ++others;
    }
    // The focused trace last, on top, and wider when there is anything to stand out from.
    if (focused)
        sc.traces.push_back(traceOf(*focused, window, a, others > 0));
    return sc;
}

void clipMarks(const ClipRun &run, std::vector<QPoint> &pixels)
{
    // An arrowhead 5 pixels wide and 3 deep, its tip 2 pixels inside the edge (clear of a
    // wide trace's second row), pointing out of the plot; all of it inside the plot, so the
    // frame and the labels beside it never lie under a mark.
    const int in = run.above ? 1 : -1;
    const int first = std::max(run.x0, run.markLeft + 2);
    const int last = std::min(run.x1, run.markRight - 2);
    for (int x = first; x <= last; x += kClipMarkSpacing) {
        const int tip = run.edgeY + 2 * in;
        pixels.emplace_back(x, tip);
        for (int d = 1; d <= 2; ++d) {
            pixels.emplace_back(x - d, tip + d * in);
            pixels.emplace_back(x + d, tip + d * in);
        }
    }
}

bool sameBackdrop(const TrendScene &a, const TrendScene &b)
{
    return a.size == b.size && a.viewWidth == b.viewWidth && a.secondsPerDivision == b.secondsPerDivision
           && a.focus == b.focus && a.name == b.name && a.unit == b.unit && a.minValue == b.minValue
           && a.maxValue == b.maxValue && a.digital == b.digital && a.focusColor == b.focusColor;
}

bool tracesOnlyGrew(const TrendScene &before, const TrendScene &after)
{
    if (before.traces.size() != after.traces.size())
        return false;
    for (std::size_t i = 0; i < after.traces.size(); ++i) {
        const Trace &old = before.traces[i], &now = after.traces[i];
        if (old.color != now.color || old.wide != now.wide || now.points.size() < old.points.size()
            || !std::equal(old.points.begin(), old.points.end(), now.points.begin()))
            return false;
        // The clipped stretches as they were, the last perhaps longer to the right.
        if (now.clipped.size() < old.clipped.size())
            return false;
        for (std::size_t r = 0; r < old.clipped.size(); ++r) {
            const ClipRun &was = old.clipped[r], &is = now.clipped[r];
            const bool last = r + 1 == old.clipped.size();
            if (was.x0 != is.x0 || was.edgeY != is.edgeY || was.above != is.above
                || (last ? is.x1 < was.x1 : is.x1 != was.x1))
                return false;
        }
    }
    return true;
}

std::optional<QRect> grownPart(const TrendScene &before, const TrendScene &after)
{
    if (before.gridAnchor != after.gridAnchor || before.gridX != after.gridX || !tracesOnlyGrew(before, after))
        return std::nullopt;
    QRect changed;
    for (std::size_t i = 0; i < after.traces.size(); ++i) {
        const Trace &old = before.traces[i], &now = after.traces[i];
        if (now.points.size() == old.points.size())
            continue;
        // What is new joins on from the old newest point: its lines keep inside the box of
        // their ends, and the run of the old newest point's column grows only towards the
        // new points. A wide trace reaches a pixel further right and down.
        const std::size_t first = old.points.empty() ? 0 : old.points.size() - 1;
        const auto [left, right] = std::minmax_element(now.points.begin() + first, now.points.end(),
                                                       [](QPoint p, QPoint q) { return p.x() < q.x(); });
        const auto [top, bottom] = std::minmax_element(now.points.begin() + first, now.points.end(),
                                                       [](QPoint p, QPoint q) { return p.y() < q.y(); });
        const int extra = now.wide ? 1 : 0;
        changed |= QRect(QPoint(left->x(), top->y()), QPoint(right->x() + extra, bottom->y() + extra));
        // A stretch beyond the range that grew gains marks inside the edge, beside the new
        // columns; they never reach out of the plot (a region of one rectangle stays one).
        if (!now.clipped.empty() && now.clipped.back().x1 >= left->x()) {
            const ClipRun &run = now.clipped.back();
            const int inner = run.above ? run.edgeY + kClipMarkReach : run.edgeY - kClipMarkReach;
            changed |= QRect(QPoint(std::max(left->x() - kClipMarkReach, run.markLeft), std::min(run.edgeY, inner)),
                             QPoint(std::min(right->x() + kClipMarkReach, run.markRight), std::max(run.edgeY, inner)));
        }
    }
    return changed;
}

} // namespace qn
