#include "cli/commands.h"

#include <gtest/gtest.h>

using namespace qn::cli;

namespace {

TEST(ParseNumber, DecimalHexAndNegative)
{
    const struct {
        const char *text;
        int value;
    } good[] = {
        {"0", 0},           {"17", 17},          {"-1", -1},          {"+5", 5},
        {"0x1F", 31},       {"0X1f", 31},        {"-0x10", -16},      {"0xFFFF", 65535},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"0xFFFFFFFF", -1},
        {"007", 7},
    };
    for (const auto &g : good) {
        int v = 12345;
        EXPECT_TRUE(parseNumber(g.text, v)) << g.text;
        EXPECT_EQ(v, g.value) << g.text;
    }
    for (const char *bad : {"", "-", "0x", "1.5", "12a", "0xG", "abc", " 1", "1 ", "0x100000000", "-2147483649",
                            "99999999999"}) {
        int v = 0;
        EXPECT_FALSE(parseNumber(bad, v)) << bad;
    }
}

TEST(ParseHostPort, SplitsAtTheLastColon)
{
    std::string host;
    int port = -1;
    EXPECT_TRUE(parseHostPort("127.0.0.1:10001", host, port));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 10001);
    EXPECT_TRUE(parseHostPort(":10001", host, port));
    EXPECT_EQ(host, "");
    for (const char *bad : {"127.0.0.1", "127.0.0.1:", "127.0.0.1:65536", "127.0.0.1:x", "127.0.0.1:-1"})
        EXPECT_FALSE(parseHostPort(bad, host, port)) << bad;
}

} // namespace
