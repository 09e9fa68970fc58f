#pragma once
// Input ranges of the QN-210 / QN-220 analog inputs and the arithmetic around them:
// raw 24-bit codes to measured and converted values and texts, bars, LED colour,
// thresholds. Pure functions without Qt; any thread. Texts are UTF-8.
#include <string>
#include <string_view>
#include <vector>

namespace qn::ai {

// The range a channel shows before the unit has reported its own ("±10V").
constexpr int kInitialRange = 2;
// The QN-220's thermocouple range; not offered by the QN-210.
constexpr int kThermocoupleRange = 6;
// Whole degrees Celsius in a thermocouple reading's raw code.
constexpr double kThermocoupleScale = 2560.0;

struct RangeInfo {
    double fullScale;       // V or mA; 0 for the thermocouple range (raw / 2560 °C)
    std::string_view unit;  // unit of the measured value as shown ("mV" for range 0)
    const char *format;     // printf-style format of the measured value ("%7.3f")
    double graphMin;        // default graph range
    double graphMax;
};

// The highest code the conversion knows (7 reads as ±30 V).
constexpr int kHighestRange = 7;

// Codes outside 0..7 are treated as the initial range, so a bad report cannot index
// past the table.
const RangeInfo &rangeInfo(int range);

// The name of what an input measures on a code: the list's item ("熱電対" for 6, "±30V"
// for 7, which reads as 3); empty outside 0..7.
std::string_view rangeName(int range);

// Combo items in code order: six for the QN-210, seven (with "熱電対") for the QN-220.
std::vector<std::string_view> rangeItems(bool withThermocouple);

// A 24-bit code read as signed (0x800000 and above are negative).
int toSigned24(int code);

// Measured value in V, mA or °C (range 0 in V, not mV).
double measuredValue(int raw, int range);
// What the measured value is shown in: the value times 1000 for range 0 (mV).
double displayScale(int range);
// " 5.0000 V" and the like: the measured value formatted for the range, a space, its unit.
std::string measuredText(int raw, int range);
// Converted value for display: (measured × a + b), in mV for range 0.
double convertedValue(int raw, int range, double a, double b);
// "%f" of value cut to 7 characters (8 with a sign) when the decimal point comes early
// enough, else cut at the point: 1.5 -> "1.50000", 123456.7 -> "123456".
std::string trimmedValue(double value);
// printf's "%<width>.<precision>f" in the C locale (always a decimal point), right-aligned.
std::string fixedText(double value, int precision, int width = 0);

// Unit shown for a channel whose own unit text is empty (CSV and graph alike).
std::string_view defaultUnit(int range);

// Bar range maximum (minimum is 0) and position for a raw code, always within 0..maximum.
bool isCurrentRange(int range);
int barMaximum(int range);
int barPosition(int raw, int range);

// Whether the channel's LED is lit for a raw reading: the unit compares the reading
// with the 16-bit thresholds scaled to 24 bits; outsideFlag chooses lit-outside.
bool ledLit(int raw, int lowThreshold, int highThreshold, bool outsideFlag);

// 16-bit thresholds as values in V / mA / °C (range 0 in V) for the threshold dialog.
double thresholdLowValue(int lowThreshold, int range);
double thresholdHighValue(int highThreshold, int range);
// A value in V / mA / °C back to a 16-bit threshold: clamped to the 24-bit code range
// (negative counts as 0 on the current ranges), then the upper 16 bits.
int thresholdCode(double value, int range);

} // namespace qn::ai
