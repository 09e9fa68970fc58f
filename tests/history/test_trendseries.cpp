#include "history/trendseries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ostream>
#include <random>
#include <set>
#include <vector>

namespace qn {
namespace {

TEST(TrendSeriesCapacity, HundredThousandthAppendDropsTheOldest)
{
    TrendSeries s("AI1", -10, 10);
    for (int i = 0; i < 99'999; ++i)
        s.addSample(i, i);
    ASSERT_EQ(s.count(), 99'999u);
    EXPECT_EQ(s.firstTime(), 0.0);
    s.addSample(99'999, -1.5);
    EXPECT_EQ(s.count(), 99'999u);
    EXPECT_EQ(s.firstTime(), 1.0);
    EXPECT_EQ(s.lastTime(), 99'999.0);
    EXPECT_EQ(s.at(s.count() - 1).value, -1.5);
    s.addSample(100'000, 0);
    EXPECT_EQ(s.count(), 99'999u);
    EXPECT_EQ(s.firstTime(), 2.0);
    // Long after (the storage moves its samples down now and then) each is where it was put.
    for (int i = 100'001; i < 250'000; ++i)
        s.addSample(i, i);
    ASSERT_EQ(s.count(), 99'999u);
    for (std::size_t k = 0; k < s.count(); ++k)
        ASSERT_EQ(s.at(k).time, double(250'000 - 99'999 + k)) << k;
}

TEST(TrendSeriesDigital, NonZeroValuesBecomeOne)
{
    TrendSeries s("DO1", 0, 1);
    s.setDigital(true);
    s.addSample(1, 0.3);
    s.addSample(2, -2);
    s.addSample(3, 0.0);
    EXPECT_EQ(s.at(0).value, 1.0);
    EXPECT_EQ(s.at(1).value, 1.0);
    EXPECT_EQ(s.at(2).value, 0.0);
}

TEST(TrendSeriesDigital, SetDigitalSetsRangeAndClearsUnit)
{
    TrendSeries s("AI1", -10, 10);
    s.setUnit("V");
    s.setDigital(true);
    EXPECT_EQ(s.minValue(), -0.5);
    EXPECT_EQ(s.maxValue(), 1.5);
    EXPECT_EQ(s.unit(), "");
    s.setDigital(false); // leaves range and unit as they are
    EXPECT_EQ(s.minValue(), -0.5);
    EXPECT_FALSE(s.isDigital());
}

TEST(TrendSeriesRange, OnlyMinBelowMaxIsTaken)
{
    TrendSeries s("AI1", 3, 3); // creation stores the range untested
    EXPECT_EQ(s.minValue(), 3);
    s.setRange(-1, 1);
    s.setRange(5, 5);
    s.setRange(6, 5);
    EXPECT_EQ(s.minValue(), -1);
    EXPECT_EQ(s.maxValue(), 1);
}

TEST(TrendSeriesFields, DefaultsColourAndTexts)
{
    TrendSeries s("AI1", -10, 10);
    EXPECT_EQ(s.color(), 0xFFFFFFu);
    EXPECT_TRUE(s.isVisible());
    EXPECT_FALSE(s.isDigital());
    s.setColor(255, 80, 10);
    EXPECT_EQ(s.color(), 255u + 80u * 256u + 10u * 65536u);
    EXPECT_EQ(s.red(), 255);
    EXPECT_EQ(s.green(), 80);
    EXPECT_EQ(s.blue(), 10);

    std::string longName(150, 'x');
    s.setName(longName);
    EXPECT_EQ(s.name().size(), 99u);
    // 120 three-byte characters: cut to 99 whole characters.
    std::string japanese;
    for (int i = 0; i < 120; ++i)
        japanese += "温";
    s.setUnit(japanese);
    EXPECT_EQ(s.unit().size(), 99u * 3u);
    EXPECT_EQ(cutUtf8("ab温度", 3), "ab温");
    EXPECT_EQ(cutUtf8("ab", 3), "ab");
}

TEST(TrendSeriesClear, KeepsVisibilityAndEmpties)
{
    TrendSeries s("AI1", -10, 10);
    s.addSample(1, 1);
    s.clear();
    EXPECT_EQ(s.count(), 0u);
    EXPECT_TRUE(s.isVisible());
    s.setVisible(false);
    s.addSample(2, 1);
    s.release();
    EXPECT_EQ(s.count(), 0u);
    EXPECT_FALSE(s.isVisible());
    s.addSample(3, 1); // usable after release()
    EXPECT_EQ(s.count(), 1u);
}

TEST(TrendSeriesTimes, EmptySeriesAndEmptyCanvasGiveZero)
{
    TrendSeries a("a", 0, 1), b("b", 0, 1);
    EXPECT_EQ(a.firstTime(), 0.0);
    EXPECT_EQ(a.lastTime(), 0.0);
    std::vector<const TrendSeries *> all{&a, &b, nullptr};
    EXPECT_EQ(earliestTime(all), 0.0);
    EXPECT_EQ(latestTime(all), 0.0);
    a.addSample(100, 0);
    a.addSample(200, 0);
    b.addSample(50, 0);
    b.addSample(150, 0);
    EXPECT_EQ(earliestTime(all), 50.0);
    EXPECT_EQ(latestTime(all), 200.0);
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
        s.addSample(t, 0);
    EXPECT_EQ(s.lowerIndex(GetParam().t), GetParam().lower);
    EXPECT_EQ(s.upperIndex(GetParam().t), GetParam().upper);
}

INSTANTIATE_TEST_SUITE_P(Table, TrendSeriesIndex,
                         ::testing::Values(IndexCase{10, 0, 2}, IndexCase{10.5, 3, 2}, IndexCase{9, 0, -1},
                                           IndexCase{12, 4, 3}, IndexCase{11, 3, 3}));

TEST(TrendSeriesTimes, ClockSteppingBackKeepsTimesInOrder)
{
    TrendSeries s("AI1", -10, 10);
    s.addSample(100.25, 1);
    s.addSample(99.5, 2); // the clock was set back
    s.addSample(std::nan(""), 3);
    s.addSample(100.5, 4);
    EXPECT_EQ(s.at(1).time, 100.25);
    EXPECT_EQ(s.at(2).time, 100.25);
    EXPECT_EQ(s.at(2).value, 3);
    EXPECT_EQ(s.lowerIndex(100.25), 0);
    EXPECT_EQ(s.upperIndex(100.25), 2);
    EXPECT_EQ(s.lowerIndex(100.3), 3);
    EXPECT_EQ(s.upperIndex(99.6), -1);
}

// The indices of the selected samples, which must be the series' samples at them.
std::vector<int> selected(const TrendSeries &s, double t0, double t1, int columns)
{
    std::vector<SelectedSample> out{{{1, 2}, -7}}; // replaced, not appended to
    selectSamples(s, t0, t1, columns, out);
    std::vector<int> indices;
    for (const auto &[sample, index] : out) {
        EXPECT_TRUE(index >= 0 && sample.time == s.at(std::size_t(index)).time
                    && sample.value == s.at(std::size_t(index)).value) << index;
        indices.push_back(index);
    }
    return indices;
}

TEST(TrendSelection, FewSamplesAreAllTakenFromTheOneBeforeTheWindow)
{
    TrendSeries s("AI1", -10, 10);
    EXPECT_TRUE(selected(s, 0, 10, 480).empty());
    for (int i = 0; i < 100; ++i)
        s.addSample(i, 0);
    const std::vector<int> sel = selected(s, 10.5, 20, 480);
    ASSERT_EQ(sel.size(), 11u);
    EXPECT_EQ(sel.front(), 10);
    EXPECT_EQ(sel.back(), 20);
    EXPECT_TRUE(selected(s, -50, -1, 480).empty());
    EXPECT_EQ(selected(s, 200, 300, 480), std::vector<int>{99});
    s.setVisible(false);
    EXPECT_TRUE(selected(s, 0, 1000, 480).empty());
}

// A reading that stands out for one sample must be selected wherever it falls in a full
// history (one that has dropped its oldest samples), and the selection stays within four
// samples per column, in time order.
TEST(TrendSelection, EverySpikeOfAFullHistoryIsKept)
{
    for (int spike : {0, 1, 57, 4'321, 50'000, 50'001, 99'997, 99'998}) {
        TrendSeries s("AI1", -10, 10);
        for (int i = -37; i < 99'999; ++i) // the first 37 are dropped again
            s.addSample(1000 + i * 0.1, i == spike ? (spike % 2 ? 9.5 : -9.5) : std::sin(i * 0.01));
        ASSERT_EQ(s.count(), 99'999u);
        const std::vector<int> sel = selected(s, s.firstTime(), s.lastTime(), 480);
        EXPECT_TRUE(std::find(sel.begin(), sel.end(), spike) != sel.end()) << spike;
        EXPECT_TRUE(std::is_sorted(sel.begin(), sel.end()));
        EXPECT_TRUE(std::adjacent_find(sel.begin(), sel.end()) == sel.end());
        EXPECT_LE(sel.size(), 4u * 481);
        EXPECT_EQ(sel.back(), 99'998);
    }
}

// The selection as its definition reads, sample by sample, for windows that hold more
// samples than the columns take whole.
std::vector<int> selectedOneByOne(const TrendSeries &s, double t0, double t1, int columns)
{
    std::vector<int> out;
    int i = std::max(s.lowerIndex(t0) - 1, 0);
    const int last = s.upperIndex(t1);
    const double perSecond = columns / (t1 - t0);
    while (i <= last) {
        const double next = t0 + (std::floor((s.at(i).time - t0) * perSecond + 0.5) + 0.5) / perSecond;
        int e = i + 1, lowest = i, highest = i;
        for (; e <= last && s.at(e).time < next; ++e) {
            lowest = s.at(e).value < s.at(lowest).value ? e : lowest;
            highest = s.at(e).value > s.at(highest).value ? e : highest;
        }
        const std::set<int> picked{i, lowest, highest, e - 1};
        out.insert(out.end(), picked.begin(), picked.end());
        i = e;
    }
    return out;
}

// Histories with repeated values, repeated times, gaps and dropped samples, under windows
// that begin and end anywhere: the selection takes what the definition takes.
TEST(TrendSelection, TakesWhatTheDefinitionTakes)
{
    std::mt19937 random(7);
    for (const int appended : {3'000, 4'111, 100'000 + 45, 100'000 + 30'061}) {
        TrendSeries s("AI1", -10, 10);
        double t = 1000;
        for (int i = 0; i < appended; ++i) {
            t += std::array{0.0, 0.1, 0.1, 0.1, 0.1, 0.1, 2.5}[random() % 7];
            s.addSample(t, double(int(random() % 9)) - (i % 500 == 0 ? 40 : 0));
        }
        s.addSample(t + 0.1, -50); // the newest run's extremes, after the window of trial 0
        s.addSample(t + 0.2, 50);
        for (int trial = 0; trial < 40; ++trial) {
            const double from = s.firstTime() - 5 + (s.lastTime() - s.firstTime()) * (random() % 1000) / 2000.0;
            const double to = trial == 0 ? s.at(s.count() - 3).time // inside the newest run, which is not whole
                                         : from + (s.lastTime() + 5 - from) * (1 + random() % 1000) / 1000.0;
            const int columns = std::array{1, 7, 100, 480}[random() % 4];
            if (s.upperIndex(to) - s.lowerIndex(from) < 4 * (columns + 2))
                continue;
            EXPECT_EQ(selected(s, from, to, columns), selectedOneByOne(s, from, to, columns))
                << appended << " " << from << " " << to << " " << columns;
        }
    }
}

} // namespace
} // namespace qn
