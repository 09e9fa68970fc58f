// The two programs together, as the demo and scripts use them: qnsim in a process
// of its own on loopback, qnctl run against it, and qnsim ending on SIGTERM.
#include "link/net.h"
#include "link/protocol.h"

#include "../support/programs.h"
#include "../support/qnsimprocess.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using qn::test::QnsimProcess;

#ifdef _WIN32
// qnsim.exe ends on its console's Ctrl+C or Ctrl+Break; the Windows stage's
// script stops it that way.
constexpr const char *kNoSigterm =
    "starts and stops qnsim with POSIX calls and SIGTERM, which Windows lacks; the Windows stage's script runs "
    "qnctl.exe against the Linux qnsim and stops qnsim.exe with Ctrl+C instead";
#endif

std::string qnctlOutput(const std::string &args, int &status)
{
    const auto r = qn::test::runProgram("qnctl", args);
    status = r.status;
    return r.output + r.errors;
}

class EndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
#ifdef _WIN32
        GTEST_SKIP() << kNoSigterm;
#endif
    }
};

TEST_F(EndToEnd, FourModelsOnTheirOwnAddressesAndASession)
{
    QnsimProcess sim;
    ASSERT_TRUE(sim.start({"--udp-port", "0", "--unit", "QN-210:3:127.0.0.21:0", "--unit", "QN-220:5:127.0.0.22:0",
                           "--unit", "QN-110:1:127.0.0.23:0", "--unit", "QN-120:2:127.0.0.24:0"},
                          4));
    const char *expected[] = {"GetUnitModelID 3 8\n", "GetUnitModelID 5 10\n", "GetUnitModelID 1 9\n",
                              "GetUnitModelID 2 11\n"};
    for (int i = 0; i < 4; ++i) {
        int status = -1;
        const std::string out =
            qnctlOutput("run 127.0.0.2" + std::to_string(i + 1) + ":" + std::to_string(sim.ports[i]) + " GetUnitModelID", status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(out, expected[i]);
    }
    int status = -1;
    const std::string out = qnctlOutput("run 127.0.0.21:" + std::to_string(sim.ports[0]) + " SetDO 1 GetDO SetDO 0 GetDO", status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, "SetDO 1\nGetDO 1\nSetDO 0\nGetDO 0\n");
    EXPECT_EQ(sim.stop(), 0);
}

TEST_F(EndToEnd, FaultFromTheCommandLine)
{
    QnsimProcess sim;
    ASSERT_TRUE(sim.start({"--udp-port", "0", "--unit", "QN-110:1:127.0.0.1:0", "--fault", "0:never:1"}, 1));
    int status = -1;
    // The first request goes unanswered (a second's wait), the next reconnects and succeeds.
    const std::string out = qnctlOutput("run 127.0.0.1:" + std::to_string(sim.ports[0]) + " GetDI 4 GetDI 5", status);
    EXPECT_EQ(status, 1);
    const std::string timedOut = "GetDI failed: time-out (" + std::to_string(qn::net::kErrTimedOut) + ")";
    EXPECT_EQ(out.substr(0, timedOut.size()), timedOut) << out;
    EXPECT_NE(out.find("\nGetDI "), std::string::npos);
    EXPECT_EQ(out.find("failed", 10), std::string::npos) << out;
    EXPECT_EQ(sim.stop(), 0);
}

TEST_F(EndToEnd, GarbageGivesNoValuesAndTheUnitIsReadAgainAfterIt)
{
    QnsimProcess sim;
    ASSERT_TRUE(sim.start({"--udp-port", "0", "--unit", "QN-210:3:127.0.0.1:0", "--fault", "0:garbage:3"}, 1));
    int status = -1;
    const std::string out = qnctlOutput(
        "run 127.0.0.1:" + std::to_string(sim.ports[0]) + " GetUnitModelID GetAIRange 0 GetAllAI GetUnitModelID", status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "GetUnitModelID failed: malformed reply\nGetAIRange failed: malformed reply\n"
                   "GetAllAI failed: malformed reply\nGetUnitModelID 3 8\n");
    EXPECT_EQ(sim.stop(), 0);
}

TEST_F(EndToEnd, OneSigtermEndsQnsimWhileAClientWaitsForAnAnswerThatNeverComes)
{
    QnsimProcess sim;
    ASSERT_TRUE(sim.start({"--udp-port", "0", "--unit", "QN-210:3:127.0.0.1:0", "--fault", "0:never", "--trace-requests"}, 1));
    // One client has given up (qnctl's time-out), another still waits on an open connection.
    int status = -1;
    qnctlOutput("run 127.0.0.1:" + std::to_string(sim.ports[0]) + " GetDO", status);
    EXPECT_EQ(status, 1);
    int err = 0;
    qn::net::Socket client = qn::net::Socket::tcp(err);
    ASSERT_TRUE(client.valid());
    ASSERT_EQ(client.connect(qn::net::Address{*qn::net::parseIpv4("127.0.0.1"), uint16_t(sim.ports[0])}, 2000), 0);
    const qn::proto::Frame request = qn::proto::buildRequest(qn::proto::Op::GetAllAI, {});
    ASSERT_EQ(client.send(request.data(), request.size, err), long(request.size));
    // SIGTERM only once the unit holds the request it will never answer.
    ASSERT_TRUE(sim.waitForLine("unit 0 request GetAllAI\n"));
    // About a second is the aim; the margin is for a loaded machine.
    EXPECT_EQ(sim.stopWithin(10000), 0) << "qnsim did not end on one SIGTERM";
}

TEST_F(EndToEnd, AUnitSwitchedOffOnSchedule)
{
    QnsimProcess sim;
    ASSERT_TRUE(sim.start({"--udp-port", "0", "--unit", "QN-220:7:127.0.0.1:0", "--offline", "0:50"}, 1));
    ASSERT_TRUE(sim.waitForLine("unit 0 switched off\n"));
    int status = -1;
    // Connecting to a unit that is off waits out the time-out; the request then fails.
    const std::string out = qnctlOutput("run 127.0.0.1:" + std::to_string(sim.ports[0]) + " GetAllAI", status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(out, "GetAllAI failed: time-out (" + std::to_string(qn::net::kErrTimedOut) + ")\n");
    EXPECT_EQ(sim.stop(), 0);
}

} // namespace
