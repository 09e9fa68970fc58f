// qnctl search / add / identify run in-process against simulated units on loopback.
#include "cli/discoverycommands.h"
#include "link/unitlist.h"
#include "sim/simulator.h"
#include "../support/programs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace qn {
namespace {

struct CommandRun {
    int status;
    std::string out;
    std::string err;
};

CommandRun run(cli::CommandFunction command, const cli::Arguments &args)
{
    std::ostringstream out;
    std::ostringstream err;
    const int status = command(args, out, err);
    return CommandRun{status, out.str(), err.str()};
}

sim::UnitConfig simUnit(int modelId, int unitId, const std::string &ip, uint16_t tcpPort, uint8_t macLast, int delayMs)
{
    sim::UnitConfig c;
    c.modelId = modelId;
    c.unitId = unitId;
    c.bindIp = ip;
    c.tcpPort = tcpPort;
    c.mac = {0x00, 0x80, 0x92, 0x00, 0x00, macLast};
    c.discovery.udpPort = 0;
    c.discovery.replyDelayMs = delayMs;
    return c;
}

// Three units answering 0, 150 and 300 ms after a query; the first two share a TCP port.
class CommandsTest : public testing::Test {
protected:
    void SetUp() override
    {
        first.addUnit(simUnit(kModelQN110, 1, "127.0.0.21", 0, 0x21, 0));
        ASSERT_TRUE(first.start());
        tcpPort = first.tcpPort(0);
        udpPort = first.udpPort(0);
        auto second = simUnit(kModelQN220, 14, "127.0.0.22", tcpPort, 0x22, 150);
        auto third = simUnit(kModelQN210, 3, "127.0.0.23", 0, 0x23, 300);
        second.discovery.udpPort = third.discovery.udpPort = udpPort;
        rest.addUnit(second);
        rest.addUnit(third);
        ASSERT_TRUE(rest.start());
    }

    cli::Arguments listArgs(std::initializer_list<std::string> extra) const
    {
        cli::Arguments a(extra);
        a.insert(a.end(), {"--udp-port", std::to_string(udpPort), "--wait", "2000"});
        return a;
    }

    sim::Simulator first;
    sim::Simulator rest;
    uint16_t tcpPort = 0;
    uint16_t udpPort = 0;
};

TEST_F(CommandsTest, SearchIdentifiesUnitsOnThePortAndPrintsTheList)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    const CommandRun r = run(&cli::searchCommand, listArgs({"--to", "127.255.255.255", "--port", std::to_string(tcpPort)}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(kUnitListHeader) + "\n"
                         "00-80-92-00-00-21 QN-110    ID:1  127.0.0.21\n"
                         "00-80-92-00-00-22 QN-220    ID:14 127.0.0.22\n"
                         "00-80-92-00-00-23                 127.0.0.23\n");
    EXPECT_EQ(r.err, "");
    // Identification went only to the units on that port.
    EXPECT_EQ(first.requestNames(0), (std::vector<std::string>{"GetUnitModelID"}));
    EXPECT_EQ(rest.requestNames(0), (std::vector<std::string>{"GetUnitModelID"}));
    EXPECT_TRUE(rest.requestNames(1).empty());
}

TEST_F(CommandsTest, SearchWithoutPortListsEveryoneUnidentified)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    const CommandRun r = run(&cli::searchCommand, listArgs({"--to", "127.255.255.255"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, std::string(kUnitListHeader) + "\n"
                         "00-80-92-00-00-21                 127.0.0.21\n"
                         "00-80-92-00-00-22                 127.0.0.22\n"
                         "00-80-92-00-00-23                 127.0.0.23\n");
}

TEST_F(CommandsTest, AddListsTheOneUnitAndIdentifiesItOnItsPort)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    const CommandRun r = run(&cli::addCommand, listArgs({"127.0.0.23", "--port", std::to_string(rest.tcpPort(1))}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(kUnitListHeader) + "\n" + "00-80-92-00-00-23 QN-210    ID:3  127.0.0.23\n");
}

TEST_F(CommandsTest, SwitchedOffUnitIsNotFound)
{
    QN_SKIP_UNDER_WINE(qn::test::kWineUdpLoopback);
    rest.setOnline(0, false);
    const CommandRun r = run(&cli::searchCommand, listArgs({"--to", "127.255.255.255"}));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.find("127.0.0.22"), std::string::npos);
    EXPECT_NE(r.out.find("127.0.0.23"), std::string::npos);
}

TEST_F(CommandsTest, IdentifyPrintsUnitAndModel)
{
    const CommandRun ok = run(&cli::identifyCommand, {"127.0.0.22:" + std::to_string(tcpPort)});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "GetUnitModelID 14 10\n");

    rest.setFault(0, sim::Fault{sim::FaultKind::Garbage});
    const CommandRun bad = run(&cli::identifyCommand, {"127.0.0.22:" + std::to_string(tcpPort)});
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "error 1\n");
}

TEST(DiscoveryCommands, FailuresAndUsage)
{
    struct Row { cli::CommandFunction command; cli::Arguments args; int status; const char *out; const char *err; };
    const Row rows[] = {
        // a query that cannot be sent at all is a communication error
        {&cli::searchCommand, {"--to", "127.0.0.1", "--udp-port", "0", "--wait", "100"}, 1, "", "通信エラー\n"},
        {&cli::addCommand, {"127.0.0.1", "--udp-port", "0", "--wait", "100"}, 1, "", "通信エラー\n"},
        {&cli::identifyCommand, {":10001"}, 1, "error 3\n", ""},
        {&cli::searchCommand, {"--to"}, 2, "", "qnctl search: --to needs an address\n"},
        {&cli::searchCommand, {"--to", "localhost"}, 2, "", "qnctl search: --to 'localhost' is not a dotted IPv4 address\n"},
        {&cli::searchCommand, {"--port", "70000"}, 2, "", "qnctl search: --port needs a TCP port 0..65535\n"},
        {&cli::searchCommand, {"extra"}, 2, "", "qnctl search: unexpected argument 'extra'\n"},
        {&cli::searchCommand, {"--bogus"}, 2, "", "qnctl search: unknown option '--bogus'\n"},
        {&cli::addCommand, {}, 2, "", "qnctl add: missing IP\n"},
        {&cli::addCommand, {"abc"}, 2, "", "qnctl add: 'abc' is not a dotted IPv4 address\n"},
        {&cli::addCommand, {"--to", "127.0.0.1", "127.0.0.2"}, 2, "", "qnctl add: unknown option '--to'\n"},
        {&cli::identifyCommand, {}, 2, "", "qnctl identify: missing HOST:PORT\n"},
        {&cli::identifyCommand, {"127.0.0.1"}, 2, "", "qnctl identify: malformed HOST:PORT '127.0.0.1'\n"},
        {&cli::identifyCommand, {"127.0.0.1:1", "127.0.0.1:2"}, 2, "", "qnctl identify: unexpected argument '127.0.0.1:2'\n"},
    };
    for (const Row &r : rows) {
        const CommandRun got = run(r.command, r.args);
        const std::string what = testing::PrintToString(r.args);
        EXPECT_EQ(got.status, r.status) << what;
        EXPECT_EQ(got.out, r.out) << what;
        // usage errors go on with the usage text
        EXPECT_EQ(got.err.substr(0, std::string(r.err).size()), r.err) << what;
    }
}

} // namespace
} // namespace qn
