#pragma once
// The page behind the "グラフ" tab of a unit window: the trend canvas on the left, the
// operator's graph controls on the right (display period, show/hide per series, focused
// series, colour swatches, legend and value labels, Scale buttons of the analog channels).
// It never talks to the unit; choices go to the device page through GraphPageHost.
//
// Threads: GUI thread only (the device pages set value labels, units and legends from
// their completions, which run on the GUI thread in this program).
#include "graph/displayperiods.h"
#include "model/model.h"

#include <QColor>
#include <QRect>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

namespace Ui {
class GraphTab;
}
class QCheckBox;
class QLabel;
class QPushButton;

namespace qn {

class GraphPageHost;
class TrendCanvas;

// Gives the canvas the period's span and grid spacing; false (nothing done) for an index
// outside 0-9. What a device page does when the operator picks a period.
bool applyDisplayPeriod(TrendCanvas &canvas, int index);

// The trace colour of series 0-4 as the device pages give it (series 4 is RGB(250,80,80),
// a shade off its swatch).
QColor traceColor(int series);
QColor swatchColor(int series);

// Creates the five series of a model on an empty canvas as a device page sets up its graph
// (names, ranges, colours, digital marks, visibility), grid 5 s, window [now, now + 60] and
// span 60. A canvas that has its series already is left as it is.
void setUpModelSeries(TrendCanvas &canvas, Model model, double now);

class GraphTab final : public QWidget {
    Q_OBJECT
public:
    // The form is laid out at 1.5 pixels per dialog unit, both ways.
    static constexpr double kPixelsPerDialogUnit = 1.5;
    static constexpr int kSeries = 5;

    GraphTab(QWidget *parent, Model model);
    ~GraphTab() override;

    Model model() const { return m_model; }

    // Where the canvas stands in this page at its first size (left of the controls; the
    // scroll strip goes below it): its origin and its smallest size.
    static QRect canvasRect();
    // Creates the page's canvas at canvasRect() with the scroll strip under it, in the page's
    // layout, where it takes all the room a larger window gives; switches its read-out on and
    // sets up the model's series and the minute from now (setUpModelSeries). The page owns
    // it; a second call returns the same canvas.
    TrendCanvas *createCanvas();

    TrendCanvas *canvas() const { return m_canvas; }
    void setPage(GraphPageHost *page) { m_page = page; }
    GraphPageHost *page() const { return m_page; }

    // Unit of canvas series index; an empty unit with the identity formula (a = 1, b = 0)
    // takes the default of the range index (QN-210/220) or output mode (QN-110/120).
    void setChannelUnit(int index, int rangeIndex, double a, double b, const QString &unit);
    // Value label of series 0-4: "<text> <unit>" for 0-2, the text alone for 3-4.
    void setValueLabel(int index, const QString &text);
    QString valueLabelText(int index) const;
    // Scale button of channel 0-2.
    void enableScaleButton(int channel, bool enabled);
    // Legend label of series 0-4 (e.g. "AI1: 温度"), cut with "…" beside its Scale button
    // where it does not fit (the whole text as tooltip and accessible description).
    void setLegendText(int index, const QString &text);
    QString legendText(int index) const;

    static QString defaultUnit(Model model, int rangeIndex);
    // The text the period list shows for a width between two periods ("1.5min", "3hour").
    static QString widthText(double seconds);
    // Over the legend while the graph is not live, else empty.
    QString valuesTimeText() const;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onPeriodChanged(int index);
    void onFocusChanged(int index);
    void onCheckClicked(int box);
    void onScaleClicked(int channel);
    void refresh();
    void layOut();
    void fitLegendPanel();
    // The period list and the values' time follow the operator's zoom and pan.
    void showView();
    void showValuesTime();
    QCheckBox *checkBox(int box) const; // 0-2 analog, 3-5 digital

    std::unique_ptr<Ui::GraphTab> m_ui;
    Model m_model;
    TrendCanvas *m_canvas = nullptr;
    GraphPageHost *m_page = nullptr;
    std::array<QLabel *, kSeries> m_swatches{};
    std::array<QLabel *, kSeries> m_legends{};
    std::array<QLabel *, kSeries> m_values{};
    std::array<QPushButton *, 3> m_scaleButtons{};
    QLabel *m_valuesTime = nullptr; // when the graph is not live: the time the values are of
};

} // namespace qn
