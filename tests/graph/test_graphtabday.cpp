// A graph page fed with a day of readings, as an operator sees it after 24 hours of
// polling. Set QN_SHOT_DIR to keep the picture as graphtab_day.png.
#include "graph/dlggraphtab.h"
#include "graph/graphpagehost.h"
#include "graph/trendcanvas.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace qn {
namespace {

struct DayPage final : GraphPageHost {
    TrendCanvas *canvas = nullptr;
    void openFormulaDialog(int) override {}
    void SetDisplayPeriod(int index) override { applyDisplayPeriod(*canvas, index); }
    void RefreshGraph() override { canvas->SetTimeRange(0, 0); }
};

TEST(GraphTabDay, TwentyFourHoursOfReadingsRender)
{
    const double start = 1'800'000'000.0 - 86'400;
    QWidget window;
    window.resize(803, 431);
    auto *tab = new DlgGraphTab(&window, 0);
    tab->resize(803, 431);
    TrendCanvas *canvas = tab->CreateCanvas();
    DayPage page;
    page.canvas = canvas;
    tab->SetPage(&page);
    setUpModelSeries(*canvas, 0, start);
    const char *names[] = {"温度", "圧力", "流量"};
    for (int i = 0; i < 3; ++i) {
        canvas->GetSeries(i)->SetName(QStringLiteral("AI%1: %2").arg(i + 1).arg(names[i]).toStdString());
        tab->SetLegendText(i, QStringLiteral("AI%1: %2").arg(i + 1).arg(names[i]));
    }
    tab->SetChannelUnit(0, 6, 1.0, 0.0, "");
    canvas->GetSeries(0)->SetRange(0, 100);
    tab->SetChannelUnit(1, 2, 1.0, 0.0, "");
    tab->SetChannelUnit(2, 4, 1.0, 0.0, "");
    canvas->GetSeries(2)->SetRange(0, 20);
    for (int i = 3; i < 5; ++i) {
        canvas->GetSeries(i)->SetName(QStringLiteral("DO%1: ポンプ%1").arg(i - 2).toStdString());
        tab->SetLegendText(i, QStringLiteral("DO%1: ポンプ%1").arg(i - 2));
    }
    for (int s = 0; s <= 86'400; s += 2) {
        const double t = start + s;
        const double day = s * 2 * M_PI / 86'400;
        canvas->GetSeries(0)->AddSample(t, 45 + 20 * std::sin(day) + 2 * std::sin(s * 0.37));
        canvas->GetSeries(1)->AddSample(t, 3 * std::cos(day * 3) + 0.3 * std::sin(s * 0.11));
        canvas->GetSeries(2)->AddSample(t, 10 + 6 * std::sin(day * 2 + 1));
        canvas->GetSeries(3)->AddSample(t, (s / 3'600) % 3 == 0);
        canvas->GetSeries(4)->AddSample(t, (s / 5'400) % 2);
        canvas->SetTimeRange(0, 0);
    }
    tab->findChild<QComboBox *>("periodCombo")->setCurrentIndex(9); // "24hour"
    tab->findChild<QCheckBox *>("digitalCheck1")->click();
    tab->findChild<QCheckBox *>("digitalCheck2")->click();
    EXPECT_TRUE(canvas->GetSeries(3)->IsVisible());
    EXPECT_TRUE(canvas->GetSeries(4)->IsVisible());
    tab->SetValueLabel(0, "44.871");
    tab->SetValueLabel(1, "+2.9730");
    tab->SetValueLabel(2, "15.332");
    tab->SetValueLabel(3, "ON");
    tab->SetValueLabel(4, "OFF");
    EXPECT_EQ(canvas->ViewEnd(), start + 86'400);
    EXPECT_EQ(canvas->ViewStart(), start);
    EXPECT_EQ(canvas->SecondsPerDivision(), 7200);

    const PlotArea a = canvas->plotArea();
    const QPointF mouse(a.left + (a.right - a.left) * 0.6, (a.top + a.bottom) / 2.0);
    QMouseEvent move(QEvent::MouseMove, mouse, mouse, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(canvas, &move);

    const QImage shot = window.grab().toImage();
    EXPECT_EQ(shot.size(), QSize(803, 431));
    const QByteArray dir = qgetenv("QN_SHOT_DIR");
    if (!dir.isEmpty()) {
        EXPECT_TRUE(shot.save(QDir(QString::fromLocal8Bit(dir)).filePath("graphtab_day.png")));
    }
}

} // namespace
} // namespace qn
