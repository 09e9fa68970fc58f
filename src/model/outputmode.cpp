#include "model/outputmode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <locale.h>

namespace qn::ao {
namespace {

constexpr int kMinVoltageCode = -32768;
constexpr int kMaxCode = 32767;
constexpr double kCodeSpan = 32768.0;
constexpr int kMin24 = -8388608;
constexpr int kMax24 = 8388607;
constexpr double kSpan24 = 8388608.0;

// Always with a decimal point: the application runs in the user's locale, and a decimal
// comma would also split a value into two CSV columns.
std::string format(const char *fmt, double value)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const locale_t previous = cLocale ? uselocale(cLocale) : locale_t(nullptr);
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, fmt, value);
    if (cLocale)
        uselocale(previous);
    return buffer;
}

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

int signExtend24(int code) { return (code & 0x800000) ? (code & 0xFFFFFF) - 0x1000000 : code & 0xFFFFFF; }

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

std::string valueText(int mode, double value) { return format(isCurrent(mode) ? "%2.3f" : "%1.4f", value); }

std::string displayText(int mode, double physical)
{
    return valueText(mode, physical) + ' ' + std::string(unitName(mode));
}

std::string_view unitName(int mode) { return isCurrent(mode) ? "mA" : "V"; }

Range defaultGraphRange(int mode) { return isCurrent(mode) ? Range{0.0, 20.0} : Range{-10.0, 10.0}; }

std::string graphValueText(double value)
{
    std::string text = format("%f", value);
    const std::size_t point = text.find('.');
    if (point == std::string::npos)
        return text;
    const bool negative = text.front() == '-';
    if (point < (negative ? 7u : 6u))
        return text.substr(0, negative ? 8 : 7);
    return text.substr(0, point);
}

double thresholdLowValue(int mode, int code)
{
    return signExtend24((code & 0xFFFF) * 256) * fullScale(mode) / kSpan24;
}

double thresholdHighValue(int mode, int code)
{
    return signExtend24((code & 0xFFFF) * 256 + 255) * fullScale(mode) / kSpan24;
}

int thresholdCode(int mode, double physical)
{
    int t = truncClamp(physical / fullScale(mode) * kSpan24, kMin24, kMax24);
    if (isCurrent(mode) && t < 0)
        t = 0;
    return (t & 0xFFFFFF) >> 8;
}

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
