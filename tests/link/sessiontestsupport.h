#pragma once
// Helpers for UnitSession tests: a simulator with one unit on loopback and a
// thread-safe recorder of completions.

#include "link/unitsession.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <tuple>
#include <string>
#include <thread>
#include <vector>

namespace qn::test {

// Short time-outs keep failure cases fast; generous waits keep them robust on a loaded machine.
inline constexpr SessionTimeouts kShortTimeouts{300, 300, 300};
inline constexpr int kWaitMs = 20000;

struct Completed {
    std::string name;
    proto::Results results{}; // the reply's values; all 0 on failure
    int count = 0;
    int error = 0; // 0, or the failure's socket error number
    std::optional<LinkError> failure;
    std::thread::id thread;
    bool stopping = false;
};

class Recorder {
public:
    template <typename T>
    void add(proto::Op op, const Result<T> &r)
    {
        Completed c{std::string(proto::opName(op)), {}, 0, 0, std::nullopt, std::this_thread::get_id(),
                    UnitSession::completionStopping()};
        if (r) {
            std::tie(c.results, c.count) = valuesOf(AnyReply(*r));
        } else {
            c.failure = r.error();
            c.error = r.error().code;
        }
        // Notified under the lock: a test may destroy the recorder as soon as its
        // wait returns, while this worker is still here.
        std::lock_guard lock(m_mutex);
        m_done.push_back(c);
        m_cv.notify_all();
    }
    bool waitFor(std::size_t n, int ms = kWaitMs)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_done.size() >= n; });
    }
    std::vector<Completed> all() const
    {
        std::lock_guard lock(m_mutex);
        return m_done;
    }
    std::size_t size() const
    {
        std::lock_guard lock(m_mutex);
        return m_done.size();
    }
    std::vector<std::string> names() const
    {
        std::vector<std::string> out;
        for (const Completed &c : all())
            out.push_back(c.name);
        return out;
    }

    // A completion that records under op's name (any operation's typed completion).
    auto as(proto::Op op)
    {
        return [this, op](const auto &r) { add(op, r); };
    }
    // The completion for post().
    UnitSession::AnyDone any()
    {
        return [this](proto::Op op, const Result<AnyReply> &r) { add(op, r); };
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Completed> m_done;
};

// One simulated unit of the given model on 127.0.0.1 with a free port.
class SimulatedUnit {
public:
    explicit SimulatedUnit(int modelId = proto::kModelQN210, int unitId = 3)
    {
        sim::UnitConfig c;
        c.modelId = modelId;
        c.unitId = unitId;
        c.bindIp = "127.0.0.1";
        c.tcpPort = 0;
        sim.addUnit(c);
        std::string error;
        started = sim.start(&error);
        EXPECT_TRUE(started) << error;
    }
    int port() const { return sim.tcpPort(0); }
    sim::Simulator sim;
    bool started = false;
};

} // namespace qn::test
