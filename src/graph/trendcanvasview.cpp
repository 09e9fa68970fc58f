// The operator's own view of the trend canvas: wheel, drag and keys zoom and pan the time
// window (TimeWindow does the arithmetic), "最新へ" follows the newest reading again, and the
// context menu saves and copies the picture (GraphExporter).
#include "graph/displayperiods.h"
#include "graph/graphexport.h"
#include "graph/trendcanvas.h"
#include "ui/language.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QWheelEvent>

#include <cmath>

namespace qn {

namespace {

// One wheel notch or key press changes a width by a quarter.
double zoomFactor(int steps)
{
    return std::pow(0.8, steps);
}

} // namespace

void TrendCanvas::setUpOperatorView()
{
    // The keys zoom and pan only once the canvas has the focus, which a click or Tab gives it.
    setFocusPolicy(Qt::StrongFocus);
    auto *live = new QPushButton(this);
    live->setObjectName(QStringLiteral("liveButton"));
    keepTranslated(live, [this, live] {
        live->setText(tr("最新へ"));
        live->setAccessibleName(tr("最新へ"));
        live->setAccessibleDescription(tr("最新の値に追従する"));
        if (m_liveButton)
            placeLiveButton();
    });
    live->hide();
    connect(live, &QPushButton::clicked, this, &TrendCanvas::followNewest);
    m_liveButton = live;
    placeLiveButton();
}

GraphExporter &TrendCanvas::exporter()
{
    if (!m_exporter)
        m_exporter = std::make_unique<GraphExporter>(*this);
    return *m_exporter;
}

void TrendCanvas::placeLiveButton()
{
    if (!m_liveButton)
        return;
    const PlotArea a = plotArea();
    const QSize hint = m_liveButton->sizeHint();
    // Inside the plot's top right corner, clear of the read-out and the captions above it.
    m_liveButton->setGeometry(a.right - hint.width() - 4, a.top + 4, hint.width(), hint.height());
}

void TrendCanvas::updateLiveButton()
{
    if (m_liveButton && m_liveButton->isHidden() == isLive())
        return;
    if (m_liveButton)
        m_liveButton->setVisible(!isLive());
    emit viewChanged();
}

void TrendCanvas::viewMoved()
{
    showWindowOnStrip();
    if (m_strip)
        m_strip->setSliderPosition(m_window.scrollPosition());
    refreshPicture();
    updateLiveButton();
    emit viewChanged();
}

void TrendCanvas::zoomTimeAt(int x, int steps)
{
    const PlotArea a = plotArea();
    if (a.right <= a.left || steps == 0)
        return;
    const double t = m_window.start() + double(x - a.left) / (a.right - a.left) * (m_window.end() - m_window.start());
    if (!m_window.zoomAround(t, zoomFactor(steps), shortestPeriod(), longestPeriod(), earliestTime(), latestTime()))
        return;
    // The grid of the nearest period keeps a width between two readable.
    m_window.setSecondsPerDivision(displayPeriod(nearestPeriodIndex(m_window.span()))->secondsPerDivision);
    viewMoved();
}

void TrendCanvas::zoomValueAt(int y, int steps)
{
    TrendSeries *s = series(m_focusIndex);
    const PlotArea a = plotArea();
    if (!s || a.bottom <= a.top || steps == 0)
        return;
    const double lo = s->minValue(), hi = s->maxValue();
    const double v = lo + double(a.bottom - y) / (a.bottom - a.top) * (hi - lo);
    const double f = zoomFactor(steps);
    setFocusValueView(v - (v - lo) * f, v + (hi - v) * f);
    viewMoved();
}

void TrendCanvas::setFocusValueView(double minValue, double maxValue)
{
    TrendSeries &s = *series(m_focusIndex);
    m_valueViews.resize(m_series.size());
    auto &view = m_valueViews[std::size_t(m_focusIndex)];
    const std::pair now(s.minValue(), s.maxValue());
    if (!view || view->zoomed != now)
        view = ValueView{now, now};
    s.setRange(minValue, maxValue);
    view->zoomed = {s.minValue(), s.maxValue()};
}

void TrendCanvas::panByPixels(int dx, int dy, bool inValue)
{
    const PlotArea a = plotArea();
    if (a.right <= a.left || a.bottom <= a.top)
        return;
    if (inValue) {
        TrendSeries *s = series(m_focusIndex);
        if (!s || dy == 0)
            return;
        const double dv = double(dy) * (s->maxValue() - s->minValue()) / (a.bottom - a.top);
        setFocusValueView(s->minValue() + dv, s->maxValue() + dv);
    } else {
        if (dx == 0)
            return;
        m_window.panBy(-double(dx) * (m_window.end() - m_window.start()) / (a.right - a.left), earliestTime(),
                       latestTime());
    }
    viewMoved();
}

void TrendCanvas::returnToDefinedView()
{
    for (std::size_t i = 0; i < m_valueViews.size() && i < m_series.size(); ++i) {
        const auto &view = m_valueViews[i];
        TrendSeries &s = *m_series[i];
        if (view && view->zoomed == std::pair(s.minValue(), s.maxValue()))
            s.setRange(view->defined.first, view->defined.second);
    }
    m_valueViews.clear();
    if (m_definedSpan > 0)
        m_window.setSpan(m_definedSpan);
    if (m_definedGrid > 0)
        m_window.setSecondsPerDivision(m_definedGrid);
    m_window.followNewest(earliestTime(), latestTime());
    viewMoved();
}

void TrendCanvas::followNewest()
{
    if (m_window.followNewest(earliestTime(), latestTime()))
        viewMoved();
}

void TrendCanvas::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120;
    const QPoint p = event->position().toPoint();
    const PlotArea a = plotArea();
    if (steps == 0 || p.x() < a.left || p.x() > a.right || p.y() < a.top || p.y() > a.bottom) {
        QWidget::wheelEvent(event);
        return;
    }
    if (event->modifiers() & Qt::ControlModifier)
        zoomValueAt(p.y(), steps);
    else
        zoomTimeAt(p.x(), steps);
    event->accept();
}

void TrendCanvas::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_dragFrom = event->position().toPoint();
        m_dragInValue = event->modifiers() & Qt::ControlModifier;
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(event);
}

void TrendCanvas::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragFrom) {
        m_dragFrom.reset();
        setCursor(Qt::ArrowCursor);
    }
    QWidget::mouseReleaseEvent(event);
}

void TrendCanvas::keyPressEvent(QKeyEvent *event)
{
    const PlotArea a = plotArea();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    const int tenthX = std::max(1, (a.right - a.left) / 10);
    const int tenthY = std::max(1, (a.bottom - a.top) / 10);
    const int centreX = (a.left + a.right) / 2, centreY = (a.top + a.bottom) / 2;
    switch (event->key()) {
    case Qt::Key_Plus:
    case Qt::Key_Equal: ctrl ? zoomValueAt(centreY, 1) : zoomTimeAt(centreX, 1); break;
    case Qt::Key_Minus: ctrl ? zoomValueAt(centreY, -1) : zoomTimeAt(centreX, -1); break;
    case Qt::Key_Left: panByPixels(tenthX, 0, false); break;
    case Qt::Key_Right: panByPixels(-tenthX, 0, false); break;
    case Qt::Key_Up: panByPixels(0, tenthY, true); break;
    case Qt::Key_Down: panByPixels(0, -tenthY, true); break;
    case Qt::Key_Home: returnToDefinedView(); break;
    case Qt::Key_End: followNewest(); break;
    default:
        if (!exporter().handleShortcut(event))
            QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void TrendCanvas::contextMenuEvent(QContextMenuEvent *event)
{
    exporter().showMenu(event->reason() == QContextMenuEvent::Mouse ? event->globalPos()
                                                                     : mapToGlobal(rect().center()));
    event->accept();
}

} // namespace qn
