// The logging service follows what another client changes on its units, over the four models:
// a range or an output set elsewhere shows in its rows within the re-read interval.
#include "qnlog/logservice.h"
#include "sim/simulator.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <future>

using namespace qn;
using namespace qn::logsvc;

namespace {

bool waitUntil(const std::function<bool()> &pred, int timeoutMs = 15000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!pred()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

struct Rows final : ReadingSink {
    std::vector<Reading> taken;
    void take(const Reading &r) override { taken.push_back(r); }
    void unitStateChanged(const UnitIdentity &, bool) override {}
};

struct ChangeCase {
    Model model;
    std::function<bool(UnitSession &, std::function<void(bool)>)> change; // another client's request
    std::function<bool(const Reading &)> follows;                         // the row shows it
};

class ServiceFollows : public ::testing::TestWithParam<ChangeCase> {};

TEST_P(ServiceFollows, AChangeMadeElsewhereShowsInTheRowsWithinTheRereadInterval)
{
    const ChangeCase &c = GetParam();
    sim::Simulator simulator;
    sim::UnitConfig config;
    config.modelId = traits(c.model).modelId;
    config.unitId = 2;
    const int unit = simulator.addUnit(config);
    std::string error;
    ASSERT_TRUE(simulator.start(&error)) << error;

    ServiceConfig service;
    service.settingsFile = QStringLiteral("/nonexistent/qnview.ini");
    service.units.push_back({QStringLiteral("127.0.0.1"), simulator.tcpPort(unit), 1});
    Rows rows;
    LogService logService(service, {1000, 1000, 1000});
    logService.addSink(&rows);
    logService.start();
    ASSERT_TRUE(waitUntil([&] { return rows.taken.size() >= 3; }));
    ASSERT_FALSE(c.follows(rows.taken.back()));

    UnitSession other;
    ASSERT_EQ(other.connect("127.0.0.1", simulator.tcpPort(unit)), 0);
    std::promise<bool> done;
    ASSERT_TRUE(c.change(other, [&](bool ok) { done.set_value(ok); }));
    ASSERT_TRUE(done.get_future().get());
    const std::size_t before = rows.taken.size();
    ASSERT_TRUE(waitUntil([&] { return c.follows(rows.taken.back()); }));
    // Rows of one period each (100 ms) still showing the old state: the re-read interval's worth
    // at most, and a few for the replies' own time. A slow machine makes fewer rows, not more.
    const std::size_t stale = rows.taken.size() - 1 - before;
    EXPECT_LE(stale, std::size_t(unit::kRereadInterval / std::chrono::milliseconds(100)) + 3);

    bool finished = false;
    QObject::connect(&logService, &LogService::finished, [&] { finished = true; });
    logService.stop();
    ASSERT_TRUE(waitUntil([&] { return finished; }));
}

const ChangeCase kCases[] = {
    {Model::QN210, [](UnitSession &s, auto done) { return s.setAIRange(0, 0, [done](auto r) { done(bool(r)); }); },
     [](const Reading &r) { return r.channels[0].unit == "mV"; }},
    {Model::QN220, [](UnitSession &s, auto done) { return s.setDO(1, [done](auto r) { done(bool(r)); }); },
     [](const Reading &r) { return r.digitalOutputs[0].on; }},
    {Model::QN110, [](UnitSession &s, auto done) { return s.setAO(0, 0, 9830, [done](auto r) { done(bool(r)); }); },
     [](const Reading &r) { return r.channels[0].valueText == "2.9999"; }},
    {Model::QN120, [](UnitSession &s, auto done) { return s.setAO(2, 1, 16384, [done](auto r) { done(bool(r)); }); },
     [](const Reading &r) { return r.channels[2].unit == "mA"; }},
};

INSTANTIATE_TEST_SUITE_P(Models, ServiceFollows, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(traits(info.param.model).name.substr(3)); });

} // namespace
