#pragma once
// The trend graph's own pixel writer. The canvas repaints with every reading (ten a second
// on a one-minute window), and what it draws is thousands of lines a pixel or two long and
// every third pixel of a dotted grid: through QPainter each of those goes the long way
// (line set-up, the dash stroker, the fill thread pool), which costs far more than the
// pixels themselves. Here they are written straight into the
// 32-bit image the painter paints on, wherever the painter allows it; everywhere else the
// painter draws the same pixels. bench_graph (BM_RepaintFullHistory, BM_Reading) keeps this
// honest: drop a path here when the painter's own way measures as fast.
#include "graph/trendscene.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRect>

#include <optional>

namespace qn {

inline QPen cosmeticPen(const QColor &color, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(color, 1, style);
    pen.setCosmetic(true);
    return pen;
}

// Where the painter paints a 32-bit image at whole device pixels (pixel ratio 1) and the
// pixels of a cosmetic 1-pixel pen or a plain fill can be written directly: the image's
// bits, the device pixels that may be written (the image within the paint's clip), and the
// shift from the painter's coordinates to them.
struct PixelTarget {
    uchar *bits = nullptr;
    qsizetype bytesPerLine = 0;
    QRect bounds;
    QPoint shift;

    static std::optional<PixelTarget> of(QPainter &painter);
};

// An opaque fill, as painter.fillRect does it, written directly where it can be.
void fillOpaque(QPainter &painter, const QRect &r, const QColor &color);
// The outline a 1-pixel cosmetic pen draws for r: its edges from r's top left to one pixel
// past its right and bottom.
void drawOutline(QPainter &painter, const QRect &r);
// A dotted 1-pixel line from `from` to `to` inclusive, one pixel lit in three starting at
// `from`, as a cosmetic dotted pen draws it. `target` is PixelTarget::of(painter), worked
// out once for the many lines of a grid.
void drawDotted(QPainter &painter, const std::optional<PixelTarget> &target, QPoint from, QPoint to);

// The traces of a scene: 1-pixel lines, the focused trace 2 device pixels wide, at any
// device pixel ratio. erase: black over where they were drawn, which takes them off again.
void drawTracesInDevicePixels(QPainter &painter, const TrendScene &scene, bool erase = false);

} // namespace qn
