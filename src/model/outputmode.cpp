#include "model/outputmode.h"

#include "model/inputrange.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace qn::ao {
namespace {

constexpr int kMinVoltageCode = -32768;
constexpr int kMaxCode = 32767;
constexpr double kCodeSpan = 32768.0;

// trunc() and clamp in double first, so that converting to int is always defined.
int truncClamp(double v, int lo, int hi)
{
    if (std::isnan(v))
        return 0;
    if (v <= double(lo))
        return lo;
    if (v >= double(hi))
        return hi;
    return int(std::trunc(v));
}

// The input range whose threshold arithmetic is the output mode's: the unit keeps an
// output's LED thresholds as it does an input's, on the same 24-bit scale.
int inputRangeOf(int mode) { return isCurrent(mode) ? 4 : 2; } // "0-20mA", "±10V"

} // namespace

double fullScale(int mode) { return isCurrent(mode) ? 20.0 : 10.0; }

double physicalFromConverted(double converted, double factor, double offset)
{
    return (converted - offset) / factor;
}

int rawFromPhysical(int mode, double physical)
{
    if (isCurrent(mode))
        return truncClamp(physical * 1638.4, 0, kMaxCode);
    return truncClamp(physical * kCodeSpan / 10.0, kMinVoltageCode, kMaxCode);
}

int signExtend16(int code) { return int(int16_t(uint16_t(code & 0xFFFF))); }

double physicalFromRaw(int mode, int raw) { return signExtend16(raw) * fullScale(mode) / kCodeSpan; }

std::string valueText(int mode, double value)
{
    return isCurrent(mode) ? ai::fixedText(value, 3, 2) : ai::fixedText(value, 4, 1);
}

std::string displayText(int mode, double physical)
{
    return valueText(mode, physical) + ' ' + std::string(unitName(mode));
}

std::string_view unitName(int mode) { return isCurrent(mode) ? "mA" : "V"; }

Range defaultGraphRange(int mode) { return isCurrent(mode) ? Range{0.0, 20.0} : Range{-10.0, 10.0}; }

std::string graphValueText(double value) { return ai::trimmedValue(value); }

double thresholdLowValue(int mode, int code) { return ai::thresholdLowValue(code, inputRangeOf(mode)); }

double thresholdHighValue(int mode, int code) { return ai::thresholdHighValue(code, inputRangeOf(mode)); }

int thresholdCode(int mode, double physical) { return ai::thresholdCode(physical, inputRangeOf(mode)); }

bool outsideBand(int raw, int thresholdLow, int thresholdHigh)
{
    const int level = signExtend16(raw);
    return level < signExtend16(thresholdLow) || level > signExtend16(thresholdHigh);
}

bool ledLit(bool ledOutside, int raw, int thresholdLow, int thresholdHigh)
{
    return ledOutside == outsideBand(raw, thresholdLow, thresholdHigh);
}

Bar bar(int mode, int raw)
{
    const int level = signExtend16(raw);
    if (isCurrent(mode))
        return {kMaxCode, std::clamp(level, 0, kMaxCode)};
    return {65535, level + 32768};
}

} // namespace qn::ao
