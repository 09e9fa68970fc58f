#pragma once
// The qnctl commands. Each takes the words after its name and writes results to
// out and problems to err; the return value is the process exit status.

#include "link/protocol.h"

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
// Decimal or 0x-prefixed hexadecimal, optionally negative. Nothing wraps: a number
// beyond an int is no int; beyond 2^62 the wide one reads as +-2^62.
bool parseNumber(const std::string &text, int &value);
bool parseWideNumber(const std::string &text, long long &value);
// The problem with text as argument index (from 0) of op, empty when it is a number
// within the argument's field (then stored in value).
std::string runArgumentProblem(proto::Op op, int index, const std::string &text, int &value);
// text for a message: as it is, or its start and its length when it is long.
std::string clipped(const std::string &text);
// "a.b.c.d:port": false when the port is missing or not 0..65535. The host is
// returned as given (the session judges it).
bool parseHostPort(const std::string &text, std::string &host, int &port);

} // namespace qn::cli
