// The qnsim program: its options and its refusal to listen off this machine.
#include <gtest/gtest.h>

#include "../support/programs.h"

#include <string>

namespace {

// Runs qnsim with the arguments (its standard output, then its standard error); only for
// calls that end by themselves.
qn::test::ProgramResult runQnsim(const std::string &args)
{
    qn::test::ProgramResult r = qn::test::runProgram("qnsim", args);
    r.output += r.errors;
    return r;
}

TEST(Qnsim, HelpExplainsTheOptions)
{
    const auto o = runQnsim("--help");
    EXPECT_EQ(o.status, 0);
    for (const char *word : {"--unit", "MODEL:ID:IP:PORT", "--fault", "late", "never", "partial", "garbage", "drop",
                             "--offline", "--allow-external", "SIGINT"})
        EXPECT_NE(o.output.find(word), std::string::npos) << word;
}

TEST(Qnsim, UsageErrorsNameTheProblem)
{
    const struct {
        const char *args;
        const char *problem;
    } cases[] = {
        {"--bogus", "unknown option"},
        {"--unit", "needs a value"},
        {"--unit QN-999:1:127.0.0.1:0", "unknown model"},
        {"--unit QN-210:1:127.0.0.1:0 --fault 0:sideways", "unknown kind"},
        {"--unit QN-210:1:127.0.0.1:0 --fault 3:never", "only 1 units"},
        {"--unit QN-210:1:127.0.0.1:0 --fault 0:late", "needs milliseconds"},
    };
    for (const auto &c : cases) {
        const auto o = runQnsim(c.args);
        EXPECT_EQ(o.status, 2) << c.args;
        EXPECT_NE(o.output.find(c.problem), std::string::npos) << c.args << ": " << o.output;
    }
}

TEST(Qnsim, RefusesToListenOffThisMachine)
{
    const auto o = runQnsim("--unit QN-210:1:10.20.30.40:10001");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.output.find("outside 127.0.0.0/8"), std::string::npos) << o.output;
}

} // namespace
