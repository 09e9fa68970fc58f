// A graph page fed with a day of readings, as an operator sees it after 24 hours of
// polling. Set QN_SHOT_DIR to keep the picture as graphtab_day.png.
#include "graph/graphtab.h"
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
    void setDisplayPeriod(int index) override { applyDisplayPeriod(*canvas, index); }
    void refreshGraph() override { canvas->setTimeRange(0, 0); }
};

TEST(GraphTabDay, TwentyFourHoursOfReadingsRender)
{
    const double start = 1'800'000'000.0 - 86'400;
    QWidget window;
    window.resize(803, 431);
    auto *tab = new GraphTab(&window, Model::QN210);
    tab->resize(803, 431);
    TrendCanvas *canvas = tab->createCanvas();
    DayPage page;
    page.canvas = canvas;
    tab->setPage(&page);
    setUpModelSeries(*canvas, Model::QN210, start);
    const char *names[] = {"温度", "圧力", "流量"};
    for (int i = 0; i < 3; ++i) {
        canvas->series(i)->setName(QStringLiteral("AI%1: %2").arg(i + 1).arg(names[i]).toStdString());
        tab->setLegendText(i, QStringLiteral("AI%1: %2").arg(i + 1).arg(names[i]));
    }
    tab->setChannelUnit(0, 6, 1.0, 0.0, "");
    canvas->series(0)->setRange(0, 100);
    tab->setChannelUnit(1, 2, 1.0, 0.0, "");
    tab->setChannelUnit(2, 4, 1.0, 0.0, "");
    canvas->series(2)->setRange(0, 20);
    for (int i = 3; i < 5; ++i) {
        canvas->series(i)->setName(QStringLiteral("DO%1: ポンプ%1").arg(i - 2).toStdString());
        tab->setLegendText(i, QStringLiteral("DO%1: ポンプ%1").arg(i - 2));
    }
    for (int s = 0; s <= 86'400; s += 2) {
        const double t = start + s;
        const double day = s * 2 * M_PI / 86'400;
        canvas->series(0)->addSample(t, 45 + 20 * std::sin(day) + 2 * std::sin(s * 0.37));
        canvas->series(1)->addSample(t, 3 * std::cos(day * 3) + 0.3 * std::sin(s * 0.11));
        canvas->series(2)->addSample(t, 10 + 6 * std::sin(day * 2 + 1));
        canvas->series(3)->addSample(t, (s / 3'600) % 3 == 0);
        canvas->series(4)->addSample(t, (s / 5'400) % 2);
        canvas->setTimeRange(0, 0);
    }
    tab->findChild<QComboBox *>("periodCombo")->setCurrentIndex(9); // "24hour"
    tab->findChild<QCheckBox *>("digitalCheck1")->click();
    tab->findChild<QCheckBox *>("digitalCheck2")->click();
    EXPECT_TRUE(canvas->series(3)->isVisible());
    EXPECT_TRUE(canvas->series(4)->isVisible());
    tab->setValueLabel(0, "44.871");
    tab->setValueLabel(1, "+2.9730");
    tab->setValueLabel(2, "15.332");
    tab->setValueLabel(3, "ON");
    tab->setValueLabel(4, "OFF");
    EXPECT_EQ(canvas->viewEnd(), start + 86'400);
    EXPECT_EQ(canvas->viewStart(), start);
    EXPECT_EQ(canvas->secondsPerDivision(), 7200);

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
