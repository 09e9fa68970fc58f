#include "unit/rereadplan.h"

namespace qn::unit {

RereadPlan::RereadPlan(Model model, RereadScope scope, Clock::duration interval) : m_interval(interval)
{
    forEachSettingStep(model, [&](Step step) {
        if (scope == RereadScope::Everything || rowItem(step.item))
            m_items.push_back(step);
    });
    m_items.push_back({Item::Identity, 0});
    m_due.assign(m_items.size(), Clock::time_point{});
}

void RereadPlan::restart(Clock::time_point now)
{
    const auto n = Clock::duration::rep(m_items.size());
    for (std::size_t i = 0; i < m_due.size(); ++i)
        m_due[i] = now + m_interval * Clock::duration::rep(i + 1) / n;
}

void RereadPlan::takeDue(Clock::time_point now, Clock::duration period, std::vector<Step> &steps)
{
    // An item falling due before the next cycle is read in this one: the gap between two
    // reads of an item never exceeds the interval, whatever the period.
    const Clock::time_point horizon = now + period;
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_due[i] < horizon) {
            steps.push_back(m_items[i]);
            m_due[i] = now + m_interval;
        }
}

} // namespace qn::unit
