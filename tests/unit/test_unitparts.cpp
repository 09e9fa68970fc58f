// The unit core's parts without a unit: replies applied to the state, the re-read plan's
// bound at every period, the statistics' percentiles.
#include "unit/commstats.h"
#include "unit/rereadplan.h"

#include <gtest/gtest.h>

#include <map>

using namespace qn;
using namespace qn::unit;
using namespace std::chrono_literals;

namespace {

struct RangeCase {
    Model model;
    int channel, range;
    bool accepted;
};

TEST(UnitState, ARangeIsTakenWhenTheConversionTableKnowsIt)
{
    const RangeCase cases[] = {
        {Model::QN210, 0, 6, true}, // the thermocouple code, whatever the QN-210's list offers
        {Model::QN210, 2, 7, true},  {Model::QN220, 1, 6, true}, {Model::QN210, 0, 8, false},
        {Model::QN210, 0, -1, false}, {Model::QN210, 3, 2, false}, {Model::QN110, 0, 2, false},
    };
    for (const RangeCase &c : cases) {
        UnitState state = *stateFor({5, traits(c.model).modelId});
        const Applied a = apply(state, InputRange{c.channel, c.range});
        EXPECT_EQ(a.accepted, c.accepted) << traits(c.model).name << " " << c.channel << ":" << c.range;
        if (c.accepted) {
            EXPECT_EQ(a.changed, c.range != 2);
            EXPECT_EQ(state.ranges[std::size_t(c.channel)], c.range);
        }
    }
}

TEST(UnitState, AnIdentificationOfAModelNotReadIsNoState)
{
    EXPECT_FALSE(stateFor({5, 12}));
    EXPECT_FALSE(stateFor({16, 8}));
    const UnitState s = *stateFor({3, 10});
    EXPECT_EQ(s.model, Model::QN220);
    EXPECT_TRUE(sameUnit(s, {3, 10}));
    EXPECT_FALSE(sameUnit(s, {3, 8}));
    EXPECT_FALSE(sameUnit(s, {4, 10}));
}

TEST(UnitState, AnOutputReplyChangesOnlyItsChannel)
{
    UnitState s = *stateFor({1, 9});
    EXPECT_TRUE(apply(s, AnalogOutput{1, 1, 100}).changed);
    EXPECT_FALSE(apply(s, AnalogOutput{1, 1, 100}).changed);
    EXPECT_FALSE(apply(s, AnalogOutput{2, 0, 1}).accepted); // a QN-110 has two outputs
    EXPECT_EQ(s.outputs[0].raw, 0);
    EXPECT_FALSE(apply(s, DigitalOutputs{1}).accepted);
}

// Cycles every period for a minute: no item waits longer than the interval between two reads
// (or one period, when the period is longer: no reading comes between).
TEST(RereadPlan, NoItemWaitsLongerThanTheInterval)
{
    for (const Model model : kAllModels)
        for (const auto period : {100ms, 300ms, 700ms, 1000ms, 1600ms, 5000ms})
            for (const RereadScope scope : {RereadScope::Rows, RereadScope::Everything}) {
                RereadPlan plan(model, scope);
                RereadPlan::Clock::time_point now{};
                plan.restart(now);
                std::vector<RereadPlan::Clock::time_point> last(plan.items().size(), now);
                std::size_t most = 0;
                for (; now < RereadPlan::Clock::time_point{} + 60s; now += period) {
                    std::vector<Step> steps;
                    plan.takeDue(now, period, steps);
                    most = std::max(most, steps.size());
                    for (const Step &s : steps) {
                        const auto i = std::size_t(std::find(plan.items().begin(), plan.items().end(), s) - plan.items().begin());
                        ASSERT_LE(now - last[i], std::max<RereadPlan::Clock::duration>(kRereadInterval, period)) << traits(model).name << " " << period.count();
                        last[i] = now;
                    }
                }
                for (const auto &t : last)
                    EXPECT_LE(now - t, kRereadInterval + period);
                // At 100 ms the re-reads are spread: one or none per cycle.
                if (period == 100ms)
                    EXPECT_LE(most, 1u) << traits(model).name;
            }
}

TEST(RereadPlan, TheServiceReadsWhatItsRowsShow)
{
    const std::map<Model, std::size_t> rows{{Model::QN210, 5}, {Model::QN220, 5}, {Model::QN110, 3}, {Model::QN120, 4}};
    for (const auto &[model, n] : rows) {
        EXPECT_EQ(RereadPlan(model, RereadScope::Rows).items().size(), n) << traits(model).name;
        EXPECT_EQ(RereadPlan(model, RereadScope::Rows).items().back().item, Item::Identity);
    }
    EXPECT_EQ(RereadPlan(Model::QN220, RereadScope::Everything).items().size(), 14u);
}

TEST(CommStats, PercentilesComeFromTheBucketsSinceConnectAndOverTheLastMinute)
{
    CommStats stats;
    const CommStats::Clock::time_point t0{std::chrono::hours(1)};
    const auto wall = std::chrono::system_clock::now();
    for (int i = 0; i < 98; ++i)
        stats.answered(2ms, t0, wall);
    stats.answered(50ms, t0, wall);
    stats.answered(900ms, t0, wall);
    stats.timedOut(t0);
    stats.failed(t0 + 70s);
    const CommStats::Summary all = stats.sinceConnect();
    EXPECT_EQ(all.requests, 102u);
    EXPECT_EQ(all.timeouts, 1u);
    EXPECT_EQ(all.otherErrors, 1u);
    EXPECT_EQ(*all.median, CommStats::bucketTime(CommStats::bucketOf(2ms)));
    EXPECT_EQ(*all.p99, CommStats::bucketTime(CommStats::bucketOf(50ms)));
    EXPECT_GE(*all.median, 2ms);
    EXPECT_LT(*all.median, 2000us * 4 / 3);
    // A minute later only the error is left in the window.
    const CommStats::Summary minute = stats.lastMinute(t0 + 70s);
    EXPECT_EQ(minute.requests, 1u);
    EXPECT_FALSE(minute.median);
    EXPECT_EQ(stats.lastGoodAnswer(), wall);
}

} // namespace
