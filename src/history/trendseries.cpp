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
        m_blocks.push_back({value, value, time, time, 0, 0});
        m_cuts.push_back({});
    } else {
        Block &b = m_blocks.back();
        const auto at = std::uint8_t((m_dropped + m_samples.size()) % kBlock);
        if (value < b.low) {
            b.low = value;
            b.lowTime = time;
            b.lowAt = at;
        } else if (value > b.high) {
            b.high = value;
            b.highTime = time;
            b.highAt = at;
        }
    }
    m_samples.push_back({time, value});
    if ((m_dropped + m_samples.size()) % kBlock == 0)
        cutRun();
    if (m_samples.size() > kCapacity) {
        m_samples.pop_front();
        ++m_dropped;
        if (m_dropped % kBlock == 0) {
            m_blocks.pop_front();
            m_cuts.pop_front();
        }
    }
}

void TrendSeries::cutRun()
{
    const Block &b = m_blocks.back();
    Cuts &c = m_cuts.back();
    double v[kBlock];
    std::transform(m_samples.end() - kBlock, m_samples.end(), v, [](const TrendSample &p) { return p.value; });
    c.low[0] = c.high[0] = 0; // never asked for: a cut before the first place leaves the run whole
    // Before the run's extreme: the first extreme of the part in front of the cut.
    int low = 0, high = 0;
    for (int k = 1; k < int(kBlock); ++k) {
        if (v[k - 1] < v[low])
            low = k - 1;
        if (v[k - 1] > v[high])
            high = k - 1;
        if (k <= b.lowAt)
            c.low[k] = std::uint8_t(low);
        if (k <= b.highAt)
            c.high[k] = std::uint8_t(high);
    }
    // After it: the first extreme of the part from the cut on (ties go to the earlier place).
    low = high = int(kBlock) - 1;
    for (int k = int(kBlock) - 1; k > 0; --k) {
        if (v[k] <= v[low])
            low = k;
        if (v[k] >= v[high])
            high = k;
        if (k > b.lowAt)
            c.low[k] = std::uint8_t(low);
        if (k > b.highAt)
            c.high[k] = std::uint8_t(high);
    }
}

void TrendSeries::clear()
{
    m_samples.clear();
    m_blocks.clear();
    m_cuts.clear();
    m_dropped = 0;
}

void TrendSeries::release()
{
    m_samples.release();
    m_blocks.release();
    m_cuts.release();
    m_dropped = 0;
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

void selectSamples(const TrendSeries &series, double t0, double t1, int columns, std::vector<SelectedSample> &out)
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
    // Plain pointers: nothing appends while a selection runs.
    const TrendSample *const samples = series.m_samples.begin();
    const int n = last - first + 1;
    if (n <= 4 * (columns + 1) || !(t1 > t0) || columns <= 0) {
        out.reserve(std::size_t(n));
        for (int i = first; i <= last; ++i)
            out.push_back({samples[i], i});
        return;
    }
    out.reserve(4 * std::size_t(columns + 2));
    const double perSecond = columns / (t1 - t0);
    const TrendSeries::Block *const blocks = series.m_blocks.begin();
    const TrendSeries::Cuts *const cuts = series.m_cuts.begin();
    constexpr int block = int(TrendSeries::kBlock);
    // The place of sample i in its run (0 to 31). The runs but the newest are whole.
    const auto place = [&](int i) { return int((series.m_dropped + std::size_t(i)) % TrendSeries::kBlock); };
    const int wholeRuns = int(series.m_cuts.size()) - (place(int(series.count())) != 0 ? 1 : 0);
    int i = first;
    int count = 1; // samples in the last column: where the next column likely ends
    while (i <= last) {
        // One column: sample i and those after it before the time where the next column
        // begins. Near that border the product may round the other way than the canvas's
        // division; a sample then counts to the neighbouring column, which changes no
        // extreme of the picture.
        const TrendSample &p = samples[std::size_t(i)];
        const double column = std::floor((p.time - t0) * perSecond + 0.5);
        const double nextColumn = t0 + (column + 0.5) / perSecond;
        const auto inColumn = [&](int k) { return samples[std::size_t(k)].time < nextColumn; };
        // e, the first sample of the next column: two looks where the last column's width
        // puts it; else a gallop from there, back or on, and a binary search.
        int lo = i + 1, hi;
        const int guess = std::min(i + count, last + 1);
        if (guess > lo && !inColumn(guess - 1)) {
            // Shorter than the last column: gallop back from the guess.
            hi = guess - 1;
            for (int step = 1;; step *= 2) {
                const int k = hi - step;
                if (k < lo)
                    break;
                if (inColumn(k)) {
                    lo = k + 1;
                    break;
                }
                hi = k;
            }
        } else {
            lo = std::max(lo, guess);
            hi = lo;
            for (int step = 1; hi <= last && inColumn(hi); step *= 2) {
                lo = hi + 1;
                hi += step;
            }
            hi = std::min(hi, last + 1);
        }
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (inColumn(mid))
                lo = mid + 1;
            else
                hi = mid;
        }
        const int e = lo;
        count = e - i;
        // Where the next column likely ends: its border sample and its run's cuts are read
        // then, and seldom in the cache by that time (a repaint goes over the whole picture
        // in between).
        if (const int ahead = e + count; ahead <= last) {
            __builtin_prefetch(&samples[std::size_t(ahead)]);
            if (const std::size_t run = series.blockOf(std::size_t(ahead)); run < series.m_cuts.size())
                __builtin_prefetch(&cuts[run]);
        }

        // The first lowest and first highest: a value equal to the one held wins only when
        // it comes earlier, so the runs can be gone through in any order.
        SelectedSample low{p, i}, high = low;
        const auto beats = [&](int k, double value, bool asLow) {
            const SelectedSample &held = asLow ? low : high;
            return (asLow ? value < held.sample.value : value > held.sample.value)
                   || (value == held.sample.value && k < held.index);
        };
        const auto take = [&](int k, double time, double value, bool asLow) {
            if (beats(k, value, asLow))
                (asLow ? low : high) = {{time, value}, k};
        };
        const auto scan = [&](int from, int to) {
            const TrendSample *it = samples + from;
            for (int k = from; k < to; ++k, ++it) {
                take(k, it->time, it->value, true);
                take(k, it->time, it->value, false);
            }
        };
        const auto whole = [&](std::size_t run, int start) {
            const TrendSeries::Block &b = blocks[run];
            take(start + b.lowAt, b.lowTime, b.low, true);
            take(start + b.highAt, b.highTime, b.high, false);
        };
        // A part of a whole run, before or from place `cut`, that starts (place 0) at index
        // `start`: its extremes are the run's where they lie inside, else the cut's. The cut's
        // sample is read only where it could win: no sample of the part goes beyond the
        // run's own extreme. Most columns are settled by their whole runs, and the cut's
        // sample would be a cache miss. (Left to itself the compiler calls this, which costs
        // a tenth of the selection.)
        const auto part = [&](std::size_t run, int start, int cut, bool front) __attribute__((always_inline)) {
            const TrendSeries::Block &b = blocks[run];
            const int first = front ? start : start + cut; // the part's earliest index
            const auto side = [&](bool asLow, int at, double value, double time) __attribute__((always_inline)) {
                if (front ? at < cut : at >= cut) {
                    take(start + at, time, value, asLow);
                } else if (beats(first, value, asLow)) {
                    const TrendSeries::Cuts &c = cuts[run];
                    const int k = start + (asLow ? c.low : c.high)[cut];
                    const TrendSample &q = samples[std::size_t(k)];
                    take(k, q.time, q.value, asLow);
                }
            };
            side(true, b.lowAt, b.low, b.lowTime);
            side(false, b.highAt, b.high, b.highTime);
        };
        const std::size_t ri = series.blockOf(std::size_t(i)), re = series.blockOf(std::size_t(e - 1));
        if (ri == re) {
            scan(i + 1, e);
        } else {
            // The runs in between first, then the part of run ri from i and the part of run
            // re to e - 1.
            const int front = i - place(i);
            int start = front + block;
            for (std::size_t run = ri + 1; run < re; ++run, start += block)
                whole(run, start);
            part(ri, front, place(i), false);
            if (int(re) < wholeRuns)
                part(re, start, e - start, true);
            else // the newest run, not whole yet
                scan(start, e);
        }
        const SelectedSample &a = low.index < high.index ? low : high;
        const SelectedSample &b = low.index < high.index ? high : low;
        out.push_back({p, i});
        if (a.index > i)
            out.push_back(a);
        if (b.index > a.index && b.index > i)
            out.push_back(b);
        if (e - 1 > b.index && e - 1 > i)
            out.push_back({samples[std::size_t(e - 1)], e - 1});
        i = e;
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
