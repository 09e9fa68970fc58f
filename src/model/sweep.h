#pragma once
// The triangular sweep of an analog output: from V1 up to V2 over T1, back down over T2,
// then again. The step is a pure function of the settings, the start of the current
// cycle and the time now, on a 64-bit millisecond clock that never wraps (a 32-bit tick
// wraps after 49.7 days and would glitch a sweep left running over it). No Qt; any thread.
#include <cstdint>
#include <optional>

namespace qn {

struct SweepSettings {
    int t1 = 30;       // rise time T1, x 100 ms
    int t2 = 15;       // fall time T2, x 100 ms
    double high = 9.0; // V2, in the channel's converted unit
    double low = 1.0;  // V1
};

struct SweepStep {
    std::uint64_t cycleStart;    // start of the cycle from now on
    std::optional<double> value; // what to send; none on the tick that starts a new cycle
};

// One step at time nowMs. Rising while now < start + T1; falling from there (the peak
// itself counts as falling) until start + T1 + T2; after that the tick only starts the
// next cycle. A time of 0 makes its half of the wave instantaneous; with both at 0 every
// tick starts a new cycle, so nothing is sent and the output stays where it was. Never
// gives a value that is not a finite number.
SweepStep sweepStep(const SweepSettings &settings, std::uint64_t cycleStart, std::uint64_t nowMs);

// The clock sweeps run on: milliseconds of a monotonic clock.
std::uint64_t monotonicMs();

} // namespace qn
