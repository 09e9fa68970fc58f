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
    if ((m_dropped + m_samples.size()) % kBlock == 0) {
        m_blocks.push_back({value, value, time, 0, 0});
    } else {
        Block &b = m_blocks.back();
        const auto at = std::uint8_t((m_dropped + m_samples.size()) % kBlock);
        if (value < b.low) {
            b.low = value;
            b.lowAt = at;
        } else if (value > b.high) {
            b.high = value;
            b.highAt = at;
        }
        b.lastTime = time;
    }
    m_samples.push_back({time, value});
    if (m_samples.size() > kCapacity) {
        m_samples.pop_front();
        ++m_dropped;
        if (m_dropped % kBlock == 0)
            m_blocks.pop_front();
    }
}

void TrendSeries::clear()
{
    // Hidden while emptying, so a paint that ever ran in between would skip the series.
    const bool wasVisible = m_visible;
    m_visible = false;
    m_samples.clear();
    m_blocks.clear();
    m_dropped = 0;
    m_visible = wasVisible;
}

void TrendSeries::release()
{
    const bool wasVisible = m_visible;
    m_visible = false;
    std::deque<TrendSample>().swap(m_samples);
    std::deque<Block>().swap(m_blocks);
    m_dropped = 0;
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
    constexpr int block = int(TrendSeries::kBlock);
    // Iterators, not indices: a deque's index costs a division per sample, and a full
    // window is tens of thousands of samples per trace on every repaint.
    auto it = series.m_samples.begin() + first;
    int i = first;
    int lastCount = 0;
    while (i <= last) {
        // Whole runs let the scan jump over most of a column, so the samples where the next
        // columns end are far ahead in memory: ask for them now, guessing each column holds
        // as many samples as the last one, rather than wait for them there.
        if (lastCount > block) {
            for (int ahead = 1; ahead <= 2; ++ahead)
                if (i + ahead * lastCount <= last)
                    __builtin_prefetch(&*(it + ahead * lastCount));
        }
        // One column: the samples before the time where the next column begins. Near that
        // border the product may round the other way than the canvas's division; a sample
        // then counts to the neighbouring column, which changes no extreme of the picture.
        const double column = std::floor((it->time - t0) * perSecond + 0.5);
        const double nextColumn = t0 + (column + 0.5) / perSecond;
        const int begin = i;
        int lowest = i, highest = i;
        double low = it->value, high = low;
        ++i;
        ++it;
        while (i <= last) {
            if ((series.m_dropped + std::size_t(i)) % TrendSeries::kBlock == 0 && i + block - 1 <= last) {
                const TrendSeries::Block &b = series.m_blocks[series.blockOf(std::size_t(i))];
                if (b.lastTime < nextColumn) {
                    // A whole run inside the column: its extremes stand for its samples.
                    if (b.low < low) {
                        low = b.low;
                        lowest = i + b.lowAt;
                    }
                    if (b.high > high) {
                        high = b.high;
                        highest = i + b.highAt;
                    }
                    i += block;
                    it += block;
                    continue;
                }
            }
            if (!(it->time < nextColumn))
                break;
            const double v = it->value;
            if (v < low) {
                low = v;
                lowest = i;
            } else if (v > high) {
                high = v;
                highest = i;
            }
            ++i;
            ++it;
        }
        const int end = i - 1;
        lastCount = end - begin + 1;
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
