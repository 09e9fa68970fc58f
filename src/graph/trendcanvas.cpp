#include "graph/trendcanvas.h"

#include "graph/graphexport.h"
#include "graph/graphtext.h"
#include "graph/pixelwriter.h"
#include "graph/scrollstrip.h"
#include "ui/fonts.h"

#include <QMouseEvent>
#include "ui/language.h"

#include <QPaintEvent>
#include <QPainter>

#include <optional>

namespace qn {

TrendCanvas::TrendCanvas(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("trendCanvas"));
    keepTranslated(this, [this] { setAccessibleName(tr("トレンドグラフ")); });
    // Every paint covers all it is asked for, itself or over the picture the backing store
    // already holds: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMouseTracking(true);
    setCursor(Qt::ArrowCursor);
    setUpOperatorView();
}

TrendCanvas::~TrendCanvas() = default;


void TrendCanvas::setScrollStrip(TrendScrollStrip *strip)
{
    if (m_strip)
        disconnect(m_strip, nullptr, this, nullptr);
    m_strip = strip;
    m_window.setFollowsData(strip != nullptr);
    if (!strip)
        return;
    showWindowOnStrip();
    connect(strip, &QAbstractSlider::actionTriggered, this, &TrendCanvas::onStripAction);
}

void TrendCanvas::onStripAction(int action)
{
    if (!m_strip)
        return;
    bool moved = false;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: moved = m_window.lineBack(); break;
    case QAbstractSlider::SliderSingleStepAdd: moved = m_window.lineForward(); break;
    case QAbstractSlider::SliderPageStepSub: moved = m_window.pageBack(); break;
    case QAbstractSlider::SliderPageStepAdd: moved = m_window.pageForward(); break;
    case QAbstractSlider::SliderToMinimum: moved = m_window.toOldest(); break;
    case QAbstractSlider::SliderToMaximum: moved = m_window.toNewest(); break;
    case QAbstractSlider::SliderMove:
        m_window.scrollTo(m_strip->sliderPosition());
        moved = true;
        break;
    default: return;
    }
    if (moved) {
        showWindowOnStrip();
        if (m_window.placeAfterScroll(earliestTime(), latestTime()))
            refreshPicture();
        updateLiveButton();
    }
    // The bar applies the slider position after this signal: make it ours.
    m_strip->setSliderPosition(m_window.scrollPosition());
}

void TrendCanvas::showWindowOnStrip()
{
    if (m_strip)
        m_strip->showWindow(m_window.scrollPosition(), m_window.scrollPage());
}

TrendSeries *TrendCanvas::addSeries(const QString &name, double minValue, double maxValue)
{
    if (int(m_series.size()) >= kMaxSeries)
        return nullptr;
    m_series.push_back(std::make_unique<TrendSeries>(name.toStdString(), minValue, maxValue));
    return m_series.back().get();
}

TrendSeries *TrendCanvas::series(int index) const
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
    if (m_window.setSecondsPerDivision(seconds)) {
        m_definedGrid = m_window.secondsPerDivision();
        refreshPicture();
    }
}

void TrendCanvas::setSpan(double seconds)
{
    m_window.setSpan(seconds);
    if (seconds > 0)
        m_definedSpan = seconds;
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
    m_window.place(start, end, anchor, earliestTime(), latestTime());
    showWindowOnStrip();
    updateLiveButton();
    // Whatever else changed (focus, visibility, a first sample) shows now, data or not.
    refreshPicture();
}

void TrendCanvas::enableCursor(bool enabled)
{
    m_cursorEnabled = enabled;
    update(readoutRect());
}

TrendScene TrendCanvas::scene() const
{
    return makeScene(size(), m_window, m_series, m_focusIndex);
}

BackdropPainter::Picture TrendCanvas::picture() const
{
    return {size(), m_window, series(m_focusIndex)};
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

void TrendCanvas::renderScene(QPainter &painter, const TrendScene &sc, const QRegion &dirty) const
{
    m_backdrop.draw(painter, picture(), dirty, true);
    drawTracesInDevicePixels(painter, sc);
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
    TrendScene next = scene();
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

QRect TrendCanvas::readoutRect() const
{
    const int w = width();
    // Ends above the frame's top edge (T - 2), which must survive a read-out repaint.
    return QRect(QPoint(int(0.4 * w), 0), QPoint(int(0.8 * w) - 1, plotArea().top - 3));
}

QString TrendCanvas::readoutShownText() const
{
    if (!m_cursorEnabled || m_window.start() == 0 || m_window.end() == 0)
        return {};
    const PlotArea a = plotArea();
    const bool outside = m_mouseX <= a.left || m_mouseY <= a.top || m_mouseX >= a.right || m_mouseY >= a.bottom;
    const TrendSeries *focus = series(m_focusIndex);
    if (outside || !focus)
        return {};
    const double tc =
        m_window.start() + double(m_mouseX - a.left) / (a.right - a.left) * (m_window.end() - m_window.start());
    const double vc = focus->minValue()
                      + double(a.bottom - m_mouseY) / (a.bottom - a.top) * (focus->maxValue() - focus->minValue());
    return readoutText(vc, tc);
}

void TrendCanvas::drawReadout(QPainter &painter) const
{
    const QString text = readoutShownText();
    if (text.isEmpty())
        return;
    const TrendSeries *focus = series(m_focusIndex);
    const int w = width();
    // A read-out covers whatever stands behind it (a long caption), as a fresh box.
    painter.fillRect(readoutRect(), Qt::black);
    painter.setFont(fixedCjkFont(labelFontPixels(w, height())));
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(cosmeticPen(QColor(focus->red(), focus->green(), focus->blue())));
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
    const BackdropPainter::Picture picture = this->picture();
    m_backdrop.draw(painter, picture, QRegion(labels), false,
                    erase ? BackdropPainter::Lines | BackdropPainter::Frame : BackdropPainter::Lines);
    m_backdrop.draw(painter, picture, QRegion(labels), false, BackdropPainter::Labels, labels);
    drawTracesInDevicePixels(painter, m_scene);
}

void TrendCanvas::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint p = event->position().toPoint();
    m_mouseX = p.x();
    m_mouseY = p.y();
    if (m_dragFrom) {
        const QPoint d = p - *m_dragFrom;
        m_dragFrom = p;
        panByPixels(d.x(), d.y(), m_dragInValue);
    }
    if (m_cursorEnabled)
        update(readoutRect());
    QWidget::mouseMoveEvent(event);
}

void TrendCanvas::leaveEvent(QEvent *event)
{
    // Leaving the canvas counts as leaving the plot: no read-out is left behind.
    m_mouseX = -1;
    m_mouseY = -1;
    if (m_cursorEnabled)
        update(readoutRect());
    QWidget::leaveEvent(event);
}

void TrendCanvas::resizeEvent(QResizeEvent *event)
{
    m_sceneStale = true;
    m_paintedValid = false;
    placeLiveButton();
    QWidget::resizeEvent(event);
}

} // namespace qn
