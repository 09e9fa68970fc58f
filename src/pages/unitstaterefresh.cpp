#include "pages/unitstaterefresh.h"

namespace qn {

void UnitStateRefresh::tick()
{
    if (!m_enabled || m_waiting || m_steps.empty())
        return;
    const Step &step = m_steps[m_next];
    m_next = (m_next + 1) % m_steps.size();
    m_waiting = true;
    step([this](bool) {
        m_waiting = false;
        ++m_readsDone;
    });
}

} // namespace qn
