#pragma once
// What the publisher is given: one unit's reading, as the CSV row has it. Plain data, no Qt.
#include <cstdint>
#include <string>
#include <vector>

namespace qn::mqtt {

// A unit as topics name it: the same three parts after every restart.
struct UnitKey {
    std::string model;   // "QN-210"
    int id = 0;          // the unit's ID
    std::string address; // "192.168.10.21"
    bool operator==(const UnitKey &) const = default;
};

struct ChannelReading {
    std::string channel; // "AI1", "AO2"
    std::string signal;  // the channel's signal name from the settings
    double value = 0;    // converted through the channel's formula
    std::string unit;    // the converted value's unit
    long raw = 0;        // the code the unit sent
};

struct UnitReading {
    UnitKey unit;
    std::int64_t timeMs = 0;   // since the epoch, UTC
    int utcOffsetMinutes = 0;  // of the local time the CSV row shows
    std::vector<ChannelReading> channels;
    std::vector<int> digitalInputs;  // 0/1, DI1 first
    std::vector<int> digitalOutputs; // 0/1, DO1 first
    // The digital channels' signal names, in the same order (Sparkplug's births name them).
    std::vector<std::string> digitalInputSignals, digitalOutputSignals;
};

} // namespace qn::mqtt
