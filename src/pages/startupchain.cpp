#include "pages/startupchain.h"

namespace qn {

void StartupChain::run(std::vector<Step> steps)
{
    m_steps = std::move(steps);
    m_next = 0;
    stepDone(true);
}

void StartupChain::stepDone(bool ok)
{
    if (!ok) {
        m_steps.clear();
        m_next = 0;
        if (m_failed)
            m_failed();
        return;
    }
    if (m_next >= m_steps.size())
        return;
    // The step may start another chain; take it out first.
    const Step step = m_steps[m_next++];
    step();
}

} // namespace qn
