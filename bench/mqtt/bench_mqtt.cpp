// 256 units at 100 ms (2,560 readings a second) through a local mosquitto. The publisher runs
// in qnmqttfeed, fed by synthetic units (the service's own polling is benchmarked apart); a
// subscriber here counts what arrives. Reported: the publisher's and the broker's CPU in % of
// one core, readings sent and received, and the difference (lost). Run it in a network
// namespace of its own:
//   unshare -n -- bash -c 'ip link set lo up && build/bin/bench_mqtt'
// QN_MQTT_BENCH_SECONDS sets the length of a run (default 20). Then a broker away for ten
// minutes of 4 units, the publisher restarted meanwhile: nothing may be missing.
#include "child.h"
#include "benchbroker.h"
#include "subscriber.h"
#include "../support/simprocess.h"

#include <benchmark/benchmark.h>

#include <set>
#include <sstream>

using namespace qn::test;

namespace {

constexpr int kUnits = 256;
constexpr int kPeriodMs = 100;

int runSeconds()
{
    const char *s = std::getenv("QN_MQTT_BENCH_SECONDS");
    return s ? std::max(1, std::atoi(s)) : 20;
}

// persistence 0: messages wait in memory only; 1: on disk as well (the service's setting).
void BM_Publish256UnitsAt100ms(benchmark::State &state)
{
    const bool persist = state.range(0) != 0;
    const int seconds = runSeconds();
    for (auto _ : state) {
        TempDir dir;
        const auto started = startBroker(state, dir.path);
        if (!started)
            return;
        Mosquitto &broker = *started;
        Subscriber subscriber(broker.uri(), "bench-subscriber", "qnview/+/reading", false);
        if (!subscriber.waitForSubscription()) {
            state.SkipWithError("no subscription");
            return;
        }
        std::vector<std::string> args{std::string(QN_BIN_DIR) + "/qnmqttfeed", "--broker", broker.uri(), "--units",
                                      std::to_string(kUnits), "--period", std::to_string(kPeriodMs), "--seconds",
                                      std::to_string(seconds), "--client-id", "bench-feed"};
        if (persist)
            args.insert(args.end(), {"--persist", (dir.path / "feed").string()});
        const double brokerBefore = 1000 * qn::bench::cpuSecondsOf(broker.pid());
        const auto start = std::chrono::steady_clock::now();
        Child feed(args);
        std::string stats, cpu;
        const auto timeout = std::chrono::seconds(seconds + 30);
        if (!feed.waitFor(Child::Out, "stats", timeout) || !feed.readLine(Child::Out, cpu, timeout)) {
            state.SkipWithError(("the feed did not finish: " + feed.seen(Child::Err)).c_str());
            return;
        }
        const double wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const double brokerMs = 1000 * qn::bench::cpuSecondsOf(broker.pid()) - brokerBefore;
        feed.wait();
        const std::uint64_t sent = std::uint64_t(kUnits) * std::uint64_t(seconds * 1000 / kPeriodMs);
        subscriber.waitForCount(sent, std::chrono::seconds(30));
        const std::uint64_t received = subscriber.count();

        double userMs = 0, systemMs = 0;
        std::istringstream(cpu.substr(4)) >> userMs >> systemMs;
        state.SetIterationTime(wallMs / 1000);
        state.counters["publisher_cpu_pct"] = (userMs + systemMs) / (seconds * 1000.0) * 100;
        state.counters["broker_cpu_pct"] = brokerMs / (seconds * 1000.0) * 100;
        state.counters["sent"] = double(sent);
        state.counters["received"] = double(received);
        state.counters["lost"] = double(sent) - double(std::min(received, sent));
        state.counters["msgs_per_s"] = double(sent) / seconds;
    }
}
BENCHMARK(BM_Publish256UnitsAt100ms)->ArgName("persist")->Arg(0)->Arg(1)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

namespace {

// A broker away for ten minutes of 4 units at 100 ms (24,000 readings), with the publisher
// restarted half way: how long the backlog takes to arrive once the broker is back, and
// whether any reading is missing. Counted, not timed: the readings are made at once.
void BM_TenMinuteOutageOf4Units(benchmark::State &state)
{
    constexpr int kOutageUnits = 4, kPerUnit = 6000;
    for (auto _ : state) {
        TempDir dir;
        const auto started = startBroker(state, dir.path);
        if (!started)
            return;
        Mosquitto &broker = *started;
        Subscriber subscriber(broker.uri(), "bench-historian", "qnview/+/reading");
        subscriber.waitForSubscription();
        const std::vector<std::string> args{std::string(QN_BIN_DIR) + "/qnmqttfeed", "--broker", broker.uri(), "--units",
                                            std::to_string(kOutageUnits), "--client-id", "bench-outage", "--persist",
                                            (dir.path / "feed").string(), "--retry-max", "1"};
        auto feed = std::make_unique<Child>(args);
        feed->waitFor(Child::Err, "connected to");
        broker.stop();
        feed->send("r " + std::to_string(kPerUnit / 2));
        feed->waitFor(Child::Out, "sent", std::chrono::seconds(120));
        feed.reset(); // killed: a restart of the service during the outage
        auto second = args;
        second.insert(second.end(), {"--first", std::to_string(kPerUnit / 2 + 1)});
        feed = std::make_unique<Child>(second);
        feed->send("r " + std::to_string(kPerUnit / 2));
        feed->waitFor(Child::Out, "sent", std::chrono::seconds(120));

        const auto back = std::chrono::steady_clock::now();
        broker.start();
        const std::uint64_t sent = std::uint64_t(kOutageUnits) * kPerUnit;
        subscriber.waitForCount(sent, std::chrono::seconds(300));
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - back).count());
        // Each reading once: QoS 1 may bring one twice.
        std::set<std::pair<std::string, std::string>> distinct;
        for (const Received &m : subscriber.messages())
            distinct.insert({m.topic, m.payload.substr(m.payload.find("\"raw\":"), 16)});
        state.counters["sent"] = double(sent);
        state.counters["received"] = double(subscriber.count());
        state.counters["lost"] = double(sent) - double(distinct.size());
    }
}
BENCHMARK(BM_TenMinuteOutageOf4Units)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace
