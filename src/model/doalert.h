#pragma once
// The arithmetic of a QN-220 DO alert: the unit drives a digital output from one analog
// input's LED threshold state, with a hysteresis band of a given width placed inside or
// outside the thresholds. From the raw codes this works out the band edges, which of the
// 34 pictures shows the behaviour, and the values written beside it. Pure functions; any
// thread.
#include <array>
#include <optional>
#include <string>

namespace qn::doalert {

// Illustration numbers, one per drawn case.
constexpr int kFirstIllustration = 143;
constexpr int kLastIllustration = 176;
constexpr int kIllustrationCount = kLastIllustration - kFirstIllustration + 1;
constexpr int kLabelCount = 7;

// What the dialog edits, all as the unit stores it.
struct Setting {
    int range = 2;        // range code of the monitored input (0..7, 6 = thermocouple)
    int ledCondition = 0; // 0 LED lit inside low..high, 1 lit outside
    int high = 0;         // threshold codes, unsigned 16-bit (0x8000 is the lowest)
    int low = 0;
    int width = 0;        // hysteresis width code, unsigned 16-bit
    int direction = 0;    // 0 off-threshold first, 1 on-threshold first
};

// The band edges, signed 16-bit: upper outer >= upper inner and lower inner >= lower outer,
// except that the inner pair crosses when the band is wider than half the window.
struct Edges {
    int upperOuter = 0;
    int upperInner = 0;
    int lowerInner = 0;
    int lowerOuter = 0;
};

struct Outcome {
    Edges edges;
    int group = 6;                 // 1 on inside a window, 2 outside, 3 above one level,
                                   // 4 below one level, 5 always on, 6 never on
    int caseNo = 0;                // 1..7 for groups 1-4, 0..2 for groups 5 and 6
    int illustration = kFirstIllustration;
    // Values (in V, mA or ℃; range 0 in V) of the labels beside the picture, top to bottom;
    // empty where the picture has no mark at that height.
    std::array<std::optional<double>, kLabelCount> labels;
};

Outcome evaluate(const Setting &setting);

// The illustration number of a group and case, and back; nullopt for a pair no setting gives.
std::optional<int> illustrationOf(int group, int caseNo);
struct GroupCase {
    int group;
    int caseNo;
};
std::optional<GroupCase> caseOf(int illustration);

// Code to value in V, mA or ℃ (range 0 in V). A code between two steps reads as the middle
// of its step, so a value printed with six decimals converts back to the same code. Pass
// threshold codes unsigned (0x8000 is the bottom of the range and reads exactly -FS) and
// band edges signed.
double thresholdValue(int code, int range);
// The width is never negative: its code reads unsigned, up to twice the full scale.
double widthValue(int code, int range);

// Value to threshold code: truncated to a 24-bit code within the range, the upper 16 bits.
// Negative values count as 0 on the current ranges.
int thresholdCode(double value, int range);
// Value to width code: negative counts as 0, at most 0xFFFF.
int widthCode(double value, int range);

// What a typed value is limited to before it is converted.
struct Limits {
    double min;
    double max;
};
Limits thresholdLimits(int range);
Limits widthLimits(int range);

// A label value as printed beside the picture: "%7.3f mV" (value x 1000) on range 0,
// "%7.5f V", "%7.4f V", "%7.3f mA", "%7.2f ℃". UTF-8.
std::string labelText(double value, int range);
// The range as named in the dialog's "アナログ閾値 ( %s )" caption. UTF-8.
std::string rangeName(int range);

} // namespace qn::doalert
