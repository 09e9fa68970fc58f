// qnlog as a program against simulated units on loopback: a unit that goes and comes back,
// the signals, a configuration mistake.
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

using namespace qn;

namespace {

QList<QByteArray> lines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> result = file.readAll().split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

class QnlogProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::UnitConfig config;
        config.modelId = proto::kModelQN210;
        config.unitId = 3;
        config.bindIp = "127.0.0.2";
        config.discovery.enabled = searchable;
        unit = simulator.addUnit(config);
        std::string error;
        ASSERT_TRUE(simulator.start(&error)) << error;
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir(dir.path()).mkdir("logs"));
    }

    void TearDown() override
    {
        if (qnlog.state() != QProcess::NotRunning) {
            qnlog.kill();
            qnlog.waitForFinished();
        }
    }

    QString configText() const
    {
        return QStringLiteral("[service]\nlog-folder = %1/logs\nsettings-file = %1/qnview.ini\nlocale = C\n"
                              "[unit]\naddress = 127.0.0.2:%2\nperiod = 1\n")
            .arg(dir.path())
            .arg(simulator.tcpPort(unit));
    }

    QString writeConfig(const QString &text)
    {
        const QString path = dir.filePath("qnlog.conf");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
        return path;
    }

    void start(const QString &config)
    {
        qnlog.start(QStringLiteral(QN_BIN_DIR "/qnlog"), {"--config", writeConfig(config)});
        ASSERT_TRUE(qnlog.waitForStarted());
    }

    // Runs until pred holds, collecting what qnlog writes to standard error.
    bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            QCoreApplication::processEvents();
            errors += QString::fromLocal8Bit(qnlog.readAllStandardError());
            if (pred())
                return true;
            if (deadline.hasExpired())
                return false;
            qnlog.waitForReadyRead(10);
        }
    }
    bool waitForError(const QString &text) { return waitUntil([&] { return errors.contains(text); }); }
    bool waitForRows(const QString &path, int n) { return waitUntil([&] { return lines(path).size() > n; }); }

    QString logFile() const { return dir.filePath("logs/QN-210_3_127.0.0.2.csv"); }

    bool searchable = false; // the unit answers searches (on a port of the simulator's choosing)
    sim::Simulator simulator;
    int unit = 0;
    QTemporaryDir dir;
    QProcess qnlog;
    QString errors;
};

TEST_F(QnlogProgramTest, AUnitSwitchedOffAndOnIsReportedOnceEachWayAndNoRowIsMadeUp)
{
    start(configText());
    ASSERT_TRUE(waitForRows(logFile(), 3)) << errors.toStdString();
    // Switched off: every request the unit still receives loses its connection.
    simulator.setFault(unit, {sim::FaultKind::DropConnection});
    ASSERT_TRUE(waitForError("does not answer")) << errors.toStdString();
    // From here the unit is only asked who it is until it answers: no reading is in flight.
    simulator.clearRequestLog(unit);
    const int rowsBefore = int(lines(logFile()).size());
    // Several failed attempts, one period apart, before it comes back.
    ASSERT_TRUE(simulator.waitForRequests(unit, 5, 10000));
    simulator.clearFault(unit);
    ASSERT_TRUE(waitForError("answers again")) << errors.toStdString();
    const int rowsBack = int(lines(logFile()).size());
    ASSERT_TRUE(waitForRows(logFile(), rowsBack + 2));
    qnlog.terminate();
    ASSERT_TRUE(qnlog.waitForFinished(5000));
    errors += QString::fromLocal8Bit(qnlog.readAllStandardError());

    EXPECT_EQ(errors.count("does not answer"), 1) << errors.toStdString();
    EXPECT_EQ(errors.count("answers again"), 1) << errors.toStdString();
    // One row per reading the unit answered since it went: none for the attempts it dropped.
    const std::vector<std::string> requests = simulator.requestNames(unit);
    EXPECT_EQ(lines(logFile()).size() - rowsBefore, std::count(requests.begin(), requests.end(), "GetAllAI"));
}

TEST_F(QnlogProgramTest, SigtermMidRunLeavesWholeRowsAndExitsZero)
{
    start(configText());
    ASSERT_TRUE(waitForRows(logFile(), 5)) << errors.toStdString();
    qnlog.terminate();
    ASSERT_TRUE(qnlog.waitForFinished(2000));
    EXPECT_EQ(qnlog.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(qnlog.exitCode(), 0);
    QFile file(logFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.endsWith('\n'));
    for (const QByteArray &row : lines(logFile()))
        EXPECT_EQ(row.count(','), 9) << row.toStdString();
}

TEST_F(QnlogProgramTest, SighupAfterTheFileWasMovedAwayStartsANewFile)
{
    start(configText());
    ASSERT_TRUE(waitForRows(logFile(), 2)) << errors.toStdString();
    const QString moved = logFile() + ".1";
    ASSERT_TRUE(QFile::rename(logFile(), moved));
    ::kill(pid_t(qnlog.processId()), SIGHUP);
    ASSERT_TRUE(waitForError("log files reopened")) << errors.toStdString();
    ASSERT_TRUE(waitForRows(logFile(), 1)) << errors.toStdString();
    const QList<QByteArray> fresh = lines(logFile());
    EXPECT_TRUE(fresh[0].startsWith(lines(moved)[0])); // a header line first
    EXPECT_EQ(fresh[1].count(','), 9);
}

class QnlogSearchTest : public QnlogProgramTest {
protected:
    QnlogSearchTest() { searchable = true; }
};

TEST_F(QnlogSearchTest, EveryUnitASearchFindsIsLogged)
{
    start(QStringLiteral("[service]\nlog-folder = %1/logs\nsettings-file = %1/qnview.ini\nperiod = 1\n"
                         "[search]\nbroadcast = 127.255.255.255\nudp-port = %2\ntcp-port = %3\n")
              .arg(dir.path())
              .arg(simulator.udpPort(unit))
              .arg(simulator.tcpPort(unit)));
    ASSERT_TRUE(waitForRows(logFile(), 2)) << errors.toStdString();
    EXPECT_TRUE(errors.contains("127.0.0.2:" + QString::number(simulator.tcpPort(unit)) + " (QN-210 ID 3) answers"));
}

TEST_F(QnlogProgramTest, AConfigurationMistakeAtLine7NamesLine7AndStartsNothing)
{
    QString text = configText();
    ASSERT_EQ(text.split('\n')[6], "period = 1");
    const QString path = writeConfig(text.replace("period = 1", "perod = 1"));
    qnlog.start(QStringLiteral(QN_BIN_DIR "/qnlog"), {"--config", path});
    ASSERT_TRUE(qnlog.waitForFinished(10000));
    EXPECT_EQ(qnlog.exitCode(), 2);
    EXPECT_EQ(qnlog.readAllStandardError().toStdString(),
              ("qnlog: " + path + ":7: unknown key 'perod' in [unit]\n").toStdString());
    EXPECT_TRUE(simulator.requestNames(unit).empty());
    EXPECT_TRUE(QDir(dir.filePath("logs")).isEmpty());
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
