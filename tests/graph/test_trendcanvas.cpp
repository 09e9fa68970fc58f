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
        canvas = CanvasRegistry::instance().CreateCanvas(parent.get(), 8, 10, 600, 400, 0, true);
        ASSERT_NE(canvas, nullptr);
        canvas->AddSeries("AI1", -10, 10);
        canvas->AddSeries("AI2", -10, 10);
        canvas->SetSecondsPerDivision(5);
        canvas->SetTimeRange(kT0, kT0 + 60, kT0);
        canvas->SetSpan(60);
    }
    // One reading per second from kT0 over `seconds` seconds, then the pages' refresh.
    void feed(int fromSecond, int toSecond)
    {
        for (int s = fromSecond; s <= toSecond; ++s) {
            canvas->GetSeries(0)->AddSample(kT0 + s, 1.0);
            canvas->GetSeries(1)->AddSample(kT0 + s, -1.0);
            canvas->SetTimeRange(0, 0);
        }
    }
};

TEST(CanvasRegistryIds, AutomaticIdsStartAtTheNextIdAndAreNotReused)
{
    QWidget parent;
    CanvasRegistry &reg = CanvasRegistry::instance();
    reg.SetNextId(1400);
    TrendCanvas *a = reg.CreateCanvas(&parent, 0, 0, 300, 200, 0, true);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->id(), 1400);
    EXPECT_EQ(a->scrollHostId(), 2400);
    EXPECT_EQ(a->scrollBarId(), 3400);
    EXPECT_NE(parent.findChild<QWidget *>("trendScrollHost2400"), nullptr);
    EXPECT_NE(parent.findChild<QScrollBar *>("trendScrollBar3400"), nullptr);
    EXPECT_EQ(a->scrollHost()->geometry(), QRect(0, 200, 300, 8));
    TrendCanvas *b = reg.CreateCanvas(&parent, 0, 0, 300, 200, 0, false);
    EXPECT_EQ(b->id(), 1401);
    EXPECT_EQ(b->scrollBar(), nullptr);
    EXPECT_EQ(reg.find(1400), a);
    reg.remove(1400);
    EXPECT_EQ(reg.find(1400), nullptr);
    EXPECT_EQ(parent.findChild<QWidget *>("trendScrollHost2400"), nullptr);
    EXPECT_EQ(reg.CreateCanvas(&parent, 0, 0, 300, 200, 0, false)->id(), 1402);
    reg.SetNextId(0); // ignored
    EXPECT_EQ(reg.lastId(), 1402);
    EXPECT_EQ(reg.CreateCanvas(&parent, 0, 0, 300, 200, 1500, false)->id(), 1500);
    EXPECT_EQ(reg.CreateCanvas(&parent, 0, 0, 300, 200, 0, false)->id(), 1501);
}

TEST(CanvasRegistrySlots, FullRegistryGivesNoneAndParentDeletionFreesSlots)
{
    CanvasRegistry &reg = CanvasRegistry::instance();
    int made = 0;
    {
        QWidget parent;
        while (reg.CreateCanvas(&parent, 0, 0, 10, 10, 0, false))
            ++made;
        EXPECT_LE(made, CanvasRegistry::kSlots);
        EXPECT_GT(made, 100);
    } // the parent takes its canvases with it
    QWidget parent;
    EXPECT_NE(reg.CreateCanvas(&parent, 0, 0, 10, 10, 0, false), nullptr);
}

TEST(TrendCanvasSeries, TwentySeriesAtMostAndFocusInRange)
{
    QWidget parent;
    TrendCanvas *c = CanvasRegistry::instance().CreateCanvas(&parent, 0, 0, 100, 100, 0, false);
    for (int i = 0; i < 20; ++i)
        ASSERT_NE(c->AddSeries(QString("S%1").arg(i), 0, 1), nullptr);
    EXPECT_EQ(c->AddSeries("S20", 0, 1), nullptr);
    EXPECT_EQ(c->GetSeries(-1), nullptr);
    EXPECT_EQ(c->GetSeries(20), nullptr);
    EXPECT_EQ(c->GetSeries(3)->GetName(), "S3");
    c->SetFocusSeries(7);
    c->SetFocusSeries(20);
    c->SetFocusSeries(-1);
    EXPECT_EQ(c->FocusSeries(), 7);
}

TEST_F(CanvasFixture, OneSampleTimeDoesNotRepaint)
{
    const int before = canvas->RefreshCount();
    canvas->GetSeries(0)->AddSample(kT0 + 5, 1);
    canvas->GetSeries(1)->AddSample(kT0 + 5, 2);
    canvas->SetTimeRange(0, 0);
    EXPECT_EQ(canvas->RefreshCount(), before);
    EXPECT_EQ(canvas->ViewStart(), kT0);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 60);
}

TEST_F(CanvasFixture, ShortHistoryFillsTheStripFromTheEarliest)
{
    feed(0, 30);
    EXPECT_EQ(canvas->ViewStart(), kT0);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 60);
    EXPECT_EQ(canvas->GridAnchor(), kT0 + 30);
    EXPECT_EQ(canvas->ScrollPosition(), 0);
    EXPECT_EQ(canvas->ScrollPage(), 1'000'000);
    EXPECT_EQ(canvas->scrollBar()->maximum(), 0);
}

TEST_F(CanvasFixture, FollowBrowseAndReturnToFollowing)
{
    feed(0, 600);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 600);
    EXPECT_EQ(canvas->ViewStart(), kT0 + 540);
    EXPECT_EQ(canvas->ScrollPage(), 100'000);
    EXPECT_EQ(canvas->ScrollPosition(), 899'999);
    EXPECT_EQ(canvas->scrollBar()->value(), 899'999);
    EXPECT_EQ(canvas->scrollBar()->pageStep(), 100'000);

    // Drag the thumb to the left end: the oldest minute.
    canvas->HandleScroll(ScrollRequest::ThumbTrack, 0);
    EXPECT_EQ(canvas->ViewStart(), kT0);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 60);

    // More readings do not move the window, but the thumb shrinks.
    feed(601, 1200);
    EXPECT_EQ(canvas->ViewStart(), kT0);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 60);
    EXPECT_EQ(canvas->ScrollPage(), 50'000);
    EXPECT_EQ(canvas->ScrollPosition(), 0);

    // The right-end button follows the data again.
    canvas->HandleScroll(ScrollRequest::Right);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 1200);
    EXPECT_EQ(canvas->ViewStart(), kT0 + 1140);
    feed(1201, 1210);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 1210);
}

TEST_F(CanvasFixture, SpanChangeWhileBrowsingKeepsTheLeftEdge)
{
    feed(0, 600);
    canvas->HandleScroll(ScrollRequest::ThumbTrack, 300'000);
    const double start = canvas->ViewStart();
    EXPECT_DOUBLE_EQ(start, kT0 + 180);
    canvas->SetSpan(120);
    canvas->SetTimeRange(0, 0);
    EXPECT_EQ(canvas->ViewStart(), start);
    EXPECT_EQ(canvas->ViewEnd(), start + 120);
    EXPECT_EQ(canvas->GridAnchor(), start + 120);
    EXPECT_EQ(canvas->ScrollPage(), 200'000);
    EXPECT_EQ(canvas->ScrollPosition(), 300'000);
}

TEST_F(CanvasFixture, ScrollRequestsStepByPageFractions)
{
    feed(0, 600);
    canvas->HandleScroll(ScrollRequest::LineRight); // at the right end: ignored
    EXPECT_EQ(canvas->ScrollPosition(), 899'999);
    canvas->HandleScroll(ScrollRequest::LineLeft);
    EXPECT_EQ(canvas->ScrollPosition(), 899'999 - (100'000 / 16 + 1));
    canvas->HandleScroll(ScrollRequest::PageLeft);
    EXPECT_EQ(canvas->ScrollPosition(), 899'999 - (100'000 / 16 + 1) - (100'000 * 2 / 3 + 1));
    canvas->HandleScroll(ScrollRequest::Left);
    EXPECT_EQ(canvas->ScrollPosition(), 0);
    EXPECT_EQ(canvas->ViewStart(), kT0);
    canvas->HandleScroll(ScrollRequest::PageLeft); // at the left end: ignored
    EXPECT_EQ(canvas->ScrollPosition(), 0);
    canvas->HandleScroll(ScrollRequest::EndScroll);
    EXPECT_EQ(canvas->ScrollPosition(), 0);
    canvas->HandleScroll(ScrollRequest::ThumbPosition, 950'000); // past the end: pinned
    EXPECT_EQ(canvas->ScrollPosition(), 899'999);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 600);
}

TEST_F(CanvasFixture, ScrollBarActionsReachTheCanvas)
{
    feed(0, 600);
    canvas->scrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);
    EXPECT_EQ(canvas->ScrollPosition(), 0);
    EXPECT_EQ(canvas->ViewStart(), kT0);
    canvas->scrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(canvas->ScrollPosition(), 100'000 * 2 / 3 + 1);
    EXPECT_EQ(canvas->scrollBar()->value(), 100'000 * 2 / 3 + 1);
    canvas->scrollBar()->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 600);
    // From the keyboard: Home goes to the oldest minute, End follows again.
    EXPECT_EQ(canvas->scrollBar()->focusPolicy(), Qt::StrongFocus);
    QTest::keyClick(canvas->scrollBar(), Qt::Key_Home);
    EXPECT_EQ(canvas->ViewStart(), kT0);
    QTest::keyClick(canvas->scrollBar(), Qt::Key_End);
    EXPECT_EQ(canvas->ViewEnd(), kT0 + 600);
}

TEST_F(CanvasFixture, EachCanvasKeepsItsOwnPlacementMemory)
{
    TrendCanvas *other = CanvasRegistry::instance().CreateCanvas(parent.get(), 8, 10, 600, 400, 0, true);
    other->AddSeries("AI1", -10, 10);
    other->SetSpan(120);
    feed(0, 600);
    canvas->HandleScroll(ScrollRequest::ThumbTrack, 400'000);
    const double start = canvas->ViewStart();
    // The other unit's window runs its own placements meanwhile.
    for (int s = 0; s <= 900; ++s)
        other->GetSeries(0)->AddSample(kT0 + s, 0);
    other->SetTimeRange(0, 0);
    other->HandleScroll(ScrollRequest::ThumbTrack, 123'456);
    feed(601, 700);
    EXPECT_EQ(canvas->ViewStart(), start);
    EXPECT_EQ(canvas->ViewEnd(), start + 60);
}

TEST_F(CanvasFixture, ExplicitRangeWithoutDataAndAnchorOutsideTakesTheEnd)
{
    canvas->SetTimeRange(kT0 + 100, kT0 + 50); // end before start: ignored
    EXPECT_EQ(canvas->ViewStart(), kT0);
    canvas->SetTimeRange(kT0 + 10, kT0 + 70, kT0 + 500);
    EXPECT_EQ(canvas->GridAnchor(), kT0 + 70);
    EXPECT_FALSE(canvas->PictureValid());
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
    TrendCanvas *c = CanvasRegistry::instance().CreateCanvas(&parent, 0, 0, 100, 100, 0, false);
    c->SetSecondsPerDivision(GetParam().given);
    EXPECT_DOUBLE_EQ(c->SecondsPerDivision(), GetParam().kept);
    EXPECT_EQ(TrendCanvas::secondsPerDivisionCaption(c->SecondsPerDivision()), GetParam().caption);
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
    TrendCanvas *c = CanvasRegistry::instance().CreateCanvas(&parent, 0, 0, 100, 100, 0, false);
    c->SetSecondsPerDivision(10);
    c->SetSecondsPerDivision(0);
    c->SetSecondsPerDivision(-5);
    EXPECT_EQ(c->SecondsPerDivision(), 10);
    c->SetSpan(-1);
    EXPECT_EQ(c->Span(), 0);
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
