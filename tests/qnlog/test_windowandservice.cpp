// A unit window and the logging service log the same unit into the same bytes.
#include "../pages/pagetestsupport.h"

#include "qnlog/csvlogsink.h"
#include "qnlog/logservice.h"

#include "ui_analoginputpage.h"

using namespace qn;
using namespace qn::test;

namespace {

// Hands on the first `limit` readings only, so both logs hold the same number of rows.
class FirstReadings final : public logsvc::ReadingSink {
public:
    FirstReadings(logsvc::ReadingSink &to, int limit) : m_to(to), m_limit(limit) {}
    void take(const logsvc::Reading &reading) override
    {
        if (taken < m_limit) {
            ++taken;
            m_to.take(reading);
        }
    }
    void unitStateChanged(const logsvc::UnitIdentity &, bool) override {}
    void close() override { m_to.close(); }
    int taken = 0;

private:
    logsvc::ReadingSink &m_to;
    int m_limit;
};

// Time stamps one second apart from a fixed start, whoever asks.
struct SteppingClock {
    QDateTime next{QDate(2026, 12, 7), QTime(23, 59, 58)};
    QDateTime operator()() { return std::exchange(next, next.addSecs(1)); }
};

using WindowAndServiceTest = UnitWindowTest;

TEST_F(WindowAndServiceTest, TheSameReadingsMakeTheSameFileByteForByte)
{
    // Names, a formula and a unit as an operator set them; a name that is the channel's
    // number and an empty unit on the ±100mV range take their defaults in both.
    unitSettings().setRecord(0, 3, RecordKind::Input, 0, {"炉内温度", 100.0, -5.0, "℃", 0, 0});
    unitSettings().setRecord(0, 3, RecordKind::Input, 1, {"2", 1.0, 0.0, "", 0, 0});
    unitSettings().setSignalName(0, 3, RecordKind::Output, 1, "ポンプ");
    const QString settingsFile = logDir.filePath("qnview.ini");
    ASSERT_TRUE(unitSettings().save(settingsFile));
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.aiRange = {2, 0, 4};
        s.doPattern = 2;
    });
    simulator.pinAI(unit, 0, 0x123456);
    simulator.pinAI(unit, 1, -0x200000);
    simulator.pinAI(unit, 2, 0x7FFFFF);
    constexpr int kRows = 3;

    openWindow();
    SteppingClock windowClock;
    page->log().setClock(std::ref(windowClock));
    page->ui().aiPeriodEdit->setText("1");
    page->setAiAuto(true);
    for (int row = 0; row < kRows; ++row) {
        const int before = page->completionsRun();
        page->tickOnce();
        ASSERT_TRUE(settle(before, 1));
    }
    page->setAiAuto(false);

    QTemporaryDir serviceDir;
    logsvc::ServiceConfig config;
    config.logFolder = serviceDir.path();
    config.settingsFile = settingsFile;
    config.units.push_back({QStringLiteral("127.0.0.1"), simulator.tcpPort(unit), 1});
    logsvc::CsvLogSink csv({serviceDir.path(), 0, QLocale::system()});
    FirstReadings first(csv, kRows);
    SteppingClock serviceClock;
    logsvc::LogService service(config, timeouts, [&] {
        return std::chrono::system_clock::time_point(std::chrono::milliseconds(serviceClock().toMSecsSinceEpoch()));
    });
    service.addSink(&first);
    service.start();
    ASSERT_TRUE(waitUntil([&] { return first.taken == kRows; }));
    bool finished = false;
    QObject::connect(&service, &logsvc::LogService::finished, [&] { finished = true; });
    service.stop();
    ASSERT_TRUE(waitUntil([&] { return finished; }));

    QFile windowLog(logFile());
    QFile serviceLog(serviceDir.filePath(QFileInfo(logFile()).fileName()));
    ASSERT_TRUE(windowLog.open(QIODevice::ReadOnly));
    ASSERT_TRUE(serviceLog.open(QIODevice::ReadOnly));
    const QByteArray bytes = windowLog.readAll();
    EXPECT_EQ(bytes.count('\n'), kRows + 1);
    EXPECT_EQ(serviceLog.readAll(), bytes);
}

} // namespace
