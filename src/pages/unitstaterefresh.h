#pragma once
// What another client may change on a unit (ranges, outputs, thresholds ...), read again
// and again while a page is open: the page's reads of its unit's state, one request per
// tick, each posted once the one before has come back, round and round. A change made
// elsewhere is thus on the page within one round: as many ticks as the page has reads
// (13 at most, a QN-220: 1.3 s), plus the replies' time. A failure shows no message: the
// window's link state says it, and a reconnect reads everything again.
// Plain bookkeeping, no timers of its own: the page reports its ticks. GUI thread only.
#include "pages/startupchain.h"

#include <cstddef>
#include <vector>

namespace qn {

class UnitStateRefresh final {
public:
    using Step = StartupChain::Step;

    void setSteps(std::vector<Step> steps)
    {
        m_steps = std::move(steps);
        m_next = 0;
    }
    void setEnabled(bool on) { m_enabled = on; }
    bool enabled() const { return m_enabled; }
    // One tick of the page: posts the next read unless the last one is still on its way.
    void tick();
    // Reads done since the page opened (tests wait on it).
    int readsDone() const { return m_readsDone; }
    int roundLength() const { return int(m_steps.size()); }

private:
    std::vector<Step> m_steps;
    std::size_t m_next = 0;
    bool m_enabled = true;
    bool m_waiting = false;
    int m_readsDone = 0;
};

} // namespace qn
