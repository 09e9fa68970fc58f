#include "model/outputmode.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ao = qn::ao;

namespace {
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
} // namespace

TEST(OutputMode, ValueToRawToDisplay)
{
    // value typed, factor, offset, mode -> raw sent, display shown after clamping
    struct Case { double value, factor, offset; int mode; int raw; const char *display; };
    const Case cases[] = {
        {12, 1, 0, ao::kVoltage, 32767, "9.9997 V"},
        {-12, 1, 0, ao::kVoltage, -32768, "-10.0000 V"},
        {-3, 1, 0, ao::kCurrent, 0, "0.000 mA"},
        {25, 1, 0, ao::kCurrent, 32767, "19.999 mA"},
        {5, 1, 0, ao::kVoltage, 16384, "5.0000 V"},
        {0.00031, 1, 0, ao::kVoltage, 1, "0.0003 V"},       // truncated toward zero
        {-0.00061, 1, 0, ao::kVoltage, -1, "-0.0003 V"},    // toward zero, not down
        {10, 2, 0, ao::kCurrent, 8192, "5.000 mA"},         // through the formula
        {7, 1, 2, ao::kVoltage, 16384, "5.0000 V"},
        {4, -1, 0, ao::kVoltage, -13107, "-3.9999 V"},
        // A factor of 0: NaN sends 0, an infinity the clamp limit on its side.
        {0, 0, 0, ao::kVoltage, 0, "0.0000 V"},
        {1, 0, 0, ao::kVoltage, 32767, "9.9997 V"},
        {-1, 0, 0, ao::kVoltage, -32768, "-10.0000 V"},
        {-1, 0, 0, ao::kCurrent, 0, "0.000 mA"},
    };
    for (const Case &c : cases) {
        const double physical = ao::physicalFromConverted(c.value, c.factor, c.offset);
        const int raw = ao::rawFromPhysical(c.mode, physical);
        EXPECT_EQ(raw, c.raw) << c.value << " / " << c.factor;
        EXPECT_EQ(ao::displayText(c.mode, ao::physicalFromRaw(c.mode, raw)), c.display) << c.value;
    }
    for (double v : {kNaN, kInf, -kInf, 1e300, -1e300})
        EXPECT_LE(std::abs(ao::rawFromPhysical(ao::kVoltage, v)), 32768);
}

TEST(OutputMode, RawCodesReadBackSignExtended)
{
    struct Case { int mode; int raw; const char *text; };
    const Case cases[] = {
        {ao::kVoltage, 0xC000, "-5.0000"}, {ao::kVoltage, 0x8000, "-10.0000"}, {ao::kVoltage, 0x7FFF, "9.9997"},
        {ao::kVoltage, 0xFFFF, "-0.0003"}, {ao::kCurrent, 0x4000, "10.000"},   {ao::kCurrent, 0x1FFFF, "-0.001"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ao::valueText(c.mode, ao::physicalFromRaw(c.mode, c.raw)), c.text) << c.raw;
}

TEST(OutputMode, GraphValueTextIsCutLikeTheOtherPages)
{
    EXPECT_EQ(ao::graphValueText(1.5), "1.50000");
    EXPECT_EQ(ao::graphValueText(-1.5), "-1.50000");
    EXPECT_EQ(ao::graphValueText(123456.7), "123456");
    EXPECT_EQ(ao::graphValueText(-12345.25), "-12345.2");
}

TEST(OutputMode, ThresholdCodesAndValues)
{
    // code -> value and back, per mode
    struct Case { int mode; int low, high; double lowValue, highValue; };
    const Case cases[] = {
        {ao::kVoltage, 0x4000, 0x7FFF, 5.0, 10.0 * 8388607 / 8388608},
        {ao::kVoltage, 0xC000, 0x0000, -5.0, 10.0 * 255 / 8388608},
        {ao::kCurrent, 0x2000, 0x4000, 5.0, 20.0 * (0x400000 + 255) / 8388608},
    };
    for (const Case &c : cases) {
        EXPECT_DOUBLE_EQ(ao::thresholdLowValue(c.mode, c.low), c.lowValue);
        EXPECT_DOUBLE_EQ(ao::thresholdHighValue(c.mode, c.high), c.highValue);
        EXPECT_EQ(ao::thresholdCode(c.mode, c.lowValue), c.low);
        EXPECT_EQ(ao::thresholdCode(c.mode, c.highValue), c.high);
    }
    EXPECT_EQ(ao::thresholdCode(ao::kVoltage, 11.0), 0x7FFF);
    EXPECT_EQ(ao::thresholdCode(ao::kVoltage, -11.0), 0x8000);
    EXPECT_EQ(ao::thresholdCode(ao::kCurrent, -1.0), 0);
}

TEST(OutputMode, LedAndBar)
{
    // raw, low, high -> outside; the LED follows the flag
    EXPECT_TRUE(ao::outsideBand(0xC000, 0xE000, 0x2000));
    EXPECT_FALSE(ao::outsideBand(0x1000, 0xE000, 0x2000));
    EXPECT_TRUE(ao::outsideBand(0x2001, 0xE000, 0x2000));
    EXPECT_TRUE(ao::ledLit(true, 0xC000, 0xE000, 0x2000));
    EXPECT_FALSE(ao::ledLit(false, 0xC000, 0xE000, 0x2000));
    EXPECT_TRUE(ao::ledLit(false, 0, 0xE000, 0x2000));

    struct Case { int mode, raw, maximum, position; };
    const Case cases[] = {
        {ao::kVoltage, 0, 65535, 32768}, {ao::kVoltage, 0x8000, 65535, 0}, {ao::kVoltage, 0x7FFF, 65535, 65535},
        {ao::kCurrent, 0x4000, 32767, 0x4000}, {ao::kCurrent, 0xFFFF, 32767, 0},
    };
    for (const Case &c : cases) {
        const ao::Bar b = ao::bar(c.mode, c.raw);
        EXPECT_EQ(b.maximum, c.maximum);
        EXPECT_EQ(b.position, c.position) << c.raw;
    }
}

TEST(OutputMode, PerModeTexts)
{
    EXPECT_EQ(ao::unitName(ao::kVoltage), "V");
    EXPECT_EQ(ao::unitName(ao::kCurrent), "mA");
    EXPECT_EQ(ao::defaultGraphRange(ao::kVoltage).min, -10.0);
    EXPECT_EQ(ao::defaultGraphRange(ao::kCurrent).max, 20.0);
    EXPECT_EQ(ao::valueText(ao::kCurrent, 12.3456), "12.346");
    EXPECT_EQ(ao::valueText(ao::kVoltage, -1.23456), "-1.2346");
}
