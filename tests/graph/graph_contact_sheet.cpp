// Pictures of the graph page for a person to look at (not a test): 16-byte signal names in
// the legend, a ±150000 range whose trace runs beyond it, at the window's first size and at
// the size of a maximised window on the screen. Run it on a screen (Xvfb) with the scale
// factor or font DPI to look at:  graph_contact_sheet OUTDIR
#include "graph/graphtab.h"
#include "graph/trendcanvas.h"
#include "history/trendseries.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QScreen>
#include <QVBoxLayout>

#include <cmath>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(out);
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *tab = new qn::GraphTab(nullptr, qn::Model::QN210);
    qn::TrendCanvas *canvas = tab->createCanvas();
    layout->addWidget(tab);
    const QString names[] = {QStringLiteral("温度センサー１２"), QStringLiteral("PRESSURE-SENSOR1"),
                             QStringLiteral("流量ABCDEFGHIJKL"), QStringLiteral("ポンプ運転中１２"),
                             QStringLiteral("ALARM-OUTPUT-012")};
    const char *prefixes[] = {"AI1", "AI2", "AI3", "DO1", "DO2"};
    for (int i = 0; i < 5; ++i)
        tab->setLegendText(i, QStringLiteral("%1: %2").arg(prefixes[i], names[i]));
    canvas->series(0)->setRange(-150000, 150000);
    canvas->series(0)->setUnit("kPa");
    const double now = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
    for (int s = 0; s <= 600; ++s) {
        const double t = now - 60 + s * 0.1;
        canvas->series(0)->addSample(t, 200000 * std::sin(s * 0.02));
        canvas->series(1)->addSample(t, 6 * std::cos(s * 0.05));
        canvas->series(2)->addSample(t, -3 + std::sin(s * 0.1));
    }
    canvas->setTimeRange(0, 0);
    tab->setValueLabel(0, QStringLiteral("+123456.789"));
    tab->setValueLabel(1, QStringLiteral("5.678"));
    tab->setValueLabel(2, QStringLiteral("-2.345"));
    tab->setValueLabel(3, QStringLiteral("OFF"));
    tab->setValueLabel(4, QStringLiteral("ON"));
    window.show();
    QApplication::processEvents();
    window.grab().save(out + QStringLiteral("/graph-first-size.png"));
    // What a maximised window gets on this screen (no window manager needed to look at it).
    window.setGeometry(window.screen()->availableGeometry());
    QApplication::processEvents();
    window.grab().save(out + QStringLiteral("/graph-maximised.png"));
    std::printf("%s/graph-first-size.png %s/graph-maximised.png\n", qPrintable(out), qPrintable(out));
    return 0;
}
