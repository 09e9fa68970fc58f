#include "history/trendseries.h"

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace qn {
namespace {

TEST(TrendSeriesCapacity, HundredThousandthAppendDropsTheOldest)
{
    TrendSeries s("AI1", -10, 10);
    for (int i = 0; i < 99'999; ++i)
        s.AddSample(i, i);
    ASSERT_EQ(s.Count(), 99'999u);
    EXPECT_EQ(s.FirstTime(), 0.0);
    s.AddSample(99'999, -1.5);
    EXPECT_EQ(s.Count(), 99'999u);
    EXPECT_EQ(s.FirstTime(), 1.0);
    EXPECT_EQ(s.LastTime(), 99'999.0);
    EXPECT_EQ(s.At(s.Count() - 1).value, -1.5);
    s.AddSample(100'000, 0);
    EXPECT_EQ(s.Count(), 99'999u);
    EXPECT_EQ(s.FirstTime(), 2.0);
}

TEST(TrendSeriesDigital, NonZeroValuesBecomeOne)
{
    TrendSeries s("DO1", 0, 1);
    s.SetDigital(true);
    s.AddSample(1, 0.3);
    s.AddSample(2, -2);
    s.AddSample(3, 0.0);
    EXPECT_EQ(s.At(0).value, 1.0);
    EXPECT_EQ(s.At(1).value, 1.0);
    EXPECT_EQ(s.At(2).value, 0.0);
}

TEST(TrendSeriesDigital, SetDigitalSetsRangeAndClearsUnit)
{
    TrendSeries s("AI1", -10, 10);
    s.SetUnit("V");
    s.SetDigital(true);
    EXPECT_EQ(s.MinValue(), -0.5);
    EXPECT_EQ(s.MaxValue(), 1.5);
    EXPECT_EQ(s.GetUnit(), "");
    s.SetDigital(false); // leaves range and unit as they are
    EXPECT_EQ(s.MinValue(), -0.5);
    EXPECT_FALSE(s.IsDigital());
}

TEST(TrendSeriesRange, OnlyMinBelowMaxIsTaken)
{
    TrendSeries s("AI1", 3, 3); // creation stores the range untested
    EXPECT_EQ(s.MinValue(), 3);
    s.SetRange(-1, 1);
    s.SetRange(5, 5);
    s.SetRange(6, 5);
    EXPECT_EQ(s.MinValue(), -1);
    EXPECT_EQ(s.MaxValue(), 1);
}

TEST(TrendSeriesFields, DefaultsColourAndTexts)
{
    TrendSeries s("AI1", -10, 10);
    EXPECT_EQ(s.GetColor(), 0xFFFFFFu);
    EXPECT_TRUE(s.IsVisible());
    EXPECT_FALSE(s.IsDigital());
    s.SetColor(255, 80, 10);
    EXPECT_EQ(s.GetColor(), 255u + 80u * 256u + 10u * 65536u);
    EXPECT_EQ(s.Red(), 255);
    EXPECT_EQ(s.Green(), 80);
    EXPECT_EQ(s.Blue(), 10);

    std::string longName(150, 'x');
    s.SetName(longName);
    EXPECT_EQ(s.GetName().size(), 99u);
    // 120 three-byte characters: cut to 99 whole characters.
    std::string japanese;
    for (int i = 0; i < 120; ++i)
        japanese += "温";
    s.SetUnit(japanese);
    EXPECT_EQ(s.GetUnit().size(), 99u * 3u);
    EXPECT_EQ(cutUtf8("ab温度", 3), "ab温");
    EXPECT_EQ(cutUtf8("ab", 3), "ab");
}

TEST(TrendSeriesClear, KeepsVisibilityAndEmpties)
{
    TrendSeries s("AI1", -10, 10);
    s.AddSample(1, 1);
    s.Clear();
    EXPECT_EQ(s.Count(), 0u);
    EXPECT_TRUE(s.IsVisible());
    s.SetVisible(false);
    s.AddSample(2, 1);
    s.Release();
    EXPECT_EQ(s.Count(), 0u);
    EXPECT_FALSE(s.IsVisible());
    s.AddSample(3, 1); // usable after Release
    EXPECT_EQ(s.Count(), 1u);
}

TEST(TrendSeriesTimes, EmptySeriesAndEmptyCanvasGiveZero)
{
    TrendSeries a("a", 0, 1), b("b", 0, 1);
    EXPECT_EQ(a.FirstTime(), 0.0);
    EXPECT_EQ(a.LastTime(), 0.0);
    std::vector<const TrendSeries *> all{&a, &b, nullptr};
    EXPECT_EQ(EarliestTime(all), 0.0);
    EXPECT_EQ(LatestTime(all), 0.0);
    a.AddSample(100, 0);
    a.AddSample(200, 0);
    b.AddSample(50, 0);
    b.AddSample(150, 0);
    EXPECT_EQ(EarliestTime(all), 50.0);
    EXPECT_EQ(LatestTime(all), 200.0);
}

struct IndexCase {
    double t;
    int lower;
    int upper;
};

void PrintTo(const IndexCase &c, std::ostream *os)
{
    *os << "t = " << c.t;
}

class TrendSeriesIndex : public ::testing::TestWithParam<IndexCase> {};

TEST_P(TrendSeriesIndex, RunsOfEqualTimes)
{
    TrendSeries s("AI1", -10, 10);
    for (double t : {10.0, 10.0, 10.0, 11.0})
        s.AddSample(t, 0);
    EXPECT_EQ(s.LowerIndex(GetParam().t), GetParam().lower);
    EXPECT_EQ(s.UpperIndex(GetParam().t), GetParam().upper);
}

INSTANTIATE_TEST_SUITE_P(Table, TrendSeriesIndex,
                         ::testing::Values(IndexCase{10, 0, 2}, IndexCase{10.5, 3, 2}, IndexCase{9, 0, -1},
                                           IndexCase{12, 4, 3}, IndexCase{11, 3, 3}));

TEST(TrendSelection, TwoThousandFiveHundredSamplesTakeEveryThird)
{
    TrendSeries s("AI1", -10, 10);
    for (int i = 0; i < 2500; ++i)
        s.AddSample(1000 + i, 0);
    const TrendSelection sel = SelectSamples(s, 1000, 1000 + 2499);
    EXPECT_EQ(sel.step, 3);
    EXPECT_EQ(sel.first, 3);
    EXPECT_EQ(sel.last, 2499);
    EXPECT_EQ(sel.count(), 833);
}

TEST(TrendSelection, IncludesTheSampleBeforeTheWindow)
{
    TrendSeries s("AI1", -10, 10);
    for (int i = 0; i < 100; ++i)
        s.AddSample(i, 0);
    const TrendSelection sel = SelectSamples(s, 10.5, 20);
    EXPECT_EQ(sel.first, 10);
    EXPECT_EQ(sel.last, 20);
    EXPECT_EQ(sel.step, 1);
}

TEST(TrendSelection, HiddenEmptyOrOutsideSelectsNothingOrTheNewest)
{
    TrendSeries s("AI1", -10, 10);
    EXPECT_TRUE(SelectSamples(s, 0, 10).empty());
    s.AddSample(100, 0);
    s.AddSample(101, 0);
    EXPECT_TRUE(SelectSamples(s, 0, 50).empty());
    const TrendSelection after = SelectSamples(s, 200, 300);
    EXPECT_EQ(after.count(), 1);
    EXPECT_EQ(after.first, 1);
    s.SetVisible(false);
    EXPECT_TRUE(SelectSamples(s, 0, 1000).empty());
}

TEST(TrendSelection, FullHistoryStaysNearAThousand)
{
    TrendSeries s("AI1", -10, 10);
    for (int i = 0; i < 120'000; ++i)
        s.AddSample(i, 0);
    const TrendSelection sel = SelectSamples(s, 0, 1e9);
    EXPECT_EQ(sel.last, 99'998);
    EXPECT_LE(sel.count(), 1000);
    EXPECT_GE(sel.count(), 900);
    EXPECT_GE(sel.first, 0);
}

} // namespace
} // namespace qn
