// Placement and scrolling of the trend graph's time window, without a widget.
#include "graph/timewindow.h"

#include <gtest/gtest.h>

#include <ostream>

namespace qn {
namespace {

constexpr double kT0 = 1'800'000'000.0; // a whole-second time in 2027

// A window that follows the data, as the graph tab's canvas sets it up: 5 s grid, one
// minute from kT0, span one minute.
struct WindowFixture : ::testing::Test {
    TimeWindow window;
    double latest = 0;

    void SetUp() override
    {
        window.setFollowsData(true);
        window.setSecondsPerDivision(5);
        window.place(kT0, kT0 + 60, kT0, 0, 0);
        window.setSpan(60);
    }
    // One reading a second from kT0, each followed by the pages' refresh.
    void feed(int fromSecond, int toSecond)
    {
        for (int s = fromSecond; s <= toSecond; ++s) {
            latest = kT0 + s;
            window.place(0, 0, 0, kT0, latest);
        }
    }
    void scrollTo(int position)
    {
        window.scrollTo(position);
        window.placeAfterScroll(kT0, latest);
    }
};

TEST_F(WindowFixture, ShortHistoryFillsTheStripFromTheEarliest)
{
    feed(0, 30);
    EXPECT_EQ(window.start(), kT0);
    EXPECT_EQ(window.end(), kT0 + 60);
    EXPECT_EQ(window.gridAnchor(), kT0 + 30);
    EXPECT_EQ(window.scrollPosition(), 0);
    EXPECT_EQ(window.scrollPage(), 1'000'000);
}

TEST_F(WindowFixture, FollowBrowseAndReturnToFollowing)
{
    feed(0, 600);
    EXPECT_EQ(window.end(), kT0 + 600);
    EXPECT_EQ(window.start(), kT0 + 540);
    EXPECT_EQ(window.scrollPage(), 100'000);
    EXPECT_EQ(window.scrollPosition(), 899'999);

    // The thumb at the left end: the oldest minute.
    scrollTo(0);
    EXPECT_EQ(window.start(), kT0);
    EXPECT_EQ(window.end(), kT0 + 60);

    // More readings do not move the window, but the thumb shrinks.
    feed(601, 1200);
    EXPECT_EQ(window.start(), kT0);
    EXPECT_EQ(window.end(), kT0 + 60);
    EXPECT_EQ(window.scrollPage(), 50'000);
    EXPECT_EQ(window.scrollPosition(), 0);

    // To the newest end: following again.
    ASSERT_TRUE(window.toNewest());
    EXPECT_TRUE(window.placeAfterScroll(kT0, latest));
    EXPECT_EQ(window.end(), kT0 + 1200);
    EXPECT_EQ(window.start(), kT0 + 1140);
    feed(1201, 1210);
    EXPECT_EQ(window.end(), kT0 + 1210);
}

TEST_F(WindowFixture, SpanChangeWhileBrowsingKeepsTheLeftEdge)
{
    feed(0, 600);
    scrollTo(300'000);
    const double start = window.start();
    EXPECT_DOUBLE_EQ(start, kT0 + 180);
    window.setSpan(120);
    window.place(0, 0, 0, kT0, latest);
    EXPECT_EQ(window.start(), start);
    EXPECT_EQ(window.end(), start + 120);
    EXPECT_EQ(window.gridAnchor(), start + 120);
    EXPECT_EQ(window.scrollPage(), 200'000);
    EXPECT_EQ(window.scrollPosition(), 300'000);
}

TEST_F(WindowFixture, StepsArePageFractionsAndStopAtTheEnds)
{
    feed(0, 600);
    EXPECT_FALSE(window.lineForward()); // at the newest end
    EXPECT_EQ(window.scrollPosition(), 899'999);
    EXPECT_TRUE(window.lineBack());
    EXPECT_EQ(window.scrollPosition(), 899'999 - (100'000 / 16 + 1));
    EXPECT_TRUE(window.pageBack());
    EXPECT_EQ(window.scrollPosition(), 899'999 - (100'000 / 16 + 1) - (100'000 * 2 / 3 + 1));
    EXPECT_TRUE(window.toOldest());
    EXPECT_TRUE(window.placeAfterScroll(kT0, latest));
    EXPECT_EQ(window.scrollPosition(), 0);
    EXPECT_EQ(window.start(), kT0);
    EXPECT_FALSE(window.pageBack()); // at the oldest end
    EXPECT_FALSE(window.placeAfterScroll(kT0, latest)) << "nothing moved";
    scrollTo(950'000); // past the end: pinned, and following again
    EXPECT_EQ(window.scrollPosition(), 899'999);
    EXPECT_EQ(window.end(), kT0 + 600);
}

TEST(TimeWindowPlacement, ExplicitRangeAndAnchorOutsideTakesTheEnd)
{
    TimeWindow window;
    window.place(kT0, kT0 + 60, kT0, 0, 0);
    window.place(kT0 + 100, kT0 + 50, kT0, 0, 0); // end before start: ignored
    EXPECT_EQ(window.start(), kT0);
    window.place(kT0 + 10, kT0 + 70, kT0 + 500, 0, 0);
    EXPECT_EQ(window.gridAnchor(), kT0 + 70);
    // Without a strip the window never follows the data.
    window.setSpan(60);
    window.place(0, 0, 0, kT0, kT0 + 600);
    EXPECT_EQ(window.start(), kT0 + 10);
}

struct GridCase {
    double given;
    double kept;
};

void PrintTo(const GridCase &c, std::ostream *os)
{
    *os << c.given << " s";
}

class GridSpacing : public ::testing::TestWithParam<GridCase> {};

TEST_P(GridSpacing, RoundsBySize)
{
    TimeWindow window;
    EXPECT_TRUE(window.setSecondsPerDivision(GetParam().given));
    EXPECT_DOUBLE_EQ(window.secondsPerDivision(), GetParam().kept);
}

INSTANTIATE_TEST_SUITE_P(Table, GridSpacing,
                         ::testing::Values(GridCase{0.5, 0.5}, GridCase{5, 5}, GridCase{59.9, 59}, GridCase{90, 60},
                                           GridCase{300, 300}, GridCase{5400, 3600}, GridCase{7200, 7200},
                                           GridCase{172800, 172800}, GridCase{200000, 172800}));

TEST(GridSpacingIgnored, ZeroOrNegativeKeepsTheSpacing)
{
    TimeWindow window;
    window.setSecondsPerDivision(10);
    EXPECT_FALSE(window.setSecondsPerDivision(0));
    EXPECT_FALSE(window.setSecondsPerDivision(-5));
    EXPECT_EQ(window.secondsPerDivision(), 10);
    window.setSpan(-1);
    EXPECT_EQ(window.span(), 0);
}

} // namespace
} // namespace qn
