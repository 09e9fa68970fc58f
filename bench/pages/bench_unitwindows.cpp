// CPU cost of open unit windows: 16 QN-210 windows, each reading its unit every 100 ms
// with logging on, against units simulated by a separate qnsim process, so only this
// program's side is measured. Reported as % of one core over a fixed wall time.
//
// Runs with the offscreen platform unless QT_QPA_PLATFORM says otherwise; the windows are
// shown, so labels, bars and the canvas really paint.
#include "app/unitwindow.h"
#include "history/trendseries.h"
#include "settings/unitsettings.h"
#include "pages/qn210page.h"
#include "ui/messages.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cmath>
#include <ctime>

namespace {

constexpr int kWindows = 16;
constexpr int kSeconds = 10;

class SilentPresenter final : public qn::MessagePresenter {
public:
    void inform(QWidget *, const qn::MessageText &text) override { ++count; last = text.text(); }
    bool confirm(QWidget *, const qn::MessageText &) override { return true; }
    int count = 0;
    QString last;
};

// CPU time of the calling thread: the GUI thread's own share, which the other threads and
// the machine's other work disturb far less than the process's total.
double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// qnsim with n QN-210 units on 127.0.0.1, free ports; returns the ports.
QList<int> startSimulator(QProcess &process, int n)
{
    QStringList args;
    for (int i = 0; i < n; ++i)
        args << "--unit" << QStringLiteral("QN-210:%1:127.0.0.1:0").arg(i % 16)
             << "--discovery" << QStringLiteral("%1:off").arg(i);
    args << "--udp-port" << "0";
    process.start(QStringLiteral(QN_BIN_DIR "/qnsim"), args);
    QList<int> ports;
    QByteArray out;
    QElapsedTimer timer;
    timer.start();
    static const QRegularExpression line(QStringLiteral("at 127\\.0\\.0\\.1:(\\d+)"));
    while (ports.size() < n && timer.elapsed() < 10000 && process.waitForReadyRead(1000)) {
        out += process.readAllStandardOutput();
        ports.clear();
        for (auto it = line.globalMatch(QString::fromLatin1(out)); it.hasNext();)
            ports << it.next().captured(1).toInt();
    }
    return ports;
}

double nowSeconds()
{
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

// The program's own event loop for ms milliseconds (blocking waits, no polling).
void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// range(0): the tab each window shows, 0 control page, 1 graph; 2 none, the windows hidden once
// reading, the floor under both; 3 the graph ten minutes on, when the history is longer than the
// window and every reading moves the picture (an operator's usual view).
void BM_SixteenWindowsReadingEvery100ms(benchmark::State &state)
{
    SilentPresenter presenter;
    qn::setMessagePresenter(&presenter);
    QProcess simulator;
    const QList<int> ports = startSimulator(simulator, kWindows);
    if (ports.size() != kWindows) {
        state.SkipWithError("qnsim did not start");
        return;
    }
    QTemporaryDir logDir;
    std::vector<qn::UnitWindow *> windows;
    for (int i = 0; i < kWindows; ++i) {
        qn::UnitWindowArgs args;
        args.ipAddress = QStringLiteral("127.0.0.1");
        args.tcpPort = ports[i];
        args.title = QStringLiteral("QN-210(ID:%1) - 127.0.0.1").arg(i);
        args.unitId = i;
        args.loggingEnabled = true;
        args.logFolder = logDir.path();
        args.rowsPerFile = 10000;
        auto *window = qn::UnitWindow::open(args);
        window->selectTab(state.range(0) == 0 ? 0 : 1);
        windows.push_back(window);
    }
    runFor(1500); // start-up chains
    for (auto *window : windows) {
        // As the operator: period 1, tick "自動".
        auto *page = qobject_cast<qn::Qn210Page *>(window->page());
        page->findChild<QLineEdit *>(QStringLiteral("aiPeriodEdit"))->setText(QStringLiteral("1"));
        page->setAiAuto(true);
        if (state.range(0) == 2)
            window->hide(); // nothing painted: what the readings cost besides the screen
    }
    if (state.range(0) == 3) {
        // Ten minutes of readings behind every window, before the few of the start-up: the
        // window follows the data from the first measured reading.
        for (auto *window : windows) {
            for (int i = 0; i < 5; ++i) {
                qn::TrendSeries *series = window->page()->series(i);
                const std::vector<qn::TrendSample> kept(series->samples().begin(), series->samples().end());
                const double first = kept.empty() ? nowSeconds() : kept.front().time;
                series->clear();
                for (int k = 0; k < 6000; ++k)
                    series->addSample(first - 600.0 + k * 0.1, i < 3 ? 5 * std::sin(k * 0.05 + i) : (k / 50) % 2);
                for (const qn::TrendSample &sample : kept)
                    series->addSample(sample.time, sample.value);
            }
        }
    }
    runFor(1000);

    for (auto _ : state) {
        int before = 0;
        for (auto *window : windows)
            before += window->page()->completionsRun();
        const double cpu0 = processCpuSeconds();
        const double gui0 = threadCpuSeconds();
        QElapsedTimer wall;
        wall.start();
        runFor(kSeconds * 1000);
        const double cpu = processCpuSeconds() - cpu0;
        const double gui = threadCpuSeconds() - gui0;
        const double seconds = wall.elapsed() / 1000.0;
        int after = 0;
        for (auto *window : windows)
            after += window->page()->completionsRun();
        state.SetIterationTime(seconds);
        state.counters["cpu_pct_of_one_core"] = 100.0 * cpu / seconds;
        state.counters["readings_per_s"] = (after - before) / seconds;
        state.counters["gui_us_per_reading"] = after > before ? gui * 1e6 / (after - before) : 0.0;
    }
    state.counters["timeout_messages"] = presenter.count;

    qn::UnitWindow::closeAllWindows();
    qn::UnitWindow::waitForAllWindowsClosed(20000);
    simulator.terminate();
    simulator.waitForFinished(5000);
    qn::setMessagePresenter(nullptr);
}

BENCHMARK(BM_SixteenWindowsReadingEvery100ms)->ArgName("tab")->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    qn::unitSettings().setPath(QString());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
