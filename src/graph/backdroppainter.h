#pragma once
// Draws what stands behind the traces of the trend graph: the frame, the dotted time grid
// with its dates and times, the grid caption, and the focused series' value axis with its
// caption. Each part is drawn only where it meets the region asked for, and the labels are
// laid out once per text. GUI thread only.
#include <QFont>
#include <QHash>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QStaticText>

#include "graph/coordinates.h"

#include <functional>

class QPainter;

namespace qn {

class TimeWindow;
class TrendSeries;

// The size of the label font at a canvas size.
int labelFontPixels(int w, int h);
// The plot area of a canvas of that size whose value axis shows focus (null: none): room
// is made left of it for the widest value label the focused range gives at that size.
PlotArea plotAreaOf(QSize size, const TrendSeries *focus);
// The box a value label at height y stands in, left-aligned and vertically centred.
QRect valueLabelBox(const PlotArea &area, QSize size, int y);
// The values of a series' axis lines from the top down, and the label of each.
void forEachValueLine(const TrendSeries &series, const std::function<void(double)> &line);
QString valueLineLabel(const TrendSeries &series, double value);

class BackdropPainter final {
public:
    // Which parts draw draws; a repaint over the last picture draws them in passes.
    enum Part { Lines = 1, Labels = 2, Frame = 4, AllParts = 7 };
    struct Picture {
        QSize size;
        const TimeWindow &window;
        const TrendSeries *focus; // null: no value axis
    };
    // fill: black under everything first. Labels are kept inside labelClip unless null.
    void draw(QPainter &painter, const Picture &picture, const QRegion &dirty, bool fill, int parts = AllParts,
              const QRect &labelClip = QRect());

private:
    void drawTimeAxis(QPainter &painter, int w, int h, const QRegion &dirty);
    void drawValueAxis(QPainter &painter, const TrendSeries &series, int w, int h, const QRegion &dirty);
    void drawLabel(QPainter &painter, const QRect &box, int alignment, const QString &text, const QRegion &dirty);

    // For the length of one draw.
    const TimeWindow *m_window = nullptr;
    const TrendSeries *m_focus = nullptr;
    int m_parts = AllParts;
    QRect m_labelClip;
    // Laid-out labels by text, for the font they were laid out in.
    QHash<QString, QStaticText> m_labels;
    QFont m_labelFont;
};

} // namespace qn
