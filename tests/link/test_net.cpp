// The socket layer's view of this machine's networks, as the every-network search uses it.
#include "link/net.h"

#include <gtest/gtest.h>

namespace {

using namespace qn;

// Whatever networks the machine (or the test's namespace) has: only real ones
// are listed, each with the broadcast address of its own subnet.
TEST(BroadcastInterfaces, ListsOnlyNetworksOffThisMachineWithTheirOwnSubnetsBroadcast)
{
    for (const net::Ipv4Interface &i : net::broadcastInterfaces()) {
        const auto own = net::parseIpv4(i.address);
        const auto broadcast = net::parseIpv4(i.broadcast);
        ASSERT_TRUE(own && broadcast) << i.name << ": " << i.address << " / " << i.broadcast;
        EXPECT_FALSE(net::isLoopback(*own)) << i.name;
        EXPECT_NE(*own, *broadcast) << i.name;
        // The broadcast address is the interface's network part with a host part of all ones.
        const uint32_t hostPart = (*broadcast ^ (*broadcast + 1)) >> 1;   // its trailing ones
        EXPECT_NE(hostPart, 0u) << i.name << ": " << i.broadcast;
        EXPECT_EQ(*own & ~hostPart, *broadcast & ~hostPart) << i.name << ": " << i.address << " / " << i.broadcast;
    }
}

} // namespace
