// The graph tab page: controls by model, what it passes to the device page and the canvas.
#include "graph/graphtab.h"
#include "graph/graphpagehost.h"
#include "graph/graphtext.h"
#include "graph/scrollstrip.h"
#include "graph/trendcanvas.h"
#include "ui/accessibility.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QAccessible>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

namespace qn {
namespace {

constexpr double kT0 = 1'800'000'000.0;

// Plays a device page: records the calls and applies them to the canvas as a page does.
struct FakePage final : GraphPageHost {
    TrendCanvas *canvas = nullptr;
    std::vector<int> formulaChannels;
    std::vector<int> periods;
    int refreshes = 0;
    void openFormulaDialog(int channel) override { formulaChannels.push_back(channel); }
    void setDisplayPeriod(int index) override
    {
        periods.push_back(index);
        if (canvas)
            applyDisplayPeriod(*canvas, index);
    }
    void refreshGraph() override
    {
        ++refreshes;
        if (canvas)
            canvas->setTimeRange(0, 0);
    }
};

struct GraphTabFixture {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    GraphTab *tab;
    TrendCanvas *canvas;
    FakePage page;

    explicit GraphTabFixture(Model model)
    {
        tab = new GraphTab(window.get(), model);
        canvas = tab->createCanvas();
        setUpModelSeries(*canvas, model, kT0);
        page.canvas = canvas;
        tab->setPage(&page);
    }
    template <typename T> T *child(const char *name) const { return tab->findChild<T *>(name); }
};

TEST(GraphTabLayout, CanvasPlacementAndCreation)
{
    EXPECT_EQ(GraphTab::canvasRect(), QRect(8, 10, 600, 400));
    GraphTabFixture f(Model::QN210);
    ASSERT_NE(f.canvas, nullptr);
    EXPECT_EQ(f.tab->canvas(), f.canvas);
    EXPECT_TRUE(f.canvas->cursorEnabled());
    EXPECT_GE(f.canvas->width(), 600);
    EXPECT_GE(f.canvas->height(), 400);
    EXPECT_EQ(f.canvas->mapTo(f.tab, QPoint(0, 0)), QPoint(8, 10));
    const QLabel *swatch = f.child<QLabel>("swatch0");
    EXPECT_LT(f.canvas->scrollStrip()->mapTo(f.tab, f.canvas->scrollStrip()->rect().topRight()).x(),
              swatch->mapTo(f.tab, QPoint(0, 0)).x());
    EXPECT_EQ(f.tab->createCanvas(), f.canvas) << "one canvas per page";
}

// A 16-byte signal name (8 full-width characters) in every legend, at the usual font, at
// twice its size (192 dpi) and with a longer button text (a translation): each legend is cut
// with "…" clear of its Scale button and read whole by tooltip, reader and page.
struct LegendCase {
    double fontScale;
    const char *buttonText;
};

class GraphTabLegend : public ::testing::TestWithParam<LegendCase> {};

TEST_P(GraphTabLegend, LongNamesAreCutClearOfTheScaleButtons)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *tab = new GraphTab(nullptr, Model::QN210);
    QFont font = tab->font();
    font.setPointSizeF(font.pointSizeF() * GetParam().fontScale);
    tab->setFont(font);
    tab->createCanvas();
    layout->addWidget(tab);
    const QString name = QStringLiteral("温度センサー１２");
    for (int i = 0; i < GraphTab::kSeries; ++i)
        tab->setLegendText(i, QStringLiteral("AI%1: ").arg(i + 1) + name);
    for (int c = 0; c < 3; ++c)
        tab->findChild<QPushButton *>(QStringLiteral("scaleButton%1").arg(c))->setText(GetParam().buttonText);
    window.show();
    for (int i = 0; i < GraphTab::kSeries; ++i) {
        const QString whole = QStringLiteral("AI%1: ").arg(i + 1) + name;
        const auto *legend = tab->findChild<QLabel *>(QStringLiteral("legendLabel%1").arg(i));
        const QRect legendRect(legend->mapTo(tab, QPoint(0, 0)), legend->size());
        EXPECT_LE(legend->fontMetrics().horizontalAdvance(legend->text()), legend->contentsRect().width()) << i;
        EXPECT_TRUE(legend->text() == whole || legend->text().endsWith(QChar(0x2026))) << i;
        EXPECT_EQ(legend->toolTip(), legend->text() == whole ? QString() : whole) << i;
        EXPECT_EQ(QAccessible::queryAccessibleInterface(const_cast<QLabel *>(legend))->text(QAccessible::Description),
                  whole);
        EXPECT_EQ(tab->legendText(i), whole);
        EXPECT_GT(legendRect.right(), tab->canvas()->mapTo(tab, QPoint(tab->canvas()->width(), 0)).x());
        if (i < 3) {
            const auto *button = tab->findChild<QPushButton *>(QStringLiteral("scaleButton%1").arg(i));
            const QRect buttonRect(button->mapTo(tab, QPoint(0, 0)), button->size());
            EXPECT_FALSE(legendRect.intersects(buttonRect)) << i;
            EXPECT_GE(button->width(), button->sizeHint().width()) << i;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fonts, GraphTabLegend,
                         ::testing::Values(LegendCase{1.0, "Scale"}, LegendCase{2.0, "Scale"},
                                           LegendCase{1.0, "Skalierung..."}));

// A maximised window gives the graph page more room: the plot takes it, the controls keep
// their width, and the window onto the history stays where it was.
TEST(GraphTabLayout, PlotGrowsWithTheWindow)
{
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *tab = new GraphTab(nullptr, Model::QN210);
    TrendCanvas *canvas = tab->createCanvas();
    setUpModelSeries(*canvas, Model::QN210, kT0);
    layout->addWidget(tab);
    window.show();
    for (int s = 0; s <= 600; ++s)
        canvas->series(0)->addSample(kT0 + s, 5.0);
    canvas->setTimeRange(0, 0);
    const QSize before = canvas->size();
    const int panelWidth = tab->findChild<QWidget *>("controlPanel")->width();
    const double start = canvas->viewStart(), end = canvas->viewEnd();
    window.resize(window.size() + QSize(800, 500));
    layout->activate();
    EXPECT_GE(canvas->width(), before.width() + 750);
    EXPECT_GE(canvas->height(), before.height() + 450);
    EXPECT_EQ(tab->findChild<QWidget *>("controlPanel")->width(), panelWidth);
    EXPECT_EQ(canvas->scrollStrip()->width(), canvas->width());
    EXPECT_EQ(canvas->viewStart(), start);
    EXPECT_EQ(canvas->viewEnd(), end);
    const TrendScene scene = canvas->scene();
    EXPECT_EQ(scene.size, canvas->size());
    ASSERT_FALSE(scene.traces.empty());
    EXPECT_GT(scene.traces.back().points.back().x() - scene.traces.back().points.front().x(),
              (canvas->plotArea().right - canvas->plotArea().left) * 9 / 10);
}

TEST(GraphTabView, PeriodListAndValuesTimeFollowTheZoom)
{
    GraphTabFixture f(Model::QN210);
    for (int s = 0; s <= 600; ++s)
        f.canvas->series(0)->addSample(kT0 + s, 1.0);
    f.canvas->setTimeRange(0, 0);
    auto *period = f.child<QComboBox>("periodCombo");
    auto *valuesTime = f.child<QLabel>("valuesTimeLabel");
    ASSERT_TRUE(valuesTime);
    EXPECT_TRUE(valuesTime->isHidden());
    f.canvas->panByPixels(100, 0, false);
    f.canvas->zoomTimeAt(f.canvas->plotArea().right, -2); // 60 s / 0.64, the right edge stays
    EXPECT_EQ(period->currentIndex(), -1);
    EXPECT_EQ(period->placeholderText(), "1.6min");
    EXPECT_FALSE(valuesTime->isHidden());
    EXPECT_TRUE(valuesTime->text().startsWith("値は最新 ("));
    EXPECT_EQ(f.page.periods.size(), 0u); // the list shows the width; it chose nothing
    f.canvas->returnToDefinedView();
    EXPECT_EQ(period->currentIndex(), 0);
    EXPECT_TRUE(valuesTime->isHidden());
    EXPECT_EQ(GraphTab::widthText(7200 * 1.5), "3hour");
}

TEST(GraphTabModels, Qn210HidesDo3AndTogglesSeriesFourWithDo2)
{
    GraphTabFixture f(Model::QN210);
    EXPECT_TRUE(f.child<QCheckBox>("digitalCheck3")->isHidden());
    EXPECT_FALSE(f.child<QCheckBox>("analogCheck3")->isHidden());
    EXPECT_EQ(f.child<QCheckBox>("analogCheck1")->text(), "AI1");
    EXPECT_EQ(f.child<QCheckBox>("digitalCheck2")->text(), "DO2");
    EXPECT_TRUE(f.child<QCheckBox>("analogCheck2")->isChecked());
    EXPECT_FALSE(f.child<QCheckBox>("digitalCheck1")->isChecked());
    QComboBox *focus = f.child<QComboBox>("focusCombo");
    ASSERT_EQ(focus->count(), 5);
    EXPECT_EQ(focus->itemText(3), "DO1");
    EXPECT_EQ(focus->currentIndex(), 0);
    EXPECT_EQ(f.child<QComboBox>("periodCombo")->currentText(), "1min");

    EXPECT_FALSE(f.canvas->series(4)->isVisible());
    QTest::mouseClick(f.child<QCheckBox>("digitalCheck2"), Qt::LeftButton);
    EXPECT_TRUE(f.canvas->series(4)->isVisible());
    EXPECT_EQ(f.page.refreshes, 1);
    QTest::mouseClick(f.child<QCheckBox>("digitalCheck2"), Qt::LeftButton);
    EXPECT_FALSE(f.canvas->series(4)->isVisible());
    QTest::mouseClick(f.child<QCheckBox>("analogCheck1"), Qt::LeftButton);
    EXPECT_FALSE(f.canvas->series(0)->isVisible());
}

TEST(GraphTabModels, Qn110HidesThirdAnalogBoxAndScaleAndMapsDi1ToSeriesTwo)
{
    GraphTabFixture f(Model::QN110);
    EXPECT_TRUE(f.child<QCheckBox>("analogCheck3")->isHidden());
    EXPECT_TRUE(f.child<QPushButton>("scaleButton2")->isHidden());
    EXPECT_FALSE(f.child<QCheckBox>("digitalCheck3")->isHidden());
    EXPECT_EQ(f.child<QCheckBox>("analogCheck1")->text(), "AO1");
    EXPECT_EQ(f.child<QCheckBox>("digitalCheck1")->text(), "DI1");
    EXPECT_EQ(f.child<QCheckBox>("digitalCheck3")->text(), "DI3");
    QComboBox *focus = f.child<QComboBox>("focusCombo");
    EXPECT_EQ(focus->itemText(2), "DI1");
    EXPECT_EQ(focus->itemText(4), "DI3");
    // Before a page names its channels the legend names the model's own ones.
    EXPECT_EQ(f.tab->legendText(0), "AO1:");
    EXPECT_EQ(f.tab->legendText(2), "DI1:");

    EXPECT_FALSE(f.canvas->series(2)->isVisible());
    QTest::mouseClick(f.child<QCheckBox>("digitalCheck1"), Qt::LeftButton);
    EXPECT_TRUE(f.canvas->series(2)->isVisible());
    QTest::mouseClick(f.child<QCheckBox>("digitalCheck3"), Qt::LeftButton);
    EXPECT_TRUE(f.canvas->series(4)->isVisible());
}

TEST(GraphTabModels, Qn120ShowsThreeOutputsAndTwoInputs)
{
    GraphTabFixture f(Model::QN120);
    EXPECT_TRUE(f.child<QCheckBox>("digitalCheck3")->isHidden());
    EXPECT_EQ(f.child<QCheckBox>("analogCheck3")->text(), "AO3");
    EXPECT_EQ(f.child<QComboBox>("focusCombo")->itemText(4), "DI2");
    EXPECT_EQ(f.canvas->series(3)->name(), "DI1");
    EXPECT_TRUE(f.canvas->series(3)->isDigital());
    EXPECT_DOUBLE_EQ(f.canvas->series(3)->minValue(), -8.8);
}

struct UnitCase {
    Model model;
    int series;
    int range;
    double a;
    double b;
    const char *given;
    const char *expected;
};

void PrintTo(const UnitCase &c, std::ostream *os)
{
    *os << "model " << int(c.model) << " series " << c.series << " range " << c.range << " a " << c.a << " b " << c.b
        << " unit '" << c.given << "'";
}

class GraphTabUnits : public ::testing::TestWithParam<UnitCase> {};

TEST_P(GraphTabUnits, DefaultUnitOnlyForTheIdentityFormula)
{
    const UnitCase c = GetParam();
    GraphTabFixture f(c.model);
    f.canvas->series(c.series)->setUnit("old");
    f.tab->setChannelUnit(c.series, c.range, c.a, c.b, QString::fromUtf8(c.given));
    EXPECT_EQ(f.canvas->series(c.series)->unit(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, GraphTabUnits,
                         ::testing::Values(UnitCase{Model::QN210, 1, 0, 1.0, 0.0, "", "mV"}, UnitCase{Model::QN210, 1, 1, 1.0, 0.0, "", "V"},
                                           UnitCase{Model::QN210, 1, 4, 1.0, 0.0, "", "mA"},
                                           UnitCase{Model::QN210, 1, 6, 1.0, 0.0, "", "℃"},
                                           UnitCase{Model::QN220, 0, 6, 1.0, 0.0, "", "℃"},
                                           UnitCase{Model::QN120, 0, 1, 1.0, 0.0, "", "mA"},
                                           UnitCase{Model::QN110, 1, 0, 1.0, 0.0, "", "V"},
                                           UnitCase{Model::QN210, 1, 0, 2.0, 0.0, "", ""},
                                           UnitCase{Model::QN210, 1, 0, 1.0, 0.5, "", ""},
                                           UnitCase{Model::QN210, 2, 0, 1.0, 0.0, "kPa", "kPa"}));

TEST(GraphTabLabels, ValueLabelsCarryTheUnitOfAnalogSeriesOnly)
{
    GraphTabFixture f(Model::QN210);
    f.canvas->series(0)->setUnit("V");
    f.tab->setValueLabel(0, "1.234");
    EXPECT_EQ(f.tab->valueLabelText(0), "1.234 V");
    EXPECT_EQ(f.child<QLabel>("valueLabel0")->text(), "1.234 V");
    f.tab->setValueLabel(3, "ON");
    EXPECT_EQ(f.tab->valueLabelText(3), "ON");
    f.tab->setValueLabel(7, "x"); // out of range: ignored
    f.tab->setLegendText(1, "AI2: 温度");
    EXPECT_EQ(f.child<QLabel>("legendLabel1")->text(), "AI2: 温度");
    // A reader hears each reading under its legend.
    f.tab->setValueLabel(1, "0.5");
    EXPECT_EQ(f.child<QLabel>("valueLabel1")->accessibleName(), "AI2: 温度");
    EXPECT_EQ(accessibleValueText(f.child<QLabel>("valueLabel1")), "0.5 ");
    EXPECT_EQ(f.child<QLabel>("legendLabel4")->text(), "DO2:");
    EXPECT_EQ(f.child<QLabel>("valueLabel0")->font().pointSize(), 12);
    EXPECT_EQ(f.child<QLabel>("swatch4")->palette().color(QPalette::Window), QColor(255, 80, 80));
    EXPECT_EQ(f.canvas->series(4)->color(), 250u + 80u * 256u + 80u * 65536u);
}

TEST(GraphTabControls, ScaleButtonsReachTheDevicePage)
{
    GraphTabFixture f(Model::QN210);
    QTest::mouseClick(f.child<QPushButton>("scaleButton1"), Qt::LeftButton);
    f.tab->enableScaleButton(2, false);
    EXPECT_FALSE(f.child<QPushButton>("scaleButton2")->isEnabled());
    QTest::mouseClick(f.child<QPushButton>("scaleButton2"), Qt::LeftButton); // disabled: nothing
    f.tab->enableScaleButton(2, true);
    QTest::mouseClick(f.child<QPushButton>("scaleButton2"), Qt::LeftButton);
    EXPECT_EQ(f.page.formulaChannels, (std::vector<int>{1, 2}));
}

TEST(GraphTabControls, SixHourPeriodWhileFollowingShowsTheLastSixHours)
{
    GraphTabFixture f(Model::QN210);
    for (int s = 0; s <= 30'000; s += 10)
        for (int i = 0; i < 5; ++i)
            f.canvas->series(i)->addSample(kT0 + s, 0.5);
    f.canvas->setTimeRange(0, 0);
    f.child<QComboBox>("periodCombo")->setCurrentIndex(7);
    EXPECT_EQ(f.page.periods, (std::vector<int>{7}));
    EXPECT_EQ(f.page.refreshes, 1);
    EXPECT_EQ(f.canvas->viewEnd(), kT0 + 30'000);
    EXPECT_EQ(f.canvas->viewStart(), kT0 + 30'000 - 21'600);
    EXPECT_EQ(f.canvas->secondsPerDivision(), 1800);
    EXPECT_EQ(secondsPerDivisionCaption(f.canvas->secondsPerDivision()), "30 min/div");
}

TEST(GraphTabControls, FocusListPicksTheFocusedSeries)
{
    GraphTabFixture f(Model::QN210);
    f.child<QComboBox>("focusCombo")->setCurrentIndex(3);
    EXPECT_EQ(f.canvas->focusSeries(), 3);
    EXPECT_EQ(f.page.refreshes, 1);
}

TEST(GraphTabKeys, EnterAndEscapeDoNotCloseTheWindow)
{
    QDialog dialog;
    auto *tab = new GraphTab(&dialog, Model::QN210);
    dialog.show();
    QCheckBox *box = tab->findChild<QCheckBox *>("analogCheck1");
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Escape);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 0);
}

TEST(DisplayPeriods, TableAndRange)
{
    ASSERT_TRUE(displayPeriod(5));
    EXPECT_EQ(displayPeriod(5)->span, 3600);
    EXPECT_EQ(displayPeriod(5)->secondsPerDivision, 300);
    EXPECT_EQ(displayPeriod(9)->secondsPerDivision, 7200);
    EXPECT_FALSE(displayPeriod(-1));
    EXPECT_FALSE(displayPeriod(10));
}

// How many pixels of a colour the plot of the canvas shows on screen.
int shown(TrendCanvas *canvas, QRgb colour)
{
    const QImage img = canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

// Focus, display period and visibility show at once, with no data and with one instant.
TEST(GraphTabControls, ChangesShowAtOnceWithoutData)
{
    GraphTabFixture f(Model::QN210);
    f.window->show();
    const QRgb cyanAxis = qRgb(40, 127, 127); // AI2's colour halved
    EXPECT_EQ(shown(f.canvas, cyanAxis), 0);
    f.child<QComboBox>("focusCombo")->setCurrentIndex(1);
    EXPECT_GT(shown(f.canvas, cyanAxis), 100);

    const double start = f.canvas->viewStart();
    f.child<QComboBox>("periodCombo")->setCurrentIndex(1); // "2min"
    EXPECT_EQ(f.canvas->viewEnd(), start + 120);
    EXPECT_EQ(f.canvas->secondsPerDivision(), 10);

    for (int s = 0; s < 3; ++s)
        f.canvas->series(s)->addSample(start + 1, 5.0);
    f.page.refreshGraph();
    const QRgb cyan = qRgb(80, 255, 255);
    EXPECT_GT(shown(f.canvas, cyan), 0);
    f.child<QCheckBox>("analogCheck2")->click();
    EXPECT_EQ(shown(f.canvas, cyan), 0);
}

// A model whose page has not fed the graph (or has no page) still shows the frame, the grid,
// the value axis and the time labels of the minute from now.
TEST(GraphTabModels, UnfedCanvasShowsFrameGridAxisAndLabels)
{
    for (Model model : {Model::QN110, Model::QN120}) {
        QWidget window;
        auto *tab = new GraphTab(&window, model);
        TrendCanvas *canvas = tab->createCanvas();
        window.show();
        ASSERT_GT(canvas->viewEnd(), canvas->viewStart());
        const QImage img = canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const PlotArea a = canvas->plotArea();
        EXPECT_EQ(img.pixel(a.left - 1, (a.top + a.bottom) / 2) & 0xFFFFFF, 0xFFFFFFu) << traits(model).name;
        int grid = 0, axis = 0, labels = 0;
        for (int x = a.left; x < a.right; ++x)
            grid += (img.pixel(x, a.top + 3) & 0xFFFFFF) == 0x808080;
        for (int y = a.top; y <= a.bottom; ++y)
            for (int x = a.right + 1; x < a.right + 9; ++x)
                if ((img.pixel(x, y) & 0xFFFFFF) == (qRgb(127, 127, 40) & 0xFFFFFF)) {
                    ++axis;
                    break;
                }
        for (int y = a.bottom + 3; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x)
                labels += qRed(img.pixel(x, y)) > 128 && qBlue(img.pixel(x, y)) > 128;
        EXPECT_GE(grid, 10) << traits(model).name;
        EXPECT_EQ(axis, 11) << traits(model).name;
        EXPECT_GT(labels, 50) << traits(model).name;
    }
}

} // namespace
} // namespace qn
