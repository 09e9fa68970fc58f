#include "history/trendseries.h"

#include <algorithm>

namespace qn {

std::string cutUtf8(const std::string &text, std::size_t maxChars)
{
    std::size_t chars = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A character starts at every byte that is not a continuation byte (10xxxxxx).
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            if (chars == maxChars)
                return text.substr(0, i);
            ++chars;
        }
    }
    return text;
}

TrendSeries::TrendSeries(std::string name, double minValue, double maxValue)
    : m_name(cutUtf8(name, kMaxTextLength)), m_minValue(minValue), m_maxValue(maxValue)
{
}

void TrendSeries::addSample(double time, double value)
{
    if (m_digital && value != 0.0)
        value = 1.0;
    m_samples.push_back({time, value});
    if (m_samples.size() > kCapacity)
        m_samples.pop_front();
}

void TrendSeries::clear()
{
    // Hidden while emptying, so a paint that ever ran in between would skip the series.
    const bool wasVisible = m_visible;
    m_visible = false;
    m_samples.clear();
    m_visible = wasVisible;
}

void TrendSeries::release()
{
    const bool wasVisible = m_visible;
    m_visible = false;
    std::deque<TrendSample>().swap(m_samples);
    m_visible = wasVisible;
}

void TrendSeries::setRange(double minValue, double maxValue)
{
    if (minValue < maxValue) {
        m_minValue = minValue;
        m_maxValue = maxValue;
    }
}

void TrendSeries::setDigital(bool digital)
{
    m_digital = digital;
    if (digital) {
        m_minValue = -0.5;
        m_maxValue = 1.5;
        m_unit.clear();
    }
}

void TrendSeries::setColor(int red, int green, int blue)
{
    m_color = std::uint32_t(red & 0xFF) | (std::uint32_t(green & 0xFF) << 8) | (std::uint32_t(blue & 0xFF) << 16);
}

void TrendSeries::setName(const std::string &name)
{
    m_name = cutUtf8(name, kMaxTextLength);
}

void TrendSeries::setUnit(const std::string &unit)
{
    m_unit = cutUtf8(unit, kMaxTextLength);
}

double TrendSeries::firstTime() const
{
    return m_samples.empty() ? 0.0 : m_samples.front().time;
}

double TrendSeries::lastTime() const
{
    return m_samples.empty() ? 0.0 : m_samples.back().time;
}

int TrendSeries::lowerIndex(double t) const
{
    int lo = 0;
    int hi = int(m_samples.size());
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (t <= m_samples[std::size_t(mid)].time)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo;
}

int TrendSeries::upperIndex(double t) const
{
    int lo = 0;
    int hi = int(m_samples.size());
    while (lo < hi) {
        const int mid = (lo + hi) / 2;
        if (t < m_samples[std::size_t(mid)].time)
            hi = mid;
        else
            lo = mid + 1;
    }
    return lo - 1;
}

TrendSelection selectSamples(const TrendSeries &series, double t0, double t1)
{
    TrendSelection sel;
    if (!series.isVisible() || series.count() == 0)
        return sel;
    int first = series.lowerIndex(t0);
    const int last = series.upperIndex(t1);
    if (first > 0)
        --first;
    int n = last - first + 1;
    int step = 1;
    if (n > kMaxDrawnSamples) {
        step = n / kMaxDrawnSamples + 1;
        n = n / step;
        first = last - (n - 1) * step;
    }
    sel.first = first;
    sel.last = last;
    sel.step = step;
    return sel;
}

double earliestTime(std::span<const TrendSeries *const> series)
{
    double earliest = 1e101;
    for (const TrendSeries *s : series)
        if (s && s->count() > 0)
            earliest = std::min(earliest, s->firstTime());
    return earliest > 1e100 ? 0.0 : earliest;
}

double latestTime(std::span<const TrendSeries *const> series)
{
    double latest = 0.0;
    for (const TrendSeries *s : series)
        if (s && s->count() > 0)
            latest = std::max(latest, s->lastTime());
    return latest;
}

} // namespace qn
