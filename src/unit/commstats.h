#pragma once
// A unit's communication statistics: requests, time-outs, other errors, the response time's
// median and 99th percentile (since connect and over the last minute) and when the unit last
// answered. Fixed memory per unit: response times go into logarithmic buckets (each about a
// third wider than the one before, so a percentile is exact to that step), the last minute
// in twelve slots of five seconds. Used on one thread at a time.
#include <array>
#include <chrono>
#include <climits>
#include <cstdint>
#include <optional>

namespace qn::unit {

class CommStats final {
public:
    using Clock = std::chrono::steady_clock;
    using Micros = std::chrono::microseconds;

    static constexpr int kBuckets = 40;
    static constexpr int kSlots = 12;
    static constexpr Clock::duration kSlotLength = std::chrono::seconds(5);

    struct Summary {
        std::uint64_t requests = 0;
        std::uint64_t timeouts = 0;
        std::uint64_t otherErrors = 0;
        std::optional<Micros> median; // none before the first answer
        std::optional<Micros> p99;
    };

    // An answer that took `took`, at `now`; lastGood is the wall-clock time it came.
    void answered(Clock::duration took, Clock::time_point now, std::chrono::system_clock::time_point wall);
    void timedOut(Clock::time_point now);
    void failed(Clock::time_point now);
    // Counts from zero again (a new connection).
    void reset();

    Summary sinceConnect() const;
    Summary lastMinute(Clock::time_point now) const;
    std::optional<std::chrono::system_clock::time_point> lastGoodAnswer() const { return m_lastGood; }

    // The bucket of a response time, and the time a bucket stands for (its upper edge).
    static int bucketOf(Clock::duration took);
    static Micros bucketTime(int bucket);

private:
    struct Counts {
        std::array<std::uint32_t, kBuckets> buckets{};
        std::uint64_t timeouts = 0;
        std::uint64_t otherErrors = 0;
    };
    Counts &slotFor(Clock::time_point now);
    static Summary summarise(const std::array<std::uint64_t, kBuckets> &buckets, std::uint64_t timeouts,
                             std::uint64_t otherErrors);

    Counts m_total;
    std::array<Counts, kSlots> m_slots{};
    static constexpr std::array<std::int64_t, kSlots> noSlots()
    {
        std::array<std::int64_t, kSlots> a{};
        a.fill(INT64_MIN);
        return a;
    }
    std::array<std::int64_t, kSlots> m_slotIndex = noSlots(); // which 5-second slot of the clock each holds
    std::optional<std::chrono::system_clock::time_point> m_lastGood;
};

} // namespace qn::unit
