#include "model/inputrange.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace qn;

namespace {

struct MeasuredCase {
    int raw;
    int range;
    const char *text;
};

void PrintTo(const MeasuredCase &c, std::ostream *os) { *os << "raw " << c.raw << " range " << c.range; }

class MeasuredText : public ::testing::TestWithParam<MeasuredCase> {};

TEST_P(MeasuredText, FormatsByRange)
{
    const MeasuredCase &c = GetParam();
    EXPECT_EQ(ai::measuredText(c.raw, c.range), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Ranges, MeasuredText,
    ::testing::Values(
        // range 0 shows mV with three decimals
        MeasuredCase{0x400000, 0, " 50.000 mV"}, MeasuredCase{0xC00000, 0, "-50.000 mV"},
        MeasuredCase{0x400000, 1, "0.50000 V"}, MeasuredCase{0x400000, 2, " 5.0000 V"},
        MeasuredCase{0x400000, 3, "15.0000 V"}, MeasuredCase{0x400000, 4, " 10.000 mA"},
        MeasuredCase{0x400000, 5, " 10.000 mA"},
        // 25 °C on the thermocouple range: raw / 2560
        MeasuredCase{64000, 6, "  25.00 ℃"},
        // 7 reads like range 3
        MeasuredCase{0x400000, 7, "15.0000 V"},
        // the extremes of a bipolar range
        MeasuredCase{0x800000, 2, "-10.0000 V"}, MeasuredCase{0x7FFFFF, 2, "10.0000 V"}, MeasuredCase{0x7FFFFF, 1, "1.00000 V"},
        MeasuredCase{0x7FFF00, 3, "29.9991 V"},
        MeasuredCase{0, 2, " 0.0000 V"}));

TEST(InputRange, ConvertedValueOnRange0IsInMillivolts)
{
    // a = 1, b = 0 gives the mV value; the formula works in volts.
    EXPECT_DOUBLE_EQ(ai::convertedValue(0x400000, 0, 1.0, 0.0), 50.0);
    EXPECT_DOUBLE_EQ(ai::convertedValue(0x400000, 0, 2.0, 0.01), 110.0);
    EXPECT_DOUBLE_EQ(ai::convertedValue(0x400000, 2, 2.0, 1.0), 11.0);
}

struct TrimCase {
    double value;
    const char *text;
};

void PrintTo(const TrimCase &c, std::ostream *os) { *os << c.value; }

class Trimmed : public ::testing::TestWithParam<TrimCase> {};

TEST_P(Trimmed, CutsAfterSevenCharacters)
{
    EXPECT_EQ(ai::trimmedValue(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Values, Trimmed,
                         ::testing::Values(TrimCase{1.5, "1.50000"}, TrimCase{-1.5, "-1.50000"},
                                           TrimCase{12345.67, "12345.6"}, TrimCase{123456.7, "123456"},
                                           TrimCase{-12345.67, "-12345.6"},
                                           TrimCase{-123456.7, "-123456"}, TrimCase{0.0, "0.00000"},
                                           TrimCase{1234567.0, "1234567"}));

TEST(InputRange, BarRangesAndPositions)
{
    EXPECT_EQ(ai::barMaximum(2), 16777215);
    EXPECT_EQ(ai::barMaximum(4), 8388607);
    EXPECT_EQ(ai::barMaximum(5), 8388607);
    EXPECT_EQ(ai::barPosition(0x800000, 2), 0);
    EXPECT_EQ(ai::barPosition(0x7FFFFF, 2), 16777215);
    EXPECT_EQ(ai::barPosition(0, 1), 8388608);
    EXPECT_EQ(ai::barPosition(1000, 4), 1000);
    // A current input reading just below 0 mA empties its bar.
    EXPECT_EQ(ai::barPosition(0xFFFC18, 4), 0);
    EXPECT_EQ(ai::barPosition(0x800000, 5), 0);
}

TEST(InputRange, DefaultGraphRangesAndUnits)
{
    const double expected[][2] = {{-100, 100}, {-1, 1}, {-10, 10}, {-30, 30}, {0, 20}, {0, 20}, {0, 100}};
    const char *units[] = {"mV", "V", "V", "V", "mA", "mA", "℃"};
    for (int r = 0; r < 7; ++r) {
        EXPECT_EQ(ai::rangeInfo(r).graphMin, expected[r][0]) << r;
        EXPECT_EQ(ai::rangeInfo(r).graphMax, expected[r][1]) << r;
        EXPECT_EQ(ai::defaultUnit(r), units[r]) << r;
    }
    EXPECT_EQ(ai::rangeItems(false).size(), 6u);
    EXPECT_EQ(ai::rangeItems(true).size(), 7u);
    EXPECT_EQ(ai::rangeItems(true).at(6), "熱電対");
    EXPECT_EQ(ai::rangeItems(false).at(4), "0-20mA (外付け250Ω)");
    // A report outside the table does not index past it.
    EXPECT_EQ(ai::rangeInfo(99).fullScale, 10.0);
}

TEST(InputRange, LedCondition)
{
    // Thresholds 0x1000 .. 0x2000 on the upper 16 bits: 0x100000 .. 0x200000 (+0xFF when
    // the high threshold's bit 0 is set).
    EXPECT_TRUE(ai::ledLit(0x150000, 0x1000, 0x2000, false));
    EXPECT_FALSE(ai::ledLit(0x150000, 0x1000, 0x2000, true));
    EXPECT_FALSE(ai::ledLit(0x250000, 0x1000, 0x2000, false));
    EXPECT_TRUE(ai::ledLit(0x250000, 0x1000, 0x2000, true));
    EXPECT_FALSE(ai::ledLit(0x2000FF, 0x1000, 0x2000, false));
    EXPECT_TRUE(ai::ledLit(0x2001FF, 0x1000, 0x2001, false));
    // Negative thresholds read as signed 24-bit numbers.
    EXPECT_TRUE(ai::ledLit(0xF00000, 0xE000, 0x1000, false));
}

struct ThresholdCase {
    double value;
    int range;
    int code;
};

void PrintTo(const ThresholdCase &c, std::ostream *os) { *os << c.value << " on range " << c.range; }

class ThresholdCode : public ::testing::TestWithParam<ThresholdCase> {};

TEST_P(ThresholdCode, ClampsAndShifts)
{
    EXPECT_EQ(ai::thresholdCode(GetParam().value, GetParam().range), GetParam().code);
}

INSTANTIATE_TEST_SUITE_P(
    Values, ThresholdCode,
    ::testing::Values(ThresholdCase{5.0, 2, 0x4000}, ThresholdCase{-5.0, 2, 0xC000},
                      ThresholdCase{10.0, 2, 0x7FFF},   // 8388608 clamps to 0x7FFFFF
                      ThresholdCase{50.0, 2, 0x7FFF}, ThresholdCase{-10.0, 2, 0x8000},
                      ThresholdCase{-50.0, 2, 0x8000},  // below -8388608 clamps to 0x800000
                      ThresholdCase{-3.0, 4, 0x0000},   // negative current counts as 0
                      ThresholdCase{10.0, 4, 0x4000}, ThresholdCase{0.05, 0, 0x4000},
                      ThresholdCase{25.0, 6, 0x00FA}));

TEST(InputRange, ThresholdValuesRoundTrip)
{
    EXPECT_DOUBLE_EQ(ai::thresholdLowValue(0x4000, 2), 5.0);
    EXPECT_NEAR(ai::thresholdHighValue(0x4000, 2), 5.0 + 255 * 10.0 / 8388608, 1e-12);
    EXPECT_DOUBLE_EQ(ai::thresholdLowValue(0xC000, 2), -5.0);
    // Range 0 gives volts, not millivolts.
    EXPECT_DOUBLE_EQ(ai::thresholdLowValue(0x4000, 0), 0.05);
    // What the threshold dialog is given comes back as the same code, on every range
    // (the 0.1 V range is not exact in binary).
    for (int range : {0, 1, 2, 3, 4, 6}) {
        for (int code = 0; code < 0x8000; code += 7) {
            EXPECT_EQ(ai::thresholdCode(ai::thresholdLowValue(code, range), range), code) << range;
            EXPECT_EQ(ai::thresholdCode(ai::thresholdHighValue(code, range), range), code) << range;
        }
    }
}

} // namespace
