#include "unit/loopdispatcher.h"

#include <optional>

namespace qn::unit {

void LoopDispatcher::dispatch(Completion completion)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(completion));
    }
    m_cv.notify_one();
}

bool LoopDispatcher::runOne(Clock::time_point until)
{
    std::optional<Completion> completion;
    {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_until(lock, until, [this] { return !m_queue.empty(); }))
            return false;
        completion.emplace(std::move(m_queue.front()));
        m_queue.pop_front();
    }
    completion->run();
    return true;
}

} // namespace qn::unit
