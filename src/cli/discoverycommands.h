#pragma once
// qnctl search / add / identify: finding units and asking one for its model.
// Same contract as the other commands (see commands.h).

#include "cli/commands.h"

namespace qn::cli {

// qnctl search [--to ADDRESS]... [--port N] [--udp-port N] [--wait MS]
int searchCommand(const Arguments &args, std::ostream &out, std::ostream &err);
extern const char *const kSearchUsage;
// qnctl add IP [--port N] [--udp-port N] [--wait MS]
int addCommand(const Arguments &args, std::ostream &out, std::ostream &err);
extern const char *const kAddUsage;
// qnctl identify HOST:PORT [--timeout MS]
int identifyCommand(const Arguments &args, std::ostream &out, std::ostream &err);
extern const char *const kIdentifyUsage;

} // namespace qn::cli
