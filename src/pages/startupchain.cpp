#include "pages/startupchain.h"

namespace qn {

void StartupChain::run(std::vector<Step> steps)
{
    ++m_generation;
    m_steps = std::move(steps);
    m_next = 0;
    m_waiting = false;
    runNext();
}

void StartupChain::stepDone(unsigned generation, bool ok)
{
    if (generation != m_generation)
        return;
    m_waiting = false;
    if (!ok) {
        m_steps.clear();
        m_next = 0;
        if (m_failed)
            m_failed();
        return;
    }
    runNext();
}

void StartupChain::runNext()
{
    if (m_next >= m_steps.size())
        return;
    // The step may start another chain; take it out first.
    const Step step = m_steps[m_next++];
    m_waiting = true;
    const unsigned generation = m_generation;
    step([this, generation](bool ok) { stepDone(generation, ok); });
}

} // namespace qn
