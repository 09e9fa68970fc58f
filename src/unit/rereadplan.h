#pragma once
// Which re-read of what another client may change is due when. Each item (a channel's range,
// the DO states, an output's mode and code, a threshold, a thermocouple setting, a DO alert,
// the identification) is read again at most kRereadInterval after it was last read: an item is
// taken into a cycle when it would fall due before the next cycle, and the re-reads of a cycle
// run before its reading. So a reading is never converted with, nor shows, a state read more
// than kRereadInterval (plus the reply's own time) before it. The items start spread over the
// interval, so at short periods a cycle carries one re-read or none.
//
// Wire cost at a period of 100 ms: a QN-210 logged by the service (ranges, DO states and the
// identification: five items) adds 5 / 1.5 s = 3.3 requests a second to its 10 readings.
#include "unit/unitstate.h"

#include <chrono>
#include <vector>

namespace qn::unit {

inline constexpr std::chrono::milliseconds kRereadInterval{1500};

// What a plan re-reads: the service's rows need only the ranges, the outputs and the
// identification; a window shows the rest too.
enum class RereadScope { Rows, Everything };

class RereadPlan final {
public:
    using Clock = std::chrono::steady_clock;

    RereadPlan() = default;
    RereadPlan(Model model, RereadScope scope, Clock::duration interval = kRereadInterval);

    // Every item was just read (the start-up reads): their next re-reads are spread over
    // the interval from now.
    void restart(Clock::time_point now);
    // Appends the items due before now + period to steps and counts them as read now.
    void takeDue(Clock::time_point now, Clock::duration period, std::vector<Step> &steps);
    // The items re-read, in the order of the start-up reads; the identification comes last
    // (a start-up reads it first, on its own).
    const std::vector<Step> &items() const { return m_items; }
    Clock::duration interval() const { return m_interval; }

private:
    std::vector<Step> m_items;
    std::vector<Clock::time_point> m_due;
    Clock::duration m_interval = kRereadInterval;
};

} // namespace qn::unit
