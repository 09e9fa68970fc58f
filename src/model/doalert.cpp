#include "model/doalert.h"

#include "model/inputrange.h"

#include <algorithm>
#include <cmath>

namespace qn::doalert {

namespace {

constexpr double kCodeScale = 8388608.0; // 2^23: full scale of a signed 24-bit code

bool isThermocouple(int range) { return range == ai::kThermocoupleRange; }

int signed16(int code)
{
    code &= 0xFFFF;
    return code >= 0x8000 ? code - 0x10000 : code;
}

// The 24-bit code of a 16-bit one, placed within its step of 256 (not on the thermocouple
// range, whose steps are a tenth of a degree and print exactly).
int expand(int code, int range)
{
    int d = code * 256;
    if (!isThermocouple(range)) {
        if (code == 0x7FFF)
            d += 255;
        else if (code != 0 && code != 0x8000)
            d += 128;
    }
    return d;
}

double valueOf(int d, int range)
{
    return isThermocouple(range) ? d / ai::kThermocoupleScale : d * ai::rangeInfo(range).fullScale / kCodeScale;
}

double scaled(double value, int range)
{
    return isThermocouple(range) ? value * ai::kThermocoupleScale : value * kCodeScale / ai::rangeInfo(range).fullScale;
}

constexpr int kTop = 0x7FFF;
constexpr int kBottom = -0x8000;

struct Row {
    int caseNo;
    // Labels 1..7 by edge: 'O' upper outer, 'I' upper inner, 'i' lower inner, 'o' lower
    // outer, '.' none.
    const char *labels;
};

// Groups 1 and 2: a window with two thresholds.
Row twoThresholds(bool inside, bool noWidth, bool crossed, bool atTop, bool atBottom)
{
    if (inside) {
        if (noWidth)
            return {1, ".O...o."};
        if (crossed)
            return {7, ".O...o."};
        return {6, ".OI.io."};
    }
    if (noWidth)
        return {1, ".I...i."};
    if (atTop && !atBottom)
        return {3, ".I...io"};
    if (atTop && atBottom)
        return {5, ".I...i."};
    if (atBottom)
        return {4, "OI...i."};
    return {2, "OI...io"};
}

// Groups 3 and 4 whose high threshold is the top of the range: one level, the low one.
Row lowLevel(bool inside, bool noWidth, bool crossed, bool atBottom)
{
    if (inside) {
        if (noWidth)
            return {1, "...o..."};
        if (crossed)
            return {3, "...o..."};
        return {4, "I.io..."};
    }
    if (noWidth)
        return {1, "...i..."};
    if (atBottom)
        return {6, "...i..."};
    return {5, "...io.."};
}

// Groups 3 and 4 whose low threshold is the bottom of the range: one level, the high one.
Row highLevel(bool inside, bool noWidth, bool crossed, bool atTop)
{
    if (inside) {
        if (noWidth)
            return {1, "...O..."};
        if (crossed)
            return {6, "...O..."};
        return {7, "...OI.i"};
    }
    if (noWidth)
        return {1, "...I..."};
    if (atTop)
        return {3, "...I..."};
    return {2, "..OI..."};
}

// Groups 5 and 6: both thresholds at the ends of the range.
Row noLevel(bool inside, bool noWidth, bool crossed)
{
    if (noWidth || !inside)
        return {1, "......."};
    if (crossed)
        return {0, "......."};
    return {2, "I.....i"};
}

} // namespace

Outcome evaluate(const Setting &s)
{
    Outcome out;
    const int h = signed16(s.high);
    const int l = signed16(s.low);
    const int w = s.width & 0xFFFF;
    // The band lies inside the thresholds when it sits on the side where the output is on
    // and turns off first, or on the side where it is off and turns on first.
    const bool bandInside = s.ledCondition == s.direction;
    const bool ledInside = s.ledCondition == 0;

    Edges &e = out.edges;
    if (bandInside) {
        e = {h, std::max(h - w, l), std::min(l + w, h), l};
    } else {
        e = {std::min(h + w, kTop), h, l, std::max(l - w, kBottom)};
    }

    if (l >= h) {
        // No window at all: the LED never lights inside it and always outside.
        out.group = ledInside ? 6 : 5;
        out.caseNo = 0;
        out.illustration = *illustrationOf(out.group, 0);
        return out;
    }

    const bool noWidth = w == 0;
    const bool crossed = e.upperInner < e.lowerInner;
    const bool atTop = e.upperOuter == kTop;
    const bool atBottom = e.lowerOuter == kBottom;
    Row row;
    if (h == kTop && l == kBottom) {
        out.group = ledInside ? 5 : 6;
        row = noLevel(bandInside, noWidth, crossed);
    } else if (h == kTop) {
        out.group = ledInside ? 3 : 4;
        row = lowLevel(bandInside, noWidth, crossed, atBottom);
    } else if (l == kBottom) {
        out.group = ledInside ? 4 : 3;
        row = highLevel(bandInside, noWidth, crossed, atTop);
    } else {
        out.group = ledInside ? 1 : 2;
        row = twoThresholds(bandInside, noWidth, crossed, atTop, atBottom);
    }
    out.caseNo = row.caseNo;
    out.illustration = *illustrationOf(out.group, out.caseNo);
    for (int i = 0; i < kLabelCount; ++i) {
        int edge;
        switch (row.labels[i]) {
        case 'O': edge = e.upperOuter; break;
        case 'I': edge = e.upperInner; break;
        case 'i': edge = e.lowerInner; break;
        case 'o': edge = e.lowerOuter; break;
        default: continue;
        }
        out.labels[size_t(i)] = thresholdValue(edge, s.range);
    }
    return out;
}

std::optional<int> illustrationOf(int group, int caseNo)
{
    if (group >= 1 && group <= 4 && caseNo >= 1 && caseNo <= 7)
        return kFirstIllustration + 7 * (group - 1) + (caseNo - 1);
    if (group == 5 && caseNo >= 0 && caseNo <= 2)
        return 171 + caseNo;
    if (group == 6 && caseNo >= 0 && caseNo <= 2)
        return 174 + caseNo;
    return std::nullopt;
}

std::optional<GroupCase> caseOf(int illustration)
{
    const int n = illustration - kFirstIllustration;
    if (n < 0 || n >= kIllustrationCount)
        return std::nullopt;
    if (n < 28)
        return GroupCase{n / 7 + 1, n % 7 + 1};
    return GroupCase{(n - 28) / 3 + 5, (n - 28) % 3};
}

double thresholdValue(int code, int range)
{
    return valueOf(ai::toSigned24(expand(code, range)), range);
}

double widthValue(int code, int range)
{
    return valueOf(expand(code & 0xFFFF, range), range);
}

int thresholdCode(double value, int range)
{
    if (ai::isCurrentRange(range) && value < 0)
        value = 0;
    const double d = std::trunc(scaled(value, range));
    int code;
    if (std::isnan(d))
        code = 0;
    else if (d >= 8388607.0)
        code = 8388607;
    else if (d <= -8388608.0)
        code = -8388608;
    else
        code = int(d);
    return (code & 0xFFFFFF) >> 8;
}

int widthCode(double value, int range)
{
    if (!(value > 0))
        return 0;
    const double d = std::trunc(scaled(value, range));
    return d >= 16777215.0 ? 0xFFFF : int(d) >> 8;
}

Limits thresholdLimits(int range)
{
    if (isThermocouple(range))
        return {-3276.8, 3276.7};
    if (ai::isCurrentRange(range))
        return {0.0, 20.0};
    const double fs = ai::rangeInfo(range).fullScale;
    return {-fs, fs};
}

Limits widthLimits(int range)
{
    if (isThermocouple(range))
        return {0.0, 6553.5};
    return {0.0, 2 * ai::rangeInfo(range).fullScale};
}

std::string labelText(double value, int range)
{
    switch (range) {
    case 0: return ai::fixedText(value * 1000.0, 3, 7) + " mV";
    case 1: return ai::fixedText(value, 5, 7) + " V";
    case 4:
    case 5: return ai::fixedText(value, 3, 7) + " mA";
    case ai::kThermocoupleRange: return ai::fixedText(value, 2, 7) + " ℃";
    default: return ai::fixedText(value, 4, 7) + " V";
    }
}

std::string rangeName(int range)
{
    switch (range) {
    case 0: return "電圧[±0.1V]";
    case 1: return "電圧[±1V]";
    case 2: return "電圧[±10V]";
    case 4:
    case 5: return "電流[0-20mA]";
    case ai::kThermocoupleRange: return "温度[℃]";
    case 3:
    case 7: return "電圧[±30V]"; // 7 reads as 3
    default: return "電圧[±10V]"; // an unknown code reads as the initial range
    }
}

} // namespace qn::doalert
