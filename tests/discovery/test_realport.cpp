// Discovery at UDP port 30718 with the program's own waits.
#include "support.h"
#include "../support/programs.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qn {
namespace {

using test::UnitGroup;
using test::unit;

// Whether something else on this machine answers searches at the real port.
bool othersAnswer()
{
    int err = 0;
    net::Socket s = net::Socket::udp(err);
    s.setBroadcast(true);
    s.sendTo(kSearchQuery.data(), kSearchQuery.size(), net::Address{0x7FFFFFFF, kDiscoveryPort}, err);
    return s.waitReadable(500, err) == 1;
}

TEST(SearchUnitsRealTiming, LateAnswerIsTakenAndAGapOverASecondEndsTheSearch)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    // Answers of other units would end the first wait early; where the test
    // cannot have a network of its own (isolated.sh), it cannot judge the waits.
    if (othersAnswer())
        GTEST_SKIP() << "other simulated units answer at UDP port 30718 on this machine";
    UnitGroup units(kDiscoveryPort);
    auto late = unit("127.0.0.2", 10001, 0x02);
    late.searchDelayMs = 4500;   // within the first 5000 ms wait
    units.add(late);
    auto later = unit("127.0.0.3", 10002, 0x03);
    later.searchDelayMs = 4500 + 2200;   // more than 1000 ms after the previous answer
    units.add(later);

    const auto start = std::chrono::steady_clock::now();
    UnitTable table;
    ASSERT_GE(searchUnits(table, "127.255.255.255").count, 1);
    const auto took = std::chrono::steady_clock::now() - start;
    // A qnsim that someone runs on this machine may answer too; judge ours only.
    const int i = table.indexOfIp(*net::parseIpv4("127.0.0.2"));
    ASSERT_GE(i, 0);
    EXPECT_EQ(table[i].address.port, kDiscoveryPort);
    EXPECT_EQ(table[i].tcpPort, 10001);
    EXPECT_EQ(table.indexOfIp(*net::parseIpv4("127.0.0.3")), -1);
    // The wait after the answer ended the collection rather than the late unit.
    EXPECT_GE(took, std::chrono::milliseconds(5400));
    // The later unit was asked nothing more than the search.
    EXPECT_EQ(units[1].queries().size(), 1u);
}

TEST(AddUnitByIPRealTiming, AddsAUnitAtTheRealPort)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    UnitGroup units(kDiscoveryPort);
    units.add(unit("127.0.0.4", 10004, 0x04));
    UnitTable table;
    ASSERT_EQ(addUnitByIP(table, "127.0.0.4"), searchDone(1));
    EXPECT_EQ(table[0].tcpPort, 10004);
    EXPECT_EQ(table[0].address, (net::Address{*net::parseIpv4("127.0.0.4"), kDiscoveryPort}));
}

} // namespace
} // namespace qn
