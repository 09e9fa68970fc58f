// Window placement, scroll strip, registry and captions of the trend canvas.
#include "graph/canvasregistry.h"
#include "graph/trendcanvas.h"

#include <QScrollBar>
#include <QtTest/QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace qn {
namespace {

constexpr double kT0 = 1'800'000'000.0; // a whole-second time in 2027

// A parent window with one canvas (scroll strip on) holding two series.
struct CanvasFixture : ::testing::Test {
    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    TrendCanvas *canvas = nullptr;

    void SetUp() override
    {
        parent->resize(800, 500);
        canvas = CanvasRegistry::instance().createCanvas(parent.get(), 8, 10, 600, 400, 0, true);
        ASSERT_NE(canvas, nullptr);
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
            canvas->getSeries(0)->addSample(kT0 + s, 1.0);
            canvas->getSeries(1)->addSample(kT0 + s, -1.0);
            canvas->setTimeRange(0, 0);
        }
    }
};

TEST(CanvasRegistryIds, AutomaticIdsStartAtTheNextIdAndAreNotReused)
{
    QWidget parent;
    CanvasRegistry &reg = CanvasRegistry::instance();
    reg.setNextId(1400);
    TrendCanvas *a = reg.createCanvas(&parent, 0, 0, 300, 200, 0, true);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->id(), 1400);
    EXPECT_EQ(a->scrollHostId(), 2400);
    EXPECT_EQ(a->scrollBarId(), 3400);
    EXPECT_NE(parent.findChild<QWidget *>("trendScrollHost2400"), nullptr);
    EXPECT_NE(parent.findChild<QScrollBar *>("trendScrollBar3400"), nullptr);
    EXPECT_EQ(a->scrollHost()->geometry(), QRect(0, 200, 300, 8));
    TrendCanvas *b = reg.createCanvas(&parent, 0, 0, 300, 200, 0, false);
    EXPECT_EQ(b->id(), 1401);
    EXPECT_EQ(b->scrollBar(), nullptr);
    EXPECT_EQ(reg.find(1400), a);
    reg.remove(1400);
    EXPECT_EQ(reg.find(1400), nullptr);
    EXPECT_EQ(parent.findChild<QWidget *>("trendScrollHost2400"), nullptr);
    EXPECT_EQ(reg.createCanvas(&parent, 0, 0, 300, 200, 0, false)->id(), 1402);
    reg.setNextId(0); // ignored
    EXPECT_EQ(reg.lastId(), 1402);
    EXPECT_EQ(reg.createCanvas(&parent, 0, 0, 300, 200, 1500, false)->id(), 1500);
    EXPECT_EQ(reg.createCanvas(&parent, 0, 0, 300, 200, 0, false)->id(), 1501);
}

TEST(CanvasRegistrySlots, FullRegistryGivesNoneAndParentDeletionFreesSlots)
{
    CanvasRegistry &reg = CanvasRegistry::instance();
    int made = 0;
    {
        QWidget parent;
        while (reg.createCanvas(&parent, 0, 0, 10, 10, 0, false))
            ++made;
        EXPECT_LE(made, CanvasRegistry::kSlots);
        EXPECT_GT(made, 100);
    } // the parent takes its canvases with it
    QWidget parent;
    EXPECT_NE(reg.createCanvas(&parent, 0, 0, 10, 10, 0, false), nullptr);
}

TEST(TrendCanvasSeries, TwentySeriesAtMostAndFocusInRange)
{
    QWidget parent;
    TrendCanvas *c = CanvasRegistry::instance().createCanvas(&parent, 0, 0, 100, 100, 0, false);
    for (int i = 0; i < 20; ++i)
        ASSERT_NE(c->addSeries(QString("S%1").arg(i), 0, 1), nullptr);
    EXPECT_EQ(c->addSeries("S20", 0, 1), nullptr);
    EXPECT_EQ(c->getSeries(-1), nullptr);
    EXPECT_EQ(c->getSeries(20), nullptr);
    EXPECT_EQ(c->getSeries(3)->getName(), "S3");
    c->setFocusSeries(7);
    c->setFocusSeries(20);
    c->setFocusSeries(-1);
    EXPECT_EQ(c->focusSeries(), 7);
}

TEST_F(CanvasFixture, OneSampleTimeDoesNotRepaint)
{
    const int before = canvas->refreshCount();
    canvas->getSeries(0)->addSample(kT0 + 5, 1);
    canvas->getSeries(1)->addSample(kT0 + 5, 2);
    canvas->setTimeRange(0, 0);
    EXPECT_EQ(canvas->refreshCount(), before);
    EXPECT_EQ(canvas->viewStart(), kT0);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 60);
}

TEST_F(CanvasFixture, ShortHistoryFillsTheStripFromTheEarliest)
{
    feed(0, 30);
    EXPECT_EQ(canvas->viewStart(), kT0);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 60);
    EXPECT_EQ(canvas->gridAnchor(), kT0 + 30);
    EXPECT_EQ(canvas->scrollPosition(), 0);
    EXPECT_EQ(canvas->scrollPage(), 1'000'000);
    EXPECT_EQ(canvas->scrollBar()->maximum(), 0);
}

TEST_F(CanvasFixture, FollowBrowseAndReturnToFollowing)
{
    feed(0, 600);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 600);
    EXPECT_EQ(canvas->viewStart(), kT0 + 540);
    EXPECT_EQ(canvas->scrollPage(), 100'000);
    EXPECT_EQ(canvas->scrollPosition(), 899'999);
    EXPECT_EQ(canvas->scrollBar()->value(), 899'999);
    EXPECT_EQ(canvas->scrollBar()->pageStep(), 100'000);

    // Drag the thumb to the left end: the oldest minute.
    canvas->handleScroll(ScrollRequest::ThumbTrack, 0);
    EXPECT_EQ(canvas->viewStart(), kT0);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 60);

    // More readings do not move the window, but the thumb shrinks.
    feed(601, 1200);
    EXPECT_EQ(canvas->viewStart(), kT0);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 60);
    EXPECT_EQ(canvas->scrollPage(), 50'000);
    EXPECT_EQ(canvas->scrollPosition(), 0);

    // The right-end button follows the data again.
    canvas->handleScroll(ScrollRequest::Right);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 1200);
    EXPECT_EQ(canvas->viewStart(), kT0 + 1140);
    feed(1201, 1210);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 1210);
}

TEST_F(CanvasFixture, SpanChangeWhileBrowsingKeepsTheLeftEdge)
{
    feed(0, 600);
    canvas->handleScroll(ScrollRequest::ThumbTrack, 300'000);
    const double start = canvas->viewStart();
    EXPECT_DOUBLE_EQ(start, kT0 + 180);
    canvas->setSpan(120);
    canvas->setTimeRange(0, 0);
    EXPECT_EQ(canvas->viewStart(), start);
    EXPECT_EQ(canvas->viewEnd(), start + 120);
    EXPECT_EQ(canvas->gridAnchor(), start + 120);
    EXPECT_EQ(canvas->scrollPage(), 200'000);
    EXPECT_EQ(canvas->scrollPosition(), 300'000);
}

TEST_F(CanvasFixture, ScrollRequestsStepByPageFractions)
{
    feed(0, 600);
    canvas->handleScroll(ScrollRequest::LineRight); // at the right end: ignored
    EXPECT_EQ(canvas->scrollPosition(), 899'999);
    canvas->handleScroll(ScrollRequest::LineLeft);
    EXPECT_EQ(canvas->scrollPosition(), 899'999 - (100'000 / 16 + 1));
    canvas->handleScroll(ScrollRequest::PageLeft);
    EXPECT_EQ(canvas->scrollPosition(), 899'999 - (100'000 / 16 + 1) - (100'000 * 2 / 3 + 1));
    canvas->handleScroll(ScrollRequest::Left);
    EXPECT_EQ(canvas->scrollPosition(), 0);
    EXPECT_EQ(canvas->viewStart(), kT0);
    canvas->handleScroll(ScrollRequest::PageLeft); // at the left end: ignored
    EXPECT_EQ(canvas->scrollPosition(), 0);
    canvas->handleScroll(ScrollRequest::EndScroll);
    EXPECT_EQ(canvas->scrollPosition(), 0);
    canvas->handleScroll(ScrollRequest::ThumbPosition, 950'000); // past the end: pinned
    EXPECT_EQ(canvas->scrollPosition(), 899'999);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 600);
}

TEST_F(CanvasFixture, ScrollBarActionsReachTheCanvas)
{
    feed(0, 600);
    canvas->scrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(canvas->scrollPosition(), 0);
    EXPECT_EQ(canvas->viewStart(), kT0);
    canvas->scrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(canvas->scrollPosition(), 100'000 * 2 / 3 + 1);
    EXPECT_EQ(canvas->scrollBar()->value(), 100'000 * 2 / 3 + 1);
    canvas->scrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 600);
    // From the keyboard: Home goes to the oldest minute, End follows again.
    EXPECT_EQ(canvas->scrollBar()->focusPolicy(), Qt::StrongFocus);
    QTest::keyClick(canvas->scrollBar(), Qt::Key_Home);
    EXPECT_EQ(canvas->viewStart(), kT0);
    QTest::keyClick(canvas->scrollBar(), Qt::Key_End);
    EXPECT_EQ(canvas->viewEnd(), kT0 + 600);
}

TEST_F(CanvasFixture, EachCanvasKeepsItsOwnPlacementMemory)
{
    TrendCanvas *other = CanvasRegistry::instance().createCanvas(parent.get(), 8, 10, 600, 400, 0, true);
    other->addSeries("AI1", -10, 10);
    other->setSpan(120);
    feed(0, 600);
    canvas->handleScroll(ScrollRequest::ThumbTrack, 400'000);
    const double start = canvas->viewStart();
    // The other unit's window runs its own placements meanwhile.
    for (int s = 0; s <= 900; ++s)
        other->getSeries(0)->addSample(kT0 + s, 0);
    other->setTimeRange(0, 0);
    other->handleScroll(ScrollRequest::ThumbTrack, 123'456);
    feed(601, 700);
    EXPECT_EQ(canvas->viewStart(), start);
    EXPECT_EQ(canvas->viewEnd(), start + 60);
}

TEST_F(CanvasFixture, ExplicitRangeWithoutDataAndAnchorOutsideTakesTheEnd)
{
    canvas->setTimeRange(kT0 + 100, kT0 + 50); // end before start: ignored
    EXPECT_EQ(canvas->viewStart(), kT0);
    canvas->setTimeRange(kT0 + 10, kT0 + 70, kT0 + 500);
    EXPECT_EQ(canvas->gridAnchor(), kT0 + 70);
    EXPECT_FALSE(canvas->pictureValid());
}

struct GridCase {
    double given;
    double kept;
    const char *caption;
};

void PrintTo(const GridCase &c, std::ostream *os)
{
    *os << c.given << " s";
}

class GridSpacing : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridSpacing, RoundsAndCaptions)
{
    QWidget parent;
    TrendCanvas *c = CanvasRegistry::instance().createCanvas(&parent, 0, 0, 100, 100, 0, false);
    c->setSecondsPerDivision(GetParam().given);
    EXPECT_DOUBLE_EQ(c->secondsPerDivision(), GetParam().kept);
    EXPECT_EQ(TrendCanvas::secondsPerDivisionCaption(c->secondsPerDivision()), GetParam().caption);
}

INSTANTIATE_TEST_SUITE_P(Table, GridSpacing,
                         ::testing::Values(GridCase{0.5, 0.5, "0.50 sec/div"}, GridCase{5, 5, "5 sec/div"},
                                           GridCase{59.9, 59, "59 sec/div"}, GridCase{90, 60, "1 min/div"},
                                           GridCase{300, 300, "5 min/div"}, GridCase{5400, 3600, "1 hour/div"},
                                           GridCase{7200, 7200, "2 hour/div"},
                                           GridCase{172800, 172800, "2 day/div"},
                                           GridCase{200000, 172800, "2 day/div"}));

TEST(GridSpacingIgnored, ZeroOrNegativeKeepsTheSpacing)
{
    QWidget parent;
    TrendCanvas *c = CanvasRegistry::instance().createCanvas(&parent, 0, 0, 100, 100, 0, false);
    c->setSecondsPerDivision(10);
    c->setSecondsPerDivision(0);
    c->setSecondsPerDivision(-5);
    EXPECT_EQ(c->secondsPerDivision(), 10);
    c->setSpan(-1);
    EXPECT_EQ(c->span(), 0);
}

TEST(ValueAxisLabels, FormatByRange)
{
    EXPECT_EQ(TrendCanvas::valueLabel(-1000, -1000, 10), "-1000.00");
    EXPECT_EQ(TrendCanvas::valueLabel(10, -1000, 10), "  +10.00");
    EXPECT_EQ(TrendCanvas::valueLabel(1.5, -10, 10), "  +1.500");
    EXPECT_EQ(TrendCanvas::valueLabel(-10, -10, 10), " -10.000");
    EXPECT_EQ(TrendCanvas::valueLabel(1000, 0, 1000), "+1000.00");
}

TEST(CursorReadout, TextFormat)
{
    const QString text = TrendCanvas::readoutText(1.5, kT0);
    EXPECT_TRUE(text.startsWith("Cursor [  +1.500, 20")) << text.toStdString();
    EXPECT_TRUE(text.endsWith("]"));
    EXPECT_EQ(text.size(), QString("Cursor [  +1.500, 2027/01/15 08:00:00]").size());
}

} // namespace
} // namespace qn
