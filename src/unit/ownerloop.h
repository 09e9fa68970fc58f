#pragma once
// The owner's thread of a unit core in programs and tests without an event loop of their own:
// the sessions' workers post their results, and the owner's thread runs them when it calls
// runOne. Any thread may post; one thread runs.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace qn::unit {

class OwnerLoop final {
public:
    using Clock = std::chrono::steady_clock;

    void post(std::function<void()> f);
    // Runs one posted closure, waiting for one until `until`; false when none came.
    bool runOne(Clock::time_point until);
    // What a core's options take.
    std::function<void(std::function<void()>)> poster()
    {
        return [this](std::function<void()> f) { post(std::move(f)); };
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<std::function<void()>> m_queue;
};

} // namespace qn::unit
