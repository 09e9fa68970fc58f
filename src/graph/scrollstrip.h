#pragma once
// The strip under the trend graph that moves its window back through the stored history.
// A plain horizontal scroll bar on the history's scale (millionths of it), laid out with the
// canvas; the canvas listens to its actions. GUI thread only.
#include <QScrollBar>

#include <optional>

namespace qn {

class TrendCanvas;

class TrendScrollStrip final : public QScrollBar {
    Q_OBJECT
public:
    explicit TrendScrollStrip(QWidget *parent = nullptr);

    // The thumb of a window `page` millionths wide at `position`, without a signal.
    void showWindow(int position, int page);

protected:
    void sliderChange(SliderChange change) override;
    void paintEvent(QPaintEvent *event) override;

private:
    // What the bar shows. While the window follows the data its page and position change
    // with every reading, by far less than a pixel of the thumb once the history is long;
    // the style draws the bar with gradients, which costs more than the graph's moving
    // picture, so the bar is drawn again only when this changes.
    struct Look {
        QRect thumb;
        bool atStart, atEnd; // a style may grey out the arrow at an end
        bool operator==(const Look &) const = default;
    };
    Look look() const;
    std::optional<Look> m_shown;
};

// A canvas at canvasRect in parent with its scroll strip under it (a 25th of its height),
// the two in a widget and layout of their own (the canvas's parent widget, which a page may
// put in its layout: the canvas then grows with it); the canvas follows the data. Both go
// with parent.
TrendCanvas *addCanvasWithStrip(QWidget *parent, const QRect &canvasRect);

} // namespace qn
