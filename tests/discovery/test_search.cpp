// searchUnits and addUnitByIP against simulated units on 127.0.0.x, on a free UDP port.
#include "support.h"
#include "../support/programs.h"

#include "link/unitlist.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qn {
namespace {

using test::UnitGroup;
using test::unit;

// Short waits keep the suite fast; generous enough for a loaded machine.
constexpr DiscoveryTiming kFast{2000, 800, 1500};
constexpr const char *kLoopbackBroadcast = "127.255.255.255";
const SearchOutcome kNotSent{SearchOutcome::Status::NotSent};
const SearchOutcome kAlreadyListed{SearchOutcome::Status::AlreadyListed};

std::vector<std::string> ips(const UnitTable &t)
{
    std::vector<std::string> r;
    for (const UnitEntry &e : t.entries())
        r.push_back(e.ipText);
    return r;
}

TEST(SearchUnits, ListsUnitsInAnswerOrderWithTheirOwnPorts)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    auto late = unit("127.0.0.2", 10002, 0x02);
    late.searchDelayMs = 300;
    units.add(late);
    units.add(unit("127.0.0.3", 10001, 0x03));

    UnitTable table;
    ASSERT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), kFast), searchDone(2));
    EXPECT_EQ(ips(table), (std::vector<std::string>{"127.0.0.3", "127.0.0.2"}));
    EXPECT_EQ(table[0].tcpPort, 10001);
    EXPECT_EQ(table[1].tcpPort, 10002);
    EXPECT_EQ(table[0].mac, (MacAddress{0x00, 0x80, 0x92, 0x12, 0x34, 0x03}));
    EXPECT_EQ(table[0].address, (net::Address{*net::parseIpv4("127.0.0.3"), units.port()}));
    for (const UnitEntry &e : table.entries()) {
        EXPECT_EQ(e.modelId, -1);
        EXPECT_EQ(e.unitId, -1);
    }
    // Both heard the broadcast and then their own detail queries.
    for (int i = 0; i < 2; ++i) {
        const auto q = units[size_t(i)].queries();
        ASSERT_EQ(q.size(), 3u);
        EXPECT_EQ(q[0].kind, sim::QueryKind::Search);
        EXPECT_TRUE(q[0].broadcast);
        EXPECT_EQ(q[1].kind, sim::QueryKind::Detail1);
        EXPECT_FALSE(q[1].broadcast);
        EXPECT_EQ(q[2].kind, sim::QueryKind::Detail2);
    }
}

TEST(SearchUnits, PortBytesAreLittleEndian)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    const auto reply = sim::detailReply1(10001);
    ASSERT_EQ(reply.size(), kDetailReply1Max);
    EXPECT_EQ(reply[24], 0x11);
    EXPECT_EQ(reply[25], 0x27);

    UnitGroup units;
    units.add(unit("127.0.0.2", 10001, 0x02));
    UnitTable table;
    ASSERT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), kFast), searchDone(1));
    EXPECT_EQ(table[0].tcpPort, 0x2711);
}

TEST(SearchUnits, NobodyAnsweringGivesZeroAndClearsTheTable)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    auto mute = unit("127.0.0.2", 10001, 0x02);
    mute.answerSearch = false;
    units.add(mute);
    UnitTable table;
    UnitEntry old;
    old.ipText = "127.0.0.50";
    table.append(old);
    EXPECT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), kFast), searchDone(0));
    EXPECT_EQ(table.count(), 0);
    EXPECT_EQ(units[0].queryCount(), 1u);
}

TEST(SearchUnits, TargetThatIsNotAnAddressFails)
{
    UnitTable table;
    for (const char *target : {"", "localhost", "127.0.0", "256.1.1.1", "1.2.3.4 "})
        EXPECT_EQ(searchUnits(table, target, 9, kFast), kNotSent) << target;
}

TEST(SearchUnits, QueryThatCannotBeSentIsAFailure)
{
    UnitTable table;
    // Port 0 is refused by the socket layer before anything leaves.
    EXPECT_EQ(searchUnits(table, "127.0.0.1", 0, kFast), kNotSent);
    EXPECT_EQ(addUnitByIP(table, "127.0.0.1", 0, kFast), kNotSent);
    EXPECT_EQ(table.count(), 0);
}

TEST(SearchUnits, UnitsThatFailTheDetailExchangeAreNotListed)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    auto noDetail1 = unit("127.0.0.3", 10003, 0x03);
    noDetail1.answerDetail1 = false;
    units.add(noDetail1);
    auto noDetail2 = unit("127.0.0.4", 10004, 0x04);
    noDetail2.answerDetail2 = false;
    units.add(noDetail2);
    auto tooSlow = unit("127.0.0.5", 10005, 0x05);
    tooSlow.detailDelayMs = 2500;   // beyond the receive time-out
    units.add(tooSlow);
    units.add(unit("127.0.0.6", 10006, 0x06));

    UnitTable table;
    ASSERT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), kFast), searchDone(2));
    auto listed = ips(table);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"127.0.0.2", "127.0.0.6"}));
}

TEST(SearchUnits, SearchReplyTooShortForTheMacIsNotAUnit)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    struct Row { std::size_t length; bool listed; };
    // 30 holds bytes 24-29; 29 stops one short; 31 does not fit the buffer.
    for (const Row r : {Row{30, true}, Row{29, false}, Row{4, false}, Row{31, false}}) {
        UnitGroup units;
        auto u = unit("127.0.0.2", 10001, 0x02);
        u.searchReplyLength = r.length;
        units.add(u);
        UnitTable table;
        EXPECT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), kFast), searchDone(r.listed ? 1 : 0)) << r.length;
        EXPECT_EQ(units[0].queryCount(), r.listed ? 3u : 1u) << r.length;
    }
}

TEST(SearchUnits, DetailReplyOneByteShortOfThePortFailsTheEntry)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    struct Row { std::size_t length; bool listed; };
    for (const Row r : {Row{26, true}, Row{25, false}, Row{124, true}, Row{125, false}}) {
        UnitGroup units;
        auto u = unit("127.0.0.2", 10001, 0x02);
        u.detail1ReplyLength = r.length;
        units.add(u);
        UnitTable table;
        EXPECT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), kFast), searchDone(r.listed ? 1 : 0)) << r.length;
        if (r.listed) {
            EXPECT_EQ(table[0].tcpPort, 10001);
        }
    }
}

TEST(SearchUnits, DetailReplyTwoMayBeShortButNotTooLong)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    struct Row { std::size_t length; bool listed; };
    for (const Row r : {Row{0, true}, Row{130, true}, Row{131, false}}) {
        UnitGroup units;
        auto u = unit("127.0.0.2", 10001, 0x02);
        u.detail2ReplyLength = r.length;
        units.add(u);
        UnitTable table;
        EXPECT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), kFast), searchDone(r.listed ? 1 : 0)) << r.length;
    }
}

TEST(SearchUnits, StrayDatagramDuringTheDetailExchangeIsNotTheEntrysAnswer)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    auto u = unit("127.0.0.2", 10001, 0x02);
    u.detailDelayMs = 400;
    auto &responder = units.add(u);

    std::thread intruder([&] {
        // Once the unit has its first detail query, answer in its place from elsewhere.
        if (!responder.waitForQueries(2, 5000))
            return;
        const net::Address pc = responder.queries()[1].from;
        int err = 0;
        net::Socket s = net::Socket::udp(err);
        s.bind(net::Address{*net::parseIpv4("127.0.0.9"), 0});
        const auto fake = sim::detailReply1(4242);
        s.sendTo(fake.data(), fake.size(), pc, err);
    });
    UnitTable table;
    const int n = searchUnits(table, kLoopbackBroadcast, units.port(), kFast).count;
    intruder.join();
    ASSERT_EQ(n, 1);
    EXPECT_EQ(table[0].ipText, "127.0.0.2");
    EXPECT_EQ(table[0].address.ip, *net::parseIpv4("127.0.0.2"));
    EXPECT_EQ(table[0].tcpPort, 10001);
}

TEST(SearchUnits, UnicastTargetReachesOnlyThatUnit)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    units.add(unit("127.0.0.3", 10003, 0x03));
    UnitTable table;
    ASSERT_EQ(searchUnits(table, "127.0.0.3", units.port(), kFast), searchDone(1));
    EXPECT_EQ(table[0].ipText, "127.0.0.3");
    EXPECT_EQ(units[0].queryCount(), 0u);
}

// Two units still at one factory address are two units: the operator must see
// the conflict.
TEST(SearchUnits, TwoUnitsAnsweringFromOneAddressAreTwoEntries)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    units.add(unit("127.0.0.2", 10001, 0x02));
    auto twin = unit("127.0.0.2", 10001, 0x12);
    twin.searchDelayMs = 300;
    units.add(twin);
    UnitTable table;
    ASSERT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), kFast), searchDone(2));
    EXPECT_EQ(ips(table), (std::vector<std::string>{"127.0.0.2", "127.0.0.2"}));
    EXPECT_EQ(table[0].mac[5], 0x02);
    EXPECT_EQ(table[1].mac[5], 0x12);
}

// Several targets are one search; a unit that got the query twice is listed
// once, and a target that is not an address does not stop the others.
TEST(SearchUnits, SeveralTargetsListEachUnitOnce)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    units.add(unit("127.0.0.3", 10003, 0x03));
    UnitTable table;
    ASSERT_EQ(searchUnits(table, SearchTargets{"no-such-address", "127.0.0.3", kLoopbackBroadcast}, units.port(), kFast), searchDone(2));
    auto listed = ips(table);
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, (std::vector<std::string>{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(searchUnits(table, SearchTargets{"no-such-address"}, units.port(), kFast), kNotSent);
}

TEST(SearchUnits, FillsTheTableOnlyTo256)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    // Every unit costs a thread; this is the one place many are worth it.
    UnitGroup units;
    for (int i = 0; i < 260; ++i) {
        auto u = unit("127.0." + std::to_string(1 + i / 200) + "." + std::to_string(1 + i % 200), 10001, uint8_t(i));
        u.searchDelayMs = (i % 50) * 10;   // spread the answers so none overflow the PC's socket
        units.add(u);
    }
    UnitTable table;
    EXPECT_EQ(searchUnits(table, kLoopbackBroadcast, units.port(), DiscoveryTiming{3000, 1000, 2000}), searchDone(256));
    EXPECT_EQ(table.count(), 256);
}

TEST(AddUnitByIP, AppendsTheUnitWithUnknownModelAndId)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    units.add(unit("127.0.0.3", 10003, 0x03));
    UnitTable table;
    ASSERT_EQ(searchUnits(table, "127.0.0.2", units.port(), kFast), searchDone(1));
    table[0].modelId = 8;
    table[0].unitId = 5;

    ASSERT_EQ(addUnitByIP(table, "127.0.0.3", units.port(), kFast), searchDone(2));
    EXPECT_EQ(ips(table), (std::vector<std::string>{"127.0.0.2", "127.0.0.3"}));
    EXPECT_EQ(table[1].tcpPort, 10003);
    EXPECT_EQ(table[1].modelId, -1);
    EXPECT_EQ(table[1].unitId, -1);
    // The earlier entry was checked again and keeps its identification.
    EXPECT_EQ(table[0].modelId, 8);
    EXPECT_EQ(table[0].unitId, 5);
    EXPECT_EQ(units[0].queries().size(), 5u);   // search, 2 details, then 2 details again
}

TEST(AddUnitByIP, DropsEarlierEntriesThatNoLongerAnswer)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    auto fading = unit("127.0.0.2", 10002, 0x02);
    units.add(fading);
    units.add(unit("127.0.0.3", 10003, 0x03));
    UnitTable table;
    ASSERT_EQ(searchUnits(table, "127.0.0.2", units.port(), kFast), searchDone(1));
    units[0].stop();
    ASSERT_EQ(addUnitByIP(table, "127.0.0.3", units.port(), kFast), searchDone(1));
    EXPECT_EQ(ips(table), (std::vector<std::string>{"127.0.0.3"}));
}

TEST(AddUnitByIP, AlreadyListedAddressGivesMinusTwoAndSendsNothing)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    UnitTable table;
    ASSERT_EQ(searchUnits(table, "127.0.0.2", units.port(), kFast), searchDone(1));
    units[0].clearLog();
    EXPECT_EQ(addUnitByIP(table, "127.0.0.2", units.port(), kFast), kAlreadyListed);
    EXPECT_FALSE(units[0].waitForQueries(1, 300));
    EXPECT_EQ(table.count(), 1);
}

TEST(AddUnitByIP, FullTableGivesMinusOneAndSendsNothing)
{
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    UnitTable table;
    for (int i = 0; i < UnitTable::kCapacity; ++i) {
        UnitEntry e;
        e.address.ip = *net::parseIpv4("127.0.2." + std::to_string(i));
        e.ipText = net::formatIpv4(e.address.ip);
        table.append(e);
    }
    EXPECT_EQ(addUnitByIP(table, "127.0.0.2", units.port(), kFast), kNotSent);
    EXPECT_FALSE(units[0].waitForQueries(1, 300));
    EXPECT_EQ(table.count(), 256);
}

TEST(AddUnitByIP, TextThatIsNotAnAddressIsRefusedWithoutSending)
{
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    UnitTable table;
    // Read loosely these would become the all-ones broadcast address.
    for (const char *text : {"", "abc", "127.0.0", "127.0.0.2.", "300.0.0.1", "127.0.0.2\n"})
        EXPECT_EQ(addUnitByIP(table, text, units.port(), kFast), kNotSent) << text;
    EXPECT_FALSE(units[0].waitForQueries(1, 300));
}

TEST(AddUnitByIP, NobodyAtThatAddressLeavesTheCount)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    UnitTable table;
    EXPECT_EQ(addUnitByIP(table, "127.0.0.7", units.port(), kFast), searchDone(0));
    EXPECT_EQ(table.count(), 0);
}

TEST(DiscoveryResponder, AnswersOnlyLoopbackAndAllowedSubnets)
{
    UnitGroup units;
    auto open = unit("127.0.0.2", 10002, 0x02);
    open.allowFrom = {"10.213.0.0/24", "192.0.2.7"};
    auto &withSubnets = units.add(open);
    auto &loopbackOnly = units.add(unit("127.0.0.3", 10003, 0x03));
    struct Row { const char *ip; bool withSubnets; bool loopbackOnly; };
    const Row rows[] = {
        {"127.0.0.1", true, true}, {"127.255.255.254", true, true},
        {"10.213.0.9", true, false}, {"10.213.1.9", false, false},
        {"192.0.2.7", true, false}, {"192.0.2.8", false, false}, {"0.0.0.0", false, false},
    };
    for (const Row &r : rows) {
        EXPECT_EQ(withSubnets.answersSender(*net::parseIpv4(r.ip)), r.withSubnets) << r.ip;
        EXPECT_EQ(loopbackOnly.answersSender(*net::parseIpv4(r.ip)), r.loopbackOnly) << r.ip;
    }
}

TEST(DiscoveryResponder, ParsesSubnets)
{
    const auto s = sim::parseSubnet("10.213.0.0/24");
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->contains(*net::parseIpv4("10.213.0.77")));
    EXPECT_FALSE(s->contains(*net::parseIpv4("10.213.1.1")));
    EXPECT_FALSE(sim::parseSubnet("10.213.0.0/33"));
    EXPECT_FALSE(sim::parseSubnet("10.213.0/24"));
    EXPECT_TRUE(sim::parseSubnet("0.0.0.0/0")->contains(0xC0000201));
    const auto host = sim::parseSubnet("192.0.2.1");
    ASSERT_TRUE(host);
    EXPECT_EQ(host->mask, 0xFFFFFFFFu);
}

TEST(DiscoveryResponder, IgnoresDatagramsThatAreNoQuery)
{
    UnitGroup units;
    units.add(unit("127.0.0.2", 10002, 0x02));
    int err = 0;
    net::Socket s = net::Socket::udp(err);
    const uint8_t junk[] = {0x00, 0x00, 0x00, 0xF6, 0x00};
    s.sendTo(junk, sizeof junk, net::Address{*net::parseIpv4("127.0.0.2"), units.port()}, err);
    s.sendTo(junk, 3, net::Address{*net::parseIpv4("127.0.0.2"), units.port()}, err);
    EXPECT_FALSE(units[0].waitForQueries(1, 300));
    EXPECT_EQ(s.waitReadable(200, err), 0);
}

} // namespace
} // namespace qn
