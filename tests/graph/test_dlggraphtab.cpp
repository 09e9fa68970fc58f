// The graph tab page: controls by model, what it passes to the device page and the canvas.
#include "graph/dlggraphtab.h"
#include "graph/graphpagehost.h"
#include "graph/trendcanvas.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
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
    void SetDisplayPeriod(int index) override
    {
        periods.push_back(index);
        if (canvas)
            applyDisplayPeriod(*canvas, index);
    }
    void RefreshGraph() override
    {
        ++refreshes;
        if (canvas)
            canvas->SetTimeRange(0, 0);
    }
};

struct GraphTabFixture {
    std::unique_ptr<QWidget> window = std::make_unique<QWidget>();
    DlgGraphTab *tab;
    TrendCanvas *canvas;
    FakePage page;

    explicit GraphTabFixture(int model)
    {
        tab = new DlgGraphTab(window.get(), model);
        canvas = tab->CreateCanvas();
        setUpModelSeries(*canvas, model, kT0);
        page.canvas = canvas;
        tab->SetPage(&page);
    }
    template <typename T> T *child(const char *name) const { return tab->findChild<T *>(name); }
};

TEST(GraphTabLayout, CanvasPlacementAndCreation)
{
    EXPECT_EQ(DlgGraphTab::canvasRect(), QRect(8, 10, 600, 400));
    GraphTabFixture f(0);
    ASSERT_NE(f.canvas, nullptr);
    EXPECT_EQ(f.tab->canvas(), f.canvas);
    EXPECT_TRUE(f.canvas->CursorEnabled());
    EXPECT_EQ(f.canvas->parentWidget(), f.tab);
    EXPECT_EQ(f.canvas->geometry(), QRect(8, 10, 600, 400));
    EXPECT_LE(f.canvas->scrollHost()->geometry().right(), f.child<QLabel>("swatch0")->x());
}

TEST(GraphTabModels, Qn210HidesDo3AndTogglesSeriesFourWithDo2)
{
    GraphTabFixture f(0);
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

    EXPECT_FALSE(f.canvas->GetSeries(4)->IsVisible());
    QTest::mouseClick(f.child<QCheckBox>("digitalCheck2"), Qt::LeftButton);
    EXPECT_TRUE(f.canvas->GetSeries(4)->IsVisible());
    EXPECT_EQ(f.page.refreshes, 1);
    QTest::mouseClick(f.child<QCheckBox>("digitalCheck2"), Qt::LeftButton);
    EXPECT_FALSE(f.canvas->GetSeries(4)->IsVisible());
    QTest::mouseClick(f.child<QCheckBox>("analogCheck1"), Qt::LeftButton);
    EXPECT_FALSE(f.canvas->GetSeries(0)->IsVisible());
}

TEST(GraphTabModels, Qn110HidesThirdAnalogBoxAndScaleAndMapsDi1ToSeriesTwo)
{
    GraphTabFixture f(2);
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

    EXPECT_FALSE(f.canvas->GetSeries(2)->IsVisible());
    QTest::mouseClick(f.child<QCheckBox>("digitalCheck1"), Qt::LeftButton);
    EXPECT_TRUE(f.canvas->GetSeries(2)->IsVisible());
    QTest::mouseClick(f.child<QCheckBox>("digitalCheck3"), Qt::LeftButton);
    EXPECT_TRUE(f.canvas->GetSeries(4)->IsVisible());
}

TEST(GraphTabModels, Qn120ShowsThreeOutputsAndTwoInputs)
{
    GraphTabFixture f(3);
    EXPECT_TRUE(f.child<QCheckBox>("digitalCheck3")->isHidden());
    EXPECT_EQ(f.child<QCheckBox>("analogCheck3")->text(), "AO3");
    EXPECT_EQ(f.child<QComboBox>("focusCombo")->itemText(4), "DI2");
    EXPECT_EQ(f.canvas->GetSeries(3)->GetName(), "DI1");
    EXPECT_TRUE(f.canvas->GetSeries(3)->IsDigital());
    EXPECT_DOUBLE_EQ(f.canvas->GetSeries(3)->MinValue(), -8.8);
}

struct UnitCase {
    int model;
    int series;
    int range;
    double a;
    double b;
    const char *given;
    const char *expected;
};

void PrintTo(const UnitCase &c, std::ostream *os)
{
    *os << "model " << c.model << " series " << c.series << " range " << c.range << " a " << c.a << " b " << c.b
        << " unit '" << c.given << "'";
}

class GraphTabUnits : public ::testing::TestWithParam<UnitCase> {};

TEST_P(GraphTabUnits, DefaultUnitOnlyForTheIdentityFormula)
{
    const UnitCase c = GetParam();
    GraphTabFixture f(c.model);
    f.canvas->GetSeries(c.series)->SetUnit("old");
    f.tab->SetChannelUnit(c.series, c.range, c.a, c.b, QString::fromUtf8(c.given));
    EXPECT_EQ(f.canvas->GetSeries(c.series)->GetUnit(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Table, GraphTabUnits,
                         ::testing::Values(UnitCase{0, 1, 0, 1.0, 0.0, "", "mV"}, UnitCase{0, 1, 1, 1.0, 0.0, "", "V"},
                                           UnitCase{0, 1, 4, 1.0, 0.0, "", "mA"},
                                           UnitCase{0, 1, 6, 1.0, 0.0, "", "℃"},
                                           UnitCase{1, 0, 6, 1.0, 0.0, "", "℃"},
                                           UnitCase{3, 0, 1, 1.0, 0.0, "", "mA"},
                                           UnitCase{2, 1, 0, 1.0, 0.0, "", "V"},
                                           UnitCase{0, 1, 0, 2.0, 0.0, "", ""},
                                           UnitCase{0, 1, 0, 1.0, 0.5, "", ""},
                                           UnitCase{0, 2, 0, 1.0, 0.0, "kPa", "kPa"}));

TEST(GraphTabLabels, ValueLabelsCarryTheUnitOfAnalogSeriesOnly)
{
    GraphTabFixture f(0);
    f.canvas->GetSeries(0)->SetUnit("V");
    f.tab->SetValueLabel(0, "1.234");
    EXPECT_EQ(f.tab->valueLabelText(0), "1.234 V");
    EXPECT_EQ(f.child<QLabel>("valueLabel0")->text(), "1.234 V");
    f.tab->SetValueLabel(3, "ON");
    EXPECT_EQ(f.tab->valueLabelText(3), "ON");
    f.tab->SetValueLabel(7, "x"); // out of range: ignored
    f.tab->SetLegendText(1, "AI2: 温度");
    EXPECT_EQ(f.child<QLabel>("legendLabel1")->text(), "AI2: 温度");
    EXPECT_EQ(f.child<QLabel>("legendLabel4")->text(), "DO2:");
    EXPECT_EQ(f.child<QLabel>("valueLabel0")->font().pointSize(), 12);
    EXPECT_EQ(f.child<QLabel>("swatch4")->palette().color(QPalette::Window), QColor(255, 80, 80));
    EXPECT_EQ(f.canvas->GetSeries(4)->GetColor(), 250u + 80u * 256u + 80u * 65536u);
}

TEST(GraphTabControls, ScaleButtonsReachTheDevicePage)
{
    GraphTabFixture f(0);
    QTest::mouseClick(f.child<QPushButton>("scaleButton1"), Qt::LeftButton);
    f.tab->EnableScaleButton(2, false);
    EXPECT_FALSE(f.child<QPushButton>("scaleButton2")->isEnabled());
    QTest::mouseClick(f.child<QPushButton>("scaleButton2"), Qt::LeftButton); // disabled: nothing
    f.tab->EnableScaleButton(2, true);
    QTest::mouseClick(f.child<QPushButton>("scaleButton2"), Qt::LeftButton);
    EXPECT_EQ(f.page.formulaChannels, (std::vector<int>{1, 2}));
}

TEST(GraphTabControls, SixHourPeriodWhileFollowingShowsTheLastSixHours)
{
    GraphTabFixture f(0);
    for (int s = 0; s <= 30'000; s += 10)
        for (int i = 0; i < 5; ++i)
            f.canvas->GetSeries(i)->AddSample(kT0 + s, 0.5);
    f.canvas->SetTimeRange(0, 0);
    f.child<QComboBox>("periodCombo")->setCurrentIndex(7);
    EXPECT_EQ(f.page.periods, (std::vector<int>{7}));
    EXPECT_EQ(f.page.refreshes, 1);
    EXPECT_EQ(f.canvas->ViewEnd(), kT0 + 30'000);
    EXPECT_EQ(f.canvas->ViewStart(), kT0 + 30'000 - 21'600);
    EXPECT_EQ(f.canvas->SecondsPerDivision(), 1800);
    EXPECT_EQ(TrendCanvas::secondsPerDivisionCaption(f.canvas->SecondsPerDivision()), "30 min/div");
}

TEST(GraphTabControls, FocusListPicksTheFocusedSeries)
{
    GraphTabFixture f(0);
    f.child<QComboBox>("focusCombo")->setCurrentIndex(3);
    EXPECT_EQ(f.canvas->FocusSeries(), 3);
    EXPECT_EQ(f.page.refreshes, 1);
}

TEST(GraphTabKeys, EnterAndEscapeDoNotCloseTheWindow)
{
    QDialog dialog;
    auto *tab = new DlgGraphTab(&dialog, 0);
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

} // namespace
} // namespace qn
