#pragma once
// The analog outputs of the QN-110 and QN-120: output modes and the arithmetic between
// the value an operator types (converted through the channel's formula), the physical
// output (V or mA) and the unit's 16-bit output and threshold codes.
// Pure functions without Qt; any thread.
#include <string>
#include <string_view>

namespace qn::ao {

// The output mode as the unit reports and takes it; also the item of the "V/I" list.
constexpr int kVoltage = 0; // "±10V"
constexpr int kCurrent = 1; // "0-20mA"

// Anything but kCurrent counts as voltage: the unit's mode is one bit.
inline bool isCurrent(int mode) { return mode == kCurrent; }
// 10 (V) or 20 (mA).
double fullScale(int mode);

// converted = physical * factor + offset, and back. A factor of 0 gives an infinity or a
// NaN here; rawFromPhysical turns those into a defined code.
double physicalFromConverted(double converted, double factor, double offset);

// The 16-bit output code of a physical value: truncated toward zero, then clamped to
// -32768..32767 (voltage) or 0..32767 (current). A value that is not a number gives 0
// (no output); +/- infinity gives the clamp limit on its side.
int rawFromPhysical(int mode, double physical);
// A code as the unit holds it (only its low 16 bits count, sign-extended) in V or mA.
double physicalFromRaw(int mode, int raw);
int signExtend16(int code);

// "%1.4f" (voltage) or "%2.3f" (current), always with a decimal point.
std::string valueText(int mode, double value);
// The output-setting display: "9.9997 V", "0.000 mA".
std::string displayText(int mode, double physical);
// Unit of the physical value: "V" or "mA" (the log's unit when a channel has none).
std::string_view unitName(int mode);
// The graph range a channel gets when it has no valid one: -10..10 or 0..20.
struct Range {
    double min, max;
};
Range defaultGraphRange(int mode);

// The value label of the graph tab: "%f" cut to 7 characters (8 with a sign) when the
// decimal point comes early enough, else cut at the point (123456.7 -> "123456").
std::string graphValueText(double value);

// 16-bit LED threshold codes (upper bits of a 24-bit level) and values in V or mA.
double thresholdLowValue(int mode, int code);
double thresholdHighValue(int mode, int code);
// Truncated and clamped to the 24-bit range (a negative current counts as 0).
int thresholdCode(int mode, double physical);

// The threshold LED: lit when "outside the band" is what ledOutside asks for.
bool outsideBand(int raw, int thresholdLow, int thresholdHigh);
bool ledLit(bool ledOutside, int raw, int thresholdLow, int thresholdHigh);

// The channel's bar: 0..32767 at raw (current) or 0..65535 at raw + 32768 (voltage).
struct Bar {
    int maximum;
    int position;
};
Bar bar(int mode, int raw);

} // namespace qn::ao
