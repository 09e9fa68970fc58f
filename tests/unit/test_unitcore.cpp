// The unit core against simulated units of the four models: the start-up reads, a change made
// by another client followed within the re-read bound, a range the conversion table knows,
// the outputs as the unit holds them, and a unit that answers its identification only.
#include "coretestsupport.h"

#include "model/outputmode.h"

using namespace qn;
using namespace qn::test;
using unit::Item;
using unit::Quality;

namespace {

class EveryModel : public CoreTest, public ::testing::WithParamInterface<Model> {};

TEST_P(EveryModel, StartsWithTheIdentificationAndEveryItemThenReads)
{
    startUnit(GetParam());
    ASSERT_TRUE(runUntil([&] { return heard.good() >= 1; }));
    const std::vector<std::string> sent = simulator.requestNames(simUnit);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.front(), "GetUnitModelID");
    std::size_t settings = 0;
    unit::forEachSettingStep(GetParam(), [&](unit::Step) { ++settings; });
    // Identification, every setting, the reading: nothing skipped on the way.
    EXPECT_EQ(sent.size(), settings + 2);
    EXPECT_EQ(sent.back(), traits(GetParam()).analogInputs > 0 ? "GetAllAI" : "GetDI");
    EXPECT_EQ(heard.answering, std::vector<bool>{true});
    EXPECT_EQ(heard.readings.front().state.unitId, 5);
    EXPECT_EQ(heard.readings.front().state.model, GetParam());
}

TEST_P(EveryModel, FollowsAChangeMadeElsewhereWithinTheRereadInterval)
{
    const bool inputs = traits(GetParam()).analogInputs > 0;
    startUnit(GetParam(), unit::RereadScope::Rows);
    ASSERT_TRUE(runUntil([&] { return heard.good() >= 1; }));
    // A range (inputs) or an output (outputs) set by another client.
    const bool taken = inputs ? bool(elsewhere<InputRange>([](UnitSession &s, auto done) { s.setAIRange(0, 0, done); }))
                              : bool(elsewhere<AnalogOutput>([](UnitSession &s, auto done) { s.setAO(0, 0, 12345, done); }));
    ASSERT_TRUE(taken);
    const Clock::time_point changed = Clock::now();
    const auto follows = [&](const unit::Reading &r) {
        return inputs ? r.state.ranges[0] == 0 : r.state.outputs[0].raw == 12345;
    };
    ASSERT_TRUE(runUntil([&] { return follows(heard.readings.back()); }));
    // The re-read interval, and the time its reply takes on a loaded machine.
    EXPECT_LE(heard.readings.back().taken - changed, unit::kRereadInterval + std::chrono::milliseconds(700));
    EXPECT_EQ(heard.changes.back().item, inputs ? Item::Range : Item::Output);
}

INSTANTIATE_TEST_SUITE_P(Models, EveryModel, ::testing::ValuesIn(kAllModels),
                         [](const auto &info) { return std::string(traits(info.param).name.substr(3)); });

using CoreOnUnit = CoreTest;

TEST_F(CoreOnUnit, AQn210InputOnTheThermocoupleCodeIsConvertedByIt)
{
    startUnit(Model::QN210, unit::RereadScope::Everything, [](sim::UnitState &s) { s.aiRange = {6, 2, 2}; });
    simulator.pinAI(simUnit, 0, 2560 * 25);
    ASSERT_TRUE(runUntil([&] { return heard.good() >= 1; }));
    const unit::Reading &r = heard.readings.back();
    EXPECT_EQ(r.state.ranges[0], 6);
    EXPECT_DOUBLE_EQ(unit::inputValue(r.state, 0, {}), 25.0);
    EXPECT_EQ(heard.answering, std::vector<bool>{true});
}

TEST_F(CoreOnUnit, TheOutputValueIsTheCodeTheUnitHolds)
{
    startUnit(Model::QN110, unit::RereadScope::Rows);
    ASSERT_TRUE(runUntil([&] { return heard.good() >= 1; }));
    // 12 V asked in voltage mode: the unit clamps, the core logs what it holds.
    const bool written = core->setAnalogOutput(0, [](int) { return 40000; }, [](Result<AnalogOutput>) {});
    ASSERT_TRUE(written);
    ASSERT_TRUE(runUntil([&] { return !core->busy() && heard.readings.back().state.outputs[0].raw != 0; }));
    const int held = simulator.state(simUnit).aoRaw[0];
    EXPECT_EQ(core->state()->outputs[0].raw, held);
    const unit::NamedReading named = unit::named(heard.readings.back(), {{{"1", 1.0, 0.0, ""}}, {}});
    EXPECT_EQ(named.channels[0].raw, ao::signExtend16(held));
}

TEST_F(CoreOnUnit, AUnitThatAnswersOnlyItsIdentificationIsReportedGoneOnce)
{
    // Every reply a byte at a time 30 ms apart: the identification gets through, no reading does.
    initialFault = sim::Fault{sim::FaultKind::SplitReply, 30, 0, -1, 0};
    startUnit(Model::QN210, unit::RereadScope::Rows);
    ASSERT_TRUE(runUntil([&] { return core->stats().sinceConnect().requests >= 12; }));
    EXPECT_EQ(heard.answering, std::vector<bool>{false});
    EXPECT_EQ(heard.good(), 0u);
}

TEST_F(CoreOnUnit, AnotherUnitAtTheAddressIsReadAfreshBeforeItsFirstReading)
{
    startUnit(Model::QN210);
    ASSERT_TRUE(runUntil([&] { return heard.good() >= 2; }));
    // The unit replaced by a QN-110 of another ID on the same address and port.
    const uint16_t port = simulator.tcpPort(simUnit);
    simulator.stop();
    sim::Simulator replacement;
    sim::UnitConfig config;
    config.modelId = proto::kModelQN110;
    config.unitId = 9;
    config.tcpPort = port;
    const int qn110 = replacement.addUnit(config);
    replacement.updateState(qn110, [](sim::UnitState &s) { s.aoRaw = {1000, 2000, 0}; });
    std::string error;
    ASSERT_TRUE(replacement.start(&error)) << error;
    ASSERT_TRUE(runUntil([&] { return heard.readings.back().state.model == Model::QN110; }));
    const unit::Reading &first = heard.readings.back();
    EXPECT_EQ(first.state.unitId, 9);
    EXPECT_EQ(first.state.outputs[1].raw, 2000); // its own outputs, read before its first reading
    const std::vector<std::string> sent = replacement.requestNames(qn110);
    EXPECT_EQ(sent.front(), "GetUnitModelID");
    EXPECT_EQ(sent.back(), "GetDI");
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "GetDI"), 1);
    core.reset(); // before the replacement goes
}

TEST_F(CoreOnUnit, CountsAnswersAndFailures)
{
    startUnit(Model::QN120, unit::RereadScope::Rows);
    ASSERT_TRUE(runUntil([&] { return heard.good() >= 3; }));
    simulator.setFault(simUnit, {sim::FaultKind::NoReply, 0, 0, 1, 0});
    ASSERT_TRUE(runUntil([&] { return core->stats().sinceConnect().timeouts == 1 && heard.good() >= 5; }));
    const unit::CommStats::Summary s = core->stats().sinceConnect();
    EXPECT_TRUE(s.median && s.p99 && *s.median <= *s.p99);
    EXPECT_EQ(core->stats().lastMinute(Clock::now()).timeouts, 1u);
    EXPECT_TRUE(core->stats().lastGoodAnswer());
    EXPECT_EQ(heard.answering, (std::vector<bool>{true, false, true}));
}

} // namespace
