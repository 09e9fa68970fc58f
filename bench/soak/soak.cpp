// A fault soak: N QN-210 windows read their simulated units every 100 ms with logging
// on, while each unit cycles through every fault the simulator can play (late, never,
// partial, split, garbage, dropped connection, switched off) and back to normal. An
// operator is played too: each message is dismissed after a second and "自動" ticked
// again. Reports, every interval, the process's RSS and the rows logged; at the end the
// malformed CSV rows, the hangs (a window whose queued input waited 5 s or more) and
// whether every window logs again once the faults stop. Exit 0 when all is well.
//
//   qnsoak [--windows N] [--seconds S] [--fault-seconds S] [--report-seconds S] [--log-dir DIR]
#include "settings/unitsettings.h"
#include "app/unitwindow.h"
#include "pages/qn210page.h"
#include "sim/simulator.h"
#include "ui/messages.h"

#include "ui_analoginputpage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int windows = 4;
    int seconds = 60;
    int faultSeconds = 4;
    int reportSeconds = 10;
    QString logDir;
};

// The operator: reads each message for a second, then presses OK.
class SoakOperator final : public qn::MessagePresenter {
public:
    void inform(QWidget *, const qn::MessageText &) override { ++messages; }
    bool confirm(QWidget *, const qn::MessageText &) override { return true; }
    void informAsync(QWidget *parent, const qn::MessageText &, std::function<void()> dismissed) override
    {
        ++messages;
        QTimer::singleShot(1000, parent, [dismissed = std::move(dismissed)] {
            if (dismissed)
                dismissed();
        });
    }
    int messages = 0;
};

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

struct LogCount {
    long rows = 0;
    long headers = 0;
    long malformed = 0;
    QStringList examples;
};

// A row as the QN-210 page writes it: date, time, three value/unit pairs, DO1, DO2.
bool wellFormedRow(const QByteArray &line)
{
    static const QRegularExpression time(QStringLiteral("^\\d{1,2}:\\d{2}:\\d{2}$"));
    const QList<QByteArray> f = line.split(',');
    if (f.size() != 10 || f[0].isEmpty() || !time.match(QString::fromLatin1(f[1])).hasMatch())
        return false;
    for (int i : {2, 4, 6}) {
        bool ok = false;
        f[i].trimmed().toDouble(&ok);
        if (!ok)
            return false;
    }
    for (int i : {3, 5, 7})
        if (f[i] != "V" && f[i] != "mV" && f[i] != "mA")
            return false;
    return (f[8] == "0" || f[8] == "1") && (f[9] == "0" || f[9] == "1");
}

LogCount countLogs(const QString &dir, int unitId)
{
    LogCount count;
    const QByteArray header = QByteArrayLiteral("\x93\xfa\x95\x74,");  // "日付," in code page 932
    const QStringList files = QDir(dir).entryList({QStringLiteral("QN-210_%1_*.csv").arg(unitId)}, QDir::Files);
    for (const QString &name : files) {
        QFile file(QDir(dir).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QByteArray bytes = file.readAll();
        if (!bytes.isEmpty() && !bytes.endsWith('\n')) {
            ++count.malformed;
            count.examples << name + QStringLiteral(": no line end at the end");
        }
        for (const QByteArray &line : bytes.split('\n')) {
            if (line.isEmpty())
                continue;
            if (line.startsWith(header)) {
                ++count.headers;
            } else if (wellFormedRow(line)) {
                ++count.rows;
            } else {
                ++count.malformed;
                if (count.examples.size() < 3)
                    count.examples << name + QStringLiteral(": ") + QString::fromLatin1(line.left(120));
            }
        }
    }
    return count;
}

// Every fault the simulator plays, then normal again; offline is a step of its own.
struct Step {
    const char *name;
    qn::sim::Fault fault;
    bool offline = false;
};
const Step kSteps[] = {
    {"normal", {}},
    {"late", {qn::sim::FaultKind::ReplyLate, 1500, 0, -1}},
    {"never", {qn::sim::FaultKind::NoReply, 0, 0, -1}},
    {"partial", {qn::sim::FaultKind::PartialReply, 0, 5, -1}},
    {"split", {qn::sim::FaultKind::SplitReply, 10, 0, -1}},
    {"garbage", {qn::sim::FaultKind::Garbage, 0, 0, -1}},
    {"drop", {qn::sim::FaultKind::DropConnection, 0, 0, -1}},
    {"offline", {}, true},
};
constexpr int kStepCount = int(std::size(kSteps));

Options parseOptions(const QStringList &args, bool *ok)
{
    Options o;
    *ok = true;
    for (int i = 1; i < args.size(); ++i) {
        const QString &a = args[i];
        const bool hasValue = i + 1 < args.size();
        bool number = true;
        if (a == QLatin1String("--windows") && hasValue)
            o.windows = args[++i].toInt(&number);
        else if (a == QLatin1String("--seconds") && hasValue)
            o.seconds = args[++i].toInt(&number);
        else if (a == QLatin1String("--fault-seconds") && hasValue)
            o.faultSeconds = args[++i].toInt(&number);
        else if (a == QLatin1String("--report-seconds") && hasValue)
            o.reportSeconds = args[++i].toInt(&number);
        else if (a == QLatin1String("--log-dir") && hasValue)
            o.logDir = args[++i];
        else
            number = false;
        *ok = *ok && number;
    }
    *ok = *ok && o.windows >= 1 && o.windows <= 16 && o.seconds >= 1 && o.faultSeconds >= 1 && o.reportSeconds >= 1;
    return o;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bool ok = false;
    const Options options = parseOptions(app.arguments(), &ok);
    if (!ok) {
        std::fprintf(stderr, "usage: qnsoak [--windows 1..16] [--seconds S] [--fault-seconds S] "
                             "[--report-seconds S] [--log-dir DIR]\n");
        return 2;
    }
    QTemporaryDir tempDir;
    const QString logDir = options.logDir.isEmpty() ? tempDir.path() : options.logDir;
    QDir().mkpath(logDir);

    SoakOperator presenter;
    qn::setMessagePresenter(&presenter);
    qn::unitSettings().setPath(QString());  // the soak keeps no settings file

    qn::sim::Simulator simulator;
    for (int i = 0; i < options.windows; ++i) {
        qn::sim::UnitConfig config;
        config.modelId = qn::proto::kModelQN210;
        config.unitId = i;
        config.bindIp = "127.0.0.1";
        config.discovery.enabled = false;
        simulator.addUnit(config);
    }
    std::string error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "qnsoak: simulator: %s\n", error.c_str());
        return 2;
    }

    std::vector<QPointer<qn::UnitWindow>> windows;
    for (int i = 0; i < options.windows; ++i) {
        qn::UnitWindowArgs args;
        args.ipAddress = QStringLiteral("127.0.0.1");
        args.tcpPort = simulator.tcpPort(i);
        args.title = QStringLiteral("QN-210(ID:%1) - 127.0.0.1").arg(i);
        args.unitId = i;
        args.loggingEnabled = true;
        args.logFolder = logDir;
        args.rowsPerFile = 1000;
        windows.emplace_back(qn::UnitWindow::open(args));
    }

    // The watchdog: every half second each window gets a queued call; one that waits 5 s
    // is a hang. A GUI thread that never comes back ends the process.
    std::mutex probeMutex;
    std::vector<Clock::time_point> answered(size_t(options.windows), Clock::now());
    std::vector<Clock::time_point> asked(size_t(options.windows), Clock::time_point{});
    std::atomic<int> hangs{0};
    std::atomic<long> worstWaitMs{0};
    std::atomic<bool> stop{false};
    std::thread watchdog([&] {
        std::vector<bool> hanging(size_t(options.windows), false);
        const auto deadline = Clock::now() + std::chrono::seconds(options.seconds + 120);
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            const auto now = Clock::now();
            std::lock_guard lock(probeMutex);
            for (int i = 0; i < options.windows; ++i) {
                const size_t n = size_t(i);
                if (answered[n] >= asked[n]) {
                    asked[n] = now;
                    hanging[n] = false;
                    QMetaObject::invokeMethod(windows[n].data(), [&, n] {
                        std::lock_guard inner(probeMutex);
                        answered[n] = Clock::now();
                        const long waited = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                     answered[n] - asked[n]).count());
                        worstWaitMs = std::max(worstWaitMs.load(), waited);
                    }, Qt::QueuedConnection);
                } else if (!hanging[n] && now - asked[n] >= std::chrono::seconds(5)) {
                    hanging[n] = true;
                    ++hangs;
                    std::fprintf(stderr, "qnsoak: window %d has answered no input for 5 s\n", i);
                }
            }
            if (now > deadline) {
                std::fprintf(stderr, "qnsoak: the program hangs; giving up\n");
                std::_Exit(3);
            }
        }
    });

    QElapsedTimer clock;
    clock.start();
    int step = 0;
    bool faultsOn = true;
    // The units change state on a thread of their own, one step after the other: switching
    // a unit off waits until its listening socket is full (up to 200 ms), and that wait is
    // the simulated units', not the program's whose GUI thread this soak watches.
    std::thread stepper;
    auto applyStep = [&] {
        if (stepper.joinable())
            stepper.join();
        stepper = std::thread([&simulator, windows = options.windows, step, faultsOn] {
            for (int i = 0; i < windows; ++i) {
                const Step &s = kSteps[(step + i) % kStepCount];
                simulator.setOnline(i, !(faultsOn && s.offline));
                if (faultsOn && s.fault.kind != qn::sim::FaultKind::None)
                    simulator.setFault(i, s.fault);
                else
                    simulator.clearFault(i);
            }
        });
    };

    // Start-up, then period 1 and "自動" as the operator would; again whenever a time-out
    // has switched it off and its message is gone.
    QTimer operatorTimer;
    QObject::connect(&operatorTimer, &QTimer::timeout, [&] {
        for (const QPointer<qn::UnitWindow> &window : windows) {
            auto *page = window ? qobject_cast<qn::Qn210Page *>(window->page()) : nullptr;
            if (!page || page->aiAuto() || page->pendingMessages() > 0 || page->paused())
                continue;
            page->ui().aiPeriodEdit->setText(QStringLiteral("1"));
            page->setAiAuto(true);
        }
    });
    operatorTimer.start(500);

    QTimer faultTimer;
    QObject::connect(&faultTimer, &QTimer::timeout, [&] {
        ++step;
        applyStep();
    });
    faultTimer.start(options.faultSeconds * 1000);
    applyStep();

    std::printf("qnsoak: %d windows, %d s, faults change every %d s, logs in %s\n", options.windows,
                options.seconds, options.faultSeconds, qPrintable(logDir));
    std::fflush(stdout);
    const long startRss = rssKiB();
    long peakRss = startRss;
    QTimer reportTimer;
    QObject::connect(&reportTimer, &QTimer::timeout, [&] {
        long rows = 0;
        for (int i = 0; i < options.windows; ++i)
            rows += countLogs(logDir, i).rows;
        const long rss = rssKiB();
        peakRss = std::max(peakRss, rss);
        std::printf("t=%4llds rss=%ld KiB rows=%ld messages=%d worst-wait=%ld ms hangs=%d\n",
                    clock.elapsed() / 1000, rss, rows, presenter.messages, worstWaitMs.load(), hangs.load());
        std::fflush(stdout);
    });
    reportTimer.start(options.reportSeconds * 1000);

    // The faults stop 10 s before the end: every window must be logging again by then.
    std::vector<long> rowsAtRecovery(size_t(options.windows), 0);
    const int recoverySeconds = std::min(10, std::max(1, options.seconds / 3));
    QTimer::singleShot((options.seconds - recoverySeconds) * 1000, [&] {
        faultTimer.stop();
        faultsOn = false;
        applyStep();
    });
    QTimer::singleShot((options.seconds - recoverySeconds / 2) * 1000, [&] {
        for (int i = 0; i < options.windows; ++i)
            rowsAtRecovery[size_t(i)] = countLogs(logDir, i).rows;
    });
    QTimer::singleShot(options.seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    if (stepper.joinable())
        stepper.join();

    operatorTimer.stop();
    reportTimer.stop();
    int stalled = 0;
    long rows = 0, malformed = 0;
    for (int i = 0; i < options.windows; ++i) {
        const LogCount count = countLogs(logDir, i);
        rows += count.rows;
        malformed += count.malformed;
        for (const QString &example : count.examples)
            std::printf("malformed: %s\n", qPrintable(example));
        if (count.rows <= rowsAtRecovery[size_t(i)]) {
            ++stalled;
            std::printf("window %d logs no more rows after the faults stopped\n", i);
        }
    }
    stop = true;
    watchdog.join();
    qn::UnitWindow::closeAllWindows();
    const bool closed = qn::UnitWindow::waitForAllWindowsClosed(15000);
    simulator.stop();
    qn::setMessagePresenter(nullptr);

    std::printf("qnsoak: %lld s, %d windows: rows=%ld malformed=%ld messages=%d hangs=%d worst-wait=%ld ms "
                "stalled=%d rss start=%ld KiB peak=%ld KiB end=%ld KiB%s\n",
                clock.elapsed() / 1000, options.windows, rows, malformed, presenter.messages, hangs.load(),
                worstWaitMs.load(), stalled, startRss, peakRss, rssKiB(), closed ? "" : " (windows did not close)");
    return (malformed == 0 && hangs == 0 && stalled == 0 && closed) ? 0 : 1;
}
