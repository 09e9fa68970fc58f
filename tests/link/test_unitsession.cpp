#include "sessiontestsupport.h"

#include "link/net.h"

#include <atomic>

using namespace qn;
using namespace qn::test;

namespace {

using proto::Op;

// Typed callbacks as the pages use them, recording into a Recorder.
void onOne(void *ctx, int a) { static_cast<Recorder *>(ctx)->add(Op::GetDO, {a}, 1); }
void onSetDO(void *ctx, int a) { static_cast<Recorder *>(ctx)->add(Op::SetDO, {a}, 1); }
void onAllAI(void *ctx, int a, int b, int c) { static_cast<Recorder *>(ctx)->add(Op::GetAllAI, {a, b, c}, 3); }
void onDI(void *ctx, int a, int b) { static_cast<Recorder *>(ctx)->add(Op::GetDI, {a, b}, 2); }
void onThreshold(void *ctx, int a, int b, int c, int d, int e)
{
    static_cast<Recorder *>(ctx)->add(Op::GetADCThreshold, {a, b, c, d, e}, 5);
}
void onSetThreshold(void *ctx, int a, int b, int c, int d)
{
    static_cast<Recorder *>(ctx)->add(Op::SetADCThreshold, {a, b, c, d}, 4);
}

TEST(UnitSessionConnect, EmptyHostGivesThreeAndNoSocket)
{
    UnitSession session(nullptr, kShortTimeouts);
    EXPECT_EQ(session.connect("", 10001), 3);
    EXPECT_FALSE(session.isConnected());
    // The first request then fails and reports through its callback.
    Recorder rec;
    session.getAllAI(&rec, &onAllAI);
    ASSERT_TRUE(rec.waitFor(1));
    EXPECT_EQ(rec.all()[0].results, (proto::Results{proto::kAllAIFailure, -1, -1}));
    EXPECT_NE(rec.all()[0].error, 0);
}

TEST(UnitSessionConnect, RefusedAndNotAnAddress)
{
    int port;
    {
        SimulatedUnit unit;
        port = unit.port();
    } // nobody listens there now
    UnitSession session(nullptr, kShortTimeouts);
    EXPECT_EQ(session.connect("127.0.0.1", port), net::kErrConnectionRefused);
    EXPECT_FALSE(session.isConnected());
    // Names are not looked up, and nothing is sent for them.
    EXPECT_EQ(session.connect("localhost", port), net::kErrAddressNotAvailable);
}

TEST(UnitSessionConnect, SwitchedOffUnitTimesOut)
{
    SimulatedUnit unit;
    unit.sim.setOnline(0, false);
    UnitSession session(nullptr, kShortTimeouts);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(session.connect("127.0.0.1", unit.port()), net::kErrTimedOut);
    // The wait is the connect time-out, not an immediate refusal.
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(250));
    EXPECT_FALSE(session.isConnected());
}

TEST(UnitSessionRequests, RunInPostingOrderWithTheirOwnParameters)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    EXPECT_TRUE(session.isConnected());
    Recorder rec;
    // Same kind back to back: each request keeps its own record.
    EXPECT_TRUE(session.setDO(&rec, &onSetDO, 1));
    EXPECT_TRUE(session.setDO(&rec, &onSetDO, 2));
    EXPECT_TRUE(session.setADCThreshold(&rec, &onSetThreshold, 0, 1, 0, 0x8000, 0x1000));
    EXPECT_TRUE(session.setADCThreshold(&rec, &onSetThreshold, 2, 0, 3, 0x7000, 0x0100));
    EXPECT_TRUE(session.getADCThreshold(&rec, &onThreshold, 0));
    EXPECT_TRUE(session.getADCThreshold(&rec, &onThreshold, 2));
    EXPECT_TRUE(session.getDO(&rec, &onOne));
    ASSERT_TRUE(rec.waitFor(7));
    const auto done = rec.all();
    EXPECT_EQ(done[0].results[0], 1);
    EXPECT_EQ(done[1].results[0], 2);
    EXPECT_EQ(done[2].results, (proto::Results{0, 1, 0x8000, 0x1000}));
    EXPECT_EQ(done[3].results, (proto::Results{2, 0, 0x7000, 0x0100}));
    EXPECT_EQ(done[4].results, (proto::Results{0, 1, 0, 0x1000, 0x8000}));
    EXPECT_EQ(done[5].results, (proto::Results{2, 0, 3, 0x0100, 0x7000}));
    EXPECT_EQ(done[6].results[0], 2);
    for (const Completed &c : done)
        EXPECT_EQ(c.error, 0);

    const auto log = unit.sim.requestLog(0);
    ASSERT_EQ(log.size(), 7u);
    EXPECT_EQ(log[0].params(), (std::vector<uint8_t>{0x21, 0x20}));
    EXPECT_EQ(log[1].params(), (std::vector<uint8_t>{0x22, 0x20}));
    EXPECT_EQ(unit.sim.requestNames(0),
              (std::vector<std::string>{"SetDO", "SetDO", "SetADCThreshold", "SetADCThreshold", "GetADCThreshold",
                                        "GetADCThreshold", "GetDO"}));
    EXPECT_EQ(unit.sim.connectionCount(0), 1);
}

TEST(UnitSessionRequests, EveryOperationSucceedsAgainstEachModel)
{
    for (int model : {proto::kModelQN210, proto::kModelQN220, proto::kModelQN110, proto::kModelQN120}) {
        SCOPED_TRACE(model);
        SimulatedUnit unit(model, 6);
        UnitSession session(nullptr, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        Recorder rec;
        for (int n = 1; n <= proto::kOpCount; ++n)
            session.post(Op(n), {1, 1, 1, 1, 1}, &rec, &Recorder::callback);
        ASSERT_TRUE(rec.waitFor(proto::kOpCount));
        const auto done = rec.all();
        for (int n = 0; n < proto::kOpCount; ++n) {
            EXPECT_EQ(done[n].name, proto::opName(Op(n + 1)));
            EXPECT_EQ(done[n].error, 0) << done[n].name;
        }
        EXPECT_EQ(done[13].results[0], 6);     // GetUnitModelID: unit ID
        EXPECT_EQ(done[13].results[1], model); // and model ID
    }
}

struct Chain {
    UnitSession *session;
    Recorder rec;
};

void chainNext(void *ctx, int bits, int tag)
{
    auto *c = static_cast<Chain *>(ctx);
    c->rec.add(Op::GetDI, {bits, tag}, 2);
    // Posting from inside a callback takes no lock and goes to the back of the queue.
    if (tag <= 3) {
        EXPECT_TRUE(c->session->getDI(c, &chainNext, tag + 10));
    }
}

TEST(UnitSessionRequests, ACallbackThatChainsGoesBehindWhatWasQueued)
{
    SimulatedUnit unit(proto::kModelQN110);
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    Chain chain{&session, {}};
    unit.sim.pinDI(0, 5);
    for (int tag = 1; tag <= 3; ++tag)
        session.getDI(&chain, &chainNext, tag);
    ASSERT_TRUE(chain.rec.waitFor(6));
    std::vector<int> tags;
    for (const Completed &c : chain.rec.all()) {
        tags.push_back(c.results[1]);
        EXPECT_EQ(c.results[0], 5);
    }
    EXPECT_EQ(tags, (std::vector<int>{1, 2, 3, 11, 12, 13}));
}

TEST(UnitSessionRequests, EveryRequestArrivesInOnePiece)
{
    // One send call per request, without Nagle holding part of it back.
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    Recorder rec;
    for (int round = 0; round < 3; ++round)
        for (int n = 1; n <= proto::kOpCount; ++n)
            session.post(Op(n), {1, 0, 1, 0x1234, 0x0100}, &rec, &Recorder::callback);
    ASSERT_TRUE(rec.waitFor(3 * proto::kOpCount));
    for (const sim::LoggedRequest &r : unit.sim.requestLog(0))
        EXPECT_EQ(r.receives, 1) << r.name();
}

TEST(UnitSessionRequests, UnknownOperationsAreNotQueued)
{
    UnitSession session(nullptr, kShortTimeouts);
    Recorder rec;
    EXPECT_FALSE(session.post(Op(0), {}, &rec, &Recorder::callback));
    EXPECT_FALSE(session.post(Op(proto::kOpCount + 1), {}, &rec, &Recorder::callback));
}

TEST(UnitSessionRequests, CallbacksRunOnTheWorker)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    Recorder rec;
    session.getDO(&rec, &onOne);
    session.getDO(&rec, &onOne);
    ASSERT_TRUE(rec.waitFor(2));
    EXPECT_NE(rec.all()[0].thread, std::this_thread::get_id());
    EXPECT_EQ(rec.all()[0].thread, rec.all()[1].thread);
}

TEST(UnitSessionRequests, PostingFromManyThreadsKeepsEachThreadsOrder)
{
    SimulatedUnit unit(proto::kModelQN110);
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    Recorder rec;
    constexpr int kThreads = 4, kEach = 25;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t)
        posters.emplace_back([&, t] {
            for (int i = 0; i < kEach; ++i)
                session.getDI(&rec, &onDI, t * 1000 + i);
        });
    for (auto &p : posters)
        p.join();
    ASSERT_TRUE(rec.waitFor(kThreads * kEach));
    std::vector<int> last(kThreads, -1);
    for (const Completed &c : rec.all()) {
        const int t = c.results[1] / 1000, i = c.results[1] % 1000;
        EXPECT_EQ(i, last[t] + 1);
        last[t] = i;
    }
}

TEST(UnitSessionFailures, UnitSwitchedOffThenBack)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    Recorder rec;
    session.getAllAI(&rec, &onAllAI);
    ASSERT_TRUE(rec.waitFor(1));
    EXPECT_EQ(rec.all()[0].error, 0);

    unit.sim.setOnline(0, false);
    session.getAllAI(&rec, &onAllAI); // receive time-out
    session.getAllAI(&rec, &onAllAI); // reconnect fails
    ASSERT_TRUE(rec.waitFor(3));
    for (int i : {1, 2}) {
        EXPECT_EQ(rec.all()[i].results, (proto::Results{proto::kAllAIFailure, -1, -1}));
        EXPECT_EQ(rec.all()[i].error, net::kErrTimedOut);
    }
    EXPECT_TRUE(session.isFailed());

    unit.sim.setOnline(0, true);
    unit.sim.pinAI(0, 1, -2);
    session.getAllAI(&rec, &onAllAI); // reconnects first, then succeeds
    ASSERT_TRUE(rec.waitFor(4));
    EXPECT_EQ(rec.all()[3].error, 0);
    EXPECT_EQ(rec.all()[3].results[1], -2);
    EXPECT_FALSE(session.isFailed());
    EXPECT_EQ(unit.sim.connectionCount(0), 2);
}

TEST(UnitSessionFailures, NoReplyFailsOnceThenTheNextRequestReconnects)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    unit.sim.setFault(0, {sim::FaultKind::NoReply, 0, 0, 1});
    Recorder rec;
    session.getDO(&rec, &onOne);
    session.getDO(&rec, &onOne);
    ASSERT_TRUE(rec.waitFor(2));
    EXPECT_EQ(rec.all()[0].results[0], -1);
    EXPECT_EQ(rec.all()[0].error, net::kErrTimedOut);
    EXPECT_EQ(rec.all()[1].error, 0);
    // No retry of the failed request: one of each arrived, on two connections.
    EXPECT_EQ(unit.sim.requestNames(0), (std::vector<std::string>{"GetDO", "GetDO"}));
    EXPECT_EQ(unit.sim.connectionCount(0), 2);
}

TEST(UnitSessionFailures, LateReplyBeyondTheTimeOutDoesNotLeakIntoTheNextRequest)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    unit.sim.setFault(0, {sim::FaultKind::ReplyLate, 600, 0, 1});
    unit.sim.pinAI(0, 0, 0x123456);
    Recorder rec;
    session.getDO(&rec, &onOne);
    session.getAllAI(&rec, &onAllAI);
    ASSERT_TRUE(rec.waitFor(2));
    EXPECT_EQ(rec.all()[0].error, net::kErrTimedOut);
    EXPECT_EQ(rec.all()[1].error, 0);
    EXPECT_EQ(rec.all()[1].results[0], 0x123456);
}

TEST(UnitSessionFailures, AReplyStillShortAfterTenReceivesIsAFailure)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, SessionTimeouts{300, 300, 2000});
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    // 22 bytes one at a time: ten receives cannot collect them.
    unit.sim.setFault(0, {sim::FaultKind::SplitReply, 20, 0, 1});
    Recorder rec;
    session.getAllAI(&rec, &onAllAI);
    ASSERT_TRUE(rec.waitFor(1));
    EXPECT_EQ(rec.all()[0].results, (proto::Results{proto::kAllAIFailure, -1, -1}));
    EXPECT_NE(rec.all()[0].error, 0);
    EXPECT_TRUE(session.isFailed());
    // A five-byte reply in five pieces is fine.
    unit.sim.setFault(0, {sim::FaultKind::SplitReply, 20, 0, 1});
    unit.sim.updateState(0, [](sim::UnitState &s) { s.doPattern = 2; });
    session.getDO(&rec, &onOne);
    ASSERT_TRUE(rec.waitFor(2));
    EXPECT_EQ(rec.all()[1].error, 0);
    EXPECT_EQ(rec.all()[1].results[0], 2);
}

TEST(UnitSessionFailures, PartialReplyTimesOut)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    unit.sim.setFault(0, {sim::FaultKind::PartialReply, 0, 10, 1});
    Recorder rec;
    session.getADCThreshold(&rec, &onThreshold, 1);
    session.getADCThreshold(&rec, &onThreshold, 1);
    ASSERT_TRUE(rec.waitFor(2));
    EXPECT_EQ(rec.all()[0].results, (proto::Results{1, -1, -1, -1, -1}));
    EXPECT_EQ(rec.all()[1].error, 0);
}

TEST(UnitSessionFailures, DroppedConnection)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    unit.sim.setFault(0, {sim::FaultKind::DropConnection, 0, 0, 1});
    Recorder rec;
    session.setDO(&rec, &onSetDO, 3);
    session.setDO(&rec, &onSetDO, 3);
    ASSERT_TRUE(rec.waitFor(2));
    EXPECT_EQ(rec.all()[0].results[0], -1);
    EXPECT_NE(rec.all()[0].error, 0);
    EXPECT_EQ(rec.all()[1].results[0], 3);
    EXPECT_EQ(unit.sim.state(0).doPattern, 3);
}

TEST(UnitSessionFailures, GarbageIsDecodedNotChecked)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    unit.sim.setFault(0, {sim::FaultKind::Garbage, 0, 0, 1});
    Recorder rec;
    session.getAllAI(&rec, &onAllAI);
    ASSERT_TRUE(rec.waitFor(1));
    // The transport worked, so it is no failure; fields that are not digits read 0.
    EXPECT_EQ(rec.all()[0].error, 0);
    EXPECT_EQ(rec.all()[0].results, (proto::Results{0, 0, 0}));
}

TEST(UnitSessionLifetime, DestructionRunsQueuedRequestsAndTheirCallbacks)
{
    SimulatedUnit unit;
    Recorder rec;
    {
        UnitSession session(nullptr, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        for (int i = 0; i < 5; ++i)
            session.setDO(&rec, &onSetDO, i & 3);
    }
    EXPECT_EQ(rec.size(), 5u);
    for (const Completed &c : rec.all())
        EXPECT_EQ(c.error, 0);
    EXPECT_EQ(unit.sim.requestLog(0).size(), 5u);
}

struct LateContext {
    UnitSession *session;
    std::atomic<int> refused{0};
    Recorder rec;
};

void postDuringStop(void *ctx, int a, int b, int c)
{
    auto *l = static_cast<LateContext *>(ctx);
    l->rec.add(Op::GetAllAI, {a, b, c}, 3);
    EXPECT_TRUE(UnitSession::completionStopping());
    if (!l->session->getAllAI(l, &postDuringStop))
        ++l->refused;
}

TEST(UnitSessionLifetime, NothingIsQueuedOnceStopping)
{
    SimulatedUnit unit;
    unit.sim.setFault(0, {sim::FaultKind::ReplyLate, 400, 0, 1});
    LateContext late;
    {
        UnitSession session(nullptr, SessionTimeouts{300, 300, 3000});
        late.session = &session;
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        ASSERT_TRUE(session.getDO(&late.rec, &onOne)); // keeps the worker busy
        ASSERT_TRUE(session.getAllAI(&late, &postDuringStop));
        ASSERT_TRUE(unit.sim.waitForRequests(0, 1, kWaitMs));
    }
    EXPECT_EQ(late.rec.size(), 2u);
    EXPECT_EQ(late.refused.load(), 1);
}

TEST(UnitSessionLifetime, DestructionWithTheUnitGoneDoesNotWaitForEveryRequest)
{
    SimulatedUnit unit;
    Recorder rec;
    {
        UnitSession session(nullptr, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        unit.sim.setOnline(0, false);
        for (int i = 0; i < 20; ++i)
            session.getAllAI(&rec, &onAllAI);
    }
    // Every queued request still reported, each as a failure.
    ASSERT_EQ(rec.size(), 20u);
    for (const Completed &c : rec.all())
        EXPECT_EQ(c.results[0], proto::kAllAIFailure);
}

} // namespace
