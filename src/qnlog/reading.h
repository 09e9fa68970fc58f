#pragma once
// What the logging service hands on about its units: each reading it takes, and each unit
// that stops or starts answering. Any number of sinks take them (the CSV log is one).
// Standard C++ only, so a sink may be written without Qt; texts are UTF-8.
#include "unit/reading.h"

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

// A channel of a reading, named and converted by the unit core.
using ChannelValue = unit::ChannelValue;
using DigitalValue = unit::DigitalValue;

// One reading of a unit, as the unit core names and converts it for every sink: what its
// window's automatic mode logs in one row, and where the unit was reached.
struct Reading : unit::NamedReading {
    UnitIdentity unit;
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
