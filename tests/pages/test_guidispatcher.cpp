#include "linkqt/guidispatcher.h"

#include "pagetestsupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace qn;
using namespace qn::test;

namespace {

class GuiDispatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        sim::UnitConfig config;
        config.bindIp = "127.0.0.1";
        config.discovery.enabled = false;
        unit = simulator.addUnit(config);
        std::string error;
        ASSERT_TRUE(simulator.start(&error)) << error;
    }

    sim::Simulator simulator;
    int unit = 0;
};

struct Seen {
    std::atomic<int> calls{0};
    QThread *thread = nullptr;
    std::function<void()> inside;
};

// The completion that records where and how often it ran into seen.
UnitSession::Done<DigitalOutputs> noting(Seen &seen)
{
    return [&seen](const Result<DigitalOutputs> &) {
        seen.thread = QThread::currentThread();
        if (seen.inside)
            seen.inside();
        ++seen.calls;
    };
}

// Hands each completion on to the GUI dispatcher and says when it has: the session's
// worker then waits for it to run.
class PostingReporter final : public CompletionDispatcher {
public:
    explicit PostingReporter(CompletionDispatcher &to) : m_to(to) {}
    void dispatch(Completion completion) override
    {
        m_to.dispatch(std::move(completion));
        std::lock_guard lock(m_mutex);
        ++m_posted;
        m_cv.notify_all();
    }
    bool waitForPosted(int n, int ms = 5000)
    {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&] { return m_posted >= n; });
    }

private:
    CompletionDispatcher &m_to;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    int m_posted = 0;
};

TEST_F(GuiDispatcherTest, CompletionsRunOnTheGuiThread)
{
    GuiDispatcher dispatcher;
    UnitSession session(&dispatcher, {800, 800, 800});
    ASSERT_EQ(session.connect("127.0.0.1", simulator.tcpPort(unit)), 0);
    Seen seen;
    session.getDO(noting(seen));
    ASSERT_TRUE(waitUntil([&] { return seen.calls == 1; }));
    EXPECT_EQ(seen.thread, qApp->thread());
}

TEST_F(GuiDispatcherTest, TheQueueWaitsWhileACompletionRuns)
{
    GuiDispatcher dispatcher;
    UnitSession session(&dispatcher, {800, 800, 800});
    ASSERT_EQ(session.connect("127.0.0.1", simulator.tcpPort(unit)), 0);
    Seen first;
    Seen second;
    std::size_t requestsInside = 0;
    first.inside = [&] {
        // As a message box would: a nested loop, while the next request is already queued.
        waitUntil([] { return false; }, 300);
        requestsInside = simulator.requestLog(unit).size();
    };
    session.getDO(noting(first));
    session.getDO(noting(second));
    ASSERT_TRUE(waitUntil([&] { return second.calls == 1; }));
    EXPECT_EQ(requestsInside, 1u);
    EXPECT_EQ(simulator.requestLog(unit).size(), 2u);
}

TEST_F(GuiDispatcherTest, DeletingTheDispatcherReleasesAWaitingWorker)
{
    auto dispatcher = std::make_unique<GuiDispatcher>();
    PostingReporter posting(*dispatcher);
    auto session = std::make_unique<UnitSession>(&posting, SessionTimeouts{800, 800, 800});
    ASSERT_EQ(session->connect("127.0.0.1", simulator.tcpPort(unit)), 0);
    Seen seen;
    session->getDO(noting(seen));
    ASSERT_TRUE(posting.waitForPosted(1)); // and its worker waits
    dispatcher.reset();                    // the pending completion goes unrun
    QElapsedTimer timer;
    timer.start();
    session.reset();      // must not wait for a completion nobody will run
    EXPECT_LT(timer.elapsed(), 3000);
    QCoreApplication::processEvents();
    EXPECT_EQ(seen.calls, 0);
}

TEST_F(GuiDispatcherTest, StoppingTheSessionWithACompletionPendingDropsIt)
{
    GuiDispatcher dispatcher;
    PostingReporter posting(dispatcher);
    auto session = std::make_unique<UnitSession>(&posting, SessionTimeouts{800, 800, 800});
    ASSERT_EQ(session->connect("127.0.0.1", simulator.tcpPort(unit)), 0);
    Seen seen;
    session->getDO(noting(seen));
    session->getDO(noting(seen));
    ASSERT_TRUE(posting.waitForPosted(1));
    session.reset();
    waitUntil([] { return false; }, 100);
    EXPECT_EQ(seen.calls, 0);
}

} // namespace
