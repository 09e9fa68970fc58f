#include "model/sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

using qn::SweepSettings;
using qn::sweepStep;

namespace {

// Runs the sweep tick by tick (100 ms) from start and returns what each tick sends;
// NaN marks a tick that sends nothing.
std::vector<double> run(const SweepSettings &s, std::uint64_t start, int ticks)
{
    std::vector<double> sent;
    std::uint64_t cycle = start;
    for (int i = 1; i <= ticks; ++i) {
        const qn::SweepStep step = sweepStep(s, cycle, start + std::uint64_t(i) * 100);
        cycle = step.cycleStart;
        sent.push_back(step.value.value_or(std::nan("")));
    }
    return sent;
}

} // namespace

TEST(Sweep, RisesFallsThenRestartsWithAQuietTick)
{
    const SweepSettings s{10, 10, 1.0, 0.0};
    // Started at 0 and, to show the clock does not wrap at 32 bits, just below 2^32.
    for (std::uint64_t start : {std::uint64_t(0), std::uint64_t(0xFFFFFF00u)}) {
        const std::vector<double> sent = run(s, start, 22);
        for (int i = 0; i < 9; ++i)
            EXPECT_NEAR(sent[std::size_t(i)], 0.1 * (i + 1), 1e-9) << "rising " << i;
        EXPECT_DOUBLE_EQ(sent[9], 1.0) << "the peak counts as falling";
        for (int i = 10; i < 20; ++i)
            EXPECT_NEAR(sent[std::size_t(i)], 1.0 - 0.1 * (i - 9), 1e-9) << "falling " << i;
        EXPECT_TRUE(std::isnan(sent[20])) << "the turn sends nothing";
        EXPECT_NEAR(sent[21], 0.1, 1e-9) << "next cycle";
    }
}

TEST(Sweep, ZeroTimesNeverGiveANonNumber)
{
    // t1, t2, ticks -> every value sent is V1..V2; both zero sends nothing at all.
    struct Case { int t1, t2; bool sends; };
    const Case cases[] = {{0, 10, true}, {10, 0, true}, {0, 0, false}};
    for (const Case &c : cases) {
        const SweepSettings s{c.t1, c.t2, 2.0, -1.0};
        int sent = 0;
        for (double v : run(s, 1000, 50)) {
            if (std::isnan(v))
                continue;
            ++sent;
            EXPECT_GE(v, -1.0);
            EXPECT_LE(v, 2.0);
        }
        EXPECT_EQ(sent > 0, c.sends) << c.t1 << "," << c.t2;
    }
    // At the cycle's start itself with both times zero: the peak, a number.
    EXPECT_EQ(sweepStep({0, 0, 2.0, -1.0}, 500, 500).value, 2.0);
}

TEST(Sweep, SettingsChangedMidCycleTakeEffectAtTheNextStep)
{
    SweepSettings s{10, 10, 1.0, 0.0};
    EXPECT_NEAR(*sweepStep(s, 0, 500).value, 0.5, 1e-9);
    s.high = 3.0;
    EXPECT_NEAR(*sweepStep(s, 0, 500).value, 1.5, 1e-9);
}
