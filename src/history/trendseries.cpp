#include "history/trendseries.h"

#include <algorithm>
#include <cmath>

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
    if (!m_samples.empty() && !(time >= m_samples.back().time))
        time = m_samples.back().time;
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

void selectSamples(const TrendSeries &series, double t0, double t1, int columns, std::vector<int> &out)
{
    out.clear();
    if (!series.isVisible() || series.count() == 0)
        return;
    int first = series.lowerIndex(t0);
    const int last = series.upperIndex(t1);
    if (first > 0)
        --first;
    if (last < first)
        return;
    const int n = last - first + 1;
    if (n <= 4 * (columns + 1) || !(t1 > t0) || columns <= 0) {
        out.reserve(std::size_t(n));
        for (int i = first; i <= last; ++i)
            out.push_back(i);
        return;
    }
    out.reserve(4 * std::size_t(columns + 2));
    const double perSecond = columns / (t1 - t0);
    int i = first;
    while (i <= last) {
        // One column: the samples before the time where the next column begins. Near that
        // border the product may round the other way than the canvas's division; a sample
        // then counts to the neighbouring column, which changes no extreme of the picture.
        const double column = std::floor((series.At(std::size_t(i)).time - t0) * perSecond + 0.5);
        const double nextColumn = t0 + (column + 0.5) / perSecond;
        const int begin = i;
        int lowest = i, highest = i;
        double low = series.At(std::size_t(i)).value, high = low;
        for (++i; i <= last; ++i) {
            const TrendSample &p = series.At(std::size_t(i));
            if (!(p.time < nextColumn))
                break;
            if (p.value < low) {
                low = p.value;
                lowest = i;
            } else if (p.value > high) {
                high = p.value;
                highest = i;
            }
        }
        const int end = i - 1;
        const int a = std::min(lowest, highest), b = std::max(lowest, highest);
        out.push_back(begin);
        if (a > begin)
            out.push_back(a);
        if (b > a && b > begin)
            out.push_back(b);
        if (end > b && end > begin)
            out.push_back(end);
    }
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
