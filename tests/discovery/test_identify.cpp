// getUnitModelID and sendRecv against a TCP peer on loopback that answers fixed bytes.
#include "support.h"

#include "link/unitlist.h"

#include <gtest/gtest.h>

namespace qn {
namespace {

using test::FakeTcpUnit;
constexpr int kFastMs = 500;

// What getUnitModelID gave: 0 and the IDs, or the number qnctl prints and -1, -1.
struct Identified {
    int result = 0;
    int modelId = -1;
    int unitId = -1;
};
Identified identify(const std::string &host, uint16_t port, int timeoutMs)
{
    const Result<UnitModelId> id = getUnitModelID(host, port, timeoutMs);
    if (!id)
        return {identifyErrorNumber(id.error())};
    return {0, id->modelId, id->unitId};
}

TEST(GetUnitModelID, JudgesTheReply)
{
    struct Row { std::vector<uint8_t> reply; int result; int modelId; int unitId; };
    const Row rows[] = {
        {{0x6D, 0x69, 0x2E, 0x29, 0xC8}, 0, 9, 1},
        {{0x6D, 0x69, 0x2F, 0x28, 0x00}, 0, 8, 0},
        {{0x6D, 0x69, 0x20, 0x2B, 0xC8}, 0, 11, 15},
        {{0x6D, 0x69, 0x25, 0x2A, 0xC8}, 0, 10, 10},
        {{0x6D, 0x69, 0x2E, 0x2C, 0xC8}, 0, 12, 1},   // unknown model: still an answer
        {{0x4D, 0x49, 0x2E, 0x29, 0xC8}, 1, -1, -1},  // echo not in lower case
        {{0x6D, 0x68, 0x2E, 0x29, 0xC8}, 1, -1, -1},  // second letter wrong
        {{0x6E, 0x69, 0x2E, 0x29, 0xC8}, 1, -1, -1},  // first letter wrong
        {{0x6D, 0x69, 0x2E, 0x3A, 0xC8}, 1, -1, -1},  // high nibble 3 in byte 3
        {{0x6D, 0x69, 0x1E, 0x29, 0xC8}, 1, -1, -1},  // high nibble 1 in byte 2
        {{0x6D, 0x69, 0x2E, 0x29}, 1, -1, -1},        // one byte short, then closed
        {{0x6D, 0x69}, 1, -1, -1},
        {{}, 1, -1, -1},                              // closed without a word
    };
    for (const Row &r : rows) {
        FakeTcpUnit peer(r.reply);
        const Identified got = identify("127.0.0.1", peer.port(), kFastMs);
        EXPECT_EQ(got.result, r.result) << testing::PrintToString(r.reply);
        EXPECT_EQ(got.modelId, r.modelId);
        EXPECT_EQ(got.unitId, r.unitId);
        EXPECT_EQ(peer.lastRequest(), (std::vector<uint8_t>{'M', 'I', 0xC8}));
    }
}

TEST(GetUnitModelID, ReplyArrivingByteByByteIsWhole)
{
    FakeTcpUnit peer({0x6D, 0x69, 0x2E, 0x29, 0xC8}, false, 1, 20);
    const Identified got = identify("127.0.0.1", peer.port(), kFastMs);
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(got.modelId, 9);
    EXPECT_EQ(got.unitId, 1);
}

TEST(GetUnitModelID, FailuresSayWhyInTheLinksKinds)
{
    using Kind = LinkError::Kind;
    EXPECT_EQ(getUnitModelID("", 10001, kFastMs).error(), (LinkError{Kind::Unreachable, LinkError::kNoHost}));
    {
        // A port nobody listens on: bind one, then let it go.
        int err = 0;
        net::Socket s = net::Socket::tcp(err);
        s.bind(net::Address{0x7F000001, 0});
        const uint16_t port = s.localAddress()->port;
        s.close();
        EXPECT_EQ(getUnitModelID("127.0.0.1", port, kFastMs).error(),
                  (LinkError{Kind::Refused, net::kErrConnectionRefused}));
    }
    {
        FakeTcpUnit silent({}, true);
        EXPECT_EQ(getUnitModelID("127.0.0.1", silent.port(), 300).error(), (LinkError{Kind::TimedOut, net::kErrTimedOut}));
    }
    EXPECT_EQ(getUnitModelID("unit.example", 10001, kFastMs).error(), (LinkError{Kind::Unreachable, net::kErrInvalid}));
    // A reply not of the reply's form.
    FakeTcpUnit garbage({0x6D, 0x69, 0x8E, 0x29, 0xC8});
    EXPECT_EQ(getUnitModelID("127.0.0.1", garbage.port(), kFastMs).error(), LinkError::malformed());
}

TEST(SendRecv, ReplyStillShortAfterHundredReceivesFails)
{
    // 150 bytes in single-byte pieces against a wanted 200: the receive loop
    // ends short, either at its hundredth call or at the close. The echo
    // letters are right, so only the length can fail it.
    std::vector<uint8_t> reply(150, 0x30);
    reply[0] = 'a' + 0;
    reply[1] = 'b';
    FakeTcpUnit peer(reply, false, 1, 1);
    const uint8_t request[] = {'A', 'B', 0xC8};
    std::vector<uint8_t> buffer(200);
    EXPECT_EQ(sendRecv("127.0.0.1", peer.port(), request, sizeof request, buffer.size(), buffer.data(), 2000),
              LinkError::malformed());
}

TEST(SendRecv, WholeReplyWithTheRightEchoSucceeds)
{
    FakeTcpUnit peer({'d', 'i', 0x23, 0x20, 0xC8});
    const uint8_t request[] = {'D', 'I', 0xC8};
    uint8_t buffer[5] = {};
    EXPECT_EQ(sendRecv("127.0.0.1", peer.port(), request, sizeof request, sizeof buffer, buffer, kFastMs), std::nullopt);
    EXPECT_EQ(buffer[2], 0x23);
}

TEST(IdentifyListedUnits, IdentifiesOnlyEntriesOnThatPort)
{
    FakeTcpUnit peer({0x6D, 0x69, 0x2E, 0x29, 0xC8});
    UnitTable table;
    UnitEntry a;
    a.ipText = "127.0.0.1";
    a.tcpPort = peer.port();
    UnitEntry b = a;
    b.tcpPort = uint16_t(peer.port() + 1);   // another port: left unknown
    table.append(a);
    table.append(b);
    EXPECT_EQ(identifyListedUnits(table, peer.port(), kFastMs), 1);
    EXPECT_EQ(table[0].modelId, 9);
    EXPECT_EQ(table[0].unitId, 1);
    EXPECT_EQ(table[1].modelId, -1);
    EXPECT_EQ(peer.requests(), 1);
    EXPECT_EQ(unitListLine(table[0]).substr(18), "QN-110    ID:1  127.0.0.1");
}

} // namespace
} // namespace qn
