#pragma once
// What a page hands the trend graph: its model's series, their legends ("AI1: name"), a
// sample per series and value labels per reading, the display period. A page without a
// graph (no canvas, no graph page) feeds nothing. GUI thread only.
#include "model/model.h"

#include <QStringList>

#include <vector>

namespace qn {

class GraphTab;
class TrendCanvas;
class TrendSeries;

class TrendFeed final {
public:
    // Neither is owned; either may be null.
    TrendFeed(Model model, TrendCanvas *canvas, GraphTab *graphTab)
        : m_model(model), m_canvas(canvas), m_graphTab(graphTab)
    {
    }

    TrendSeries *series(int index) const;
    void setUp();
    // Series name and legend label go together.
    void setLegend(int index, const QString &text);
    // One sample per series at time t (seconds since 1970) plus the value labels, then
    // refresh().
    void feed(double t, const std::vector<double> &values, const QStringList &labels);
    void setDisplayPeriod(int index);
    void refresh();
    // Now in seconds since 1970, with the milliseconds.
    static double now();

private:
    Model m_model;
    TrendCanvas *m_canvas;
    GraphTab *m_graphTab;
};

} // namespace qn
