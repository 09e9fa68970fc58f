// qnlog with many simulated units at 100 ms (run it inside `unshare -n`):
//
//   BM_QnlogBesideBareSessions/256   the service for QN_BENCH_SECONDS (default 60): its CPU in
//                                    % of one core, resident memory, rows written against the
//                                    periods elapsed; then bare sessions polling the same units
//                                    the same way in this process, and the CPU ratio
//   BM_QnlogUnitCount/N              shorter runs (QN_BENCH_SWEEP_SECONDS, default 10) of more
//                                    units: how many still lose no reading
#include "link/unitsession.h"
#include "../support/simprocess.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

using namespace qn;
using namespace qn::bench;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int secondsFromEnvironment(const char *name, int fallback)
{
    const char *text = std::getenv(name);
    return text && std::atoi(text) > 0 ? std::atoi(text) : fallback;
}

// Sessions and files, two descriptors per unit on each side: well above the usual 1024.
void raiseDescriptorLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

// The rows (lines but the header lines) in every CSV file of the folder.
long rowsIn(const fs::path &folder)
{
    long rows = 0;
    for (const fs::directory_entry &e : fs::directory_iterator(folder)) {
        std::ifstream in(e.path(), std::ios::binary);
        std::string line;
        while (std::getline(in, line))
            if (line.rfind("\x93\xfa\x95\x74,", 0) != 0) // "日付," in code page 932
                ++rows;
    }
    return rows;
}

long kilobytesOf(pid_t pid, const char *field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::strlen(field));
    return 0;
}

struct QnlogProcess {
    pid_t pid = -1;
    fs::path dir;

    bool start(const std::vector<uint16_t> &ports)
    {
        dir = fs::temp_directory_path() / ("bench_qnlog." + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "logs");
        std::ofstream conf(dir / "qnlog.conf");
        conf << "[service]\nlog-folder = " << (dir / "logs").string() << "\nsettings-file = "
             << (dir / "qnview.ini").string() << "\nlocale = C\nperiod = 1\n";
        for (uint16_t port : ports)
            conf << "[unit]\naddress = 127.0.0.1:" << port << "\n";
        conf.close();
        std::string program = QN_BIN_DIR "/qnlog", option = "--config", path = (dir / "qnlog.conf").string();
        char *argv[] = {program.data(), option.data(), path.data(), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, (dir / "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
        return rc == 0;
    }
    // The number of units that have answered (its "answers;" lines).
    int answering() const
    {
        std::ifstream in(dir / "stderr");
        std::string line;
        int n = 0;
        while (std::getline(in, line))
            n += line.find(" answers; ") != std::string::npos;
        return n;
    }
    // The periods it skipped over the whole run, from its last line (-1 before it stopped).
    long skippedPeriods() const
    {
        std::ifstream in(dir / "stderr");
        std::string line;
        long skipped = -1;
        while (std::getline(in, line))
            if (const std::size_t at = line.find(" readings; "); at != std::string::npos)
                skipped = std::atol(line.c_str() + at + 11);
        return skipped;
    }
    int stop()
    {
        if (pid <= 0)
            return -1;
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~QnlogProcess()
    {
        stop();
        fs::remove_all(dir);
    }
};

struct ServiceFigures {
    double cpuPercent = 0;
    double rssMegabytes = 0;
    double peakRssMegabytes = 0;
    long rows = 0;
    double periods = 0;
    long skipped = 0; // over the whole run, as qnlog counts them
};

// Runs qnlog over the units; measures from the moment all have answered once.
bool measureService(const SimProcess &sim, int seconds, ServiceFigures &out, std::string &error)
{
    QnlogProcess qnlog;
    if (!qnlog.start(sim.ports)) {
        error = "cannot start qnlog";
        return false;
    }
    const auto ready = Clock::now() + std::chrono::seconds(30);
    while (qnlog.answering() < int(sim.ports.size())) {
        if (Clock::now() > ready) {
            error = "not every unit answered qnlog within 30 s";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    const long rows0 = rowsIn(qnlog.dir / "logs");
    const double cpu0 = cpuSecondsOf(qnlog.pid);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const long rows1 = rowsIn(qnlog.dir / "logs");
    const double cpu1 = cpuSecondsOf(qnlog.pid);
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    out.rssMegabytes = double(kilobytesOf(qnlog.pid, "VmRSS:")) / 1024.0;
    out.peakRssMegabytes = double(kilobytesOf(qnlog.pid, "VmHWM:")) / 1024.0;
    out.cpuPercent = 100.0 * (cpu1 - cpu0) / wall;
    out.rows = rows1 - rows0;
    out.periods = double(sim.ports.size()) * wall / 0.1;
    if (qnlog.stop() != 0) {
        error = "qnlog did not exit 0 on SIGTERM";
        return false;
    }
    out.skipped = qnlog.skippedPeriods();
    return true;
}

// Bare sessions asking each unit what qnlog asks (GetAllAI every 100 ms, GetDO once a second)
// from one timer thread; their CPU is this process's.
double measureBareSessions(const SimProcess &sim, int seconds, long &readings)
{
    std::vector<std::unique_ptr<UnitSession>> sessions;
    for (uint16_t port : sim.ports) {
        sessions.push_back(std::make_unique<UnitSession>());
        sessions.back()->connect("127.0.0.1", port);
    }
    std::atomic<long> answered{0};
    const double cpu0 = cpuSecondsSelf();
    const auto t0 = Clock::now();
    auto next = t0;
    for (long period = 0; Clock::now() - t0 < std::chrono::seconds(seconds); ++period) {
        for (auto &s : sessions) {
            s->getAllAI([&answered](const Result<AnalogInputs> &r) {
                if (r)
                    answered.fetch_add(1, std::memory_order_relaxed);
            });
            if (period % 10 == 0)
                s->getDO([](const Result<DigitalOutputs> &) {});
        }
        next += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(next);
    }
    const double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    const double cpu = cpuSecondsSelf() - cpu0;
    sessions.clear();
    readings = answered.load();
    return 100.0 * cpu / wall;
}

// qnsim with the benchmark's number of units, and qnlog over them for the seconds given.
bool runService(benchmark::State &state, SimProcess &sim, int seconds, ServiceFigures &service)
{
    raiseDescriptorLimit();
    if (!sim.start(int(state.range(0)))) {
        state.SkipWithError("cannot start qnsim");
        return false;
    }
    std::string error;
    bool measured = false;
    for (auto _ : state)
        measured = measureService(sim, seconds, service, error);
    if (!measured)
        state.SkipWithError(error.c_str());
    return measured;
}

void BM_QnlogBesideBareSessions(benchmark::State &state)
{
    const int units = int(state.range(0));
    const int seconds = secondsFromEnvironment("QN_BENCH_SECONDS", 60);
    SimProcess sim;
    ServiceFigures service;
    if (!runService(state, sim, seconds, service))
        return;
    // The same units, the same run: bare sessions after qnlog has let go of them.
    long bareReadings = 0;
    const double bareCpu = measureBareSessions(sim, seconds, bareReadings);
    state.counters["qnlog_cpu_percent_of_core"] = service.cpuPercent;
    state.counters["qnlog_rss_MB"] = service.rssMegabytes;
    state.counters["qnlog_peak_rss_MB"] = service.peakRssMegabytes;
    state.counters["rows"] = double(service.rows);
    state.counters["periods"] = service.periods;
    state.counters["rows_per_period"] = double(service.rows) / service.periods;
    state.counters["skipped_periods"] = double(service.skipped);
    state.counters["bare_cpu_percent_of_core"] = bareCpu;
    state.counters["bare_readings_per_period"] = double(bareReadings) / (double(units) * seconds / 0.1);
    state.counters["qnlog_to_bare_cpu"] = bareCpu > 0 ? service.cpuPercent / bareCpu : 0;
}
BENCHMARK(BM_QnlogBesideBareSessions)->Arg(256)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

void BM_QnlogUnitCount(benchmark::State &state)
{
    SimProcess sim;
    ServiceFigures service;
    if (!runService(state, sim, secondsFromEnvironment("QN_BENCH_SWEEP_SECONDS", 10), service))
        return;
    state.counters["qnlog_cpu_percent_of_core"] = service.cpuPercent;
    state.counters["qnlog_rss_MB"] = service.rssMegabytes;
    state.counters["rows_per_period"] = double(service.rows) / service.periods;
    state.counters["skipped_periods"] = double(service.skipped);
}
BENCHMARK(BM_QnlogUnitCount)->Arg(384)->Arg(512)->Arg(640)->Arg(768)->Arg(1024)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
