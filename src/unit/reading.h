#pragma once
// A unit's reading as the core hands it out: the state it was converted with, its time and
// its quality; and the same reading named and converted with the operator's channel settings,
// which every sink (the CSV row, the trend, MQTT, the display) takes. Texts are UTF-8.
#include "unit/unitstate.h"

#include <chrono>
#include <string>
#include <vector>

namespace qn::unit {

enum class Quality {
    Good,     // answered within its period
    Late,     // answered, but after the next period had begun
    NoAnswer, // the unit did not answer: the values are the last ones known
};

struct Reading {
    UnitState state; // the inputs just read, with the ranges and outputs they go with
    std::chrono::system_clock::time_point time;
    std::chrono::steady_clock::time_point taken;
    Quality quality = Quality::Good;
};

// One channel's settings from the settings file: its name, formula and unit text.
struct ChannelSetup {
    std::string signalName;
    double factor = 1.0;
    double offset = 0.0;
    std::string unitText; // empty: the range's or mode's own unit
};

// The settings of a unit's channels: the analog ones (inputs of a QN-210/220, outputs of a
// QN-110/120) and the ON/OFF ones (DO of a QN-210/220, DI of a QN-110/120).
struct ChannelSetups {
    std::vector<ChannelSetup> analog;
    std::vector<std::string> digital;
};

// One analog channel of a named reading.
struct ChannelValue {
    std::string signalName;
    double value = 0.0;    // through the channel's formula
    std::string valueText; // as the window shows and logs it
    std::string unit;      // the channel's unit text, or the range's or mode's
    int raw = 0;           // the code: 24-bit input, or the output's read-back (sign-extended)
};

struct DigitalValue {
    std::string signalName;
    bool on = false;
};

struct NamedReading {
    Model model = Model::QN210;
    int unitId = 0;
    std::chrono::system_clock::time_point time;
    Quality quality = Quality::Good;
    std::vector<ChannelValue> channels;
    std::vector<DigitalValue> digitalInputs;
    std::vector<DigitalValue> digitalOutputs;
};

// An input's value through its formula, by the range the state holds for it (any code the
// conversion table knows, the thermocouple's included).
double inputValue(const UnitState &state, int channel, const ChannelSetup &setup);
// An output's value: the code the unit was set to (after the mode's clamp), through the formula.
double outputValue(const UnitState &state, int channel, const ChannelSetup &setup);

NamedReading named(const Reading &reading, const ChannelSetups &setups);

} // namespace qn::unit
