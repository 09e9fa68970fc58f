#pragma once
// What the logging service hands on about its units: each reading it takes, and each unit
// that stops or starts answering. Any number of sinks take them (the CSV log is one).
// Standard C++ only, so a sink may be written without Qt; texts are UTF-8.
#include <chrono>
#include <string>
#include <vector>

namespace qn::logsvc {

// A unit as the service knows it: the model and ID it reported at connect, the address
// it was reached at.
struct UnitIdentity {
    std::string model;   // "QN-210", "QN-220", "QN-110", "QN-120"
    int unitId = 0;      // 0..15
    std::string address; // dotted IPv4
    int tcpPort = 0;
};

// One analog channel of a reading: an input of a QN-210/220, an output of a QN-110/120.
struct ChannelValue {
    std::string signalName; // the operator's name from the settings file (column name in the log)
    double value = 0.0;     // converted through the channel's formula
    std::string valueText;  // the value as the unit window shows and logs it
    std::string unit;       // the channel's unit text, or the default for its range or mode
    int raw = 0;            // the code the unit reported (24-bit input, 16-bit output)
};

// One ON/OFF channel: a digital input (QN-110/120) or output (QN-210/220).
struct DigitalValue {
    std::string signalName;
    bool on = false;
};

// One reading of a unit: what its window's automatic mode logs in one row.
struct Reading {
    UnitIdentity unit;
    std::chrono::system_clock::time_point time; // when it was taken (wall clock)
    std::vector<ChannelValue> channels;
    std::vector<DigitalValue> digitalInputs;
    std::vector<DigitalValue> digitalOutputs;
};

// Takes readings and changes of a unit's state; called on the service's main thread, one
// call at a time. A sink that cannot keep up must not block: it drops or buffers.
class ReadingSink {
public:
    virtual ~ReadingSink() = default;
    virtual void take(const Reading &reading) = 0;
    // The unit stopped answering (online false) or answers again (true).
    virtual void unitStateChanged(const UnitIdentity &unit, bool online) = 0;
    // SIGHUP: reopen files, connections or whatever the sink holds.
    virtual void reopen() {}
    // The service stops: finish what is in flight and let go.
    virtual void close() {}
};

} // namespace qn::logsvc
