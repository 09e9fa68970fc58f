#include "graph/timewindow.h"

#include "graph/coordinates.h"

#include <algorithm>
#include <cmath>

namespace qn {

bool TimeWindow::setSecondsPerDivision(double seconds)
{
    if (!(seconds > 0))
        return false;
    const double n = std::trunc(seconds);
    if (n < 1)
        m_secondsPerDivision = seconds;
    else if (n < 60)
        m_secondsPerDivision = n;
    else if (n < 3600)
        m_secondsPerDivision = std::floor(n / 60) * 60;
    else if (n < 86400)
        m_secondsPerDivision = std::floor(n / 3600) * 3600;
    else
        m_secondsPerDivision = std::floor(n / 86400) * 86400;
    return true;
}

void TimeWindow::setSpan(double seconds)
{
    if (seconds >= 0)
        m_span = seconds;
}

void TimeWindow::place(double start, double end, double anchor, double earliest, double latest)
{
    if (m_followsData && m_span != 0 && latest > earliest) {
        placeOnData(earliest, latest, false);
        return;
    }
    if (end > start) {
        m_start = start;
        m_end = end;
        m_gridAnchor = (anchor < start || anchor > end) ? end : anchor;
    } else if (m_followsData && m_span > 0 && m_end > m_start && m_end - m_start != m_span) {
        // No data to follow yet, but a display period was chosen: show it from the same start.
        m_end = m_start + m_span;
        if (m_gridAnchor > m_end)
            m_gridAnchor = m_end;
    }
}

bool TimeWindow::placeOnData(double earliest, double latest, bool afterScroll)
{
    if (m_span == 0 || latest <= earliest)
        return false;
    const double extent = latest - earliest;
    const auto pageFor = [&] { return int(std::trunc(m_span * 1'000'000.0 / extent)); };
    const auto posFor = [&] { return std::max(0, toPixel(std::trunc((m_start - earliest) * 1'000'000.0 / extent))); };

    if (extent <= m_span) {
        m_start = earliest;
        m_end = earliest + m_span;
        m_gridAnchor = latest;
        m_scrollPos = 0;
        m_scrollPage = kScrollFullPage;
    } else if (m_scrollPos + m_scrollPage >= kScrollMax) {
        m_end = latest;
        m_start = latest - m_span;
        m_gridAnchor = latest;
        m_scrollPage = pageFor();
        m_scrollPos = std::max(0, kScrollMax - m_scrollPage);
    } else if (m_span != m_lastSpan) {
        m_end = m_start + m_span;
        m_gridAnchor = m_end;
        m_scrollPage = pageFor();
        m_scrollPos = posFor();
    } else if (m_scrollPos != m_lastPos) {
        m_start = earliest + extent / 1'000'000.0 * m_scrollPos;
        m_end = m_start + m_span;
        m_gridAnchor = m_end;
    } else {
        if (afterScroll)
            return false;
        m_scrollPage = pageFor();
        m_scrollPos = posFor();
    }
    if (m_span > 1)
        m_gridAnchor = std::floor(m_gridAnchor);
    m_lastSpan = m_span;
    m_lastPos = m_scrollPos;
    return true;
}

bool TimeWindow::stepBack(int by)
{
    if (m_scrollPos <= 0)
        return false;
    setPosition(m_scrollPos - by);
    return true;
}

bool TimeWindow::stepForward(int by)
{
    if (atNewestEnd())
        return false;
    setPosition(m_scrollPos + by);
    return true;
}

bool TimeWindow::toOldest()
{
    if (m_scrollPos <= 0)
        return false;
    setPosition(0);
    return true;
}

bool TimeWindow::toNewest()
{
    if (atNewestEnd())
        return false;
    setPosition(kScrollFullPage - m_scrollPage);
    return true;
}

void TimeWindow::scrollTo(int position)
{
    setPosition(position);
}

void TimeWindow::setPosition(int position)
{
    // The thumb never runs past either end; at the newest end the window follows again.
    position = std::max(0, position);
    if (position + m_scrollPage >= kScrollMax)
        position = std::max(0, kScrollMax - m_scrollPage);
    m_scrollPos = position;
}

} // namespace qn
