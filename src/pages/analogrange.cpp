#include "pages/analogrange.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <locale.h>

namespace qn::ai {

namespace {

constexpr double kCodeScale = 8388608.0;   // 2^23: full scale of a signed 24-bit code
constexpr double kThermocoupleScale = 2560.0;

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

// Always with a decimal point: the application runs in the user's locale, whose decimal
// comma would also split the value into two CSV columns.
QString printf1(const char *format, double value)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const locale_t previous = cLocale ? uselocale(cLocale) : locale_t(nullptr);
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    if (cLocale)
        uselocale(previous);
    return QString::fromLatin1(buffer);
}

} // namespace

const RangeInfo &rangeInfo(int range)
{
    if (range < 0 || range >= int(kRanges.size()))
        range = kInitialRange;
    return kRanges[size_t(range)];
}

QStringList rangeItems(bool withThermocouple)
{
    QStringList items{QStringLiteral("±100mV"), QStringLiteral("±1V"), QStringLiteral("±10V"),
                      QStringLiteral("±30V"), QStringLiteral("0-20mA (外付け250Ω)"),
                      QStringLiteral("0-20mA (外付け50Ω)")};
    if (withThermocouple)
        items << QStringLiteral("熱電対");
    return items;
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

QString measuredText(int raw, int range)
{
    const RangeInfo &info = rangeInfo(range);
    return printf1(info.format, measuredValue(raw, range) * displayScale(range)) + QLatin1Char(' ')
        + QString::fromUtf8(info.unit);
}

double convertedValue(int raw, int range, double a, double b)
{
    return (measuredValue(raw, range) * a + b) * displayScale(range);
}

QString trimmedValue(double value)
{
    QString text = printf1("%f", value);
    const int point = text.indexOf(QLatin1Char('.'));
    if (point < 0)
        return text;
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (point < (negative ? 7 : 6))
        return text.left(negative ? 8 : 7);
    return text.left(point);
}

QString defaultUnit(int range)
{
    switch (range) {
    case 0: return QStringLiteral("mV");
    case 1:
    case 2:
    case 3:
    case 7: return QStringLiteral("V");
    case kThermocoupleRange: return QStringLiteral("℃");
    default: return QStringLiteral("mA");
    }
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
    const int s = toSigned24(raw);
    return isCurrentRange(range) ? s : s + 8388608;
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
