#pragma once
// Helpers for UnitSession tests: a simulator with one unit on loopback and a
// thread-safe recorder of completions.

#include "link/unitsession.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qn::test {

// Short time-outs keep failure cases fast; generous waits keep them robust on a loaded machine.
inline constexpr SessionTimeouts kShortTimeouts{300, 300, 300};
inline constexpr int kWaitMs = 20000;

struct Completed {
    std::string name;
    proto::Results results{};
    int count = 0;
    int error = 0;
    std::thread::id thread;
    bool stopping = false;
};

class Recorder {
public:
    void add(proto::Op op, const proto::Results &r, int count)
    {
        Completed c{std::string(proto::opName(op)), r, count, UnitSession::completionError(),
                    std::this_thread::get_id(), UnitSession::completionStopping()};
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

    static void callback(void *context, proto::Op op, const proto::Results &r, int count)
    {
        static_cast<Recorder *>(context)->add(op, r, count);
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
