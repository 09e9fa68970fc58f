#include "unit/ownerloop.h"

namespace qn::unit {

void OwnerLoop::post(std::function<void()> f)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(f));
    }
    m_cv.notify_one();
}

bool OwnerLoop::runOne(Clock::time_point until)
{
    std::function<void()> f;
    {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_until(lock, until, [this] { return !m_queue.empty(); }))
            return false;
        f = std::move(m_queue.front());
        m_queue.pop_front();
    }
    f();
    return true;
}

} // namespace qn::unit
