#pragma once
// The stretch of time the trend graph shows: where it stands, whether it follows the newest
// readings, and where the scroll strip has moved it in the stored history. Plain C++, so
// its placement rules are tested without a widget. GUI thread only, as the canvas that
// owns it.
namespace qn {

class TimeWindow final {
public:
    // The strip's scale: millionths of the stored history.
    static constexpr int kScrollMax = 999'999;
    static constexpr int kScrollFullPage = 1'000'000;

    // On (a graph with a scroll strip), a span and more than one sample time place the
    // window on the data: it follows the newest, or stays where the operator scrolled.
    void setFollowsData(bool follows) { m_followsData = follows; }
    bool followsData() const { return m_followsData; }

    // Rounded to whole seconds, minutes, hours or days by size; false (ignored) unless > 0.
    bool setSecondsPerDivision(double seconds);
    double secondsPerDivision() const { return m_secondsPerDivision; }
    // Width of the followed window; ignored when negative, 0 switches the placement off.
    void setSpan(double seconds);
    double span() const { return m_span; }

    // Places the window on the data [earliest, latest] when it follows it (the arguments
    // are not used); otherwise the window becomes [start, end] unless end <= start, the grid
    // anchored at `anchor` (at `end` when the anchor lies outside). With nothing to place it
    // on, a window that follows keeps its left edge and takes the span.
    void place(double start, double end, double anchor, double earliest, double latest);

    // The scroll strip's moves. Each gives false, and moves nothing, when the position
    // stands at that end already; after a true, placeAfterScroll places the window.
    bool lineBack() { return stepBack(m_scrollPage / 16 + 1); }
    bool lineForward() { return stepForward(m_scrollPage / 16 + 1); }
    bool pageBack() { return stepBack(m_scrollPage * 2 / 3 + 1); }
    bool pageForward() { return stepForward(m_scrollPage * 2 / 3 + 1); }
    bool toOldest();
    bool toNewest();
    void scrollTo(int position);
    // Whether the window moved.
    bool placeAfterScroll(double earliest, double latest) { return placeOnData(earliest, latest, true); }

    double start() const { return m_start; }
    double end() const { return m_end; }
    double gridAnchor() const { return m_gridAnchor; }
    bool isOpen() const { return m_end > m_start; }
    int scrollPosition() const { return m_scrollPos; }
    int scrollPage() const { return m_scrollPage; }

private:
    bool placeOnData(double earliest, double latest, bool afterScroll);
    bool atNewestEnd() const { return unsigned(m_scrollPos) + unsigned(m_scrollPage) >= unsigned(kScrollMax); }
    bool stepBack(int by);
    bool stepForward(int by);
    void setPosition(int position);

    bool m_followsData = false;
    double m_start = 0.0;
    double m_end = 0.0;
    double m_gridAnchor = 0.0;
    double m_secondsPerDivision = 0.0;
    double m_span = 0.0;
    int m_scrollPos = 0;
    int m_scrollPage = kScrollFullPage;
    // What the previous placement used, to tell a new span or a scroll from a reading.
    double m_lastSpan = 0.0;
    int m_lastPos = 0;
};

} // namespace qn
