#include "graph/pixelwriter.h"

#include <QPaintEngine>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace qn {

namespace {

// The pixels of a 32-bit raster image that a painter paints on.
struct RasterTarget {
    uchar *bits = nullptr;
    qsizetype bytesPerLine = 0;
    QRect bounds; // device pixels that may be written: the image, within the paint's clip

    static RasterTarget in(const PixelTarget &target) { return {target.bits, target.bytesPerLine, target.bounds}; }
    // None where the painter paints on anything else, or clips to more than one rectangle.
    static std::optional<RasterTarget> of(QPainter &painter)
    {
        QPaintEngine *engine = painter.paintEngine();
        if (!engine || engine->type() != QPaintEngine::Raster || painter.hasClipping())
            return std::nullopt;
        QPaintDevice *device = engine->paintDevice();
        if (!device || device->devType() != QInternal::Image)
            return std::nullopt;
        // constBits: the painter holds the image unshared already; bits() could detach it
        // from the buffer the painter draws in.
        const auto *image = static_cast<const QImage *>(device);
        if (image->format() != QImage::Format_RGB32 && image->format() != QImage::Format_ARGB32
            && image->format() != QImage::Format_ARGB32_Premultiplied)
            return std::nullopt;
        RasterTarget target{const_cast<uchar *>(image->constBits()), image->bytesPerLine(), image->rect()};
        const QRegion clip = engine->systemClip(); // in device pixels
        if (!clip.isEmpty()) {
            if (clip.rectCount() != 1)
                return std::nullopt;
            target.bounds &= clip.boundingRect();
        }
        return target;
    }
    void plot(int x, int y, QRgb color) const
    {
        if (x >= bounds.left() && x <= bounds.right() && y >= bounds.top() && y <= bounds.bottom())
            reinterpret_cast<QRgb *>(bits + y * bytesPerLine)[x] = color;
    }
    // Every third pixel of the run of `steps` steps from `from` by `step` (each component
    // -1, 0 or 1) that lies inside the bounds. The part inside is worked out rather than
    // tested pixel by pixel: a repaint of a few pixels still goes over the whole grid.
    void dotted(QPoint from, QPoint step, int steps, QRgb color) const
    {
        int first = 0, last = steps;
        const auto keepInside = [&](int start, int s, int low, int high) {
            if (s == 0) {
                if (start < low || start > high)
                    last = -1;
                return;
            }
            first = std::max(first, s > 0 ? low - start : start - high);
            last = std::min(last, s > 0 ? high - start : start - low);
        };
        keepInside(from.x(), step.x(), bounds.left(), bounds.right());
        keepInside(from.y(), step.y(), bounds.top(), bounds.bottom());
        for (int i = (first + 2) / 3 * 3; i <= last; i += 3)
            reinterpret_cast<QRgb *>(bits + (from.y() + step.y() * i) * bytesPerLine)[from.x() + step.x() * i] = color;
    }
    // Both ends included, every pixel inside the box of the ends.
    void line(QPoint p0, QPoint p1, QRgb color) const
    {
        if (std::max(p0.x(), p1.x()) < bounds.left() || std::min(p0.x(), p1.x()) > bounds.right()
            || std::max(p0.y(), p1.y()) < bounds.top() || std::min(p0.y(), p1.y()) > bounds.bottom())
            return; // wholly outside, as in a repaint of the newest few pixels
        int x = p0.x(), y = p0.y();
        const int dx = std::abs(p1.x() - x), dy = -std::abs(p1.y() - y);
        const int sx = x < p1.x() ? 1 : -1, sy = y < p1.y() ? 1 : -1;
        // One step along the longer axis per pixel, and along the other where the error says.
        const auto walk = [&](auto put, auto stepX, auto stepY) {
            int err = dx + dy;
            for (int n = std::max(dx, -dy);; --n) {
                put();
                if (n == 0)
                    return;
                const int e2 = 2 * err;
                if (e2 >= dy) {
                    err += dy;
                    stepX();
                }
                if (e2 <= dx) {
                    err += dx;
                    stepY();
                }
            }
        };
        const auto inside = [&](QPoint p) { // QRect::contains is a call of its own
            return p.x() >= bounds.left() && p.x() <= bounds.right() && p.y() >= bounds.top() && p.y() <= bounds.bottom();
        };
        if (inside(p0) && inside(p1)) {
            // Wholly inside, as nearly every line of a full repaint: no test per pixel, and a
            // pointer walks instead of each address being worked out.
            QRgb *pixel = reinterpret_cast<QRgb *>(bits + y * bytesPerLine) + x;
            const qsizetype rowStep = sy * (bytesPerLine / qsizetype(sizeof(QRgb)));
            walk([&] { *pixel = color; }, [&] { pixel += sx; }, [&] { pixel += rowStep; });
            return;
        }
        walk([&] { plot(x, y, color); }, [&] { x += sx; }, [&] { y += sy; });
    }
    void fill(const QRect &r, QRgb color) const
    {
        const int left = std::max(r.left(), bounds.left()), right = std::min(r.right(), bounds.right());
        const int top = std::max(r.top(), bounds.top()), bottom = std::min(r.bottom(), bounds.bottom());
        if (left > right || top > bottom)
            return;
        const qsizetype stride = bytesPerLine / qsizetype(sizeof(QRgb));
        const int width = right - left + 1;
        QRgb *row = reinterpret_cast<QRgb *>(bits + top * bytesPerLine) + left;
        for (int y = top; y <= bottom; ++y, row += stride)
            std::fill(row, row + width, color);
    }
};


// The arrowheads of a trace's stretches beyond the range, each of its pixels a device pixel
// block of the picture's scale. Few (a stretch has one every few columns), so plain fills.
void drawClipMarks(QPainter &painter, const std::optional<RasterTarget> &raster, const Trace &trace,
                   const QTransform &toDevice, QRgb rgb)
{
    if (trace.clipped.empty())
        return;
    thread_local std::vector<QPoint> marks;
    thread_local std::vector<QRect> blocks;
    marks.clear();
    for (const ClipRun &run : trace.clipped)
        clipMarks(run, marks);
    const QSize block(std::max(1, int(std::abs(toDevice.m11()))), std::max(1, int(std::abs(toDevice.m22()))));
    blocks.clear();
    for (const QPoint &p : marks)
        blocks.emplace_back(QPoint(toPixel(std::floor(p.x() * toDevice.m11() + toDevice.dx())),
                                   toPixel(std::floor(p.y() * toDevice.m22() + toDevice.dy()))),
                            block);
    if (raster) {
        for (const QRect &r : blocks)
            raster->fill(r, rgb);
        return;
    }
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor::fromRgb(rgb));
    painter.drawRects(blocks.data(), int(blocks.size()));
    painter.restore();
}

void drawTraces(QPainter &painter, const TrendScene &sc, const QTransform &toDevice, bool erase)
{
    // 1-pixel cosmetic lines and plain rectangles on integer device points are the raster
    // engine's fast paths; a 2-pixel pen is tens of times slower. Widths are device pixels
    // at any pixel ratio: 1, and 2 for the focused trace (thicker strokes at ratio 2 would
    // cost more than the rest of the picture).
    //
    // Points that share a column (a full window has up to four per column: first, lowest,
    // highest, last) cover the column from their lowest to their highest pixel; that run is
    // filled as one rectangle and joined to its neighbours by a line from the last point of
    // one run to the first of the next. A polyline through the same points draws the same
    // pixels, but covers each column up to three times over, pixel by pixel.
    const double sx = toDevice.m11(), sy = toDevice.m22(), dx = toDevice.dx(), dy = toDevice.dy();
    // At a whole pixel ratio and offset the device points are whole already (points lie
    // within a million pixels of the origin, so nothing overflows).
    const auto wholeIn = [](double v, double limit) { return v == std::trunc(v) && std::abs(v) <= limit; };
    const bool whole = wholeIn(sx, 16) && wholeIn(sy, 16) && wholeIn(dx, 1e6) && wholeIn(dy, 1e6);
    const QPoint wholeScale{int(sx), int(sy)}, wholeShift{int(dx), int(dy)};
    painter.setRenderHint(QPainter::Antialiasing, false);
    const std::optional<RasterTarget> raster = RasterTarget::of(painter);
    thread_local std::vector<QPoint> points;
    thread_local std::vector<QLine> lines;
    thread_local std::vector<QRect> runs;
    for (const Trace &trace : sc.traces) {
        if (trace.points.empty())
            continue;
        points.clear();
        if (whole) { // the same points, without a floor for each coordinate
            for (const QPoint &p : trace.points)
                points.emplace_back(p.x() * wholeScale.x() + wholeShift.x(), p.y() * wholeScale.y() + wholeShift.y());
        } else {
            for (const QPoint &p : trace.points)
                points.emplace_back(toPixel(std::floor(p.x() * sx + dx)), toPixel(std::floor(p.y() * sy + dy)));
        }
        const QColor color(int(trace.color & 0xFF), int((trace.color >> 8) & 0xFF), int((trace.color >> 16) & 0xFF));
        const int n = int(points.size());
        painter.setPen(cosmeticPen(erase ? QColor(Qt::black) : color));
        if (n == 1) {
            if (raster)
                raster->fill(QRect(points[0], QSize(1, 1)), erase ? qRgb(0, 0, 0) : color.rgb());
            else
                painter.drawPoint(points[0]);
            drawClipMarks(painter, raster, trace, toDevice, erase ? qRgb(0, 0, 0) : color.rgb());
            continue;
        }
        lines.clear();
        runs.clear();
        const int runWidth = trace.wide ? 2 : 1;
        // Points run left to right. Where the pixels are written directly, only the points
        // whose lines and runs can reach the repaint's columns are gone through (a reading
        // of a standing window repaints the newest few pixels of a long trace): from the
        // last column left of them, whose point joins on, to the first column right of them.
        int from = 0, to = n - 1;
        if (raster) {
            const auto xBelow = [](const QPoint &p, int x) { return p.x() < x; };
            from = int(std::lower_bound(points.begin(), points.end(), raster->bounds.left() - (runWidth - 1), xBelow)
                       - points.begin());
            if (from > 0)
                --from;
            while (from > 0 && points[std::size_t(from - 1)].x() == points[std::size_t(from)].x())
                --from;
            const auto xAbove = [](int x, const QPoint &p) { return x < p.x(); };
            to = std::min(n - 1, int(std::upper_bound(points.begin(), points.end(), raster->bounds.right(), xAbove)
                                     - points.begin()));
            while (to + 1 < n && points[std::size_t(to + 1)].x() == points[std::size_t(to)].x())
                ++to;
        }
        for (int i = from; i <= to;) {
            int j = i;
            int low = points[std::size_t(i)].y(), high = low;
            while (j + 1 <= to && points[std::size_t(j + 1)].x() == points[std::size_t(i)].x()) {
                ++j;
                low = std::min(low, points[std::size_t(j)].y());
                high = std::max(high, points[std::size_t(j)].y());
            }
            if (i > from)
                lines.emplace_back(points[std::size_t(i - 1)], points[std::size_t(i)]);
            if (j > i)
                runs.emplace_back(points[std::size_t(i)].x(), low, runWidth, high - low + 1);
            i = j + 1;
        }
        if (trace.wide) {
            // The second pixel of a joining line: one pixel down where it runs flatter than
            // 45 degrees, one pixel right where it is steeper.
            const std::size_t joins = lines.size();
            for (std::size_t k = 0; k < joins; ++k) {
                const QLine l = lines[k];
                const QPoint shift = std::abs(l.dx()) >= std::abs(l.dy()) ? QPoint(0, 1) : QPoint(1, 0);
                lines.push_back(l.translated(shift));
            }
        }
        if (raster) {
            const QRgb rgb = erase ? qRgb(0, 0, 0) : color.rgb();
            for (const QLine &l : lines)
                raster->line(l.p1(), l.p2(), rgb);
            for (const QRect &r : runs)
                raster->fill(r, rgb);
            raster->fill(QRect(points[0], QSize(1, 1)), rgb);
            drawClipMarks(painter, raster, trace, toDevice, rgb);
            continue;
        }
        if (erase) {
            // Black over the box of every line and run: a line's pixels stay inside the box
            // of its ends, and whatever else the boxes cover inside the plot is drawn again.
            for (const QLine &l : lines)
                runs.emplace_back(QPoint(std::min(l.x1(), l.x2()), std::min(l.y1(), l.y2())),
                                  QPoint(std::max(l.x1(), l.x2()), std::max(l.y1(), l.y2())));
            runs.emplace_back(points[0], QSize(runWidth, 1));
            painter.setPen(Qt::NoPen);
            painter.setBrush(Qt::black);
            painter.drawRects(runs.data(), int(runs.size()));
            painter.setBrush(Qt::NoBrush);
            drawClipMarks(painter, raster, trace, toDevice, qRgb(0, 0, 0));
            continue;
        }
        painter.drawLines(lines.data(), int(lines.size()));
        if (!runs.empty()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawRects(runs.data(), int(runs.size()));
            painter.setBrush(Qt::NoBrush);
        }
        drawClipMarks(painter, raster, trace, toDevice, color.rgb());
    }
}

} // namespace

std::optional<PixelTarget> PixelTarget::of(QPainter &painter)
{
    const QTransform toDevice = painter.deviceTransform();
    if (toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::trunc(toDevice.dx())
        || toDevice.dy() != std::trunc(toDevice.dy())
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return std::nullopt;
    const std::optional<RasterTarget> raster = RasterTarget::of(painter);
    if (!raster)
        return std::nullopt;
    return PixelTarget{raster->bits, raster->bytesPerLine, raster->bounds, QPoint(int(toDevice.dx()), int(toDevice.dy()))};
}

// The raster engine hands a clipped fill of more than a few dozen rows to its thread pool,
// and waking the pool's threads costs far more than the fill of a thin strip of the plot.
void fillOpaque(QPainter &painter, const QRect &r, const QColor &color)
{
    if (const std::optional<PixelTarget> target = PixelTarget::of(painter))
        RasterTarget::in(*target).fill(r.translated(target->shift), color.rgb());
    else
        painter.fillRect(r, color);
}

void drawOutline(QPainter &painter, const QRect &r)
{
    const std::optional<PixelTarget> target =
        painter.pen().color().alpha() == 255 ? PixelTarget::of(painter) : std::nullopt;
    if (!target) {
        painter.drawRect(r);
        return;
    }
    const QRgb color = painter.pen().color().rgb();
    const int right = r.right() + 1, bottom = r.bottom() + 1;
    for (const QRect &edge : {QRect(QPoint(r.left(), r.top()), QPoint(right, r.top())),
                              QRect(QPoint(r.left(), bottom), QPoint(right, bottom)),
                              QRect(QPoint(r.left(), r.top()), QPoint(r.left(), bottom)),
                              QRect(QPoint(right, r.top()), QPoint(right, bottom))})
        RasterTarget::in(*target).fill(edge.translated(target->shift), color);
}

// Lit pixels as points: a dash pattern sends every line through the general stroker, which
// is most of what a grid costs.
void drawDotted(QPainter &painter, const std::optional<PixelTarget> &target, QPoint from, QPoint to)
{
    const QPoint d = to - from;
    const int steps = std::max(std::abs(d.x()), std::abs(d.y()));
    const QPoint step(d.x() > 0 ? 1 : d.x() < 0 ? -1 : 0, d.y() > 0 ? 1 : d.y() < 0 ? -1 : 0);
    if (target && painter.pen().color().alpha() == 255) {
        RasterTarget::in(*target).dotted(from + target->shift, step, steps, painter.pen().color().rgba());
        return;
    }
    thread_local std::vector<QPoint> dots;
    dots.clear();
    for (int i = 0; i <= steps; i += 3)
        dots.push_back(from + step * i);
    painter.drawPoints(dots.data(), int(dots.size()));
}

void drawTracesInDevicePixels(QPainter &painter, const TrendScene &sc, bool erase)
{
    // With the device transform cancelled the raster engine sees plain integer device
    // coordinates (its fast path) at any pixel ratio.
    const QTransform toDevice = painter.deviceTransform();
    painter.save();
    if (toDevice.type() != QTransform::TxNone)
        painter.setWorldTransform(toDevice.inverted() * painter.worldTransform());
    drawTraces(painter, sc, toDevice, erase);
    painter.restore();
}

} // namespace qn
