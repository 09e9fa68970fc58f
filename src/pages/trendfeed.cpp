#include "pages/trendfeed.h"

#include "graph/graphtab.h"
#include "graph/trendcanvas.h"

#include <QDateTime>

namespace qn {

TrendSeries *TrendFeed::series(int index) const
{
    return m_canvas ? m_canvas->series(index) : nullptr;
}

double TrendFeed::now()
{
    // With the milliseconds: readings ten times a second would otherwise share one instant
    // and draw as steps of a second.
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

void TrendFeed::setUp()
{
    if (m_canvas)
        setUpModelSeries(*m_canvas, m_model, now());
}

void TrendFeed::setLegend(int index, const QString &text)
{
    if (m_graphTab)
        m_graphTab->setLegendText(index, text);
    if (TrendSeries *s = series(index))
        s->setName(text.toStdString());
}

void TrendFeed::feed(double t, const std::vector<double> &values, const QStringList &labels)
{
    for (int i = 0; i < int(values.size()); ++i) {
        if (m_graphTab && i < labels.size())
            m_graphTab->setValueLabel(i, labels[i]);
        if (TrendSeries *s = series(i))
            s->addSample(t, values[size_t(i)]);
    }
    refresh();
}

void TrendFeed::setDisplayPeriod(int index)
{
    if (m_canvas)
        applyDisplayPeriod(*m_canvas, index);
}

void TrendFeed::refresh()
{
    if (m_canvas)
        m_canvas->setTimeRange(0, 0);
}

} // namespace qn
