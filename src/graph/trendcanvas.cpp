#include "graph/trendcanvas.h"

#include "ui/fonts.h"

#include <QDateTime>
#include <QMouseEvent>
#include <QPaintEngine>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <limits>
#include <optional>

namespace qn {

namespace {

// Coordinates far outside the picture are pinned so the conversion to int stays defined.
// NaN (a series added with equal minimum and maximum, or a reading that is not a number)
// goes far off the picture too, and a trace's clamp then keeps it on the plot's edge.
int toPixel(double v)
{
    if (std::isnan(v))
        return -1'000'000;
    return int(std::clamp(v, -1.0e6, 1.0e6));
}

std::tm calendar(double seconds)
{
    // Whole seconds toward zero, read as an unsigned 32-bit count since 1970, local
    // zone; through Qt, as the C library's thread-safe local time differs by platform.
    // The labels of one picture are asked for again with every reading, and a conversion
    // reads the zone afresh each time: the last few are kept (forgotten within seconds, so
    // a change of the zone shows soon).
    const qint64 key = qint64(std::uint32_t(std::int64_t(seconds)));
    thread_local std::vector<std::pair<qint64, std::tm>> recent;
    for (const auto &[at, tm] : recent)
        if (at == key)
            return tm;
    if (recent.size() >= 32)
        recent.clear();
    const QDateTime local = QDateTime::fromSecsSinceEpoch(key);
    const QDate date = local.date();
    const QTime time = local.time();
    std::tm tm{};
    tm.tm_year = date.year() - 1900;
    tm.tm_mon = date.month() - 1;
    tm.tm_mday = date.day();
    tm.tm_hour = time.hour();
    tm.tm_min = time.minute();
    tm.tm_sec = time.second();
    recent.emplace_back(key, tm);
    return tm;
}

QString dateText(const std::tm &tm)
{
    return QString::asprintf("%d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
}

QString timeText(const std::tm &tm)
{
    return QString::asprintf("%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
}

QColor colorOf(const TrendSeries &s)
{
    return QColor(s.red(), s.green(), s.blue());
}

QPen cosmeticPen(const QColor &color, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(color, 1, style);
    pen.setCosmetic(true);
    return pen;
}

// The pixels of a 32-bit raster image that a painter paints on, where the traces can be
// written straight in: Qt's line drawing spends a few hundred nanoseconds setting up each
// line, and a trace of a short window is a thousand lines of a pixel or two.
struct RasterTarget {
    uchar *bits = nullptr;
    qsizetype bytesPerLine = 0;
    QRect bounds; // device pixels that may be written: the image, within the paint's clip

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

// A raster target that the painter's coordinates reach by a whole-pixel shift (pixel ratio
// 1), where what a cosmetic 1-pixel pen or a plain fill would paint can be written directly.
struct PixelTarget {
    RasterTarget raster;
    QPoint shift;

    static std::optional<PixelTarget> of(QPainter &painter)
    {
        const QTransform toDevice = painter.deviceTransform();
        if (toDevice.type() > QTransform::TxTranslate || toDevice.dx() != std::trunc(toDevice.dx())
            || toDevice.dy() != std::trunc(toDevice.dy())
            || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
            return std::nullopt;
        const std::optional<RasterTarget> raster = RasterTarget::of(painter);
        if (!raster)
            return std::nullopt;
        return PixelTarget{*raster, QPoint(int(toDevice.dx()), int(toDevice.dy()))};
    }
};

// An opaque fill, as painter.fillRect does it. Written directly where it can be: the raster
// engine hands a clipped fill of more than a few dozen rows to its thread pool, and waking
// the pool's threads costs far more than the fill of a thin strip of the plot.
void fillOpaque(QPainter &painter, const QRect &r, const QColor &color)
{
    if (const std::optional<PixelTarget> target = PixelTarget::of(painter))
        target->raster.fill(r.translated(target->shift), color.rgb());
    else
        painter.fillRect(r, color);
}

// The outline a 1-pixel cosmetic pen draws for r: its edges from r's top left to one pixel
// past its right and bottom.
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
        target->raster.fill(edge.translated(target->shift), color);
}

// A dotted 1-pixel line from `from` to `to` inclusive, one pixel lit in three starting at
// `from`, as a cosmetic dotted pen draws it. Lit pixels as points: a dash pattern sends every
// line through the general stroker, which is most of what a grid costs. Where the painter
// paints an image at whole device pixels the pixels are written straight in, which is what
// the raster engine ends up doing for each point after a much longer way there.
// `target` is PixelTarget::of(painter), worked out once for the many lines of a grid.
void drawDotted(QPainter &painter, const std::optional<PixelTarget> &target, QPoint from, QPoint to)
{
    const QPoint d = to - from;
    const int steps = std::max(std::abs(d.x()), std::abs(d.y()));
    const QPoint step(d.x() > 0 ? 1 : d.x() < 0 ? -1 : 0, d.y() > 0 ? 1 : d.y() < 0 ? -1 : 0);
    if (target && painter.pen().color().alpha() == 255) {
        target->raster.dotted(from + target->shift, step, steps, painter.pen().color().rgba());
        return;
    }
    thread_local std::vector<QPoint> dots;
    dots.clear();
    for (int i = 0; i <= steps; i += 3)
        dots.push_back(from + step * i);
    painter.drawPoints(dots.data(), int(dots.size()));
}

int fontPixels(int w, int h)
{
    return std::max(1, std::min(w * 14 / 700, h * 14 / 400));
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
            // The same test by the truncation's distance from a: without a rounding
            // instruction (baseline x86-64) floor and trunc take a dozen instructions
            // each, and this runs for every point of every trace.
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

// The scroll strip's bar, drawn again only when what it shows changes. While the window
// follows the data its page and position change with every reading, by far less than a
// pixel of the thumb once the history is long; the style draws the bar with gradients, which
// costs more than the whole moving picture of the graph.
class TrendScrollBar final : public QScrollBar {
public:
    using QScrollBar::QScrollBar;

protected:
    void sliderChange(SliderChange change) override
    {
        if (change != SliderOrientationChange && m_shown && *m_shown == look())
            return;
        QScrollBar::sliderChange(change);
    }
    void paintEvent(QPaintEvent *event) override
    {
        m_shown = look();
        QScrollBar::paintEvent(event);
    }

private:
    struct Look {
        QRect thumb;
        bool atStart, atEnd; // a style may grey out the arrow at an end
        bool operator==(const Look &) const = default;
    };
    Look look() const
    {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
                value() <= minimum(), value() >= maximum()};
    }
    std::optional<Look> m_shown;
};

} // namespace

TrendCanvas::TrendCanvas(QWidget *parent, int x, int y, int width, int height, int controlId, bool withScrollStrip)
    : QWidget(parent), m_controlId(controlId), m_hasScrollBar(withScrollStrip)
{
    setObjectName(QStringLiteral("trendCanvas%1").arg(controlId));
    setAccessibleName(QStringLiteral("トレンドグラフ"));
    // Every paint covers all it is asked for, itself or over the picture the backing store
    // already holds: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    setGeometry(x, y, width, height);

    if (withScrollStrip && parent) {
        auto *host = new QWidget(parent);
        host->setObjectName(QStringLiteral("trendScrollHost%1").arg(scrollHostId()));
        host->setGeometry(x, y + height, width, height / 25);
        auto *bar = new TrendScrollBar(Qt::Horizontal, host);
        bar->setObjectName(QStringLiteral("trendScrollBar%1").arg(scrollBarId()));
        bar->setAccessibleName(QStringLiteral("表示位置"));
        bar->setFocusPolicy(Qt::StrongFocus); // arrows, Page Up/Down, Home/End move the window
        bar->setGeometry(0, 0, width, height / 25);
        m_scrollHost = host;
        m_scrollBar = bar;
        writeScrollInfo();
        connect(bar, &QAbstractSlider::actionTriggered, this, [this](int action) {
            if (!m_scrollBar)
                return;
            switch (action) {
            case QAbstractSlider::SliderSingleStepSub: handleScroll(ScrollRequest::LineLeft); break;
            case QAbstractSlider::SliderSingleStepAdd: handleScroll(ScrollRequest::LineRight); break;
            case QAbstractSlider::SliderPageStepSub: handleScroll(ScrollRequest::PageLeft); break;
            case QAbstractSlider::SliderPageStepAdd: handleScroll(ScrollRequest::PageRight); break;
            case QAbstractSlider::SliderToMinimum: handleScroll(ScrollRequest::Left); break;
            case QAbstractSlider::SliderToMaximum: handleScroll(ScrollRequest::Right); break;
            case QAbstractSlider::SliderMove:
                handleScroll(ScrollRequest::ThumbTrack, m_scrollBar->sliderPosition());
                break;
            default: return;
            }
            // The bar applies the slider position after this signal: make it ours.
            m_scrollBar->setSliderPosition(m_scrollPos);
        });
    }
    show();
}

TrendCanvas::~TrendCanvas()
{
    for (auto &s : m_series)
        s->release();
    delete m_scrollHost.data();
}

QScrollBar *TrendCanvas::scrollBar() const
{
    return m_scrollBar;
}

TrendSeries *TrendCanvas::addSeries(const QString &name, double minValue, double maxValue)
{
    if (int(m_series.size()) >= kMaxSeries)
        return nullptr;
    m_series.push_back(std::make_unique<TrendSeries>(name.toStdString(), minValue, maxValue));
    return m_series.back().get();
}

TrendSeries *TrendCanvas::getSeries(int index) const
{
    if (index < 0 || index >= int(m_series.size()))
        return nullptr;
    return m_series[std::size_t(index)].get();
}

void TrendCanvas::setFocusSeries(int index)
{
    if (index >= 0 && index < int(m_series.size())) {
        m_focusIndex = index;
        refreshPicture();
    }
}

void TrendCanvas::setSecondsPerDivision(double seconds)
{
    if (!(seconds > 0))
        return;
    const double n = std::trunc(seconds);
    if (n < 1)
        m_secondsPerDivision = seconds;
    else if (n < 60)
        m_secondsPerDivision = n;
    else if (n < 3600)
        m_secondsPerDivision = std::floor(n / 60) * 60;
    else if (n < 86400)
        m_secondsPerDivision = std::floor(n / 3600) * 3600;
    else
        m_secondsPerDivision = std::floor(n / 86400) * 86400;
    refreshPicture();
}

void TrendCanvas::setSpan(double seconds)
{
    if (seconds >= 0)
        m_span = seconds;
}

double TrendCanvas::earliestTime() const
{
    std::vector<const TrendSeries *> all;
    for (const auto &s : m_series)
        all.push_back(s.get());
    return qn::earliestTime(all);
}

double TrendCanvas::latestTime() const
{
    std::vector<const TrendSeries *> all;
    for (const auto &s : m_series)
        all.push_back(s.get());
    return qn::latestTime(all);
}

void TrendCanvas::setTimeRange(double start, double end, double anchor)
{
    if (m_hasScrollBar && m_span != 0 && latestTime() > earliestTime()) {
        updateView(false);
        return;
    }
    if (end > start) {
        m_viewStart = start;
        m_viewEnd = end;
        m_gridAnchor = (anchor < start || anchor > end) ? end : anchor;
    } else if (m_hasScrollBar && m_span > 0 && m_viewEnd > m_viewStart && m_viewEnd - m_viewStart != m_span) {
        // No data to follow yet, but a display period was chosen: show it from the same start.
        m_viewEnd = m_viewStart + m_span;
        if (m_gridAnchor > m_viewEnd)
            m_gridAnchor = m_viewEnd;
    }
    // Whatever else changed (focus, visibility, a first sample) shows now, data or not.
    refreshPicture();
}

void TrendCanvas::updateView(bool fromScrollBar)
{
    if (m_span == 0)
        return;
    const double earliest = earliestTime();
    const double latest = latestTime();
    if (latest <= earliest)
        return;
    const double extent = latest - earliest;
    const auto pageFor = [&] { return int(std::trunc(m_span * 1'000'000.0 / extent)); };
    const auto posFor = [&] { return std::max(0, toPixel(std::trunc((m_viewStart - earliest) * 1'000'000.0 / extent))); };

    if (extent <= m_span) {
        m_viewStart = earliest;
        m_viewEnd = earliest + m_span;
        m_gridAnchor = latest;
        m_scrollPos = 0;
        m_scrollPage = kScrollFullPage;
    } else if (m_scrollPos + m_scrollPage >= kScrollMax) {
        m_viewEnd = latest;
        m_viewStart = latest - m_span;
        m_gridAnchor = latest;
        m_scrollPage = pageFor();
        m_scrollPos = std::max(0, kScrollMax - m_scrollPage);
    } else if (m_span != m_lastSpan) {
        m_viewEnd = m_viewStart + m_span;
        m_gridAnchor = m_viewEnd;
        m_scrollPage = pageFor();
        m_scrollPos = posFor();
    } else if (m_scrollPos != m_lastPos) {
        m_viewStart = earliest + extent / 1'000'000.0 * m_scrollPos;
        m_viewEnd = m_viewStart + m_span;
        m_gridAnchor = m_viewEnd;
    } else {
        if (fromScrollBar)
            return;
        m_scrollPage = pageFor();
        m_scrollPos = posFor();
    }
    if (m_span > 1)
        m_gridAnchor = std::floor(m_gridAnchor);
    if (!fromScrollBar)
        writeScrollInfo();
    m_lastSpan = m_span;
    m_lastPos = m_scrollPos;
    refreshPicture();
}

void TrendCanvas::writeScrollInfo()
{
    if (!m_scrollBar)
        return;
    const QSignalBlocker block(m_scrollBar.data());
    // The bar's maximum is the largest position, so the thumb of page p ends at 1,000,000.
    m_scrollBar->setRange(0, std::max(0, kScrollFullPage - m_scrollPage));
    m_scrollBar->setPageStep(std::max(1, m_scrollPage));
    m_scrollBar->setSingleStep(std::max(1, m_scrollPage / 16 + 1));
    m_scrollBar->setValue(m_scrollPos);
}

void TrendCanvas::handleScroll(ScrollRequest request, int trackPosition)
{
    int pos = m_scrollPos;
    const unsigned page = unsigned(m_scrollPage);
    const bool atRightEnd = unsigned(pos) + page >= unsigned(kScrollMax);
    switch (request) {
    case ScrollRequest::LineLeft:
        if (pos <= 0)
            return;
        pos -= int(page / 16 + 1);
        break;
    case ScrollRequest::LineRight:
        if (atRightEnd)
            return;
        pos += int(page / 16 + 1);
        break;
    case ScrollRequest::PageLeft:
        if (pos <= 0)
            return;
        pos -= int(page * 2 / 3 + 1);
        break;
    case ScrollRequest::PageRight:
        if (atRightEnd)
            return;
        pos += int(page * 2 / 3 + 1);
        break;
    case ScrollRequest::ThumbPosition:
    case ScrollRequest::ThumbTrack:
        pos = trackPosition;
        break;
    case ScrollRequest::Left:
        if (pos <= 0)
            return;
        pos = 0;
        break;
    case ScrollRequest::Right:
        if (atRightEnd)
            return;
        pos = kScrollFullPage - int(page);
        break;
    default:
        return;
    }
    if (pos < 0)
        pos = 0;
    if (pos + m_scrollPage >= kScrollMax)
        pos = std::max(0, kScrollMax - m_scrollPage);
    m_scrollPos = pos;
    writeScrollInfo();
    updateView(true);
}

void TrendCanvas::enableCursor(bool enabled)
{
    m_cursorEnabled = enabled;
    m_mouseMoved = false;
    update(readoutRect());
}

void TrendCanvas::refreshPicture()
{
    if (!isVisible()) {
        // Worked out when shown: a hidden graph costs a reading nothing.
        if (!m_sceneStale)
            ++m_refreshCount;
        m_sceneStale = true;
        m_pictureValid = false;
        return;
    }
    Scene next = scene();
    if (!m_sceneStale && next == m_scene) {
        // No pixel of the picture moves; the read-out's time may have.
        refreshReadout();
        return;
    }
    // While the window follows the data only the plot and the time labels under it move;
    // the captions above it and the frame's top stay. While it stands still (the history is
    // shorter than the window) only the traces' newest ends change.
    const bool onlyTheTimeMoved = !m_sceneStale && sameBackdrop(next, m_scene);
    const std::optional<QRect> grown = onlyTheTimeMoved ? grownPart(m_scene, next) : std::nullopt;
    m_scene = std::move(next);
    m_sceneStale = false;
    m_pictureValid = false;
    ++m_refreshCount;
    if (grown) {
        m_grownSinceLastPaint += *grown;
        update(*grown);
        return;
    }
    m_grownSinceLastPaint = QRegion();
    if (onlyTheTimeMoved) {
        // One rectangle from the plot's top down: a clip of one rectangle keeps the raster
        // engine on its fast fills, where two cost more than the few pixels they would save.
        update(movingRect());
    } else {
        update();
    }
}

bool TrendCanvas::tracesOnlyGrew(const Scene &before, const Scene &after)
{
    if (before.traces.size() != after.traces.size())
        return false;
    for (std::size_t i = 0; i < after.traces.size(); ++i) {
        const Trace &old = before.traces[i], &now = after.traces[i];
        if (old.color != now.color || old.wide != now.wide || now.points.size() < old.points.size()
            || !std::equal(old.points.begin(), old.points.end(), now.points.begin()))
            return false;
    }
    return true;
}

std::optional<QRect> TrendCanvas::grownPart(const Scene &before, const Scene &after)
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
    }
    return changed; // empty: nothing to draw
}

void TrendCanvas::refreshReadout()
{
    if (m_cursorEnabled && m_readoutShown != readoutShownText())
        update(readoutRect());
}

void TrendCanvas::showEvent(QShowEvent *event)
{
    if (m_sceneStale) {
        m_scene = scene();
        m_sceneStale = false;
        update();
    }
    QWidget::showEvent(event);
}

PlotArea TrendCanvas::plotAreaFor(int w, int h)
{
    return {int(0.1 * w), int(0.06 * h), int(0.93 * w), int(0.9 * h)};
}

QRect TrendCanvas::readoutRect() const
{
    const int w = width();
    // Ends above the frame's top edge (T - 2), which must survive a read-out repaint.
    return QRect(QPoint(int(0.4 * w), 0), QPoint(int(0.8 * w) - 1, plotArea().top - 3));
}

const TrendSeries *TrendCanvas::focused() const
{
    return getSeries(m_focusIndex);
}

QString TrendCanvas::secondsPerDivisionCaption(double s)
{
    if (s < 1)
        return QString::asprintf("%.2f sec/div", s);
    const long long n = (long long)std::trunc(s);
    if (s < 60)
        return QString::asprintf("%lld sec/div", n);
    if (s < 3600)
        return QString::asprintf("%lld min/div", n / 60);
    if (s < 86400)
        return QString::asprintf("%lld hour/div", n / 3600);
    return QString::asprintf("%lld day/div", n / 86400);
}

QString TrendCanvas::valueLabel(double value, double minValue, double maxValue)
{
    if (maxValue > 999.9999 || minValue < -999.9999)
        return QString::asprintf("%+8.2f", value);
    return QString::asprintf("%+8.3f", value);
}

QString TrendCanvas::readoutText(double value, double time)
{
    const std::tm tm = calendar(time);
    return QString::asprintf("Cursor [%+8.3f, %d/%02d/%02d %02d:%02d:%02d]", value, tm.tm_year + 1900, tm.tm_mon + 1,
                             tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
}

void TrendCanvas::renderPicture(QPainter &painter) const
{
    renderScene(painter, scene(), QRegion(rect()));
}

void TrendCanvas::renderPicture(QImage &image) const
{
    QPainter painter(&image);
    renderScene(painter, scene(), QRegion(rect()));
}

void TrendCanvas::renderScene(QPainter &painter, const Scene &sc, const QRegion &dirty) const
{
    renderBackdrop(painter, dirty, true);
    drawTracesInDevicePixels(painter, sc);
}

void TrendCanvas::drawTracesInDevicePixels(QPainter &painter, const Scene &sc, bool erase)
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

void TrendCanvas::drawLabel(QPainter &painter, const QRect &r, int flags, const QString &text, const QRegion &dirty) const
{
    if (!(m_drawParts & LabelParts) || !dirty.intersects(r))
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

std::vector<int> TrendCanvas::gridLines() const
{
    // The x of every grid line drawTimeAxis draws, anchor first; with the anchor's time and
    // the spacing they fix every label too.
    std::vector<int> xs;
    if (!(m_viewEnd > m_viewStart) || m_secondsPerDivision < 0.01)
        return xs;
    const PlotArea a = plotArea();
    const Mapper map{a, m_viewStart, m_viewEnd};
    xs.push_back(map.x(m_gridAnchor));
    for (int direction : {1, -1}) {
        double t = m_gridAnchor;
        for (;;) {
            t += direction * m_secondsPerDivision;
            const int x = map.x(t);
            if (direction > 0 ? x >= a.right : x <= a.left)
                break;
            xs.push_back(x);
        }
    }
    return xs;
}

TrendCanvas::Scene TrendCanvas::scene() const
{
    Scene sc;
    sc.size = size();
    if (!(m_viewEnd > m_viewStart))
        return sc;
    sc.viewWidth = m_viewEnd - m_viewStart;
    sc.gridAnchor = m_gridAnchor;
    sc.secondsPerDivision = m_secondsPerDivision;
    sc.gridX = gridLines();
    const TrendSeries *focus = focused();
    if (focus) {
        sc.focus = m_focusIndex;
        sc.name = focus->getName();
        sc.unit = focus->getUnit();
        sc.minValue = focus->minValue();
        sc.maxValue = focus->maxValue();
        sc.digital = focus->isDigital();
        sc.focusColor = focus->getColor();
    }
    const PlotArea a = plotArea();
    int others = 0;
    for (const auto &s : m_series) {
        if (s.get() == focus)
            continue;
        sc.traces.push_back(traceOf(*s, a, false));
        ++others;
    }
    // The focused trace last, on top, and wider when there is anything to stand out from.
    if (focus)
        sc.traces.push_back(traceOf(*focus, a, others > 0));
    return sc;
}

void TrendCanvas::renderBackdrop(QPainter &painter, const QRegion &dirty, bool fill) const
{
    const int w = width();
    const int h = height();
    if (fill)
        fillOpaque(painter, QRect(0, 0, w, h), Qt::black); // the paint's own clip keeps it to `dirty`
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setFont(fixedCjkFont(fontPixels(w, h)));
    drawTimeAxis(painter, w, h, dirty);
    // The focused series' value axis lies under the traces.
    if (m_viewEnd > m_viewStart)
        if (const TrendSeries *focus = focused())
            drawValueAxis(painter, *focus, w, h, dirty);
}

void TrendCanvas::drawTimeAxis(QPainter &painter, int w, int h, const QRegion &dirty) const
{
    if (!(m_viewEnd > m_viewStart))
        return;
    const PlotArea a = plotAreaFor(w, h);
    painter.setPen(cosmeticPen(Qt::white));
    painter.setBrush(Qt::NoBrush);
    // A 1-pixel outline covers one pixel past the QRect's right and bottom: the frame runs
    // from (L - 1, T - 2) to (0.95 w, B + 1) inclusive.
    if (m_drawParts & FrameParts)
        drawOutline(painter, QRect(QPoint(a.left - 1, a.top - 2), QPoint(int(0.95 * w) - 1, a.bottom)));
    // Texts only where labels are drawn: a repaint over the last picture draws the lines
    // and the labels in passes of their own, and formatting is dear.
    const bool labels = m_drawParts & LabelParts;
    if (labels)
        drawLabel(painter, QRect(QPoint(int(0.8 * w), 0), QPoint(int(0.95 * w) - 1, a.top - 1)),
                  Qt::AlignRight | Qt::AlignVCenter, secondsPerDivisionCaption(m_secondsPerDivision), dirty);
    if (m_secondsPerDivision < 0.01)
        return;

    const QPen gridPen = cosmeticPen(QColor(128, 128, 128));
    const QPen textPen = cosmeticPen(Qt::white);
    const Mapper map{a, m_viewStart, m_viewEnd};
    const int n = int(std::min(1.0e7, std::trunc((m_viewEnd - m_viewStart) / m_secondsPerDivision))) + 1;
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
        if (!(m_drawParts & LineParts))
            return;
        painter.setPen(gridPen);
        drawDotted(painter, pixels, QPoint(x, a.top), QPoint(x, a.bottom - 1));
    };

    const int anchorX = map.x(m_gridAnchor);
    const std::tm anchorTm = labels ? calendar(m_gridAnchor) : std::tm{};
    drawLine(anchorX);
    if (labels) {
        drawDate(anchorX, anchorTm);
        drawTime(anchorX, anchorTm);
    }

    for (int direction : {1, -1}) {
        int prevX = anchorX;
        std::tm prevTm = anchorTm;
        double t = m_gridAnchor;
        int lastDrawnX = anchorX;
        for (int i = 1;; ++i) {
            t += direction * m_secondsPerDivision;
            const int x = map.x(t);
            if (direction > 0 ? x >= a.right : x <= a.left)
                break;
            // Lines closer than a pixel land on one another; one stroke is enough.
            if (x != lastDrawnX)
                drawLine(x);
            lastDrawnX = x;
            if (!labels || i % k != 0)
                continue;
            const std::tm tm = calendar(t);
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

void TrendCanvas::drawValueAxis(QPainter &painter, const TrendSeries &s, int w, int h, const QRegion &dirty) const
{
    const PlotArea a = plotAreaFor(w, h);
    const QColor color = colorOf(s);
    const QPen axisPen = cosmeticPen(QColor(s.red() / 2, s.green() / 2, s.blue() / 2));
    const QPen textPen = cosmeticPen(color);
    const int axisRight = int(0.95 * w);
    const QString name = QString::fromStdString(s.getName());
    const QString unit = QString::fromStdString(s.getUnit());
    const auto wanted = [&](const QRect &box) { return (m_drawParts & LabelParts) && dirty.intersects(box); };
    const QRect caption(QPoint(a.left, 0), QPoint(int(0.5 * w) - 1, a.top - 1));
    painter.setPen(textPen);
    if (wanted(caption))
        drawLabel(painter, caption, Qt::AlignLeft | Qt::AlignVCenter,
                  unit.isEmpty() ? name : QStringLiteral("%1[%2]").arg(name, unit), dirty);

    const std::optional<PixelTarget> pixels = PixelTarget::of(painter);
    const auto line = [&](double v) {
        const int y = Mapper::y(a, s, v);
        painter.setPen(axisPen);
        if (m_drawParts & LineParts)
            drawDotted(painter, pixels, QPoint(a.left, y), QPoint(axisRight - 1, y));
        const QRect box(QPoint(a.left / 10, y - h / 30), QPoint(a.left - 1, y + h / 30 - 1));
        if (!wanted(box))
            return;
        painter.setPen(textPen);
        const QString label = !s.isDigital() ? valueLabel(v, s.minValue(), s.maxValue())
                              : v != 0.0     ? QStringLiteral("ON")
                                             : QStringLiteral("OFF");
        drawLabel(painter, box, Qt::AlignLeft | Qt::AlignVCenter, label, dirty);
    };
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

TrendCanvas::Trace TrendCanvas::traceOf(const TrendSeries &s, const PlotArea &a, bool wide) const
{
    Trace trace;
    trace.color = s.getColor();
    trace.wide = wide;
    thread_local std::vector<SelectedSample> selection;
    selectSamples(s, m_viewStart, m_viewEnd, a.right - a.left, selection);
    if (selection.empty())
        return trace;
    // The mapping of Mapper, with the divisions by the window and the range taken out of
    // the loop (same results).
    const RoundedQuotient xq(m_viewEnd - m_viewStart);
    const RoundedQuotient yq(s.maxValue() - s.minValue());
    const double width = a.right - a.left;
    const double height = a.bottom - a.top;
    const auto xOf = [&](double t) { return a.left + xq((t - m_viewStart) * width); };
    const auto yOf = [&](double v) { return std::clamp(a.bottom - yq((v - s.minValue()) * height), a.top, a.bottom); };

    trace.points.reserve(selection.size());
    for (const auto &[p, i] : selection) {
        int x = xOf(p.time);
        int y = yOf(p.value);
        if (trace.points.empty() && x < a.left && std::size_t(i) + 1 < s.count()) {
            // Enter at the left edge with the value interpolated there.
            const TrendSample &next = s.At(std::size_t(i) + 1);
            const double v = next.time > p.time
                                 ? p.value + (next.value - p.value) * (m_viewStart - p.time) / (next.time - p.time)
                                 : next.value;
            x = a.left;
            y = yOf(v);
        }
        // Samples of one column that land on one pixel draw nothing more than the first.
        if (!trace.points.empty() && trace.points.back() == QPoint(x, y))
            continue;
        trace.points.emplace_back(x, y);
    }
    return trace;
}

void TrendCanvas::drawTraces(QPainter &painter, const Scene &sc, const QTransform &toDevice, bool erase)
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
            continue;
        }
        painter.drawLines(lines.data(), int(lines.size()));
        if (!runs.empty()) {
            painter.setPen(Qt::NoPen);
            painter.setBrush(color);
            painter.drawRects(runs.data(), int(runs.size()));
            painter.setBrush(Qt::NoBrush);
        }
    }
}

QString TrendCanvas::readoutShownText() const
{
    if (!m_cursorEnabled || m_viewStart == 0 || m_viewEnd == 0)
        return {};
    const PlotArea a = plotArea();
    const bool outside = m_mouseX <= a.left || m_mouseY <= a.top || m_mouseX >= a.right || m_mouseY >= a.bottom;
    const TrendSeries *focus = focused();
    if (outside || !focus)
        return {};
    const double tc = m_viewStart + double(m_mouseX - a.left) / (a.right - a.left) * (m_viewEnd - m_viewStart);
    const double vc = focus->minValue()
                      + double(a.bottom - m_mouseY) / (a.bottom - a.top) * (focus->maxValue() - focus->minValue());
    return readoutText(vc, tc);
}

void TrendCanvas::drawReadout(QPainter &painter) const
{
    const QString text = readoutShownText();
    if (text.isEmpty())
        return;
    const TrendSeries *focus = focused();
    const int w = width();
    // A read-out covers whatever stands behind it (a long caption), as a fresh box.
    painter.fillRect(readoutRect(), Qt::black);
    painter.setFont(fixedCjkFont(fontPixels(w, height())));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(cosmeticPen(colorOf(*focus)));
    painter.drawText(QRect(QPoint(int(0.4 * w), 0), QPoint(int(0.8 * w) - 1, plotArea().top - 1)),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
}

QImage TrendCanvas::renderToImage(qreal devicePixelRatio) const
{
    QImage image(size() * devicePixelRatio, QImage::Format_RGB32);
    image.setDevicePixelRatio(devicePixelRatio);
    renderPicture(image);
    QPainter painter(&image);
    drawReadout(painter);
    return image;
}

QRect TrendCanvas::movingRect() const
{
    return QRect(0, plotArea().top, width(), height() - plotArea().top);
}

void TrendCanvas::paintEvent(QPaintEvent *event)
{
    if (m_sceneStale || m_scene.size != size()) {
        m_scene = scene();
        m_sceneStale = false;
    }
    // Straight into the window's backing store, only where it is asked for: the picture
    // moves by a pixel with nearly every reading of a short window, so a picture kept aside
    // would be drawn and then copied over the whole canvas each time.
    QPainter painter(this);
    const bool overLastPicture = m_paintedValid && sameBackdrop(m_painted, m_scene)
                                 && !window()->testAttribute(Qt::WA_TranslucentBackground);
    // Asked for exactly where the traces grew since the last paint: the backing store holds
    // the last picture there, whose traces the new ones only extend, so the traces drawn
    // again in their order over it come out as the whole picture would (where any trace
    // now covers a pixel, the last of them is drawn last; elsewhere the backdrop stands).
    const bool onlyGrown = overLastPicture && !m_grownSinceLastPaint.isEmpty()
                           && event->region() == m_grownSinceLastPaint && grownPart(m_painted, m_scene);
    if (onlyGrown)
        drawTracesInDevicePixels(painter, m_scene);
    else if (overLastPicture && event->region() == QRegion(movingRect()))
        movePicture(painter);
    else
        renderScene(painter, m_scene, event->region());
    m_grownSinceLastPaint = QRegion();
    m_painted = m_scene;
    m_paintedValid = true;
    m_pictureValid = true;
    if (m_cursorEnabled && event->region().intersects(readoutRect())) {
        drawReadout(painter);
        m_readoutShown = readoutShownText();
    }
    m_mouseMoved = false;
}

void TrendCanvas::movePicture(QPainter &painter)
{
    // The window followed the data and the backing store still holds the last picture. Only
    // its traces and grid lines come off (in black), and the strip of time labels is cleared;
    // then the lines, labels and traces go on again. Filling the plot black for every reading
    // would touch each of its pixels where a few thousand change, and filling is most of
    // what such a repaint costs.
    const PlotArea a = plotArea();
    const QRect labels(QPoint(0, a.bottom + 2), QPoint(width() - 1, height() - 1));
    // While the window stands (the grid follows the newest second) the traces only grew:
    // drawn again over themselves at the end, they need not come off first, and the frame,
    // which only a trace along the plot's bottom edge could have been taken off with, stays.
    const bool erase = !tracesOnlyGrew(m_painted, m_scene);
    if (erase)
        drawTracesInDevicePixels(painter, m_painted, true);
    painter.setPen(cosmeticPen(Qt::black));
    const std::optional<PixelTarget> pixels = PixelTarget::of(painter);
    for (const int x : m_painted.gridX)
        drawDotted(painter, pixels, QPoint(x, a.top), QPoint(x, a.bottom - 1));
    fillOpaque(painter, labels, Qt::black);
    m_drawParts = erase ? LineParts | FrameParts : LineParts;
    renderBackdrop(painter, QRegion(labels), false);
    m_drawParts = LabelParts;
    m_labelClip = labels;
    renderBackdrop(painter, QRegion(labels), false);
    m_drawParts = AllParts;
    m_labelClip = QRect();
    drawTracesInDevicePixels(painter, m_scene);
}

void TrendCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    m_mouseX = p.x();
    m_mouseY = p.y();
    m_mouseMoved = true;
    if (m_cursorEnabled)
        update(readoutRect());
    QWidget::mouseMoveEvent(event);
}

void TrendCanvas::leaveEvent(QEvent *event)
{
    // Leaving the canvas counts as leaving the plot: no read-out is left behind.
    m_mouseX = -1;
    m_mouseY = -1;
    m_mouseMoved = true;
    if (m_cursorEnabled)
        update(readoutRect());
    QWidget::leaveEvent(event);
}

void TrendCanvas::resizeEvent(QResizeEvent *event)
{
    m_sceneStale = true;
    m_paintedValid = false;
    QWidget::resizeEvent(event);
}

} // namespace qn
