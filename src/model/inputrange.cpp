#include "model/inputrange.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace qn::ai {

namespace {

constexpr double kCodeScale = 8388608.0; // 2^23: full scale of a signed 24-bit code

const std::array<RangeInfo, 8> kRanges{{
    {0.1, "mV", "%7.3f", -100.0, 100.0},
    {1.0, "V", "%7.5f", -1.0, 1.0},
    {10.0, "V", "%7.4f", -10.0, 10.0},
    {30.0, "V", "%7.4f", -30.0, 30.0},
    {20.0, "mA", "%7.3f", 0.0, 20.0},
    {20.0, "mA", "%7.3f", 0.0, 20.0},
    {0.0, "℃", "%7.2f", 0.0, 100.0},
    // The unit reports 7 for a ±30 V input on some firmware; it reads as range 3.
    {30.0, "V", "%7.4f", -30.0, 30.0},
}};

constexpr std::array<std::string_view, 7> kItems{
    "±100mV", "±1V", "±10V", "±30V", "0-20mA (外付け250Ω)", "0-20mA (外付け50Ω)", "熱電対"};

// "%7.3f" -> width 7, precision 3 (the table's formats are all of this shape).
void parseFormat(const char *format, int &width, int &precision)
{
    width = std::atoi(format + 1);
    precision = std::atoi(std::strchr(format, '.') + 1);
}

} // namespace

const RangeInfo &rangeInfo(int range)
{
    if (range < 0 || range >= int(kRanges.size()))
        range = kInitialRange;
    return kRanges[size_t(range)];
}

std::string_view rangeName(int range)
{
    if (range == kHighestRange)
        return kItems[3];
    if (range < 0 || range >= int(kItems.size()))
        return {};
    return kItems[size_t(range)];
}

std::vector<std::string_view> rangeItems(bool withThermocouple)
{
    return {kItems.begin(), kItems.end() - (withThermocouple ? 0 : 1)};
}

int toSigned24(int code)
{
    code &= 0xFFFFFF;
    return code >= 0x800000 ? code - 0x1000000 : code;
}

double measuredValue(int raw, int range)
{
    const int s = toSigned24(raw);
    if (range == kThermocoupleRange)
        return s / kThermocoupleScale;
    return s / kCodeScale * rangeInfo(range).fullScale;
}

double displayScale(int range)
{
    return range == 0 ? 1000.0 : 1.0;
}

std::string fixedText(double value, int precision, int width)
{
    // to_chars is printf in the C locale: the program runs in the user's locale, whose
    // decimal comma would also split the value into two CSV columns.
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, precision);
    std::string text(buffer, result.ec == std::errc() ? result.ptr : buffer);
    if (int(text.size()) < width)
        text.insert(0, size_t(width) - text.size(), ' ');
    return text;
}

std::string measuredText(int raw, int range)
{
    const RangeInfo &info = rangeInfo(range);
    int width = 0;
    int precision = 0;
    parseFormat(info.format, width, precision);
    return fixedText(measuredValue(raw, range) * displayScale(range), precision, width) + ' '
        + std::string(info.unit);
}

double convertedValue(int raw, int range, double a, double b)
{
    return (measuredValue(raw, range) * a + b) * displayScale(range);
}

std::string trimmedValue(double value)
{
    std::string text = fixedText(value, 6);
    const size_t point = text.find('.');
    if (point == std::string::npos)
        return text;
    const bool negative = !text.empty() && text[0] == '-';
    if (point < size_t(negative ? 7 : 6))
        return text.substr(0, negative ? 8 : 7);
    return text.substr(0, point);
}

std::string_view defaultUnit(int range)
{
    if (range >= 0 && range < int(kRanges.size()))
        return kRanges[size_t(range)].unit;
    return "mA";
}

bool isCurrentRange(int range)
{
    return range == 4 || range == 5;
}

int barMaximum(int range)
{
    return isCurrentRange(range) ? 8388607 : 16777215;
}

int barPosition(int raw, int range)
{
    // A current input reads slightly negative near 0 mA: an empty bar, not one the bar
    // would refuse.
    const int s = toSigned24(raw);
    return std::clamp(isCurrentRange(range) ? s : s + 8388608, 0, barMaximum(range));
}

bool ledLit(int raw, int lowThreshold, int highThreshold, bool outsideFlag)
{
    const int s = toSigned24(raw);
    const int lo = toSigned24((lowThreshold & 0xFFFF) << 8);
    int hiCode = (highThreshold & 0xFFFF) << 8;
    if (highThreshold & 1)
        hiCode |= 0xFF;
    const int hi = toSigned24(hiCode);
    const bool inside = lo <= s && s <= hi;
    return outsideFlag ? !inside : inside;
}

double thresholdLowValue(int lowThreshold, int range)
{
    return measuredValue((lowThreshold & 0xFFFF) << 8, range);
}

double thresholdHighValue(int highThreshold, int range)
{
    return measuredValue(((highThreshold & 0xFFFF) << 8) + 255, range);
}

int thresholdCode(double value, int range)
{
    if (isCurrentRange(range) && value < 0)
        value = 0;
    double s = range == kThermocoupleRange ? value * kThermocoupleScale
                                           : value * kCodeScale / rangeInfo(range).fullScale;
    // Truncate toward zero, but do not let floating-point noise (a range of 0.1 V is not
    // exact in binary) turn a code shown by thresholdLowValue into the one below it.
    const double nearest = std::round(s);
    s = std::abs(s - nearest) < 1e-6 ? nearest : std::trunc(s);
    int code;
    if (!(s < 8388608.0)) // also catches NaN from a zero full scale
        code = 0x7FFFFF;
    else if (s < -8388608.0)
        code = 0x800000;
    else
        code = int(s) & 0xFFFFFF;
    return code >> 8;
}

} // namespace qn::ai
