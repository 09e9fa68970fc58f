#include "cli/commands.h"

#include <gtest/gtest.h>

#include <sstream>

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
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"0x7FFFFFFF", 2147483647},
        {"007", 7},
    };
    for (const auto &g : good) {
        int v = 12345;
        EXPECT_TRUE(parseNumber(g.text, v)) << g.text;
        EXPECT_EQ(v, g.value) << g.text;
    }
    for (const char *bad : {"", "-", "0x", "1.5", "12a", "0xG", "abc", " 1", "1 ", "0x100000000", "-2147483649",
                            "99999999999", "2147483648", "4294967295", "0xFFFFFFFF", "0x80000000"}) {
        int v = 0;
        EXPECT_FALSE(parseNumber(bad, v)) << bad;
    }
}

// Every argument outside its field is a usage error naming it, however it is written:
// nothing wraps into the field. Checked before anything connects.
TEST(RunArguments, OutOfRangeIsAUsageErrorNamingTheArgument)
{
    const std::string huge(100000, '9');
    const struct {
        Arguments args;
        std::string problem;
    } cases[] = {
        {{"GetDI", "4294967295"}, "argument 1 of GetDI is 4294967295, not -2147483648..2147483647"},
        {{"GetDI", "2147483648"}, "argument 1 of GetDI is 2147483648, not"},
        {{"GetDI", "-2147483649"}, "argument 1 of GetDI is -2147483649, not"},
        {{"GetDI", "0x100000000"}, "argument 1 of GetDI is 0x100000000, not"},
        {{"SetAO", "0", "0", "4294967295"}, "argument 3 of SetAO is 4294967295, not -32768..65535"},
        {{"SetAO", "0", "0", "0xFFFFFFFF"}, "argument 3 of SetAO is 0xFFFFFFFF, not -32768..65535"},
        {{"SetAO", "0", "0", "-32769"}, "argument 3 of SetAO is -32769, not -32768..65535"},
        {{"SetDO", "4294967041"}, "argument 1 of SetDO is 4294967041, not 0..255"},
        {{"SetDOAlert", "0", "0", "0x1FFFF", "0"}, "argument 3 of SetDOAlert is 0x1FFFF, not 0..65535"},
        {{"GetAI", "18446744073709551617"}, "argument 1 of GetAI is 18446744073709551617, not 0..6"},
        {{"GetDI", huge}, "argument 1 of GetDI is 9999999999999999999999999999999999999999... (100000 characters), not"},
        {{"GetDI", huge + "x"}, "malformed argument '9999999999999999999999999999999999999999... (100001 characters)'"},
        {{huge}, "unknown operation '9999999999999999999999999999999999999999... (100000 characters)'"},
    };
    for (const auto &c : cases) {
        Arguments args{"127.0.0.1:1"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::ostringstream out, err;
        EXPECT_EQ(runCommand(args, out, err), kExitUsage) << c.problem;
        EXPECT_NE(err.str().find("qnctl run: " + c.problem), std::string::npos) << err.str().substr(0, 300);
        EXPECT_LT(err.str().size(), 3000u) << c.problem;
        EXPECT_EQ(out.str(), "");
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
