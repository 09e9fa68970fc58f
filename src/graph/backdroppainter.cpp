#include "graph/backdroppainter.h"

#include "graph/coordinates.h"
#include "graph/graphtext.h"
#include "graph/pixelwriter.h"
#include "graph/timewindow.h"
#include "history/trendseries.h"
#include "ui/fonts.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace qn {

namespace {

QColor colorOf(const TrendSeries &s)
{
    return QColor(s.red(), s.green(), s.blue());
}

} // namespace

int labelFontPixels(int w, int h)
{
    return std::max(1, std::min(w * 14 / 700, h * 14 / 400));
}

void forEachValueLine(const TrendSeries &s, const std::function<void(double)> &line)
{
    if (s.isDigital()) {
        line(1.0);
        line(0.0);
        return;
    }
    const double step = (s.maxValue() - s.minValue()) / 10;
    double v = s.maxValue();
    for (int i = 0; i < 11; ++i, v -= step)
        line(v);
}

QString valueLineLabel(const TrendSeries &s, double v)
{
    if (s.isDigital())
        return v != 0.0 ? QStringLiteral("ON") : QStringLiteral("OFF");
    return valueLabel(v, s.minValue(), s.maxValue());
}

PlotArea plotAreaOf(QSize size, const TrendSeries *focus)
{
    const int w = size.width(), h = size.height();
    if (!focus)
        return plotAreaFor(w, h);
    // Asked for with every reading and mouse move, and the range rarely changes: the last
    // answer is kept.
    struct Widest {
        int pixels = -1;
        double minValue = 0, maxValue = 0;
        bool digital = false;
        int width = 0;
    };
    thread_local Widest last;
    const int pixels = labelFontPixels(w, h);
    if (last.pixels != pixels || last.minValue != focus->minValue() || last.maxValue != focus->maxValue()
        || last.digital != focus->isDigital()) {
        const QFontMetricsF metrics(fixedCjkFont(pixels));
        double widest = 0;
        forEachValueLine(*focus, [&](double v) {
            widest = std::max(widest, metrics.horizontalAdvance(valueLineLabel(*focus, v)));
        });
        last = {pixels, focus->minValue(), focus->maxValue(), focus->isDigital(), int(std::ceil(widest))};
    }
    return plotAreaFor(w, h, last.width);
}

QRect valueLabelBox(const PlotArea &a, QSize size, int y)
{
    const int h = size.height();
    return QRect(QPoint(valueLabelLeft(size.width()), y - h / 30), QPoint(a.left - 1, y + h / 30 - 1));
}

void BackdropPainter::drawLabel(QPainter &painter, const QRect &r, int flags, const QString &text, const QRegion &dirty)
{
    if (!(m_parts & Labels) || !dirty.intersects(r))
        return;
    // Laid out once per text and font: shaping is most of what drawing a label costs, and
    // the picture is drawn again every time the window moves by a pixel.
    if (m_labelFont != painter.font() || m_labels.size() > 512) {
        m_labels.clear();
        m_labelFont = painter.font();
    }
    auto it = m_labels.find(text);
    if (it == m_labels.end()) {
        QStaticText label(text);
        label.setTextFormat(Qt::PlainText);
        label.prepare(QTransform(), painter.font());
        it = m_labels.insert(text, label);
    }
    const QSizeF size = it->size();
    double x = r.left();
    if (flags & Qt::AlignHCenter)
        x = r.left() + (r.width() - size.width()) / 2;
    else if (flags & Qt::AlignRight)
        x = r.right() + 1 - size.width();
    double y = r.top();
    if (flags & Qt::AlignVCenter)
        y = r.top() + (r.height() - size.height()) / 2;
    else if (flags & Qt::AlignBottom)
        y = r.bottom() + 1 - size.height();
    // Kept inside its box as drawText keeps it, and in a repaint over the last picture never
    // drawn twice over a pixel (smoothed edges would darken); a clip only where one is needed.
    const QRect clip = m_labelClip.isNull() ? r : r & m_labelClip;
    if (size.width() <= r.width() && size.height() <= r.height() && clip == r) {
        painter.drawStaticText(QPoint(qRound(x), qRound(y)), *it);
        return;
    }
    painter.save();
    painter.setClipRect(clip, Qt::IntersectClip);
    painter.drawStaticText(QPoint(qRound(x), qRound(y)), *it);
    painter.restore();
}

void BackdropPainter::draw(QPainter &painter, const Picture &picture, const QRegion &dirty, bool fill, int parts,
                           const QRect &labelClip)
{
    m_window = &picture.window;
    m_focus = picture.focus;
    m_parts = parts;
    m_labelClip = labelClip;
    const int w = picture.size.width();
    const int h = picture.size.height();
    if (fill)
        fillOpaque(painter, QRect(0, 0, w, h), Qt::black); // the paint's own clip keeps it to `dirty`
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(fixedCjkFont(labelFontPixels(w, h)));
    drawTimeAxis(painter, w, h, dirty);
    // The focused series' value axis lies under the traces.
    if (m_window->isOpen())
        if (picture.focus)
            drawValueAxis(painter, *picture.focus, w, h, dirty);
}

void BackdropPainter::drawTimeAxis(QPainter &painter, int w, int h, const QRegion &dirty)
{
    if (!m_window->isOpen())
        return;
    const PlotArea a = plotAreaOf(QSize(w, h), m_focus);
    painter.setPen(cosmeticPen(Qt::white));
    painter.setBrush(Qt::NoBrush);
    // A 1-pixel outline covers one pixel past the QRect's right and bottom: the frame runs
    // from (L - 1, T - 2) to (0.95 w, B + 1) inclusive.
    if (m_parts & Frame)
        drawOutline(painter, QRect(QPoint(a.left - 1, a.top - 2), QPoint(int(0.95 * w) - 1, a.bottom)));
    // Texts only where labels are drawn: a repaint over the last picture draws the lines
    // and the labels in passes of their own, and formatting is dear.
    const bool labels = m_parts & Labels;
    if (labels)
        drawLabel(painter, QRect(QPoint(int(0.8 * w), 0), QPoint(int(0.95 * w) - 1, a.top - 1)),
                  Qt::AlignRight | Qt::AlignVCenter, secondsPerDivisionCaption(m_window->secondsPerDivision()), dirty);
    if (m_window->secondsPerDivision() < 0.01)
        return;

    const QPen gridPen = cosmeticPen(QColor(128, 128, 128));
    const QPen textPen = cosmeticPen(Qt::white);
    const Mapper map{a, m_window->start(), m_window->end()};
    const int n = int(std::min(1.0e7, std::trunc((m_window->end() - m_window->start()) / m_window->secondsPerDivision()))) + 1;
    const int k = n / 7 + 1;
    const int d = int(0.91 * h);
    const auto dateRect = [&](int x) { return QRect(QPoint(x - w / 10, d), QPoint(x + w / 10 - 1, (d + h) / 2 - 1)); };
    const auto timeRect = [&](int x) { return QRect(QPoint(x - w / 10, (d + h) / 2), QPoint(x + w / 10 - 1, h - 1)); };
    const auto drawDate = [&](int x, const std::tm &tm) {
        painter.setPen(textPen);
        drawLabel(painter, dateRect(x), Qt::AlignHCenter | Qt::AlignBottom, dateText(tm), dirty);
    };
    const auto drawTime = [&](int x, const std::tm &tm) {
        painter.setPen(textPen);
        drawLabel(painter, timeRect(x), Qt::AlignHCenter | Qt::AlignTop, timeText(tm), dirty);
    };
    const std::optional<PixelTarget> pixels = PixelTarget::of(painter);
    const auto drawLine = [&](int x) {
        if (!(m_parts & Lines))
            return;
        painter.setPen(gridPen);
        drawDotted(painter, pixels, QPoint(x, a.top), QPoint(x, a.bottom - 1));
    };

    const int anchorX = map.x(m_window->gridAnchor());
    const std::tm anchorTm = labels ? calendarOf(m_window->gridAnchor()) : std::tm{};
    drawLine(anchorX);
    if (labels) {
        drawDate(anchorX, anchorTm);
        drawTime(anchorX, anchorTm);
    }

    for (int direction : {1, -1}) {
        int prevX = anchorX;
        std::tm prevTm = anchorTm;
        double t = m_window->gridAnchor();
        int lastDrawnX = anchorX;
        for (int i = 1;; ++i) {
            t += direction * m_window->secondsPerDivision();
            const int x = map.x(t);
            if (direction > 0 ? x >= a.right : x <= a.left)
                break;
            // Lines closer than a pixel land on one another; one stroke is enough.
            if (x != lastDrawnX)
                drawLine(x);
            lastDrawnX = x;
            if (!labels || i % k != 0)
                continue;
            const std::tm tm = calendarOf(t);
            drawTime(x, tm);
            if (tm.tm_mday != prevTm.tm_mday) {
                drawDate(x, tm);
                if (i > k)
                    drawDate(prevX, prevTm);
            }
            prevX = x;
            prevTm = tm;
        }
    }
}

void BackdropPainter::drawValueAxis(QPainter &painter, const TrendSeries &s, int w, int h, const QRegion &dirty)
{
    const PlotArea a = plotAreaOf(QSize(w, h), &s);
    const QColor color = colorOf(s);
    const QPen axisPen = cosmeticPen(QColor(s.red() / 2, s.green() / 2, s.blue() / 2));
    const QPen textPen = cosmeticPen(color);
    const int axisRight = int(0.95 * w);
    const QString name = QString::fromStdString(s.name());
    const QString unit = QString::fromStdString(s.unit());
    const auto wanted = [&](const QRect &box) { return (m_parts & Labels) && dirty.intersects(box); };
    const QRect caption(QPoint(a.left, 0), QPoint(int(0.5 * w) - 1, a.top - 1));
    painter.setPen(textPen);
    if (wanted(caption))
        drawLabel(painter, caption, Qt::AlignLeft | Qt::AlignVCenter,
                  unit.isEmpty() ? name : QStringLiteral("%1[%2]").arg(name, unit), dirty);

    const std::optional<PixelTarget> pixels = PixelTarget::of(painter);
    forEachValueLine(s, [&](double v) {
        const int y = Mapper::y(a, s, v);
        painter.setPen(axisPen);
        if (m_parts & Lines)
            drawDotted(painter, pixels, QPoint(a.left, y), QPoint(axisRight - 1, y));
        const QRect box = valueLabelBox(a, QSize(w, h), y);
        if (!wanted(box))
            return;
        painter.setPen(textPen);
        drawLabel(painter, box, Qt::AlignLeft | Qt::AlignVCenter, valueLineLabel(s, v), dirty);
    });
}

} // namespace qn
