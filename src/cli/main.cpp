// qnctl: talks to QNNET units from the command line.
#include "cli/commands.h"
#include "cli/discoverycommands.h"
#include "link/net.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

struct Command {
    const char *name;
    qn::cli::CommandFunction function;
    const char *const *usage;
};

// One line per command.
const Command kCommands[] = {
    {"run", &qn::cli::runCommand, &qn::cli::kRunUsage},
    {"search", &qn::cli::searchCommand, &qn::cli::kSearchUsage},
    {"add", &qn::cli::addCommand, &qn::cli::kAddUsage},
    {"identify", &qn::cli::identifyCommand, &qn::cli::kIdentifyUsage},
};

void printUsage(std::ostream &to)
{
    // A blank line between commands; each block is its usage line and an indented description.
    to << "usage: qnctl COMMAND [ARG...]\n";
    for (const Command &c : kCommands)
        to << '\n' << *c.usage;
}

} // namespace

int main(int argc, char **argv)
{
#ifdef _WIN32
    // Windows' C runtime writes an unbuffered stderr one character at a time (a
    // usage text took seconds under Wine); with a buffer each message is one
    // write. std::cerr still flushes after every insertion.
    std::setvbuf(stderr, nullptr, _IOFBF, 4096);
#endif
    if (argc < 2) {
        printUsage(std::cerr);
        return qn::cli::kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        printUsage(std::cout);
        return qn::cli::kExitOk;
    }
    for (const Command &c : kCommands) {
        if (name == c.name) {
            qn::net::startup();
            const int status = c.function(qn::cli::Arguments(argv + 2, argv + argc), std::cout, std::cerr);
            qn::net::cleanup();
            return status;
        }
    }
    std::cerr << "qnctl: unknown command '" << qn::cli::clipped(name) << "'\n";
    printUsage(std::cerr);
    return qn::cli::kExitUsage;
}
