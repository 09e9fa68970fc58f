// qnlog itself polling 256 simulated units at 100 ms (qnsim in a process of its own) without
// its [mqtt] section, with it (JSON), and with payload = sparkplug, the broker a local
// mosquitto: the service's CPU in % of one core each way, the broker's, and every reading
// logged counted on the broker too (readings received against CSV rows written; Sparkplug B's
// DBIRTH and DDATA, a DDATA only when a metric changed). QN_MQTT_BENCH_SECONDS long (default 20).
#include "child.h"
#include "benchbroker.h"
#include "subscriber.h"
#include "../support/simprocess.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <thread>

using namespace qn::test;

namespace {

// Rows of every CSV file in `folder`: its lines less the header lines ("日付," in code page 932).
long csvRows(const std::filesystem::path &folder)
{
    long rows = 0;
    for (const auto &file : std::filesystem::directory_iterator(folder)) {
        std::ifstream in(file.path(), std::ios::binary);
        for (std::string line; std::getline(in, line);)
            rows += line.compare(0, 5, "\x93\xfa\x95\x74,") != 0;
    }
    return rows;
}

void BM_QnlogWithMqtt(benchmark::State &state)
{
    const int units = int(state.range(0));
    const bool mqtt = state.range(1) != 0, sparkplug = state.range(1) == 2;
    const char *env = std::getenv("QN_MQTT_BENCH_SECONDS");
    const int seconds = env && std::atoi(env) > 0 ? std::atoi(env) : 20;
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
    for (auto _ : state) {
        TempDir dir;
        qn::bench::SimProcess sim;
        const auto started = startBroker(state, dir.path);
        if (!started)
            return;
        Mosquitto &broker = *started;
        if (!sim.start(units)) {
            state.SkipWithError("qnsim did not start");
            return;
        }
        Subscriber subscriber(broker.uri(), "bench-dashboard", sparkplug ? "spBv1.0/qnview/+/+/+" : "qnview/+/reading", false);
        subscriber.waitForSubscription();
        std::filesystem::create_directories(dir.path / "logs");
        {
            std::ofstream conf(dir.path / "qnlog.conf");
            conf << "[service]\nlog-folder = " << (dir.path / "logs").string() << "\nsettings-file = "
                 << (dir.path / "qnview.ini").string() << "\nlocale = C\nperiod = 1\n";
            for (uint16_t port : sim.ports)
                conf << "[unit]\naddress = 127.0.0.1:" << port << "\n";
            if (mqtt)
                conf << "[mqtt]\nbroker = " << broker.uri() << "\npersistence-dir = " << (dir.path / "mqtt").string() << "\n"
                     << (sparkplug ? "payload = sparkplug\n" : "");
        }
        Child qnlog({std::string(QN_BIN_DIR) + "/qnlog", "--config", (dir.path / "qnlog.conf").string()});
        for (int answering = 0; answering < units;) {
            if (!qnlog.waitFor(Child::Err, " answers; ")) {
                state.SkipWithError(("not every unit answered: " + qnlog.seen(Child::Err)).c_str());
                return;
            }
            ++answering;
        }
        const double cpu0 = qn::bench::cpuSecondsOf(qnlog.pid()), broker0 = qn::bench::cpuSecondsOf(broker.pid());
        const auto t0 = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = qn::bench::cpuSecondsOf(qnlog.pid()) - cpu0, brokerCpu = qn::bench::cpuSecondsOf(broker.pid()) - broker0;
        qnlog.stop(SIGTERM);
        const long rows = csvRows(dir.path / "logs");
        if (mqtt)
            subscriber.waitForCount(std::uint64_t(rows), std::chrono::seconds(30));
        state.SetIterationTime(wall);
        state.counters["service_cpu_pct"] = 100 * cpu / wall;
        state.counters["broker_cpu_pct"] = 100 * brokerCpu / wall;
        state.counters["rows"] = double(rows);
        if (mqtt) {
            state.counters["received"] = double(subscriber.count());
            state.counters["lost"] = double(rows) - double(std::min<std::uint64_t>(subscriber.count(), std::uint64_t(rows)));
        }
    }
}
// mqtt: 0 none, 1 JSON, 2 Sparkplug B
BENCHMARK(BM_QnlogWithMqtt)->ArgNames({"units", "mqtt"})->Args({256, 0})->Args({256, 1})->Args({256, 2})->Iterations(1)->UseManualTime()
    ->Unit(benchmark::kSecond);

} // namespace
