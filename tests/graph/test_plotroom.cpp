// Room on the canvas: every value label fits left of the frame whatever the range and size,
// and a trace beyond the value range is marked where it runs along the edge.
#include "graph/backdroppainter.h"
#include "graph/scrollstrip.h"
#include "graph/trendcanvas.h"
#include "ui/fonts.h"

#include <QFontMetricsF>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace qn {
namespace {

constexpr double kT0 = 1'800'000'000.0;

struct AxisCase {
    double minValue, maxValue;
    QSize size;
    bool usualRoom; // the plot keeps its usual proportions
};

class ValueLabelRoom : public ::testing::TestWithParam<AxisCase> {};

TEST_P(ValueLabelRoom, EveryLabelFitsLeftOfTheFrame)
{
    const AxisCase c = GetParam();
    TrendSeries series("AI1", c.minValue, c.maxValue);
    const PlotArea a = plotAreaOf(c.size, &series);
    const QFontMetricsF metrics(fixedCjkFont(labelFontPixels(c.size.width(), c.size.height())));
    int labels = 0;
    forEachValueLine(series, [&](double v) {
        const QString text = valueLineLabel(series, v);
        const QRect box = valueLabelBox(a, c.size, Mapper::y(a, series, v));
        EXPECT_GE(box.left(), 0) << text.toStdString();
        // The frame stands at L - 1: the text ends before it.
        EXPECT_LE(box.left() + metrics.horizontalAdvance(text), a.left - 1) << text.toStdString();
        ++labels;
    });
    EXPECT_EQ(labels, 11);
    EXPECT_EQ(a.left == plotAreaFor(c.size.width(), c.size.height()).left, c.usualRoom);
}

INSTANTIATE_TEST_SUITE_P(Ranges, ValueLabelRoom,
                         ::testing::Values(AxisCase{-10, 10, {600, 400}, true},
                                           AxisCase{-150000, 150000, {600, 400}, false},
                                           AxisCase{-150000, 150000, {1200, 800}, false},
                                           AxisCase{-1000, 10, {600, 400}, true},
                                           AxisCase{0, 1e6, {600, 400}, false}));

TEST(ClippedStretch, BeyondTheRangeIsMarkedAtTheEdge)
{
    QWidget parent;
    TrendCanvas *canvas = addCanvasWithStrip(&parent, QRect(0, 0, 600, 400));
    TrendSeries *s = canvas->addSeries("AI1", -10, 10);
    s->setColor(255, 255, 80);
    canvas->setSecondsPerDivision(5);
    canvas->setSpan(60);
    // 0..19 s inside, 20..34 s above the range, 35..44 s inside, 45..59 s below it.
    for (int t = 0; t <= 60; ++t)
        s->addSample(kT0 + t, t >= 20 && t < 35 ? 25.0 : t >= 45 ? -30.0 : 0.0);
    canvas->setTimeRange(kT0, kT0 + 60, kT0);
    const TrendScene scene = canvas->scene();
    ASSERT_EQ(scene.traces.size(), 1u);
    const std::vector<ClipRun> &runs = scene.traces[0].clipped;
    ASSERT_EQ(runs.size(), 2u);
    const PlotArea a = canvas->plotArea();
    EXPECT_TRUE(runs[0].above);
    EXPECT_EQ(runs[0].edgeY, a.top);
    EXPECT_FALSE(runs[1].above);
    EXPECT_EQ(runs[1].edgeY, a.bottom);

    // Each stretch shows arrowheads in the trace's colour just inside its edge, and the
    // stretch inside the range none.
    const QImage img = canvas->renderToImage(1.0);
    const auto marked = [&](int x0, int x1, int y0, int y1) {
        int n = 0;
        for (int x = x0; x <= x1; ++x)
            for (int y = y0; y <= y1; ++y)
                n += (img.pixel(x, y) & 0xFFFFFF) == 0xFFFF50u;
        return n;
    };
    EXPECT_GE(marked(runs[0].x0, runs[0].x1, a.top + 2, a.top + 4), 5 * 2);
    EXPECT_GE(marked(runs[1].x0, runs[1].x1, a.bottom - 4, a.bottom - 2), 5 * 2);
    EXPECT_EQ(marked(a.left + 2, runs[0].x0 - 3, a.top + 2, a.top + 4), 0);
    EXPECT_EQ(marked(a.left + 2, runs[0].x0 - 3, a.bottom - 4, a.bottom - 2), 0);
}

} // namespace
} // namespace qn
