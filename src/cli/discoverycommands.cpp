#include "cli/discoverycommands.h"

#include "link/discovery.h"
#include "link/unitlist.h"

#include <algorithm>
#include <optional>
#include <ostream>

namespace qn::cli {

const char *const kSearchUsage =
    "qnctl search [--to ADDRESS]... [--port N] [--udp-port N] [--wait MS]\n"
    "  Sends the search query, asks the model of every unit whose TCP port is N\n"
    "  (default 0: none) and prints the unit list: the header, then one line per\n"
    "  unit in answer order.\n"
    "  Without --to the query goes out of every IPv4 network card that is up and\n"
    "  can broadcast, to its subnet's broadcast address and to 255.255.255.255.\n"
    "  --to ADDRESS sends it only there (a subnet's broadcast address or one\n"
    "  unit's); may be repeated.\n"
    "  --udp-port: discovery port (default 30718); --wait: first wait in ms\n"
    "  (default 5000; later waits are at most 1000).\n"
    "  Exit status: 0 listed (possibly nothing), 1 communication error, 2 usage error.\n";

const char *const kAddUsage =
    "qnctl add IP [--port N] [--udp-port N] [--wait MS]\n"
    "  Asks one address for units (waits 1000 ms by default), then prints the\n"
    "  unit list as search does, asking the model of units whose TCP port is N.\n"
    "  Exit status: 0 listed, 1 communication error, 2 usage error.\n";

const char *const kIdentifyUsage =
    "qnctl identify HOST:PORT [--timeout MS]\n"
    "  Asks one unit for its unit ID and model ID over a TCP connection of its own\n"
    "  and prints 'GetUnitModelID <unitId> <modelId>', or 'error <code>' (1 bad\n"
    "  reply, 3 no host, otherwise a socket error number).\n"
    "  Exit status: 0 identified, 1 error, 2 usage error.\n";

namespace {

struct ListOptions {
    SearchTargets targets;   // empty: every network
    int tcpPort = 0;
    uint16_t udpPort = kDiscoveryPort;
    std::optional<int> waitMs;
    std::vector<std::string> positional;
};

bool parsePort(const std::string &text, int &port)
{
    int v = 0;
    if (text.empty() || text.size() > 5 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    if (!parseNumber(text, v) || v > 65535)
        return false;
    port = v;
    return true;
}

bool parseMs(const std::string &text, int &ms)
{
    return parseNumber(text, ms) && ms > 0 && ms <= 600000;
}

// Options shared by search and add; anything else ends up in positional.
// Returns the problem text, empty when all is well.
std::string parseListOptions(const Arguments &args, bool allowTarget, ListOptions &o)
{
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--to" && allowTarget) {
            if (!hasValue)
                return "--to needs an address";
            o.targets.push_back(args[++i]);
            if (!net::parseIpv4(o.targets.back()))
                return "--to '" + clipped(o.targets.back()) + "' is not a dotted IPv4 address";
        } else if (a == "--port") {
            if (!hasValue || !parsePort(args[i + 1], o.tcpPort))
                return "--port needs a TCP port 0..65535";
            ++i;
        } else if (a == "--udp-port") {
            int p = 0;
            if (!hasValue || !parsePort(args[i + 1], p))
                return "--udp-port needs a UDP port 0..65535";
            o.udpPort = uint16_t(p);
            ++i;
        } else if (a == "--wait") {
            int ms = 0;
            if (!hasValue || !parseMs(args[i + 1], ms))
                return "--wait needs milliseconds 1..600000";
            o.waitMs = ms;
            ++i;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option '" + clipped(a) + "'";
        } else {
            o.positional.push_back(a);
        }
    }
    return {};
}

DiscoveryTiming timingWith(DiscoveryTiming t, const std::optional<int> &waitMs)
{
    if (waitMs) {
        t.firstWaitMs = *waitMs;
        t.nextWaitMs = std::min(t.nextWaitMs, *waitMs);
        t.receiveTimeoutMs = *waitMs;
    }
    return t;
}

int printList(const SearchOutcome &result, UnitTable &table, int tcpPort, std::ostream &out, std::ostream &err)
{
    if (result.status == SearchOutcome::Status::NotSent) {
        err << "通信エラー\n";
        return kExitFailed;
    }
    identifyListedUnits(table, tcpPort);
    out << kUnitListHeader << '\n';
    for (const std::string &line : unitListLines(table))
        out << line << '\n';
    out << std::flush;
    return kExitOk;
}

} // namespace

int searchCommand(const Arguments &args, std::ostream &out, std::ostream &err)
{
    ListOptions o;
    std::string problem = parseListOptions(args, true, o);
    if (problem.empty() && !o.positional.empty())
        problem = "unexpected argument '" + clipped(o.positional.front()) + "'";
    if (!problem.empty()) {
        err << "qnctl search: " << problem << "\nusage: " << kSearchUsage;
        return kExitUsage;
    }
    UnitTable table;
    const SearchOutcome result = searchUnits(table, o.targets, o.udpPort, timingWith(kSearchTiming, o.waitMs));
    return printList(result, table, o.tcpPort, out, err);
}

int addCommand(const Arguments &args, std::ostream &out, std::ostream &err)
{
    ListOptions o;
    std::string problem = parseListOptions(args, false, o);
    if (problem.empty() && o.positional.size() != 1)
        problem = o.positional.empty() ? "missing IP" : "unexpected argument '" + clipped(o.positional[1]) + "'";
    if (problem.empty() && !net::parseIpv4(o.positional[0]))
        problem = "'" + clipped(o.positional[0]) + "' is not a dotted IPv4 address";
    if (!problem.empty()) {
        err << "qnctl add: " << problem << "\nusage: " << kAddUsage;
        return kExitUsage;
    }
    UnitTable table;
    const SearchOutcome result = addUnitByIP(table, o.positional[0], o.udpPort, timingWith(kAddTiming, o.waitMs));
    return printList(result, table, o.tcpPort, out, err);
}

int identifyCommand(const Arguments &args, std::ostream &out, std::ostream &err)
{
    auto usage = [&](const std::string &problem) {
        err << "qnctl identify: " << problem << "\nusage: " << kIdentifyUsage;
        return kExitUsage;
    };
    std::optional<std::string> hostPort;
    int timeoutMs = kIdentifyTimeoutMs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--timeout") {
            if (i + 1 >= args.size() || !parseMs(args[i + 1], timeoutMs))
                return usage("--timeout needs milliseconds 1..600000");
            ++i;
        } else if (!hostPort && !(args[i].size() > 1 && args[i][0] == '-')) {
            hostPort = args[i];
        } else {
            return usage("unexpected argument '" + clipped(args[i]) + "'");
        }
    }
    if (!hostPort)
        return usage("missing HOST:PORT");
    std::string host;
    int port = 0;
    if (!parseHostPort(*hostPort, host, port))
        return usage("malformed HOST:PORT '" + clipped(*hostPort) + "'");
    const Result<UnitModelId> id = getUnitModelID(host, uint16_t(port), timeoutMs);
    if (!id) {
        out << "error " << identifyErrorNumber(id.error()) << '\n';
        return kExitFailed;
    }
    out << "GetUnitModelID " << id->unitId << ' ' << id->modelId << '\n';
    return kExitOk;
}

} // namespace qn::cli
