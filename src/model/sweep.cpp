#include "model/sweep.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace qn {

SweepStep sweepStep(const SweepSettings &s, std::uint64_t cycleStart, std::uint64_t nowMs)
{
    const std::uint64_t rise = std::uint64_t(std::max(s.t1, 0)) * 100;
    const std::uint64_t fall = std::uint64_t(std::max(s.t2, 0)) * 100;
    // A clock read before the cycle started (never on a monotonic clock) counts as its start.
    const std::uint64_t now = std::max(nowMs, cycleStart);
    const std::uint64_t e1 = cycleStart + rise;
    const std::uint64_t e2 = e1 + fall;
    if (e2 < now)
        return {now, std::nullopt};
    const double span = s.high - s.low;
    double x;
    if (now < e1)
        x = s.low + span * double(now - cycleStart) / double(rise);
    else if (fall == 0)
        x = s.high; // only at now == e1 == e2: the peak
    else
        x = s.low + span * double(e2 - now) / double(fall);
    if (!std::isfinite(x))
        return {cycleStart, std::nullopt};
    return {cycleStart, x};
}

std::uint64_t monotonicMs()
{
    using namespace std::chrono;
    return std::uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace qn
