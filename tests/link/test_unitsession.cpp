#include "sessiontestsupport.h"

#include "link/net.h"

#include <atomic>
#include <future>

using namespace qn;
using namespace qn::test;

namespace {

using proto::Op;

TEST(UnitSessionConnect, EmptyHostGivesThreeAndNoSocket)
{
    UnitSession session(nullptr, kShortTimeouts);
    EXPECT_EQ(session.connect("", 10001), 3);
    EXPECT_FALSE(session.isConnected());
    // The first request then fails and reports through its callback.
    Recorder rec;
    session.getAllAI(rec.as(Op::GetAllAI));
    ASSERT_TRUE(rec.waitFor(1));
    EXPECT_EQ(rec.all()[0].failure, (LinkError{LinkError::Kind::Unreachable, 3}));
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
    EXPECT_TRUE(session.setDO(1, rec.as(Op::SetDO)));
    EXPECT_TRUE(session.setDO(2, rec.as(Op::SetDO)));
    EXPECT_TRUE(session.setADCThreshold(0, 1, 0, 0x8000, 0x1000, rec.as(Op::SetADCThreshold)));
    EXPECT_TRUE(session.setADCThreshold(2, 0, 3, 0x7000, 0x0100, rec.as(Op::SetADCThreshold)));
    EXPECT_TRUE(session.getADCThreshold(0, rec.as(Op::GetADCThreshold)));
    EXPECT_TRUE(session.getADCThreshold(2, rec.as(Op::GetADCThreshold)));
    EXPECT_TRUE(session.getDO(rec.as(Op::GetDO)));
    ASSERT_TRUE(rec.waitFor(7));
    const auto done = rec.all();
    EXPECT_EQ(done[0].results[0], 1);
    EXPECT_EQ(done[1].results[0], 2);
    EXPECT_EQ(done[2].results, (proto::Results{0, 1, 0, 0x1000, 0x8000}));
    EXPECT_EQ(done[3].results, (proto::Results{2, 0, 3, 0x0100, 0x7000}));
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
            session.post(Op(n), {1, 1, 1, 1, 1}, rec.any());
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

TEST(UnitSessionRequests, EveryRangeCodeIsReadAsTheUnitHoldsIt)
{
    // The codec checks the reply's form, not which codes a model's page offers: a QN-210
    // input on code 6 reads 6.
    SimulatedUnit unit(proto::kModelQN210);
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    Recorder rec;
    for (int code = 0; code <= 7; ++code) {
        unit.sim.updateState(0, [code](sim::UnitState &s) { s.aiRange[0] = code; });
        session.getAIRange(0, rec.as(Op::GetAIRange));
        ASSERT_TRUE(rec.waitFor(std::size_t(code + 1)));
        EXPECT_EQ(rec.all().back().failure, std::nullopt) << code;
        EXPECT_EQ(rec.all().back().results, (proto::Results{0, code})) << code;
    }
}

struct Chain {
    UnitSession *session;
    Recorder rec;
    // Released once the test has queued its requests, so that a fast first answer
    // cannot chain in front of one the test has yet to post.
    std::shared_future<void> allQueued;
};

void postChained(Chain &c, int tag)
{
    c.session->getDI(tag, [&c](const Result<DigitalInputs> &r) {
        c.allQueued.wait();
        c.rec.add(Op::GetDI, r);
        // Posting from inside a completion takes no lock and goes to the back of the queue.
        if (r && r->tag <= 3)
            postChained(c, r->tag + 10);
    });
}

TEST(UnitSessionRequests, ACallbackThatChainsGoesBehindWhatWasQueued)
{
    SimulatedUnit unit(proto::kModelQN110);
    // Declared before the session, so its worker has ended before they go.
    std::promise<void> queued;
    Chain chain{nullptr, {}, queued.get_future().share()};
    UnitSession session(nullptr, kShortTimeouts);
    chain.session = &session;
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    unit.sim.pinDI(0, 5);
    for (int tag = 1; tag <= 3; ++tag)
        postChained(chain, tag);
    queued.set_value();
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
            session.post(Op(n), {1, 0, 1, 0x1234, 0x0100}, rec.any());
    ASSERT_TRUE(rec.waitFor(3 * proto::kOpCount));
    for (const sim::LoggedRequest &r : unit.sim.requestLog(0))
        EXPECT_EQ(r.receives, 1) << r.name();
}

TEST(UnitSessionRequests, UnknownOperationsAreNotQueued)
{
    UnitSession session(nullptr, kShortTimeouts);
    Recorder rec;
    EXPECT_FALSE(session.post(Op(0), {}, rec.any()));
    EXPECT_FALSE(session.post(Op(proto::kOpCount + 1), {}, rec.any()));
}

TEST(UnitSessionRequests, CallbacksRunOnTheWorker)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    Recorder rec;
    session.getDO(rec.as(Op::GetDO));
    session.getDO(rec.as(Op::GetDO));
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
                session.getDI(t * 1000 + i, rec.as(Op::GetDI));
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
    session.getAllAI(rec.as(Op::GetAllAI));
    ASSERT_TRUE(rec.waitFor(1));
    EXPECT_EQ(rec.all()[0].error, 0);

    unit.sim.setOnline(0, false);
    session.getAllAI(rec.as(Op::GetAllAI)); // receive time-out
    session.getAllAI(rec.as(Op::GetAllAI)); // reconnect fails
    ASSERT_TRUE(rec.waitFor(3));
    for (int i : {1, 2})
        EXPECT_EQ(rec.all()[i].failure, (LinkError{LinkError::Kind::TimedOut, net::kErrTimedOut}));
    EXPECT_TRUE(session.isFailed());

    unit.sim.setOnline(0, true);
    unit.sim.pinAI(0, 1, -2);
    session.getAllAI(rec.as(Op::GetAllAI)); // reconnects first, then succeeds
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
    session.getDO(rec.as(Op::GetDO));
    session.getDO(rec.as(Op::GetDO));
    ASSERT_TRUE(rec.waitFor(2));
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
    session.getDO(rec.as(Op::GetDO));
    session.getAllAI(rec.as(Op::GetAllAI));
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
    session.getAllAI(rec.as(Op::GetAllAI));
    ASSERT_TRUE(rec.waitFor(1));
    // Every piece arrived, but not the whole reply.
    EXPECT_EQ(rec.all()[0].failure, (LinkError{LinkError::Kind::Malformed, net::kErrTimedOut}));
    EXPECT_TRUE(session.isFailed());
    // A five-byte reply in five pieces is fine.
    unit.sim.setFault(0, {sim::FaultKind::SplitReply, 20, 0, 1});
    unit.sim.updateState(0, [](sim::UnitState &s) { s.doPattern = 2; });
    session.getDO(rec.as(Op::GetDO));
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
    session.getADCThreshold(1, rec.as(Op::GetADCThreshold));
    session.getADCThreshold(1, rec.as(Op::GetADCThreshold));
    ASSERT_TRUE(rec.waitFor(2));
    EXPECT_TRUE(rec.all()[0].failure);
    EXPECT_EQ(rec.all()[1].error, 0);
}

TEST(UnitSessionFailures, DroppedConnection)
{
    SimulatedUnit unit;
    UnitSession session(nullptr, kShortTimeouts);
    ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
    unit.sim.setFault(0, {sim::FaultKind::DropConnection, 0, 0, 1});
    Recorder rec;
    session.setDO(3, rec.as(Op::SetDO));
    session.setDO(3, rec.as(Op::SetDO));
    ASSERT_TRUE(rec.waitFor(2));
    EXPECT_EQ(rec.all()[0].failure->kind, LinkError::Kind::ConnectionLost);
    EXPECT_EQ(rec.all()[1].results[0], 3);
    EXPECT_EQ(unit.sim.state(0).doPattern, 3);
}

TEST(UnitSessionFailures, GarbageNeverGivesValuesAndTheNextRequestReconnects)
{
    // Every operation of every model against a unit answering garbage of the right length:
    // each completes with a malformed-reply error (no reading, range or identity), and each
    // goes out on a new connection, since the stream may be out of step after such a reply.
    for (int model : {proto::kModelQN210, proto::kModelQN110, proto::kModelQN220, proto::kModelQN120}) {
        SCOPED_TRACE(model);
        SimulatedUnit unit(model);
        UnitSession session(nullptr, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        unit.sim.setFault(0, {sim::FaultKind::Garbage, 0, 0, proto::kOpCount});
        Recorder rec;
        for (int n = 1; n <= proto::kOpCount; ++n)
            ASSERT_TRUE(session.post(Op(n), {1, 0, 0, 0, 0}, rec.any()));
        session.getUnitModelID(rec.as(Op::GetUnitModelID));
        ASSERT_TRUE(rec.waitFor(proto::kOpCount + 1));
        const auto done = rec.all();
        for (int n = 0; n < proto::kOpCount; ++n) {
            EXPECT_EQ(done[size_t(n)].name, proto::opName(Op(n + 1)));
            EXPECT_EQ(done[size_t(n)].failure, LinkError::malformed()) << done[size_t(n)].name;
            EXPECT_EQ(done[size_t(n)].count, 0) << done[size_t(n)].name;
        }
        // The fault is over: the unit is identified as what it is.
        EXPECT_EQ(done.back().error, 0);
        EXPECT_EQ(done.back().results, (proto::Results{3, model}));
        EXPECT_EQ(unit.sim.connectionCount(0), 1 + proto::kOpCount);
    }
}

TEST(UnitSessionFailures, EveryOperationsErrorReachesItsCompletion)
{
    int port;
    {
        SimulatedUnit unit;
        port = unit.port();
    } // nobody listens there now: every request fails at once
    UnitSession session(nullptr, kShortTimeouts);
    EXPECT_NE(session.connect("127.0.0.1", port), 0);
    Recorder rec;
    using Post = bool (*)(UnitSession &, Recorder &);
    const Post posts[] = {
        [](UnitSession &s, Recorder &r) { return s.getDI(1, r.as(Op::GetDI)); },
        [](UnitSession &s, Recorder &r) { return s.setDO(1, r.as(Op::SetDO)); },
        [](UnitSession &s, Recorder &r) { return s.getDO(r.as(Op::GetDO)); },
        [](UnitSession &s, Recorder &r) { return s.getAI(1, r.as(Op::GetAI)); },
        [](UnitSession &s, Recorder &r) { return s.getAllAI(r.as(Op::GetAllAI)); },
        [](UnitSession &s, Recorder &r) { return s.setAO(1, 0, -1, r.as(Op::SetAO)); },
        [](UnitSession &s, Recorder &r) { return s.getAO(1, r.as(Op::GetAO)); },
        [](UnitSession &s, Recorder &r) { return s.getAIRange(1, r.as(Op::GetAIRange)); },
        [](UnitSession &s, Recorder &r) { return s.getADCsps(r.as(Op::GetADCsps)); },
        [](UnitSession &s, Recorder &r) { return s.setAIRange(1, 2, r.as(Op::SetAIRange)); },
        [](UnitSession &s, Recorder &r) { return s.setADCsps(3, r.as(Op::SetADCsps)); },
        [](UnitSession &s, Recorder &r) { return s.getADCThreshold(1, r.as(Op::GetADCThreshold)); },
        [](UnitSession &s, Recorder &r) { return s.setADCThreshold(1, 1, 0, 2, 1, r.as(Op::SetADCThreshold)); },
        [](UnitSession &s, Recorder &r) { return s.getUnitModelID(r.as(Op::GetUnitModelID)); },
        [](UnitSession &s, Recorder &r) { return s.setTCSetting(1, 2, 3, r.as(Op::SetTCSetting)); },
        [](UnitSession &s, Recorder &r) { return s.getTCSetting(1, r.as(Op::GetTCSetting)); },
        [](UnitSession &s, Recorder &r) { return s.getDOAlert(1, r.as(Op::GetDOAlert)); },
        [](UnitSession &s, Recorder &r) { return s.setDOAlert(1, 2, 3, 1, r.as(Op::SetDOAlert)); },
        [](UnitSession &s, Recorder &r) { return s.setDOAlertEnable(1, 1, r.as(Op::SetDOAlertEnable)); },
    };
    static_assert(std::size(posts) == proto::kOpCount);
    for (Post post : posts)
        EXPECT_TRUE(post(session, rec));
    ASSERT_TRUE(rec.waitFor(proto::kOpCount));
    const auto done = rec.all();
    // The first tells why the connect failed, the others are refused when they try again.
    for (int n = 0; n < proto::kOpCount; ++n) {
        EXPECT_EQ(done[n].name, proto::opName(Op(n + 1)));
        EXPECT_EQ(done[n].failure, (LinkError{LinkError::Kind::Refused, net::kErrConnectionRefused})) << done[n].name;
    }
}

TEST(UnitSessionLifetime, DestructionRunsQueuedRequestsAndTheirCallbacks)
{
    SimulatedUnit unit;
    Recorder rec;
    {
        UnitSession session(nullptr, kShortTimeouts);
        ASSERT_EQ(session.connect("127.0.0.1", unit.port()), 0);
        for (int i = 0; i < 5; ++i)
            session.setDO(i & 3, rec.as(Op::SetDO));
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

void postDuringStop(LateContext &l, const Result<AnalogInputs> &r)
{
    l.rec.add(Op::GetAllAI, r);
    EXPECT_TRUE(UnitSession::completionStopping());
    if (!l.session->getAllAI([&l](const auto &next) { postDuringStop(l, next); }))
        ++l.refused;
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
        ASSERT_TRUE(session.getDO(late.rec.as(Op::GetDO))); // keeps the worker busy
        ASSERT_TRUE(session.getAllAI([&late](const auto &r) { postDuringStop(late, r); }));
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
            session.getAllAI(rec.as(Op::GetAllAI));
    }
    // Every queued request still reported, each as a failure.
    ASSERT_EQ(rec.size(), 20u);
    for (const Completed &c : rec.all())
        EXPECT_TRUE(c.failure);
}

} // namespace
