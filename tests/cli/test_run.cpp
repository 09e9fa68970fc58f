// `qnctl run` as scripts see it: stdout lines, exit status and the usage messages.
#include "link/net.h"
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include "../support/programs.h"

#include <string>

namespace {

qn::test::ProgramResult qnctl(const std::string &args)
{
    return qn::test::runProgram("qnctl", args);
}

class QnctlRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        qn::sim::UnitConfig c;
        c.modelId = qn::proto::kModelQN210;
        c.unitId = 3;
        c.bindIp = "127.0.0.1";
        m_sim.addUnit(c);
        c.modelId = qn::proto::kModelQN110;
        c.unitId = 1;
        m_sim.addUnit(c);
        std::string error;
        ASSERT_TRUE(m_sim.start(&error)) << error;
    }
    std::string target(int unit = 0) const { return "127.0.0.1:" + std::to_string(m_sim.tcpPort(unit)); }
    qn::sim::Simulator m_sim;
};

TEST_F(QnctlRun, PrintsOneLinePerCompletionInOrder)
{
    const auto o = qnctl("run " + target() + " SetDO 1 GetDO");
    EXPECT_EQ(o.status, 0) << o.errors;
    EXPECT_EQ(o.output, "SetDO 1\nGetDO 1\n");
    EXPECT_EQ(o.errors, "");
}

TEST_F(QnctlRun, ResultsInDecimalWithHexAndNegativeArguments)
{
    m_sim.pinAI(0, 0, -2);
    m_sim.pinAI(0, 1, 0x7FFFFF);
    m_sim.pinAI(0, 2, -8388608);
    const auto o = qnctl("run " + target() +
                         " GetAllAI SetADCThreshold 0 1 0 0x8000 0x1000 GetADCThreshold 0 GetUnitModelID GetAI -0x0");
    EXPECT_EQ(o.status, 0) << o.errors;
    EXPECT_EQ(o.output, "GetAllAI -2 8388607 -8388608\n"
                        "SetADCThreshold 0 1 0 4096 32768\n"
                        "GetADCThreshold 0 1 0 4096 32768\n"
                        "GetUnitModelID 3 8\n"
                        "GetAI 0 -2\n");
}

TEST_F(QnctlRun, AnalogOutputWithNegativeRaw)
{
    m_sim.pinDI(1, 6);
    const auto o = qnctl("run " + target(1) + " SetAO 1 1 -1 GetAO 1 GetDI 0x2A");
    EXPECT_EQ(o.status, 0) << o.errors;
    EXPECT_EQ(o.output, "SetAO 1 1 -1\nGetAO 1 1 65535\nGetDI 6 42\n");
}

TEST_F(QnctlRun, FailuresPrintWhyAndExitOne)
{
    const std::string where = target();
    m_sim.stop(); // nobody listens any more: refused
    const auto o = qnctl("run " + where + " GetAllAI SetTCSetting 1 2 3 GetDI 9");
    EXPECT_EQ(o.status, 1);
    const std::string refused = " failed: refused (" + std::to_string(qn::net::kErrConnectionRefused) + ")\n";
    EXPECT_EQ(o.output, "GetAllAI" + refused + "SetTCSetting" + refused + "GetDI" + refused);
}

TEST_F(QnctlRun, OneFailureAmongSuccessesExitsOne)
{
    m_sim.setFault(0, {qn::sim::FaultKind::DropConnection, 0, 0, 1});
    const auto o = qnctl("run " + target() + " GetDO GetDO");
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.output.substr(0, 18), "GetDO failed: conn") << o.output;
    EXPECT_EQ(o.output.substr(o.output.find('\n')), "\nGetDO 0\n");
}

TEST(QnctlUsage, ErrorsExitTwoAndNameTheProblem)
{
    const struct {
        const char *args;
        const char *problem;
    } cases[] = {
        {"", "usage"},
        {"frobnicate", "unknown command"},
        {"run", "missing HOST:PORT"},
        {"run 127.0.0.1", "malformed HOST:PORT"},
        {"run 127.0.0.1:99999 GetDO", "malformed HOST:PORT"},
        {"run 127.0.0.1:1", "missing operation"},
        {"run 127.0.0.1:1 GetDo", "unknown operation 'GetDo'"},
        {"run 127.0.0.1:1 SetDO", "missing argument 1 of SetDO"},
        {"run 127.0.0.1:1 SetAO 1 1 GetDO", "missing argument 3 of SetAO"},
        {"run 127.0.0.1:1 SetDO 1x", "malformed argument '1x' of SetDO"},
        {"run 127.0.0.1:1 GetDO 5", "unknown operation '5'"},
        // Arguments that do not fit their wire field never reach the request builder.
        {"run 127.0.0.1:1 SetAIRange 0 2147483647", "argument 2 of SetAIRange is 2147483647, not 0..7"},
        {"run 127.0.0.1:1 GetAI 7", "argument 1 of GetAI is 7, not 0..6"},
        {"run 127.0.0.1:1 SetADCThreshold 0 0 0 0x10000 0", "argument 4 of SetADCThreshold"},
        {"run 127.0.0.1:1 SetAO 0 2 0", "argument 2 of SetAO"},
        {"run 127.0.0.1:1 SetDO -1", "argument 1 of SetDO"},
    };
    for (const auto &c : cases) {
        const auto o = qnctl(c.args);
        EXPECT_EQ(o.status, 2) << c.args;
        EXPECT_NE(o.errors.find(c.problem), std::string::npos) << c.args << ": " << o.errors;
        EXPECT_EQ(o.output, "") << c.args;
    }
}

TEST(QnctlUsage, HelpGoesToStdout)
{
    const auto o = qnctl("--help");
    EXPECT_EQ(o.status, 0);
    EXPECT_NE(o.output.find("qnctl run HOST:PORT"), std::string::npos);
}

} // namespace
