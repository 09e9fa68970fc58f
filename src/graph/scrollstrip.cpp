#include "graph/scrollstrip.h"

#include "graph/timewindow.h"
#include "graph/trendcanvas.h"
#include "ui/language.h"

#include <QStyle>
#include <QStyleOptionSlider>
#include <QVBoxLayout>

#include <algorithm>

namespace qn {

TrendScrollStrip::TrendScrollStrip(QWidget *parent) : QScrollBar(Qt::Horizontal, parent)
{
    setObjectName(QStringLiteral("trendScrollStrip"));
    keepTranslated(this, [this] { setAccessibleName(tr("表示位置")); });
    setFocusPolicy(Qt::StrongFocus); // arrows, Page Up/Down, Home/End move the window
    showWindow(0, TimeWindow::kScrollFullPage);
}

void TrendScrollStrip::showWindow(int position, int page)
{
    const QSignalBlocker block(this);
    // The bar's maximum is the largest position, so the thumb of page p ends at 1,000,000.
    setRange(0, std::max(0, TimeWindow::kScrollFullPage - page));
    setPageStep(std::max(1, page));
    setSingleStep(std::max(1, page / 16 + 1));
    setValue(position);
}

void TrendScrollStrip::sliderChange(SliderChange change)
{
    if (change != SliderOrientationChange && m_shown && *m_shown == look())
        return;
    QScrollBar::sliderChange(change);
}

void TrendScrollStrip::paintEvent(QPaintEvent *event)
{
    m_shown = look();
    QScrollBar::paintEvent(event);
}

TrendScrollStrip::Look TrendScrollStrip::look() const
{
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() <= minimum(), value() >= maximum()};
}

TrendCanvas *addCanvasWithStrip(QWidget *parent, const QRect &r)
{
    auto *area = new QWidget(parent);
    area->setObjectName(QStringLiteral("trendArea"));
    area->setGeometry(r.x(), r.y(), r.width(), r.height() + r.height() / 25);
    auto *layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto *canvas = new TrendCanvas(area);
    canvas->setFixedSize(r.size());
    auto *strip = new TrendScrollStrip(area);
    strip->setFixedHeight(r.height() / 25);
    layout->addWidget(canvas);
    layout->addWidget(strip);
    layout->activate();
    canvas->setScrollStrip(strip);
    return canvas;
}

} // namespace qn
