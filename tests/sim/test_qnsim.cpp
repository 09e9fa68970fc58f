// The qnsim program: its options and its refusal to listen off this machine.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>

namespace {

struct Outcome {
    int status = -1;
    std::string output;
};

// Runs qnsim with the arguments (stdout and stderr together); only for calls that end by themselves.
Outcome runQnsim(const std::string &args)
{
    Outcome o;
    const std::string command = std::string(QN_BIN_DIR) + "/qnsim " + args + " 2>&1";
    FILE *p = popen(command.c_str(), "r");
    if (!p)
        return o;
    char buf[512];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        o.output.append(buf, n);
    const int raw = pclose(p);
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return o;
}

TEST(Qnsim, HelpExplainsTheOptions)
{
    const Outcome o = runQnsim("--help");
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
        const Outcome o = runQnsim(c.args);
        EXPECT_EQ(o.status, 2) << c.args;
        EXPECT_NE(o.output.find(c.problem), std::string::npos) << c.args << ": " << o.output;
    }
}

TEST(Qnsim, RefusesToListenOffThisMachine)
{
    const Outcome o = runQnsim("--unit QN-210:1:10.20.30.40:10001");
    EXPECT_EQ(o.status, 1);
    EXPECT_NE(o.output.find("outside 127.0.0.0/8"), std::string::npos) << o.output;
}

} // namespace
