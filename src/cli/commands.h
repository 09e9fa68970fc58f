#pragma once
// The qnctl commands. Each takes the words after its name and writes results to
// out and problems to err; the return value is the process exit status.

#include <iosfwd>
#include <string>
#include <vector>

namespace qn::cli {

using Arguments = std::vector<std::string>;
using CommandFunction = int (*)(const Arguments &args, std::ostream &out, std::ostream &err);

// Exit statuses shared by every command.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// qnctl run HOST:PORT OPERATION [ARG...] [OPERATION [ARG...]]...
int runCommand(const Arguments &args, std::ostream &out, std::ostream &err);
extern const char *const kRunUsage;

// Parsing helpers shared by the commands.
// Decimal or 0x-prefixed hexadecimal, optionally negative; values up to
// 0xFFFFFFFF wrap into an int the way the wire formats read them.
bool parseNumber(const std::string &text, int &value);
// "a.b.c.d:port": false when the port is missing or not 0..65535. The host is
// returned as given (the session judges it).
bool parseHostPort(const std::string &text, std::string &host, int &port);

} // namespace qn::cli
