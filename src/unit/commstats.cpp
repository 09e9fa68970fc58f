#include "unit/commstats.h"

#include <cmath>

namespace qn::unit {

namespace {

// Bucket 0 holds answers up to 100 µs; each next one reaches 4/3 times as far, so bucket 39
// ends near 7.5 s, beyond any time-out a session waits.
constexpr double kFirstEdgeUs = 100.0;
constexpr double kGrowth = 4.0 / 3.0;

} // namespace

int CommStats::bucketOf(Clock::duration took)
{
    const double us = double(std::chrono::duration_cast<Micros>(took).count());
    if (us <= kFirstEdgeUs)
        return 0;
    const int b = int(std::ceil(std::log(us / kFirstEdgeUs) / std::log(kGrowth)));
    return b < kBuckets ? b : kBuckets - 1;
}

CommStats::Micros CommStats::bucketTime(int bucket)
{
    return Micros(std::int64_t(std::llround(kFirstEdgeUs * std::pow(kGrowth, bucket))));
}

CommStats::Counts &CommStats::slotFor(Clock::time_point now)
{
    const std::int64_t index = now.time_since_epoch() / kSlotLength;
    Counts &slot = m_slots[std::size_t(index % kSlots)];
    std::int64_t &held = m_slotIndex[std::size_t(index % kSlots)];
    if (held != index) {
        slot = Counts{};
        held = index;
    }
    return slot;
}

void CommStats::answered(Clock::duration took, Clock::time_point now, std::chrono::system_clock::time_point wall)
{
    const int b = bucketOf(took);
    ++m_total.buckets[std::size_t(b)];
    ++slotFor(now).buckets[std::size_t(b)];
    m_lastGood = wall;
}

void CommStats::timedOut(Clock::time_point now)
{
    ++m_total.timeouts;
    ++slotFor(now).timeouts;
}

void CommStats::failed(Clock::time_point now)
{
    ++m_total.otherErrors;
    ++slotFor(now).otherErrors;
}

void CommStats::reset()
{
    m_total = Counts{};
    m_slots = {};
    m_slotIndex = noSlots();
    m_lastGood.reset();
}

CommStats::Summary CommStats::summarise(const std::array<std::uint64_t, kBuckets> &buckets, std::uint64_t timeouts,
                                        std::uint64_t otherErrors)
{
    Summary s;
    std::uint64_t answers = 0;
    for (std::uint64_t n : buckets)
        answers += n;
    s.requests = answers + timeouts + otherErrors;
    s.timeouts = timeouts;
    s.otherErrors = otherErrors;
    if (answers == 0)
        return s;
    // The smallest bucket that holds the rank's answer: rank ceil(q * answers).
    const auto at = [&](double q) {
        const std::uint64_t rank = std::uint64_t(std::ceil(q * double(answers)));
        std::uint64_t seen = 0;
        for (int b = 0; b < kBuckets; ++b) {
            seen += buckets[std::size_t(b)];
            if (seen >= rank)
                return bucketTime(b);
        }
        return bucketTime(kBuckets - 1);
    };
    s.median = at(0.5);
    s.p99 = at(0.99);
    return s;
}

CommStats::Summary CommStats::sinceConnect() const
{
    std::array<std::uint64_t, kBuckets> buckets{};
    for (int b = 0; b < kBuckets; ++b)
        buckets[std::size_t(b)] = m_total.buckets[std::size_t(b)];
    return summarise(buckets, m_total.timeouts, m_total.otherErrors);
}

CommStats::Summary CommStats::lastMinute(Clock::time_point now) const
{
    // The twelve slots up to the present one (the present one partly filled).
    const std::int64_t present = now.time_since_epoch() / kSlotLength;
    std::array<std::uint64_t, kBuckets> buckets{};
    std::uint64_t timeouts = 0, otherErrors = 0;
    for (int i = 0; i < kSlots; ++i) {
        if (m_slotIndex[std::size_t(i)] <= present - kSlots || m_slotIndex[std::size_t(i)] > present)
            continue;
        const Counts &slot = m_slots[std::size_t(i)];
        for (int b = 0; b < kBuckets; ++b)
            buckets[std::size_t(b)] += slot.buckets[std::size_t(b)];
        timeouts += slot.timeouts;
        otherErrors += slot.otherErrors;
    }
    return summarise(buckets, timeouts, otherErrors);
}

} // namespace qn::unit
