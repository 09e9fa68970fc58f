#pragma once
// The in-memory history of one channel of the trend graph, and the queries the canvas
// runs over it. No Qt here, so the history builds and is tested without the GUI.
//
// Threads: in this program every completion of a unit session runs on the GUI thread, so
// appends, clears and the canvas's painting all happen on that one thread and the series
// carry no lock. Keep it that way: if a writer is ever moved to another thread, guard every
// series of a canvas with one mutex held by the writer and by the paint.
#include "history/slidingbuffer.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qn {

struct TrendSample {
    double time = 0.0;  // seconds since 1970-01-01 00:00:00 UTC, to the millisecond
    double value = 0.0; // display units, or 0.0 / 1.0 for an on/off channel
};

struct SelectedSample; // what selectSamples (below) takes from a series

class TrendSeries final {
public:
    static constexpr std::size_t kCapacity = 99'999;  // samples kept after an append
    static constexpr std::size_t kMaxTextLength = 99; // characters of a name or unit

    // The range is stored as given; setRange below refuses one that is not min < max.
    TrendSeries(std::string name, double minValue, double maxValue);

    // On a digital series any non-zero value is stored as 1.0. Appends at the newest end
    // and drops the oldest sample once the count reaches 100,000 (one per append).
    // The lookups below need times that never decrease, and the wall clock can step back
    // (a time sync, a manual change): a time before the newest one, or not a number, is
    // stored as the newest one.
    void addSample(double time, double value);
    // Removes every sample and keeps the storage for the next ones.
    void clear();
    // Removes every sample and gives the storage back.
    void release();

    void setRange(double minValue, double maxValue); // ignored unless minValue < maxValue
    // true also sets the range to -0.5..1.5 and the unit to "".
    void setDigital(bool digital);
    void setVisible(bool visible) { m_visible = visible; }
    void setColor(int red, int green, int blue); // each 0-255
    // Texts are UTF-8 and cut to 99 characters (whole characters, never half of one).
    void setName(const std::string &name);
    void setUnit(const std::string &unit);

    const std::string &name() const { return m_name; }
    const std::string &unit() const { return m_unit; }
    double minValue() const { return m_minValue; }
    double maxValue() const { return m_maxValue; }
    // red + green * 256 + blue * 65536
    std::uint32_t color() const { return m_color; }
    int red() const { return int(m_color & 0xFF); }
    int green() const { return int((m_color >> 8) & 0xFF); }
    int blue() const { return int((m_color >> 16) & 0xFF); }
    bool isVisible() const { return m_visible; }
    bool isDigital() const { return m_digital; }

    std::size_t count() const { return m_samples.size(); }
    const TrendSample &at(std::size_t index) const { return m_samples[index]; } // 0 = oldest
    std::span<const TrendSample> samples() const { return {m_samples.begin(), m_samples.end()}; }
    double firstTime() const; // 0.0 when empty
    double lastTime() const;  // 0.0 when empty

    // First index whose time >= t (count() when t is after the newest). Non-empty series only.
    int lowerIndex(double t) const;
    // Last index whose time <= t (-1 when t is before the oldest). Non-empty series only.
    int upperIndex(double t) const;

private:
    friend void selectSamples(const TrendSeries &, double, double, int, std::vector<SelectedSample> &);

    // The lowest and highest value of each run of kBlock samples, counted from the first
    // sample ever appended (so the runs stay put while the oldest samples are dropped): the
    // selection for a wide window takes a whole run from here instead of sample by sample.
    static constexpr std::size_t kBlock = 32;
    struct Block {
        double low, high;            // first lowest and first highest value
        double lowTime, highTime;    // and their times
        std::uint8_t lowAt, highAt;  // the extremes' places in the run
    };
    // For a whole run, cut in two before its place k (1 to 31): the first lowest of the
    // part without the run's lowest sample, [0, k) when k <= lowAt, else [k, 32); the same
    // for the highest. With the run's own extremes that gives the extremes of either part
    // from two look-ups, where a column of the selection begins or ends inside the run.
    struct alignas(64) Cuts { // one cache line: a column's border reads both halves
        std::uint8_t low[kBlock];
        std::uint8_t high[kBlock];
    };
    void cutRun(); // fills the Cuts of the newest run, which the last sample made whole
    // Index of the run that sample `index` (0 = oldest now) belongs to, in m_blocks.
    std::size_t blockOf(std::size_t index) const { return (m_dropped + index) / kBlock - m_dropped / kBlock; }

    SlidingBuffer<TrendSample> m_samples{kCapacity + 1};
    SlidingBuffer<Block> m_blocks{kCapacity / kBlock + 2};
    // One per run, in step with m_blocks; filled once the run is whole.
    SlidingBuffer<Cuts> m_cuts{kCapacity / kBlock + 2};
    std::size_t m_dropped = 0; // samples dropped from the front since the last clear
    std::string m_name;
    std::string m_unit;
    double m_minValue;
    double m_maxValue;
    std::uint32_t m_color = 0xFFFFFF;
    bool m_visible = true;
    bool m_digital = false;
};

struct SelectedSample {
    TrendSample sample;
    int index; // 0 = oldest
};

// The samples a trace draws for the window [t0, t1] laid over `columns` pixel columns
// (column of t = trunc((t - t0) * columns / (t1 - t0) + 0.5), as the canvas maps x): of the
// samples in each column the first, the lowest, the highest and the last, in time order, so
// every extreme inside the window is drawn however many samples the window holds (at most
// 4 per column). When the window holds no more than that, every sample is taken. The sample
// just before t0 leads, so a trace enters from the left edge. The samples, oldest first,
// replace the contents of `out`; nothing for a hidden or empty series.
void selectSamples(const TrendSeries &series, double t0, double t1, int columns, std::vector<SelectedSample> &out);

// Over the series that hold samples: the smallest first time (0.0 when none holds any) and
// the largest last time (0.0 when none holds any). Null entries are skipped.
double earliestTime(std::span<const TrendSeries *const> series);
double latestTime(std::span<const TrendSeries *const> series);

// Cuts UTF-8 text to at most maxChars characters without splitting a character.
std::string cutUtf8(const std::string &text, std::size_t maxChars);

} // namespace qn
