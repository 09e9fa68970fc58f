// Discovery at UDP port 30718 with the program's own waits.
#include "support.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qn {
namespace {

using test::UnitGroup;
using test::unit;

TEST(SearchUnitsRealTiming, LateAnswerIsTakenAndAGapOverASecondEndsTheSearch)
{
    UnitGroup units(kDiscoveryPort);
    auto late = unit("127.0.0.2", 10001, 0x02);
    late.searchDelayMs = 4500;   // within the first 5000 ms wait
    units.add(late);
    auto later = unit("127.0.0.3", 10002, 0x03);
    later.searchDelayMs = 4500 + 2200;   // more than 1000 ms after the previous answer
    units.add(later);

    const auto start = std::chrono::steady_clock::now();
    UnitTable table;
    ASSERT_EQ(SearchUnits(table, "127.255.255.255"), 1);
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(table[0].ipText, "127.0.0.2");
    EXPECT_EQ(table[0].address.port, kDiscoveryPort);
    EXPECT_EQ(table[0].tcpPort, 10001);
    // The wait after the answer ended the collection rather than the late unit.
    EXPECT_GE(took, std::chrono::milliseconds(5400));
    // The later unit was asked nothing more than the search.
    EXPECT_EQ(units[1].queries().size(), 1u);
}

TEST(AddUnitByIPRealTiming, AddsAUnitAtTheRealPort)
{
    UnitGroup units(kDiscoveryPort);
    units.add(unit("127.0.0.4", 10004, 0x04));
    UnitTable table;
    ASSERT_EQ(AddUnitByIP(table, "127.0.0.4"), 1);
    EXPECT_EQ(table[0].tcpPort, 10004);
    EXPECT_EQ(table[0].address, (net::Address{*net::parseIpv4("127.0.0.4"), kDiscoveryPort}));
}

} // namespace
} // namespace qn
