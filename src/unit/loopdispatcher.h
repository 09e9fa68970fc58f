#pragma once
// A completion dispatcher for programs and tests without an event loop of their own: the
// sessions' workers queue their completions, and the owner's thread runs them when it calls
// runOne. Any thread may dispatch; one thread runs.
#include "link/unitsession.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace qn::unit {

class LoopDispatcher final : public CompletionDispatcher {
public:
    using Clock = std::chrono::steady_clock;

    void dispatch(Completion completion) override;
    // Runs one completion, waiting for one until `until`; false when none came.
    bool runOne(Clock::time_point until);

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Completion> m_queue;
};

} // namespace qn::unit
