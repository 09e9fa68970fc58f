#pragma once
// A unit core against the simulator on loopback, driven on the test's thread: its
// deadlines ticked and its completions run until what the test waits for has happened.
#include "sim/simulator.h"
#include "unit/loopdispatcher.h"
#include "unit/unitcore.h"

#include <gtest/gtest.h>

#include <functional>
#include <future>

namespace qn::test {

// What a core told its listener, in order.
struct Heard final : unit::UnitCore::Listener {
    std::vector<unit::Reading> readings;
    std::vector<bool> answering;
    std::vector<unit::Step> changes;
    void readingTaken(const unit::Reading &r) override { readings.push_back(r); }
    void answeringChanged(bool on, const LinkError *) override { answering.push_back(on); }
    void stateChanged(const unit::UnitState &, unit::Step step) override { changes.push_back(step); }
    std::size_t good() const
    {
        return std::size_t(std::count_if(readings.begin(), readings.end(),
                                         [](const unit::Reading &r) { return r.quality != unit::Quality::NoAnswer; }));
    }
};

class CoreTest : public ::testing::Test {
protected:
    using Clock = std::chrono::steady_clock;

    // A simulated unit of the model, and a core on it.
    void startUnit(Model model, unit::RereadScope scope = unit::RereadScope::Everything,
                   const std::function<void(sim::UnitState &)> &setup = nullptr)
    {
        sim::UnitConfig config;
        config.modelId = traits(model).modelId;
        config.unitId = 5;
        simUnit = simulator.addUnit(config);
        if (setup)
            simulator.updateState(simUnit, setup);
        if (initialFault)
            simulator.setFault(simUnit, *initialFault);
        std::string error;
        ASSERT_TRUE(simulator.start(&error)) << error;
        unit::UnitCore::Options options;
        options.dispatcher = &dispatcher;
        options.timeouts = {1000, 1000, 300};
        options.scope = scope;
        core = std::make_unique<unit::UnitCore>(heard, options);
        ASSERT_EQ(core->connect("127.0.0.1", simulator.tcpPort(simUnit)), 0);
        core->start(Clock::now());
    }

    // Runs the core until `done` holds; false when 15 s pass first.
    bool runUntil(const std::function<bool()> &done)
    {
        const Clock::time_point end = Clock::now() + std::chrono::seconds(15);
        while (!done()) {
            const Clock::time_point now = Clock::now();
            if (now >= end)
                return false;
            if (now >= core->nextDeadline())
                core->tick(now);
            dispatcher.runOne(std::min(core->nextDeadline(), end));
        }
        return true;
    }

    // Another client's request on a session of its own, waited for.
    template <typename T, typename Send>
    Result<T> elsewhere(Send send)
    {
        UnitSession other;
        EXPECT_EQ(other.connect("127.0.0.1", simulator.tcpPort(simUnit)), 0);
        std::promise<Result<T>> answer;
        send(other, [&](Result<T> r) { answer.set_value(r); });
        return answer.get_future().get();
    }

    sim::Simulator simulator;
    std::optional<sim::Fault> initialFault; // the unit's fault from its first request on
    int simUnit = 0;
    unit::LoopDispatcher dispatcher;
    Heard heard;
    std::unique_ptr<unit::UnitCore> core;
};

} // namespace qn::test
