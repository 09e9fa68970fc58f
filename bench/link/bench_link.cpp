#include "link/net.h"
#include "link/unitsession.h"
#include "sim/simulator.h"
#include "../support/simprocess.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

using namespace qn;
using namespace qn::bench;

// On a shared machine the fastest repetition says most about the code itself.
double fastest(const std::vector<double> &v) { return *std::min_element(v.begin(), v.end()); }

// One simulated QN-210 on loopback shared by the side-by-side pair.
sim::Simulator &simulator()
{
    static sim::Simulator *s = [] {
        auto *sim = new sim::Simulator;
        sim::UnitConfig c;
        c.bindIp = "127.0.0.1";
        sim->addUnit(c);
        sim->start();
        return sim;
    }();
    return *s;
}

struct Waiter {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
};

void wake(Waiter &w)
{
    {
        std::lock_guard lock(w.mutex);
        w.done = true;
    }
    // Outside the lock, so the woken poster does not block again on the mutex.
    w.cv.notify_one();
}

// Post GetAllAI and wait for its completion (the poster sleeps on a condition variable).
void BM_SessionGetAllAI(benchmark::State &state)
{
    UnitSession session;
    if (session.connect("127.0.0.1", simulator().tcpPort(0)) != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    Waiter w;
    for (auto _ : state) {
        session.getAllAI([&w](const Result<AnalogInputs> &) { wake(w); });
        std::unique_lock lock(w.mutex);
        w.cv.wait(lock, [&] { return w.done; });
        w.done = false;
    }
}
BENCHMARK(BM_SessionGetAllAI)->UseRealTime()->MinTime(1.0)->Repetitions(5)->ComputeStatistics("min", fastest);

// Requests chained from their own completions (as a page reads its settings): the
// worker is awake when the next request is posted, so only the unit exchange remains.
struct Chain {
    UnitSession *session;
    int left = 0;
    Waiter waiter;
};

void postChained(Chain &c)
{
    c.session->getAllAI([&c](const Result<AnalogInputs> &) {
        if (--c.left > 0)
            postChained(c);
        else
            wake(c.waiter);
    });
}

void BM_SessionGetAllAIChained(benchmark::State &state)
{
    UnitSession session;
    if (session.connect("127.0.0.1", simulator().tcpPort(0)) != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    constexpr int kChain = 100;
    Chain chain;
    chain.session = &session;
    for (auto _ : state) {
        chain.left = kChain;
        postChained(chain);
        std::unique_lock lock(chain.waiter.mutex);
        chain.waiter.cv.wait(lock, [&] { return chain.waiter.done; });
        chain.waiter.done = false;
    }
    state.SetItemsProcessed(state.iterations() * kChain);
}
BENCHMARK(BM_SessionGetAllAIChained)->UseRealTime()->MinTime(1.0)->Repetitions(5)->ComputeStatistics("min", fastest);

// The same bytes over a plain blocking socket on the caller's thread.
void BM_RawGetAllAI(benchmark::State &state)
{
    int err = 0;
    net::Socket s = net::Socket::tcp(err);
    if (s.connect(net::Address{*net::parseIpv4("127.0.0.1"), simulator().tcpPort(0)}, 1000) != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    s.setNoDelay(true);
    s.setReceiveTimeout(1000);
    const proto::Frame request = proto::buildRequest(proto::Op::GetAllAI, {});
    uint8_t reply[proto::kMaxReply];
    for (auto _ : state) {
        s.send(request.data(), request.size, err);
        std::size_t got = 0;
        while (got < 22) {
            const long n = s.receive(reply + got, 22 - got, err);
            if (n <= 0) {
                state.SkipWithError("receive failed");
                return;
            }
            got += std::size_t(n);
        }
        benchmark::DoNotOptimize(proto::decodeReply(proto::Op::GetAllAI, {}, reply));
    }
}
BENCHMARK(BM_RawGetAllAI)->UseRealTime()->MinTime(1.0)->Repetitions(5)->ComputeStatistics("min", fastest);

// Both interleaved request by request, so that the machine's changing load hits
// them alike; the counters give each one's mean and their ratio.
void BM_SessionVersusRawInterleaved(benchmark::State &state)
{
    UnitSession session;
    int err = 0;
    net::Socket raw = net::Socket::tcp(err);
    const uint16_t port = simulator().tcpPort(0);
    if (session.connect("127.0.0.1", port) != 0
        || raw.connect(net::Address{*net::parseIpv4("127.0.0.1"), port}, 1000) != 0) {
        state.SkipWithError("cannot connect");
        return;
    }
    raw.setNoDelay(true);
    raw.setReceiveTimeout(1000);
    const proto::Frame request = proto::buildRequest(proto::Op::GetAllAI, {});
    uint8_t reply[proto::kMaxReply];
    Waiter w;
    using Clock = std::chrono::steady_clock;
    Clock::duration sessionTime{}, rawTime{};
    auto sessionExchange = [&] {
        session.getAllAI([&w](const Result<AnalogInputs> &) { wake(w); });
        std::unique_lock lock(w.mutex);
        w.cv.wait(lock, [&] { return w.done; });
        w.done = false;
        return true;
    };
    auto rawExchange = [&] {
        raw.send(request.data(), request.size, err);
        for (std::size_t got = 0; got < 22;) {
            const long n = raw.receive(reply + got, 22 - got, err);
            if (n <= 0)
                return false;
            got += std::size_t(n);
        }
        return true;
    };
    // The order flips every iteration, so that neither exchange always runs on
    // cores that the other one has just woken.
    bool sessionFirst = true;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        bool ok = sessionFirst ? sessionExchange() : rawExchange();
        const auto t1 = Clock::now();
        ok = ok && (sessionFirst ? rawExchange() : sessionExchange());
        const auto t2 = Clock::now();
        if (!ok) {
            state.SkipWithError("receive failed");
            break;
        }
        sessionTime += sessionFirst ? t1 - t0 : t2 - t1;
        rawTime += sessionFirst ? t2 - t1 : t1 - t0;
        sessionFirst = !sessionFirst;
    }
    const double n = double(state.iterations());
    const double sessionUs = std::chrono::duration<double, std::micro>(sessionTime).count() / n;
    const double rawUs = std::chrono::duration<double, std::micro>(rawTime).count() / n;
    state.counters["session_us"] = sessionUs;
    state.counters["raw_us"] = rawUs;
    state.counters["ratio"] = sessionUs / rawUs;
}
BENCHMARK(BM_SessionVersusRawInterleaved)->UseRealTime()->MinTime(2.0)->Repetitions(3);

// ---- 64 sessions polling GetAllAI every 100 ms for 10 s ----

void BM_Poll64SessionsCpu(benchmark::State &state)
{
    constexpr int kSessions = 64;
    const auto kRun = std::chrono::seconds(10);
    SimProcess simProcess;
    if (!simProcess.start(kSessions)) {
        state.SkipWithError("cannot start qnsim");
        return;
    }
    for (auto _ : state) {
        std::vector<std::unique_ptr<UnitSession>> sessions;
        for (int i = 0; i < kSessions; ++i) {
            sessions.push_back(std::make_unique<UnitSession>());
            sessions.back()->connect("127.0.0.1", simProcess.ports[i]);
        }
        std::atomic<int> counts[2] = {0, 0};
        const double cpu0 = cpuSecondsSelf();
        const double simCpu0 = cpuSecondsOf(simProcess.pid());
        const auto t0 = std::chrono::steady_clock::now();
        // One timer thread posts to every session each 100 ms, like the pages' tick.
        auto next = t0;
        while (std::chrono::steady_clock::now() - t0 < kRun) {
            for (auto &s : sessions)
                s->getAllAI([&counts](const Result<AnalogInputs> &r) {
                    counts[r ? 0 : 1].fetch_add(1, std::memory_order_relaxed);
                });
            next += std::chrono::milliseconds(100);
            std::this_thread::sleep_until(next);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        const double cpu = cpuSecondsSelf() - cpu0;
        const double simCpu = cpuSecondsOf(simProcess.pid()) - simCpu0;
        sessions.clear();
        state.counters["client_cpu_percent_of_core"] = 100.0 * cpu / wall;
        state.counters["qnsim_cpu_percent_of_core"] = 100.0 * simCpu / wall;
        state.counters["completed"] = counts[0].load();
        state.counters["failed"] = counts[1].load();
    }
}
BENCHMARK(BM_Poll64SessionsCpu)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

} // namespace
