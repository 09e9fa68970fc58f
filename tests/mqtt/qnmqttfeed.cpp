// qnmqttfeed: the MQTT publisher fed by synthetic units, for the tests and the benchmark
// (the logging service's own readings take its place there).
//
//   qnmqttfeed --broker tcp://127.0.0.1:1883 [--units 2] [--model QN-210] [publisher options]
//       reads commands from standard input: "r N" (N readings from every unit), "same N" (N more
//       with the last values), "s UNIT 0|1"
//       (a unit goes offline/online), "stats", "quit"; --first N numbers the readings from N
//   qnmqttfeed ... --period 100 --seconds 10
//       a reading from every unit each period for that long, then waits (up to 10 s) for the
//       broker to take everything and prints "stats ..." and "cpu USER_MS SYSTEM_MS"
//
// Unit u (1-based) is "<model>_<u>_127.0.<u/256>.<u%256>"; its n-th reading has the raw code
// n on its first channel, so a subscriber can tell order and gaps.
#include "mqtt/payload.h"
#include "mqtt/publisher.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

using namespace qn::mqtt;

namespace {

std::mutex outputMutex;

void println(const std::string &line)
{
    std::lock_guard lock(outputMutex);
    std::cout << line << std::endl;
}

UnitKey unitKey(const qn::ModelTraits &t, int u)
{
    return {std::string(t.name), u, "127.0." + std::to_string(u / 256) + '.' + std::to_string(u % 256)};
}

UnitReading reading(const qn::ModelTraits &t, int u, long n, std::int64_t timeMs, int offset)
{
    UnitReading r;
    r.unit = unitKey(t, u);
    r.timeMs = timeMs;
    r.utcOffsetMinutes = offset;
    const bool inputs = t.analogInputs > 0;
    const int analog = inputs ? t.analogInputs : t.analogOutputs;
    for (int k = 1; k <= analog; ++k)
        r.channels.push_back({(inputs ? "AI" : "AO") + std::to_string(k), k == 1 ? "温度" : "CH" + std::to_string(k),
                              double(n) + k / 10.0, k == 1 ? "°C" : "V", n + 1000L * (k - 1)});
    for (int j = 0; j < t.digitalInputs; ++j)
        r.digitalInputs.push_back(int((n >> j) & 1));
    for (int j = 0; j < t.digitalOutputs; ++j)
        r.digitalOutputs.push_back(int((n >> j) & 1));
    return r;
}

std::string statsLine(const PublisherStats &s)
{
    return "stats queued " + std::to_string(s.queued) + " delivered " + std::to_string(s.delivered) + " dropped " +
           std::to_string(s.dropped) + " unchanged " + std::to_string(s.unchanged) + " connected " +
           std::to_string(int(s.connected));
}

} // namespace

int main(int argc, char **argv)
{
    BrokerOptions options;
    int units = 2, periodMs = 0, seconds = 0, offset = 0;
    long first = 1; // the sequence number of the first reading (a restarted feed goes on)
    bool fixedOffset = false;
    std::int64_t timeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    std::string modelName = "QN-210";
    std::set<int> commandUnits;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--broker") options.uri = value;
        else if (key == "--prefix") options.prefix = value;
        else if (key == "--client-id") options.clientId = value;
        else if (key == "--username") options.username = value;
        else if (key == "--password") options.password = value;
        else if (key == "--ca") options.caFile = value;
        else if (key == "--cert") options.certFile = value;
        else if (key == "--key") options.keyFile = value;
        else if (key == "--retain") options.retainReadings = value == "1";
        else if (key == "--on-change") options.onlyOnChange = value == "1";
        else if (key == "--buffer") options.bufferLimit = std::stoi(value);
        else if (key == "--persist") options.persistenceDir = value;
        else if (key == "--retry-max") options.retryMaxSeconds = std::stoi(value);
        else if (key == "--units") units = std::stoi(value);
        else if (key == "--model") modelName = value;
        else if (key == "--commands") {
            std::istringstream list(value);
            for (std::string u; std::getline(list, u, ',');)
                commandUnits.insert(std::stoi(u));
        } else if (key == "--period") periodMs = std::stoi(value);
        else if (key == "--seconds") seconds = std::stoi(value);
        else if (key == "--first") first = std::stol(value);
        else if (key == "--time-ms") timeMs = std::stoll(value);
        else if (key == "--utc-offset") { offset = std::stoi(value); fixedOffset = true; }
        else {
            std::cerr << "qnmqttfeed: unknown option " << key << '\n';
            return 2;
        }
    }
    const qn::ModelTraits *model = nullptr;
    for (qn::Model m : qn::kAllModels)
        if (qn::traits(m).name == modelName)
            model = &qn::traits(m);
    if (!model) {
        std::cerr << "qnmqttfeed: unknown model " << modelName << '\n';
        return 2;
    }
    if (!fixedOffset)
        offset = localUtcOffsetMinutes(timeMs);

    Publisher publisher(options, [](const std::string &line) { std::cerr << line << std::endl; });
    for (int u = 1; u <= units; ++u)
        publisher.addUnit(unitKey(*model, u), model->model, commandUnits.count(u) > 0,
                          [u](const UnitKey &, const Command &c, std::function<void(std::string)> done) {
                              std::ostringstream line;
                              line << "run " << u << ' ' << (c.kind == OutputKind::Digital ? "DO" : "AO") << c.channel
                                   << ' ' << c.value;
                              println(line.str());
                              done({});
                          });
    if (!publisher.start())
        return 1;

    std::map<int, long> sequence;
    for (int u = 1; u <= units; ++u)
        sequence[u] = first - 1;
    const auto publishAll = [&](std::int64_t at) {
        for (int u = 1; u <= units; ++u)
            publisher.publishReading(reading(*model, u, ++sequence[u], at, offset));
    };

    if (periodMs > 0) {
        const auto start = std::chrono::steady_clock::now();
        const long ticks = long(seconds) * 1000 / periodMs;
        for (long t = 0; t < ticks; ++t) {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(t * periodMs));
            publishAll(timeMs + t * periodMs);
        }
        // Until the broker has taken everything, or 10 s.
        for (int i = 0; i < 1000; ++i) {
            const PublisherStats s = publisher.stats();
            if (s.delivered >= s.queued)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        println(statsLine(publisher.stats()));
        println("cpu " + std::to_string(usage.ru_utime.tv_sec * 1000 + usage.ru_utime.tv_usec / 1000) + ' ' +
                std::to_string(usage.ru_stime.tv_sec * 1000 + usage.ru_stime.tv_usec / 1000));
        return 0;
    }

    std::int64_t at = timeMs;
    for (std::string line; std::getline(std::cin, line);) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command == "r" || command == "same") {
            long n = 0;
            words >> n;
            for (long i = 0; i < n; ++i, at += 100) {
                if (command == "same") // the last reading's values again, at a later time
                    for (int u = 1; u <= units; ++u)
                        --sequence[u];
                publishAll(at);
            }
            println("sent " + std::to_string(sequence[1]));
        } else if (command == "s") {
            int u = 0, online = 0;
            words >> u >> online;
            publisher.publishUnitStatus(unitKey(*model, u), online != 0);
            println("status");
        } else if (command == "stats") {
            println(statsLine(publisher.stats()));
        } else if (command == "quit") {
            break;
        }
    }
    return 0;
}
