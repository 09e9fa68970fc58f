#include "link/net.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace qn;
using namespace qn::sim;
using proto::Op;

namespace {

constexpr int kWaitMs = 20000;

// A plain blocking client, as a unit's peer on the LAN would be.
class RawClient {
public:
    int connect(uint16_t port, const std::string &ip = "127.0.0.1", int timeoutMs = 2000)
    {
        int err = 0;
        m_socket = net::Socket::tcp(err);
        if (err)
            return err;
        err = m_socket.connect(net::Address{*net::parseIpv4(ip), port}, timeoutMs);
        if (err == 0)
            m_socket.setReceiveTimeout(2000);
        return err;
    }
    // Sends the request and collects up to n bytes (fewer when the unit stops sending).
    std::vector<uint8_t> exchange(Op op, proto::Args args = {}, std::size_t n = 0)
    {
        const proto::Frame f = proto::buildRequest(op, args);
        int err = 0;
        m_socket.send(f.data(), f.size, err);
        if (n == 0)
            n = proto::info(op).replyLength;
        std::vector<uint8_t> reply(n);
        std::size_t got = 0;
        while (got < n) {
            const long r = m_socket.receive(reply.data() + got, n - got, err);
            if (r <= 0)
                break;
            got += std::size_t(r);
        }
        reply.resize(got);
        return reply;
    }
    net::Socket m_socket;
};

UnitConfig unitAt(const std::string &ip, int model = proto::kModelQN210, int id = 1, uint16_t port = 0)
{
    UnitConfig c;
    c.modelId = model;
    c.unitId = id;
    c.bindIp = ip;
    c.tcpPort = port;
    return c;
}

TEST(Simulator, PicksAFreePortAndAnswers)
{
    Simulator sim;
    sim.addUnit(unitAt("127.0.0.1", proto::kModelQN220, 9));
    std::string error;
    ASSERT_TRUE(sim.start(&error)) << error;
    ASSERT_NE(sim.tcpPort(0), 0);
    RawClient c;
    ASSERT_EQ(c.connect(sim.tcpPort(0)), 0);
    const auto reply = c.exchange(Op::GetUnitModelID);
    int unitId = -1, modelId = -1;
    ASSERT_EQ(reply.size(), 5u);
    EXPECT_EQ(proto::decodeIdentification(reply.data(), unitId, modelId), 0);
    EXPECT_EQ(unitId, 9);
    EXPECT_EQ(modelId, proto::kModelQN220);
}

TEST(Simulator, SeveralUnitsShareAPortOnTheirOwnAddresses)
{
    Simulator first;
    first.addUnit(unitAt("127.0.0.11", proto::kModelQN210, 3));
    ASSERT_TRUE(first.start());
    const uint16_t port = first.tcpPort(0);
    first.stop();

    Simulator sim;
    sim.addUnit(unitAt("127.0.0.11", proto::kModelQN210, 3, port));
    sim.addUnit(unitAt("127.0.0.12", proto::kModelQN220, 5, port));
    sim.addUnit(unitAt("127.0.0.13", proto::kModelQN110, 1, port));
    sim.addUnit(unitAt("127.0.0.14", proto::kModelQN120, 2, port));
    std::string error;
    ASSERT_TRUE(sim.start(&error)) << error;
    const int models[] = {8, 10, 9, 11};
    for (int i = 0; i < 4; ++i) {
        RawClient c;
        ASSERT_EQ(c.connect(port, "127.0.0." + std::to_string(11 + i)), 0);
        const auto reply = c.exchange(Op::GetUnitModelID);
        ASSERT_EQ(reply.size(), 5u);
        EXPECT_EQ(reply[3] & 0x0F, models[i]);
    }
}

TEST(Simulator, RefusesAddressesOffThisMachineAndBadConfigs)
{
    const struct {
        UnitConfig config;
        const char *reason;
    } cases[] = {
        {unitAt("10.1.2.3"), "outside 127.0.0.0/8"},
        {unitAt("192.168.0.10"), "outside 127.0.0.0/8"},
        {unitAt("localhost"), "not a dotted IPv4"},
        {unitAt("127.0.0.1", 12), "unknown model"},
        {unitAt("127.0.0.1", 8, 16), "unit ID"},
    };
    for (const auto &c : cases) {
        Simulator sim;
        sim.addUnit(c.config);
        std::string error;
        EXPECT_FALSE(sim.start(&error));
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_FALSE(sim.running());
    }
}

TEST(Simulator, LogsRequestsInArrivalOrder)
{
    Simulator sim;
    sim.addUnit(unitAt("127.0.0.1"));
    ASSERT_TRUE(sim.start());
    RawClient c;
    ASSERT_EQ(c.connect(sim.tcpPort(0)), 0);
    c.exchange(Op::GetDO);
    c.exchange(Op::GetADCsps);
    for (int ch = 0; ch < 3; ++ch)
        c.exchange(Op::GetAIRange, {ch});
    c.exchange(Op::SetDO, {1});
    ASSERT_TRUE(sim.waitForRequests(0, 6, kWaitMs));
    EXPECT_EQ(sim.requestNames(0),
              (std::vector<std::string>{"GetDO", "GetADCsps", "GetAIRange", "GetAIRange", "GetAIRange", "SetDO"}));
    const auto log = sim.requestLog(0);
    EXPECT_EQ(log[3].params(), (std::vector<uint8_t>{0x21}));
    EXPECT_EQ(log[5].bytes, (std::vector<uint8_t>{0x44, 0x4F, 0x21, 0x20, 0xC8}));
    EXPECT_EQ(sim.state(0).doPattern, 1);
    sim.clearRequestLog(0);
    EXPECT_TRUE(sim.requestLog(0).empty());
    EXPECT_EQ(sim.connectionCount(0), 1);
}

TEST(Simulator, RequestsSplitAcrossSegmentsAndBackToBack)
{
    Simulator sim;
    sim.addUnit(unitAt("127.0.0.1"));
    ASSERT_TRUE(sim.start());
    RawClient c;
    ASSERT_EQ(c.connect(sim.tcpPort(0)), 0);
    int err = 0;
    // Two requests in one segment, then one in two segments.
    const uint8_t two[] = {0x44, 0x59, 0xC8, 0x44, 0x59, 0xC8};
    c.m_socket.send(two, sizeof two, err);
    const uint8_t half1[] = {0x41, 0x49};
    const uint8_t half2[] = {0x27, 0xC8};
    c.m_socket.send(half1, 2, err);
    ASSERT_TRUE(sim.waitForBytes(0, sizeof two + 2, kWaitMs)); // the first half is in
    c.m_socket.send(half2, 2, err);
    ASSERT_TRUE(sim.waitForRequests(0, 3, kWaitMs));
    EXPECT_EQ(sim.requestNames(0), (std::vector<std::string>{"GetDO", "GetDO", "GetAllAI"}));
    const auto log = sim.requestLog(0);
    EXPECT_EQ(log[0].receives, 1);
    EXPECT_EQ(log[1].receives, 1);
    EXPECT_EQ(log[2].receives, 2) << "the unit noticed the request came in two pieces";
    // An unknown command is logged and not answered.
    const uint8_t unknown[] = {'Z', 'Q', 0xC8};
    c.m_socket.send(unknown, 3, err);
    ASSERT_TRUE(sim.waitForRequests(0, 4, kWaitMs));
    EXPECT_EQ(sim.requestNames(0).back(), "?ZQ");
}

TEST(SimulatorFaults, LimitedByCountThenNormal)
{
    Simulator sim;
    sim.addUnit(unitAt("127.0.0.1"));
    ASSERT_TRUE(sim.start());
    sim.setFault(0, {FaultKind::PartialReply, 0, 3, 2});
    RawClient c;
    ASSERT_EQ(c.connect(sim.tcpPort(0)), 0);
    EXPECT_EQ(c.exchange(Op::GetDO, {}, 3).size(), 3u);
    EXPECT_EQ(c.exchange(Op::GetDO, {}, 3).size(), 3u);
    EXPECT_EQ(c.exchange(Op::GetDO).size(), 5u);
}

TEST(SimulatorFaults, GarbageHasTheRightLengthButIsNoReply)
{
    Simulator sim;
    sim.addUnit(unitAt("127.0.0.1"));
    ASSERT_TRUE(sim.start());
    sim.setFault(0, {FaultKind::Garbage, 0, 0, -1});
    RawClient c;
    ASSERT_EQ(c.connect(sim.tcpPort(0)), 0);
    const proto::Frame req = proto::buildRequest(Op::GetAllAI, {});
    const auto reply = c.exchange(Op::GetAllAI);
    ASSERT_EQ(reply.size(), 22u);
    EXPECT_FALSE(proto::echoMatches(req.data(), reply.data()));
    sim.clearFault(0);
    const auto good = c.exchange(Op::GetAllAI);
    EXPECT_TRUE(proto::echoMatches(req.data(), good.data()));
}

TEST(SimulatorFaults, LateAndDropped)
{
    Simulator sim;
    sim.addUnit(unitAt("127.0.0.1"));
    ASSERT_TRUE(sim.start());
    RawClient c;
    ASSERT_EQ(c.connect(sim.tcpPort(0)), 0);
    sim.setFault(0, {FaultKind::ReplyLate, 150, 0, 1});
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(c.exchange(Op::GetDO).size(), 5u);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(140));
    sim.setFault(0, {FaultKind::DropConnection, 0, 0, 1, 1});
    EXPECT_EQ(c.exchange(Op::GetDO).size(), 5u) << "the first request passes";
    EXPECT_EQ(c.exchange(Op::GetDO).size(), 0u); // closed by the unit
    RawClient again;
    ASSERT_EQ(again.connect(sim.tcpPort(0)), 0);
    EXPECT_EQ(again.exchange(Op::GetDO).size(), 5u);
    EXPECT_EQ(sim.connectionCount(0), 2);
}

TEST(SimulatorPower, OffLooksLikeAUnitThatDoesNotAnswerAndOnListensAgain)
{
    Simulator sim;
    sim.addUnit(unitAt("127.0.0.1"));
    ASSERT_TRUE(sim.start());
    const uint16_t port = sim.tcpPort(0);
    RawClient before;
    ASSERT_EQ(before.connect(port), 0);
    sim.setOnline(0, false);
    EXPECT_FALSE(sim.online(0));
    // Old connection: silence; new connections: no answer within the wait.
    before.m_socket.setReceiveTimeout(200);
    EXPECT_EQ(before.exchange(Op::GetDO).size(), 0u);
    RawClient during;
    EXPECT_EQ(during.connect(port, "127.0.0.1", 200), net::kErrTimedOut);
    EXPECT_TRUE(sim.requestLog(0).empty()) << "a unit that is off hears nothing";

    sim.setOnline(0, true);
    RawClient after;
    ASSERT_EQ(after.connect(port), 0);
    EXPECT_EQ(after.exchange(Op::GetDO).size(), 5u);
    EXPECT_EQ(sim.tcpPort(0), port);
}

TEST(SimulatorState, ThreadSafeAccessAndPins)
{
    Simulator sim;
    sim.addUnit(unitAt("127.0.0.1", proto::kModelQN210));
    ASSERT_TRUE(sim.start());
    sim.pinAI(0, 0, 0x123456);
    sim.pinAI(0, 2, -1);
    RawClient c;
    ASSERT_EQ(c.connect(sim.tcpPort(0)), 0);
    std::atomic<bool> stop{false};
    std::thread changer([&] {
        for (int i = 0; !stop; ++i)
            sim.updateState(0, [i](UnitState &s) { s.adcSps = i & 7; });
    });
    for (int i = 0; i < 50; ++i) {
        const auto reply = c.exchange(Op::GetAllAI);
        ASSERT_EQ(reply.size(), 22u);
        const auto r = proto::decodeReply(Op::GetAllAI, {}, reply.data());
        ASSERT_TRUE(r);
        EXPECT_EQ((*r)[0], 0x123456);
        EXPECT_EQ((*r)[2], -1);
    }
    stop = true;
    changer.join();
    sim.unpinAll(0);
    EXPECT_FALSE(sim.state(0).pinnedAi[0]);
}

TEST(UnitOption, ParsesAndRejects)
{
    std::string error;
    auto c = parseUnitOption("QN-220:5:127.0.0.12:10001:00-80-92-AB-CD-EF", &error);
    ASSERT_TRUE(c) << error;
    EXPECT_EQ(c->modelId, 10);
    EXPECT_EQ(c->unitId, 5);
    EXPECT_EQ(c->bindIp, "127.0.0.12");
    EXPECT_EQ(c->tcpPort, 10001);
    EXPECT_EQ(c->mac, (std::array<uint8_t, 6>{0x00, 0x80, 0x92, 0xAB, 0xCD, 0xEF}));
    auto d = parseUnitOption("qn-110:0:127.0.0.1:0", &error);
    ASSERT_TRUE(d) << error;
    EXPECT_EQ(d->modelId, 9);

    const struct {
        const char *text;
        const char *problem;
    } bad[] = {
        {"QN-999:1:127.0.0.1:10001", "unknown model"},
        {"QN-210:16:127.0.0.1:10001", "unit ID"},
        {"QN-210:x:127.0.0.1:10001", "unit ID"},
        {"QN-210:1:127.0.0:10001", "dotted IPv4"},
        {"QN-210:1:127.0.0.1:70000", "port"},
        {"QN-210:1:127.0.0.1", "expected"},
        {"QN-210:1:127.0.0.1:1:00-80-92", "MAC"},
    };
    for (const auto &b : bad) {
        error.clear();
        EXPECT_FALSE(parseUnitOption(b.text, &error)) << b.text;
        EXPECT_NE(error.find(b.problem), std::string::npos) << b.text << ": " << error;
    }
}

} // namespace
