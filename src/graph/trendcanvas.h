#pragma once
// The trend graph's drawing surface: plots up to 20 series against wall-clock time with a
// dotted time grid, the focused series' value axis and a mouse read-out. With a scroll strip
// beside it the window follows the data and the strip moves it back through the history.
//
// Threads: GUI thread only, for every function. Completions of a unit session run on the
// GUI thread in this program, so the device pages append samples and place the window
// from there; painting is on the GUI thread too. Nothing here is locked.
#include "graph/backdroppainter.h"
#include "graph/scrollstrip.h"
#include "graph/timewindow.h"
#include "graph/trendscene.h"
#include "history/trendseries.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <utility>

#include <memory>
#include <vector>

namespace qn {


class GraphExporter;

class TrendCanvas final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxSeries = 20;

    explicit TrendCanvas(QWidget *parent = nullptr);
    ~TrendCanvas() override;

    // The strip that moves the window (null: none). With one the window follows the data
    // (TimeWindow::setFollowsData); the strip is not owned.
    void setScrollStrip(TrendScrollStrip *strip);
    TrendScrollStrip *scrollStrip() const { return m_strip; }

    // Series: owned by the canvas, index = series number. None (nullptr) once 20 exist.
    // The name is cut to 99 characters; unit "", colour white, visible, not digital.
    TrendSeries *addSeries(const QString &name, double minValue, double maxValue);
    TrendSeries *series(int index) const; // nullptr when out of range
    int seriesCount() const { return int(m_series.size()); }

    // Ignored unless 0 <= index < seriesCount(); the picture shows it at once.
    void setFocusSeries(int index);
    int focusSeries() const { return m_focusIndex; }
    // Ignored unless > 0 (see TimeWindow); shown at once.
    void setSecondsPerDivision(double seconds);
    double secondsPerDivision() const { return m_window.secondsPerDivision(); }
    // The width the period list defines; Home comes back to it.
    void setSpan(double seconds);
    double span() const { return m_window.span(); }

    // Places the window (TimeWindow::place) and shows whatever changed. (0, 0) is what the
    // pages call after every reading and after any change of focus, period or visibility:
    // the picture is drawn again whenever one of its pixels would change, and only then.
    void setTimeRange(double start, double end, double anchor);
    void setTimeRange(double start, double end) { setTimeRange(start, end, end); }

    void enableCursor(bool enabled);
    bool cursorEnabled() const { return m_cursorEnabled; }

    // The operator's view, as the wheel, a drag and the keys move it; each shows at once.
    // steps > 0 zoom in. Time: around the time at x, through the display periods' range.
    // Value: the focused series' range around the value at y.
    void zoomTimeAt(int x, int steps);
    void zoomValueAt(int y, int steps);
    // The picture follows the pointer: dx in time, dy (inValue) in the focused series' values.
    void panByPixels(int dx, int dy, bool inValue);
    // Home: the defined width and value ranges, following the newest reading.
    void returnToDefinedView();
    // "最新へ" and End: following the newest reading again.
    void followNewest();
    // Whether the window follows the newest reading; "最新へ" shows whenever it does not.
    bool isLive() const { return m_window.isLive(); }
    QWidget *liveButton() const { return m_liveButton; }
    // Save and copy (context menu and shortcuts), null until first asked for.
    GraphExporter &exporter();

    // Window state, for the pages and for tests.
    const TimeWindow &timeWindow() const { return m_window; }
    double viewStart() const { return m_window.start(); }
    double viewEnd() const { return m_window.end(); }
    double gridAnchor() const { return m_window.gridAnchor(); }
    double earliestTime() const;
    double latestTime() const;
    bool pictureValid() const { return m_pictureValid; }
    int refreshCount() const { return m_refreshCount; } // full-picture invalidations so far

    // Its left edge leaves room for the focused series' widest value label.
    PlotArea plotArea() const { return plotAreaOf(size(), series(m_focusIndex)); }
    // The cursor read-out box, (0.4 w, 0) up to but excluding (0.8 w, T - 2).
    QRect readoutRect() const;

    // Draws the whole picture (background, time axis, value axis, traces) as a full repaint
    // does, at the canvas's size, with the samples selected afresh: what a full repaint costs.
    // The image's device pixel ratio is honoured; the painter form serves any device.
    void renderPicture(QImage &image) const;
    void renderPicture(QPainter &painter) const;
    // The picture plus the read-out at a device pixel ratio, as the screen would show it.
    QImage renderToImage(qreal devicePixelRatio = 1.0) const;

    // Everything one full picture shows: the picture is drawn again only when this changes.
    TrendScene scene() const;

signals:
    // The window's width or its following the newest reading changed by the operator's view.
    void viewChanged();

protected:
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void onStripAction(int action);
    void setUpOperatorView();
    void viewMoved();
    void placeLiveButton();
    void updateLiveButton();
    void setFocusValueView(double minValue, double maxValue);
    void showWindowOnStrip();
    void refreshPicture();
    void refreshReadout();
    BackdropPainter::Picture picture() const;
    QRect movingRect() const; // what changes while the window only follows the data
    void movePicture(QPainter &painter);
    void renderScene(QPainter &painter, const TrendScene &scene, const QRegion &dirty) const;
    void drawReadout(QPainter &painter) const;
    QString readoutShownText() const; // empty when no read-out stands

    std::vector<std::unique_ptr<TrendSeries>> m_series;
    TimeWindow m_window; // each canvas its own, so one unit's window never moves another's
    QPointer<TrendScrollStrip> m_strip;
    int m_focusIndex = 0;
    bool m_cursorEnabled = false;
    int m_mouseX = -1;
    int m_mouseY = -1;
    bool m_pictureValid = true;
    int m_refreshCount = 0;
    // The picture as it stands, drawn at the next paint; stale while the canvas is hidden,
    // where working it out on every reading would be wasted.
    TrendScene m_scene;
    bool m_sceneStale = false;
    // What the window's backing store shows of the canvas, after the last paint.
    TrendScene m_painted;
    bool m_paintedValid = false;
    // Where the traces grew since the last paint, when nothing else changed (empty else).
    QRegion m_grownSinceLastPaint;
    QString m_readoutShown;
    mutable BackdropPainter m_backdrop; // its label layouts are a cache
    // The operator's view: what Home returns to, and a drag under way.
    double m_definedSpan = 0;
    double m_definedGrid = 0;
    // By series: the range a page gave it and the one the operator's zoom left it with. A
    // range the page sets meanwhile is its own again, which Home keeps.
    struct ValueView {
        std::pair<double, double> defined, zoomed;
    };
    std::vector<std::optional<ValueView>> m_valueViews;
    std::optional<QPoint> m_dragFrom;
    bool m_dragInValue = false;
    QWidget *m_liveButton = nullptr;
    std::unique_ptr<GraphExporter> m_exporter;
};

} // namespace qn
