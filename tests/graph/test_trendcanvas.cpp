// The trend canvas with its scroll strip, the scene it draws, and the graph's texts.
#include "graph/graphtext.h"
#include "graph/scrollstrip.h"
#include "graph/trendcanvas.h"

#include <QAccessible>
#include <QtTest/QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace qn {
namespace {

constexpr double kT0 = 1'800'000'000.0; // a whole-second time in 2027

// A parent window with one canvas and its scroll strip, holding two series.
struct CanvasFixture : ::testing::Test {
    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    TrendCanvas *canvas = nullptr;

    void SetUp() override
    {
        parent->resize(800, 500);
        canvas = addCanvasWithStrip(parent.get(), QRect(8, 10, 600, 400));
        canvas->addSeries("AI1", -10, 10);
        canvas->addSeries("AI2", -10, 10);
        canvas->setSecondsPerDivision(5);
        canvas->setTimeRange(kT0, kT0 + 60, kT0);
        canvas->setSpan(60);
    }
    // One reading per second from kT0 over `seconds` seconds, then the pages' refresh.
    void feed(int fromSecond, int toSecond)
    {
        for (int s = fromSecond; s <= toSecond; ++s) {
            canvas->series(0)->addSample(kT0 + s, 1.0);
            canvas->series(1)->addSample(kT0 + s, -1.0);
            canvas->setTimeRange(0, 0);
        }
    }
    TrendScrollStrip *strip() const { return canvas->scrollStrip(); }
};

TEST_F(CanvasFixture, StripLiesUnderTheCanvasAndGoesWithTheParent)
{
    ASSERT_NE(strip(), nullptr);
    EXPECT_EQ(canvas->geometry(), QRect(0, 0, 600, 400));
    EXPECT_EQ(strip()->geometry(), QRect(0, 400, 600, 16));
    EXPECT_EQ(canvas->mapTo(parent.get(), QPoint(0, 0)), QPoint(8, 10));
    QAccessibleInterface *reader = QAccessible::queryAccessibleInterface(strip());
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(reader->role(), QAccessible::ScrollBar);
    EXPECT_EQ(reader->text(QAccessible::Name), "表示位置");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(canvas)->text(QAccessible::Name), "トレンドグラフ");
    QPointer<TrendScrollStrip> gone = strip();
    parent.reset();
    EXPECT_TRUE(gone.isNull());
}

TEST(TrendCanvasSeries, TwentySeriesAtMostAndFocusInRange)
{
    QWidget parent;
    auto *c = new TrendCanvas(&parent);
    for (int i = 0; i < 20; ++i)
        ASSERT_NE(c->addSeries(QString("S%1").arg(i), 0, 1), nullptr);
    EXPECT_EQ(c->addSeries("S20", 0, 1), nullptr);
    EXPECT_EQ(c->series(-1), nullptr);
    EXPECT_EQ(c->series(20), nullptr);
    EXPECT_EQ(c->series(3)->name(), "S3");
    c->setFocusSeries(7);
    c->setFocusSeries(20);
    c->setFocusSeries(-1);
    EXPECT_EQ(c->focusSeries(), 7);
}

TEST_F(CanvasFixture, OneSampleTimeDoesNotRepaint)
{
    const int before = canvas->refreshCount();
    canvas->series(0)->addSample(kT0 + 5, 1);
    canvas->series(1)->addSample(kT0 + 5, 2);
    canvas->setTimeRange(0, 0);
    EXPECT_EQ(canvas->refreshCount(), before);
    EXPECT_EQ(canvas->viewStart(), kT0);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 60);
    EXPECT_EQ(strip()->maximum(), 0);
}

TEST_F(CanvasFixture, StripActionsAndKeysMoveTheWindow)
{
    feed(0, 600);
    EXPECT_EQ(strip()->value(), 899'999);
    EXPECT_EQ(strip()->pageStep(), 100'000);
    strip()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(canvas->timeWindow().scrollPosition(), 0);
    EXPECT_EQ(canvas->viewStart(), kT0);
    EXPECT_FALSE(canvas->pictureValid());
    strip()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(canvas->timeWindow().scrollPosition(), 100'000 * 2 / 3 + 1);
    EXPECT_EQ(strip()->value(), 100'000 * 2 / 3 + 1);
    strip()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 600);
    strip()->setSliderPosition(300'000); // a drag of the thumb
    EXPECT_DOUBLE_EQ(canvas->viewStart(), kT0 + 180);
    // From the keyboard: Home goes to the oldest minute, End follows again.
    EXPECT_EQ(strip()->focusPolicy(), Qt::StrongFocus);
    QTest::keyClick(strip(), Qt::Key_Home);
    EXPECT_EQ(canvas->viewStart(), kT0);
    QTest::keyClick(strip(), Qt::Key_End);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 600);
}

TEST_F(CanvasFixture, EachCanvasKeepsItsOwnWindow)
{
    TrendCanvas *other = addCanvasWithStrip(parent.get(), QRect(8, 10, 600, 400));
    other->addSeries("AI1", -10, 10);
    other->setSpan(120);
    feed(0, 600);
    strip()->setSliderPosition(400'000);
    const double start = canvas->viewStart();
    // The other unit's window runs its own placements meanwhile.
    for (int s = 0; s <= 900; ++s)
        other->series(0)->addSample(kT0 + s, 0);
    other->setTimeRange(0, 0);
    other->scrollStrip()->setSliderPosition(123'456);
    feed(601, 700);
    EXPECT_EQ(canvas->viewStart(), start);
    EXPECT_EQ(canvas->viewEnd(), start + 60);
}

// What the canvas draws again follows from comparing two scenes.
TEST_F(CanvasFixture, ScenesTellGrowthFromAMove)
{
    feed(0, 10);
    const TrendScene before = canvas->scene();
    // A reading within the same second: the grid, anchored on the newest whole second, stays.
    canvas->series(0)->addSample(kT0 + 10.5, 5.0);
    canvas->series(1)->addSample(kT0 + 10.5, -5.0);
    canvas->setTimeRange(0, 0);
    const TrendScene grown = canvas->scene();
    EXPECT_TRUE(sameBackdrop(before, grown));
    EXPECT_TRUE(tracesOnlyGrew(before, grown));
    const std::optional<QRect> part = grownPart(before, grown);
    ASSERT_TRUE(part.has_value());
    EXPECT_FALSE(part->isEmpty());
    EXPECT_GE(part->left(), before.traces.back().points.back().x());
    ASSERT_FALSE(grown.gridX.empty());
    EXPECT_EQ(grown.gridX.front(), gridLines(canvas->timeWindow(), canvas->plotArea()).front());

    feed(13, 100); // the window follows: everything moved
    const TrendScene moved = canvas->scene();
    EXPECT_TRUE(sameBackdrop(grown, moved));
    EXPECT_FALSE(grownPart(grown, moved).has_value());
    canvas->setFocusSeries(1);
    EXPECT_FALSE(sameBackdrop(moved, canvas->scene()));
    EXPECT_EQ(canvas->scene().traces.back().wide, true) << "the focused trace last and wide";
}

struct CaptionCase {
    double seconds;
    const char *caption;
};

TEST(GraphTexts, GridCaptionsByPeriod)
{
    for (const CaptionCase c : {CaptionCase{0.5, "0.50 sec/div"}, CaptionCase{5, "5 sec/div"},
                                CaptionCase{59, "59 sec/div"}, CaptionCase{60, "1 min/div"},
                                CaptionCase{300, "5 min/div"}, CaptionCase{3600, "1 hour/div"},
                                CaptionCase{7200, "2 hour/div"}, CaptionCase{172800, "2 day/div"}})
        EXPECT_EQ(secondsPerDivisionCaption(c.seconds), c.caption) << c.seconds;
}

TEST(GraphTexts, ValueAxisLabelsFormatByRange)
{
    EXPECT_EQ(valueLabel(-1000, -1000, 10), "-1000.00");
    EXPECT_EQ(valueLabel(10, -1000, 10), "  +10.00");
    EXPECT_EQ(valueLabel(1.5, -10, 10), "  +1.500");
    EXPECT_EQ(valueLabel(-10, -10, 10), " -10.000");
    EXPECT_EQ(valueLabel(1000, 0, 1000), "+1000.00");
}

TEST(GraphTexts, CursorReadout)
{
    const QString text = readoutText(1.5, kT0);
    EXPECT_TRUE(text.startsWith("Cursor [  +1.500, 20")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("]"));
    EXPECT_EQ(text.size(), QString("Cursor [  +1.500, 2027/01/15 08:00:00]").size());
}

} // namespace
} // namespace qn
