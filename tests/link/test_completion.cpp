// Completions handed to a dispatcher: the worker waits for each one, and neither
// a pending nor a running completion can hang or outlive its session badly.
#include "sessiontestsupport.h"

#include <atomic>
#include <deque>
#include <optional>

using namespace qn;
using namespace qn::test;

namespace {

using proto::Op;

// Stands in for the GUI thread's event queue: completions wait here until the
// test runs or drops them.
class HeldDispatcher final : public CompletionDispatcher {
public:
    void dispatch(Completion completion) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_held.push_back(std::move(completion));
        }
        m_cv.notify_all();
    }
    // Waits for the next completion and takes it out.
    std::optional<Completion> take(int ms = kWaitMs)
    {
        std::unique_lock lock(m_mutex);
        if (!m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !m_held.empty(); }))
            return std::nullopt;
        Completion c = std::move(m_held.front());
        m_held.pop_front();
        return c;
    }
    void dropAll()
    {
        std::deque<Completion> gone;
        {
            std::lock_guard lock(m_mutex);
            gone.swap(m_held);
        }
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Completion> m_held;
};

// Runs every completion on a thread of its own, like a GUI thread with an event loop.
class LoopDispatcher final : public CompletionDispatcher {
public:
    LoopDispatcher()
        : m_thread([this] {
              for (;;) {
                  std::unique_lock lock(m_mutex);
                  m_cv.wait(lock, [&] { return m_quit || !m_queue.empty(); });
                  if (m_queue.empty())
                      return;
                  Completion c = std::move(m_queue.front());
                  m_queue.pop_front();
                  lock.unlock();
                  c.run();
              }
          })
    {
    }
    ~LoopDispatcher() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_cv.notify_all();
        m_thread.join();
    }
    void dispatch(Completion completion) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(completion));
        }
        m_cv.notify_all();
    }
    std::thread::id id() const { return m_thread.get_id(); }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Completion> m_queue;
    bool m_quit = false;
    std::thread m_thread;
};

TEST(CompletionDispatch, RunsOnTheDispatchersThreadInOrder)
{
    SimulatedUnit unit;
    LoopDispatcher loop;
    Recorder rec;
    {
        UnitSession session(&loop, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        for (int i = 0; i < 10; ++i)
            session.post(i % 2 ? Op::GetDO : Op::GetAllAI, {}, rec.any());
        ASSERT_TRUE(rec.waitFor(10));
    }
    const auto done = rec.all();
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(done[i].name, i % 2 ? "GetDO" : "GetAllAI");
        EXPECT_EQ(done[i].thread, loop.id());
        EXPECT_EQ(done[i].error, 0);
        EXPECT_FALSE(done[i].stopping);
    }
}

// A session connected to a simulated unit whose completions wait in a HeldDispatcher.
class HeldSession : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0); }

    SimulatedUnit unit;
    HeldDispatcher held;
    Recorder rec;
    UnitSession session{&held, kShortTimeouts};
};

TEST_F(HeldSession, TheQueueWaitsWhileACompletionIsOut)
{
    session.getDO(rec.as(Op::GetDO));
    session.getDO(rec.as(Op::GetDO));
    std::optional<Completion> first = held.take();
    ASSERT_TRUE(first);
    // Like a message box left open: the next request is not sent meanwhile.
    EXPECT_FALSE(unit.sim.waitForRequests(0, 2, 100));
    EXPECT_EQ(rec.size(), 0u);
    first->run();
    EXPECT_EQ(rec.size(), 1u);
    std::optional<Completion> second = held.take();
    ASSERT_TRUE(second);
    EXPECT_EQ(unit.sim.requestLog(0).size(), 2u);
    second->run();
    second->run(); // a second run does nothing
    EXPECT_EQ(rec.size(), 2u);
}

TEST_F(HeldSession, ACompletionDestroyedUnrunReleasesTheWorker)
{
    session.getDO(rec.as(Op::GetDO));
    session.getDO(rec.as(Op::GetDO));
    {
        std::optional<Completion> dropped = held.take();
        ASSERT_TRUE(dropped);
    } // its owner went away
    std::optional<Completion> next = held.take();
    ASSERT_TRUE(next);
    next->run();
    EXPECT_EQ(rec.size(), 1u);
}

TEST_F(HeldSession, ACopyableWrapperReleasesWhenTheLastCopyGoes)
{
    session.getDO(rec.as(Op::GetDO));
    session.getDO(rec.as(Op::GetDO));
    {
        auto shared = std::make_shared<Completion>(std::move(*held.take()));
        std::function<void()> a = [shared] { shared->run(); };
        std::function<void()> b = a;
        a = nullptr;
        // still one copy: the worker keeps waiting
        EXPECT_FALSE(unit.sim.waitForRequests(0, 2, 50));
        shared.reset();
    } // last copy gone
    ASSERT_TRUE(held.take());
    EXPECT_EQ(rec.size(), 0u);
}

TEST(CompletionDispatch, DestroyingTheSessionWithACompletionPendingNeitherHangsNorRunsIt)
{
    SimulatedUnit unit;
    HeldDispatcher held;
    Recorder rec;
    std::optional<Completion> pending;
    {
        UnitSession session(&held, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        session.getDO(rec.as(Op::GetDO));
        session.setDO(1, rec.as(Op::GetDO));
        session.setDO(2, rec.as(Op::GetDO));
        pending = held.take();
        ASSERT_TRUE(pending);
    } // the worker is waiting for `pending`
    // The queued requests still went out; their completions were released unrun.
    EXPECT_EQ(unit.sim.requestNames(0), (std::vector<std::string>{"GetDO", "SetDO", "SetDO"}));
    EXPECT_EQ(unit.sim.state(0).doPattern, 2);
    pending->run(); // after the session is gone: does nothing
    EXPECT_EQ(rec.size(), 0u);
    held.dropAll();
}

struct SelfDestruct {
    std::unique_ptr<UnitSession> session;
    Recorder rec;
    bool stoppingAfterDelete = false;
};

void destroyFromCompletion(SelfDestruct &s, const Result<DigitalOutputs> &r)
{
    // A window closed from inside its own completion (a nested event loop).
    s.session.reset();
    s.stoppingAfterDelete = UnitSession::completionStopping();
    s.rec.add(Op::GetDO, r);
}

TEST(CompletionDispatch, DestroyingTheSessionFromInsideItsCompletion)
{
    SimulatedUnit unit;
    HeldDispatcher held;
    SelfDestruct self;
    self.session = std::make_unique<UnitSession>(&held, kShortTimeouts);
    ASSERT_EQ(self.session->connect("127.0.0.1", unit.port()), 0);
    for (int i = 0; i < 2; ++i)
        self.session->getDO([&self](const auto &r) { destroyFromCompletion(self, r); });
    std::optional<Completion> c = held.take();
    ASSERT_TRUE(c);
    c->run();
    EXPECT_EQ(self.session, nullptr);
    EXPECT_TRUE(self.stoppingAfterDelete);
    EXPECT_EQ(self.rec.size(), 1u);
    held.dropAll();
}

TEST(CompletionDispatch, ErrorsReachTheCompletion)
{
    HeldDispatcher held;
    Recorder rec;
    UnitSession session(&held, kShortTimeouts);
    EXPECT_EQ(session.connect("", 1), 3);
    session.post(Op::GetAllAI, {}, rec.any());
    std::optional<Completion> c = held.take();
    ASSERT_TRUE(c);
    c->run();
    ASSERT_EQ(rec.size(), 1u);
    EXPECT_EQ(rec.all()[0].error, 3);
}

TEST(CompletionDispatch, ManySessionsStoppingWhileTheLoopRuns)
{
    SimulatedUnit unit;
    LoopDispatcher loop;
    Recorder rec;
    std::size_t answered = 0;
    for (int round = 0; round < 10; ++round) {
        UnitSession session(&loop, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        for (int i = 0; i < 5; ++i)
            session.getDO(rec.as(Op::GetDO));
        // Every other session is stopped once the unit has answered its first request.
        if (round % 2)
            unit.sim.waitForAnswers(0, answered + 1, kWaitMs);
        answered = unit.sim.requestLog(0).size();
    }
    // Every completion either ran or was released; nothing hung.
    EXPECT_LE(rec.size(), 50u);
}

} // namespace

// ---- holds: a completion that answers later ----

struct Holder {
    Recorder rec;
    CompletionHold hold;
    bool emptyOutside = false;
};

// A completion that holds the queue, as a message box left up does.
UnitSession::Done<DigitalOutputs> holdOnDO(Holder &h)
{
    return [&h](const Result<DigitalOutputs> &r) {
        h.hold = holdCurrentCompletion();
        h.rec.add(Op::GetDO, r);
    };
}

TEST(CompletionHolds, TheQueueWaitsUntilTheHoldIsReleased)
{
    SimulatedUnit unit;
    HeldDispatcher held;
    Holder h;
    h.emptyOutside = !holdCurrentCompletion();
    UnitSession session(&held, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    session.getDO(holdOnDO(h));
    session.getDO(h.rec.as(Op::GetDO));
    std::optional<Completion> first = held.take();
    ASSERT_TRUE(first);
    first->run();
    EXPECT_EQ(h.rec.size(), 1u);
    ASSERT_TRUE(h.hold);
    // The callback has returned, but its hold is out: nothing further goes to the unit.
    EXPECT_FALSE(held.take(150));
    EXPECT_EQ(unit.sim.requestLog(0).size(), 1u);
    h.hold.reset();
    std::optional<Completion> second = held.take();
    ASSERT_TRUE(second);
    EXPECT_EQ(unit.sim.requestLog(0).size(), 2u);
    second->run();
    EXPECT_EQ(h.rec.size(), 2u);
    EXPECT_TRUE(h.emptyOutside);
}

TEST(CompletionHolds, ReleasedOnAnotherThreadWhileTheLoopRuns)
{
    SimulatedUnit unit;
    LoopDispatcher loop;
    Holder h;
    UnitSession session(&loop, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    session.getDO(holdOnDO(h));
    session.getDO(h.rec.as(Op::GetDO));
    ASSERT_TRUE(h.rec.waitFor(1));
    EXPECT_FALSE(h.rec.waitFor(2, 50)) << "held";
    std::thread([&] { h.hold.reset(); }).join();
    EXPECT_TRUE(h.rec.waitFor(2));
}

TEST(CompletionHolds, AStoppingSessionDoesNotWaitForAHold)
{
    SimulatedUnit unit;
    HeldDispatcher held;
    Holder h;
    {
        UnitSession session(&held, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        session.getDO(holdOnDO(h));
        session.setDO(1, h.rec.as(Op::GetDO));
        std::optional<Completion> first = held.take();
        ASSERT_TRUE(first);
        first->run();
        ASSERT_TRUE(h.hold);
    } // would hang here if the worker waited for the hold
    EXPECT_EQ(unit.sim.requestNames(0), (std::vector<std::string>{"GetDO", "SetDO"}));
    h.hold.reset(); // after the session is gone: harmless
    held.dropAll();
}
