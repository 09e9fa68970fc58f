#pragma once
// The trend graph's drawing surface: plots up to 20 series against wall-clock time with a
// dotted time grid, the focused series' value axis, a mouse read-out and, optionally, a
// scroll strip below it that moves the time window back through the stored history.
//
// Threads: GUI thread only, for every function. Completions of a unit session run on the
// GUI thread in this program, so the device pages append samples and call SetTimeRange
// from there; painting is on the GUI thread too. Nothing here is locked.
//
// Create canvases through CanvasRegistry (canvasregistry.h), which hands out the IDs.
#include "history/trendseries.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QStaticText>
#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

class QScrollBar;

namespace qn {

// The requests the scroll strip understands, in the order of their codes (0-7); anything
// from EndScroll on is ignored.
enum class ScrollRequest { LineLeft, LineRight, PageLeft, PageRight, ThumbPosition, ThumbTrack,
                           Left, Right, EndScroll };

struct PlotArea {
    int left = 0, top = 0, right = 0, bottom = 0; // L, T, R, B in canvas pixels
};

class TrendCanvas final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kMaxSeries = 20;
    static constexpr int kScrollMax = 999'999;      // the strip's scale: millionths of the history
    static constexpr int kScrollFullPage = 1'000'000;

    // Use CanvasRegistry::CreateCanvas. The scroll strip, if wanted, is made in parent at
    // (x, y + height), width x height / 25.
    TrendCanvas(QWidget *parent, int x, int y, int width, int height, int controlId, bool withScrollStrip);
    ~TrendCanvas() override;

    int id() const { return m_controlId; }
    int scrollHostId() const { return m_controlId + 1000; }
    int scrollBarId() const { return m_controlId + 2000; }

    // Series: owned by the canvas, index = series number. None (nullptr) once 20 exist.
    // The name is cut to 99 characters; unit "", colour white, visible, not digital.
    TrendSeries *addSeries(const QString &name, double minValue, double maxValue);
    TrendSeries *getSeries(int index) const; // nullptr when out of range
    int seriesCount() const { return int(m_series.size()); }

    // Ignored unless 0 <= index < SeriesCount(); the picture shows it at once.
    void setFocusSeries(int index);
    int focusSeries() const { return m_focusIndex; }
    // Rounded to whole seconds, minutes, hours or days by size; ignored unless > 0. Shown at once.
    void setSecondsPerDivision(double seconds);
    double secondsPerDivision() const { return m_secondsPerDivision; }
    // Width of the followed window; ignored when negative, 0 switches the placement off.
    void setSpan(double seconds);
    double span() const { return m_span; }

    // With a scroll strip, a span and more than one sample time the window is placed on the
    // data (follow the newest, or stay where the operator scrolled) and the arguments are not
    // used; otherwise the window becomes [start, end] unless end <= start. With nothing to
    // place it on (no data, or one instant of it) the window keeps its left edge and takes the
    // span. (0, 0) is what the pages call after every reading and after any change of focus,
    // period or visibility: the picture is drawn again whenever one of its pixels would change,
    // and only then.
    void setTimeRange(double start, double end, double anchor);
    void setTimeRange(double start, double end) { setTimeRange(start, end, end); }

    void enableCursor(bool enabled);
    bool cursorEnabled() const { return m_cursorEnabled; }

    // The scroll strip's requests, as its bar sends them (trackPosition for the thumb ones).
    void handleScroll(ScrollRequest request, int trackPosition = 0);

    // Window state, for the pages and for tests.
    double viewStart() const { return m_viewStart; }
    double viewEnd() const { return m_viewEnd; }
    double gridAnchor() const { return m_gridAnchor; }
    double earliestTime() const;
    double latestTime() const;
    int scrollPosition() const { return m_scrollPos; }
    int scrollPage() const { return m_scrollPage; }
    bool hasScrollStrip() const { return m_hasScrollBar; }
    QWidget *scrollHost() const { return m_scrollHost; }
    QScrollBar *scrollBar() const;
    bool pictureValid() const { return m_pictureValid; }
    int refreshCount() const { return m_refreshCount; } // full-picture invalidations so far

    PlotArea plotArea() const { return plotAreaFor(width(), height()); }
    static PlotArea plotAreaFor(int w, int h);
    // The cursor read-out box, (0.4 w, 0) up to but excluding (0.8 w, T - 2).
    QRect readoutRect() const;

    // Draws the whole picture (background, time axis, value axis, traces) as a full repaint
    // does, at the canvas's size, with the samples selected afresh: what a full repaint costs.
    // The image's device pixel ratio is honoured; the painter form serves any device.
    void renderPicture(QImage &image) const;
    void renderPicture(QPainter &painter) const;
    // The picture plus the read-out at a device pixel ratio, as the screen would show it.
    QImage renderToImage(qreal devicePixelRatio = 1.0) const;

    // Captions, exposed for tests.
    static QString secondsPerDivisionCaption(double seconds);
    static QString valueLabel(double value, double minValue, double maxValue);
    static QString readoutText(double value, double time);

    // Everything one full picture shows, in canvas pixels: the picture is drawn again only
    // when this changes. Points are the selected samples (selectSamples) of each trace.
    struct Trace {
        std::uint32_t color = 0;
        bool wide = false;
        std::vector<QPoint> points;
        bool operator==(const Trace &) const = default;
    };
    struct Scene {
        QSize size;
        double viewWidth = 0;         // 0: no window, a black picture
        double gridAnchor = 0;        // the time labels follow from it and the spacing
        double secondsPerDivision = 0;
        std::vector<int> gridX;       // anchor line first
        int focus = -1;               // value axis and caption of this series, -1 none
        std::string name, unit;
        double minValue = 0, maxValue = 0;
        bool digital = false;
        std::uint32_t focusColor = 0;
        std::vector<Trace> traces;    // in drawing order, the focused one last
        bool operator==(const Scene &) const = default;
    };
    Scene scene() const;
    // Whether two scenes differ only in what moves with the time window (grid, time labels,
    // traces), so that the value labels, captions and frame need no drawing.
    static bool sameBackdrop(const Scene &a, const Scene &b)
    {
        return a.size == b.size && a.viewWidth == b.viewWidth && a.secondsPerDivision == b.secondsPerDivision
               && a.focus == b.focus && a.name == b.name && a.unit == b.unit && a.minValue == b.minValue
               && a.maxValue == b.maxValue && a.digital == b.digital && a.focusColor == b.focusColor;
    }

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void updateView(bool fromScrollBar);
    void writeScrollInfo();
    void refreshPicture();
    void refreshReadout();
    // Where the picture changes from `before` to `after` when the traces only grew at their
    // newest ends; nothing when anything else changed.
    static std::optional<QRect> grownPart(const Scene &before, const Scene &after);
    // Whether every trace of `after` draws what it drew in `before` and perhaps more.
    static bool tracesOnlyGrew(const Scene &before, const Scene &after);
    std::vector<int> gridLines() const;
    Trace traceOf(const TrendSeries &series, const PlotArea &area, bool wide) const;
    // Each draws only what meets `dirty` (text is the dear part of a picture).
    void drawTimeAxis(QPainter &painter, int w, int h, const QRegion &dirty) const;
    void drawValueAxis(QPainter &painter, const TrendSeries &series, int w, int h, const QRegion &dirty) const;
    void renderBackdrop(QPainter &painter, const QRegion &dirty, bool fill) const;
    void drawLabel(QPainter &painter, const QRect &box, int alignment, const QString &text, const QRegion &dirty) const;
    // erase: black over where the traces were drawn, which takes them off again.
    static void drawTraces(QPainter &painter, const Scene &scene, const QTransform &toDevice, bool erase = false);
    static void drawTracesInDevicePixels(QPainter &painter, const Scene &scene, bool erase = false);
    QRect movingRect() const; // what changes while the window only follows the data
    void movePicture(QPainter &painter);
    void renderScene(QPainter &painter, const Scene &scene, const QRegion &dirty) const;
    void drawReadout(QPainter &painter) const;
    QString readoutShownText() const; // empty when no read-out stands
    const TrendSeries *focused() const;

    std::vector<std::unique_ptr<TrendSeries>> m_series;
    int m_controlId;
    bool m_hasScrollBar;
    QPointer<QWidget> m_scrollHost;
    QPointer<QScrollBar> m_scrollBar;
    int m_scrollPos = 0;
    int m_scrollPage = kScrollFullPage;
    double m_viewStart = 0.0;
    double m_viewEnd = 0.0;
    double m_gridAnchor = 0.0;
    double m_secondsPerDivision = 0.0;
    double m_span = 0.0;
    int m_focusIndex = 0;
    bool m_cursorEnabled = false;
    bool m_mouseMoved = false;
    int m_mouseX = -1;
    int m_mouseY = -1;
    bool m_pictureValid = true;
    int m_refreshCount = 0;
    // The picture as it stands, drawn at the next paint; stale while the canvas is hidden,
    // where working it out on every reading would be wasted.
    Scene m_scene;
    bool m_sceneStale = false;
    // What the window's backing store shows of the canvas, after the last paint.
    Scene m_painted;
    bool m_paintedValid = false;
    // Where the traces grew since the last paint, when nothing else changed (empty else).
    QRegion m_grownSinceLastPaint;
    // Which parts renderBackdrop draws, and a clip for its labels (none when null).
    enum DrawParts { LineParts = 1, LabelParts = 2, FrameParts = 4, AllParts = 7 };
    int m_drawParts = AllParts;
    QRect m_labelClip;
    QString m_readoutShown;
    // What the previous placement used. Each canvas keeps its own, so that one unit's
    // window never moves another's.
    double m_lastSpan = 0.0;
    int m_lastPos = 0;
    // Laid-out labels by text, for the font they were laid out in.
    mutable QHash<QString, QStaticText> m_labels;
    mutable QFont m_labelFont;
    bool m_settingScroll = false;
};

} // namespace qn
