#include "model/doalert.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>

namespace da = qn::doalert;

namespace {

constexpr int N = INT_MIN; // no label
constexpr int kBottom = 0x8000; // the lowest threshold, as the unit stores it
constexpr int kTop = 0x7FFF;

struct ClassRow {
    const char *name;
    int ledCondition, direction, high, low, width;
    int group, caseNo, illustration;
    std::array<int, 7> labelEdges; // signed edge codes the labels show, top to bottom
};

// One row per line of the classification tables, each for both LED conditions where the
// table holds for both (the direction then decides whether the band lies inside).
const ClassRow kRows[] = {
    // A window, LED lit inside (group 1) or outside (group 2).
    {"WindowInsideNoWidth", 0, 0, 0x1000, 0x0800, 0, 1, 1, 143, {N, 0x1000, N, N, N, 0x0800, N}},
    {"WindowInsideCrossed", 0, 0, 0x1000, 0x0800, 0x0500, 1, 7, 149, {N, 0x1000, N, N, N, 0x0800, N}},
    {"WindowInsideBand", 0, 0, 0x1000, 0x0800, 0x0100, 1, 6, 148, {N, 0x1000, 0x0F00, N, 0x0900, 0x0800, N}},
    {"WindowOutsideBandNoWidth", 0, 1, 0x1000, 0x0800, 0, 1, 1, 143, {N, 0x1000, N, N, N, 0x0800, N}},
    {"WindowTopReached", 0, 1, 0x7000, 0x0800, 0x1000, 1, 3, 145, {N, 0x7000, N, N, N, 0x0800, -0x0800}},
    {"WindowBothEndsReached", 0, 1, 0x7000, 0x9000, 0x1000, 1, 5, 147, {N, 0x7000, N, N, N, -0x7000, N}},
    {"WindowBottomReached", 0, 1, 0x1000, 0x9000, 0x1000, 1, 4, 146, {0x2000, 0x1000, N, N, N, -0x7000, N}},
    {"WindowOutsideBand", 0, 1, 0x1000, 0x0800, 0x0100, 1, 2, 144, {0x1100, 0x1000, N, N, N, 0x0800, 0x0700}},
    {"OutsideWindowNoWidth", 1, 1, 0x1000, 0x0800, 0, 2, 1, 150, {N, 0x1000, N, N, N, 0x0800, N}},
    {"OutsideWindowCrossed", 1, 1, 0x1000, 0x0800, 0x0500, 2, 7, 156, {N, 0x1000, N, N, N, 0x0800, N}},
    {"OutsideWindowInsideBand", 1, 1, 0x1000, 0x0800, 0x0100, 2, 6, 155, {N, 0x1000, 0x0F00, N, 0x0900, 0x0800, N}},
    {"OutsideWindowOutsideBandNoWidth", 1, 0, 0x1000, 0x0800, 0, 2, 1, 150, {N, 0x1000, N, N, N, 0x0800, N}},
    {"OutsideWindowTopReached", 1, 0, 0x7000, 0x0800, 0x1000, 2, 3, 152, {N, 0x7000, N, N, N, 0x0800, -0x0800}},
    {"OutsideWindowBothEndsReached", 1, 0, 0x7000, 0x9000, 0x1000, 2, 5, 154, {N, 0x7000, N, N, N, -0x7000, N}},
    {"OutsideWindowBottomReached", 1, 0, 0x1000, 0x9000, 0x1000, 2, 4, 153, {0x2000, 0x1000, N, N, N, -0x7000, N}},
    {"OutsideWindowOutsideBand", 1, 0, 0x1000, 0x0800, 0x0100, 2, 2, 151, {0x1100, 0x1000, N, N, N, 0x0800, 0x0700}},
    // High threshold at the top: one level, the low one; on above it (3) or below it (4).
    {"LowLevelNoWidth", 0, 0, kTop, 0x1000, 0, 3, 1, 157, {N, N, N, 0x1000, N, N, N}},
    {"LowLevelCrossed", 0, 0, kTop, 0x1000, 0x4000, 3, 3, 159, {N, N, N, 0x1000, N, N, N}},
    {"LowLevelInsideBand", 0, 0, kTop, 0x1000, 0x0100, 3, 4, 160, {0x7EFF, N, 0x1100, 0x1000, N, N, N}},
    {"LowLevelOutsideBandNoWidth", 0, 1, kTop, 0x1000, 0, 3, 1, 157, {N, N, N, 0x1000, N, N, N}},
    {"LowLevelBottomReached", 0, 1, kTop, 0x9000, 0x1000, 3, 6, 162, {N, N, N, -0x7000, N, N, N}},
    {"LowLevelOutsideBand", 0, 1, kTop, 0x1000, 0x0100, 3, 5, 161, {N, N, N, 0x1000, 0x0F00, N, N}},
    {"BelowLowLevelNoWidth", 1, 1, kTop, 0x1000, 0, 4, 1, 164, {N, N, N, 0x1000, N, N, N}},
    {"BelowLowLevelCrossed", 1, 1, kTop, 0x1000, 0x4000, 4, 3, 166, {N, N, N, 0x1000, N, N, N}},
    {"BelowLowLevelInsideBand", 1, 1, kTop, 0x1000, 0x0100, 4, 4, 167, {0x7EFF, N, 0x1100, 0x1000, N, N, N}},
    {"BelowLowLevelOutsideBandNoWidth", 1, 0, kTop, 0x1000, 0, 4, 1, 164, {N, N, N, 0x1000, N, N, N}},
    {"BelowLowLevelBottomReached", 1, 0, kTop, 0x9000, 0x1000, 4, 6, 169, {N, N, N, -0x7000, N, N, N}},
    {"BelowLowLevelOutsideBand", 1, 0, kTop, 0x1000, 0x0100, 4, 5, 168, {N, N, N, 0x1000, 0x0F00, N, N}},
    // Low threshold at the bottom: one level, the high one; on below it (4) or above it (3).
    {"HighLevelNoWidth", 0, 0, 0x1000, kBottom, 0, 4, 1, 164, {N, N, N, 0x1000, N, N, N}},
    {"HighLevelCrossed", 0, 0, 0x1000, kBottom, 0x5000, 4, 6, 169, {N, N, N, 0x1000, N, N, N}},
    {"HighLevelInsideBand", 0, 0, 0x1000, kBottom, 0x0100, 4, 7, 170, {N, N, N, 0x1000, 0x0F00, N, -0x7F00}},
    {"HighLevelOutsideBandNoWidth", 0, 1, 0x1000, kBottom, 0, 4, 1, 164, {N, N, N, 0x1000, N, N, N}},
    {"HighLevelTopReached", 0, 1, 0x7000, kBottom, 0x1000, 4, 3, 166, {N, N, N, 0x7000, N, N, N}},
    {"HighLevelOutsideBand", 0, 1, 0x1000, kBottom, 0x0100, 4, 2, 165, {N, N, 0x1100, 0x1000, N, N, N}},
    {"AboveHighLevelNoWidth", 1, 1, 0x1000, kBottom, 0, 3, 1, 157, {N, N, N, 0x1000, N, N, N}},
    {"AboveHighLevelCrossed", 1, 1, 0x1000, kBottom, 0x5000, 3, 6, 162, {N, N, N, 0x1000, N, N, N}},
    {"AboveHighLevelInsideBand", 1, 1, 0x1000, kBottom, 0x0100, 3, 7, 163, {N, N, N, 0x1000, 0x0F00, N, -0x7F00}},
    {"AboveHighLevelOutsideBandNoWidth", 1, 0, 0x1000, kBottom, 0, 3, 1, 157, {N, N, N, 0x1000, N, N, N}},
    {"AboveHighLevelTopReached", 1, 0, 0x7000, kBottom, 0x1000, 3, 3, 159, {N, N, N, 0x7000, N, N, N}},
    {"AboveHighLevelOutsideBand", 1, 0, 0x1000, kBottom, 0x0100, 3, 2, 158, {N, N, 0x1100, 0x1000, N, N, N}},
    // Both thresholds at the ends of the range: always on (5) or never (6).
    {"AlwaysNoWidth", 0, 0, kTop, kBottom, 0, 5, 1, 172, {N, N, N, N, N, N, N}},
    {"AlwaysOutsideBand", 0, 1, kTop, kBottom, 0x0100, 5, 1, 172, {N, N, N, N, N, N, N}},
    {"AlwaysCrossed", 0, 0, kTop, kBottom, 0x8000, 5, 0, 171, {N, N, N, N, N, N, N}},
    {"AlwaysInsideBand", 0, 0, kTop, kBottom, 0x0100, 5, 2, 173, {0x7EFF, N, N, N, N, N, -0x7F00}},
    {"NeverNoWidth", 1, 1, kTop, kBottom, 0, 6, 1, 175, {N, N, N, N, N, N, N}},
    {"NeverOutsideBand", 1, 0, kTop, kBottom, 0x0100, 6, 1, 175, {N, N, N, N, N, N, N}},
    {"NeverCrossed", 1, 1, kTop, kBottom, 0x8000, 6, 0, 174, {N, N, N, N, N, N, N}},
    {"NeverInsideBand", 1, 1, kTop, kBottom, 0x0100, 6, 2, 176, {0x7EFF, N, N, N, N, N, -0x7F00}},
    // No window: low at or above high.
    {"EmptyWindowInside", 0, 0, 0x0800, 0x1000, 0x0100, 6, 0, 174, {N, N, N, N, N, N, N}},
    {"EmptyWindowOutside", 1, 0, 0x1000, 0x1000, 0, 5, 0, 171, {N, N, N, N, N, N, N}},
    {"EmptyWindowNegative", 0, 1, 0xF000, 0x1000, 0, 6, 0, 174, {N, N, N, N, N, N, N}},
};

class Classification : public ::testing::TestWithParam<ClassRow> {};

TEST_P(Classification, GivesGroupCaseIllustrationAndLabels)
{
    const ClassRow &r = GetParam();
    for (int range : {2, 0, 4, 6}) {
        SCOPED_TRACE(range);
        const da::Outcome out = da::evaluate({range, r.ledCondition, r.high, r.low, r.width, r.direction});
        EXPECT_EQ(out.group, r.group);
        EXPECT_EQ(out.caseNo, r.caseNo);
        EXPECT_EQ(out.illustration, r.illustration);
        for (size_t i = 0; i < 7; ++i) {
            SCOPED_TRACE(i + 1);
            if (r.labelEdges[i] == N) {
                EXPECT_FALSE(out.labels[i].has_value());
            } else {
                ASSERT_TRUE(out.labels[i].has_value());
                EXPECT_EQ(*out.labels[i], da::thresholdValue(r.labelEdges[i], range));
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, Classification, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(DoAlertTables, EveryIllustrationIsReachedAndMapsBackToItsCase)
{
    std::set<int> seen;
    for (const ClassRow &r : kRows) {
        seen.insert(r.illustration);
        const auto gc = da::caseOf(r.illustration);
        ASSERT_TRUE(gc);
        EXPECT_EQ(gc->group, r.group);
        EXPECT_EQ(gc->caseNo, r.caseNo);
    }
    EXPECT_EQ(int(seen.size()), da::kIllustrationCount);
    EXPECT_EQ(*seen.begin(), 143);
    EXPECT_EQ(*seen.rbegin(), 176);
    EXPECT_FALSE(da::caseOf(142));
    EXPECT_FALSE(da::caseOf(177));
    EXPECT_FALSE(da::illustrationOf(1, 0));
    EXPECT_FALSE(da::illustrationOf(5, 3));
}

TEST(DoAlertEdges, BandInsideShrinksTheWindowAndOutsideWidensItWithinTheRange)
{
    struct Case { int cond, dir, high, low, width; da::Edges e; };
    const Case cases[] = {
        {0, 0, 0x1000, 0x0800, 0x0100, {0x1000, 0x0F00, 0x0900, 0x0800}},
        {1, 1, 0x1000, 0x0800, 0x0500, {0x1000, 0x0B00, 0x0D00, 0x0800}},
        {0, 0, 0x1000, 0x0800, 0x2000, {0x1000, 0x0800, 0x1000, 0x0800}}, // inner pair stops at the window
        {0, 1, 0x1000, 0xF000, 0x0100, {0x1100, 0x1000, -0x1000, -0x1100}},
        {1, 0, 0x7F00, 0x8100, 0xFFFF, {0x7FFF, 0x7F00, -0x7F00, -0x8000}},
    };
    for (const Case &c : cases) {
        const da::Edges e = da::evaluate({2, c.cond, c.high, c.low, c.width, c.dir}).edges;
        EXPECT_EQ(e.upperOuter, c.e.upperOuter);
        EXPECT_EQ(e.upperInner, c.e.upperInner);
        EXPECT_EQ(e.lowerInner, c.e.lowerInner);
        EXPECT_EQ(e.lowerOuter, c.e.lowerOuter);
    }
}

TEST(DoAlertEdges, NoWidthIsAlwaysCaseOneWhileThereIsAWindow)
{
    for (int high : {0x0001, 0x1000, kTop})
        for (int low : {0xFFFF, 0x0000, kBottom})
            for (int cond : {0, 1})
                for (int dir : {0, 1}) {
                    const da::Outcome out = da::evaluate({2, cond, high, low, 0, dir});
                    EXPECT_EQ(out.caseNo, 1) << high << ' ' << low << ' ' << cond << dir;
                }
}

TEST(DoAlertValues, CodesReadAsTheMiddleOfTheirStepExceptAtTheEnds)
{
    struct Case { int code; int range; double value; };
    const double step = 10.0 / 32768; // one threshold code on the ±10 V range
    const Case cases[] = {
        {0x0000, 2, 0.0},
        {0x1000, 2, (0x1000 + 0.5) * step},
        {0x7FFF, 2, 10.0 * 8388607 / 8388608},
        {0x8000, 2, -10.0},                       // the stored bottom threshold: exactly -FS
        {-0x8000, 2, (-32768 + 0.5) * step},      // a band edge there: the middle of its step
        {0xFFFF, 2, -0.5 * step},
        {-1, 2, -0.5 * step},
        {0x7FFF, 0, 0.1 * 8388607 / 8388608},
        {0x0001, 4, 20.0 * 384 / 8388608},
        {0x7FFF, 6, 3276.7},                      // thermocouple: tenths of a degree, exact
        {0x8000, 6, -3276.8},
        {0x00FA, 6, 25.0},
        {0x1000, 7, (0x1000 + 0.5) * 30.0 / 32768},
        {0x1000, 99, (0x1000 + 0.5) * step},      // an unknown range reads as ±10 V
    };
    for (const Case &c : cases)
        EXPECT_DOUBLE_EQ(da::thresholdValue(c.code, c.range), c.value) << c.code << " on " << c.range;

    EXPECT_DOUBLE_EQ(da::widthValue(0, 2), 0.0);
    EXPECT_DOUBLE_EQ(da::widthValue(0xFFFF, 2), (0xFFFF + 0.5) * step); // never negative
    EXPECT_DOUBLE_EQ(da::widthValue(0x8000, 2), 10.0);
    EXPECT_DOUBLE_EQ(da::widthValue(0xFFFF, 6), 6553.5);
}

TEST(DoAlertValues, ValuesTruncateToCodesWithinTheRange)
{
    struct Case { double value; int range; int code; };
    const Case cases[] = {
        {10.0, 2, 0x7FFF}, {12.0, 2, 0x7FFF}, {-10.0, 2, 0x8000}, {-12.0, 2, 0x8000},
        {0.0, 2, 0}, {-0.0001, 2, 0xFFFF}, {1.25, 2, 0x1000}, {-1.0, 4, 0}, {20.0, 5, 0x7FFF},
        {3276.7, 6, 0x7FFF}, {-3276.8, 6, 0x8000}, {0.1, 6, 1}, {25.0, 6, 0x00FA},
    };
    for (const Case &c : cases)
        EXPECT_EQ(da::thresholdCode(c.value, c.range), c.code) << c.value << " on " << c.range;

    struct WidthCase { double value; int range; int code; };
    const WidthCase widths[] = {
        {-1.0, 2, 0}, {0.0, 2, 0}, {20.0, 2, 0xFFFF}, {25.0, 2, 0xFFFF}, {10.0, 2, 0x8000},
        {6553.5, 6, 0xFFFF}, {0.1, 6, 1}, {40.0, 4, 0xFFFF},
    };
    for (const WidthCase &c : widths)
        EXPECT_EQ(da::widthCode(c.value, c.range), c.code) << c.value << " on " << c.range;
}

TEST(DoAlertValues, EveryCodePrintedWithSixDecimalsReadsBackAsItself)
{
    // The dialog shows codes with "%f" and converts what the edit holds: opening it must not
    // move a threshold or a width.
    char text[64];
    int mismatches = 0;
    for (int range = 0; range <= 7; ++range) {
        const da::Limits limits = da::thresholdLimits(range);
        for (int code = 0; code <= 0xFFFF; ++code) {
            std::snprintf(text, sizeof text, "%f", da::thresholdValue(code, range));
            const double v = std::strtod(text, nullptr);
            const bool negativeCurrent = (range == 4 || range == 5) && code >= 0x8000;
            if (!negativeCurrent && (v < limits.min || v > limits.max || da::thresholdCode(v, range) != code)) {
                ADD_FAILURE() << "threshold " << text << " on range " << range;
                ++mismatches;
            }
            std::snprintf(text, sizeof text, "%f", da::widthValue(code, range));
            // 0x7FFF reads 1/256 of a step below the full scale, which six decimals round up to;
            // the dialog keeps a width whose text the operator did not touch.
            const bool roundsUp = code == 0x7FFF && range <= 1;
            if (!roundsUp && da::widthCode(std::strtod(text, nullptr), range) != code) {
                ADD_FAILURE() << "width " << text << " on range " << range;
                ++mismatches;
            }
            ASSERT_LT(mismatches, 5);
        }
    }
}

TEST(DoAlertValues, LimitsByRange)
{
    struct Case { int range; double min, max, widthMax; };
    const Case cases[] = {
        {0, -0.1, 0.1, 0.2}, {1, -1, 1, 2}, {2, -10, 10, 20}, {3, -30, 30, 60}, {4, 0, 20, 40},
        {5, 0, 20, 40}, {6, -3276.8, 3276.7, 6553.5}, {7, -30, 30, 60},
    };
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(da::thresholdLimits(c.range).min, c.min) << c.range;
        EXPECT_DOUBLE_EQ(da::thresholdLimits(c.range).max, c.max) << c.range;
        EXPECT_DOUBLE_EQ(da::widthLimits(c.range).min, 0.0) << c.range;
        EXPECT_DOUBLE_EQ(da::widthLimits(c.range).max, c.widthMax) << c.range;
    }
}

TEST(DoAlertText, LabelsAndRangeNamesByRange)
{
    struct Case { int range; double value; const char *label; const char *name; };
    const Case cases[] = {
        {0, 0.05, " 50.000 mV", "電圧[±0.1V]"},
        {1, -0.5, "-0.50000 V", "電圧[±1V]"},
        {2, 1.25, " 1.2500 V", "電圧[±10V]"},
        {3, 30.0, "30.0000 V", "電圧[±30V]"},
        {4, 4.0, "  4.000 mA", "電流[0-20mA]"},
        {5, 20.0, " 20.000 mA", "電流[0-20mA]"},
        {6, 6553.5, "6553.50 ℃", "温度[℃]"},
        {6, 25.0, "  25.00 ℃", "温度[℃]"},
        {7, -1.5, "-1.5000 V", "電圧[±30V]"},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(da::labelText(c.value, c.range), c.label);
        EXPECT_EQ(da::rangeName(c.range), c.name);
    }
}

} // namespace
