#include "cli/commands.h"

#include "link/unitsession.h"

#include <condition_variable>
#include <mutex>
#include <ostream>

namespace qn::cli {

const char *const kRunUsage =
    "qnctl run HOST:PORT OPERATION [ARG...] [OPERATION [ARG...]]...\n"
    "  Connects to one unit, queues the operations in the order given and prints one\n"
    "  line per completion: the operation's name and its values in decimal, or\n"
    "  \"failed:\" and why (time-out, refused, ...) with the socket error number.\n"
    "  Arguments are decimal or 0x-hexadecimal, negative allowed; each must fit its\n"
    "  field (channels, codes 0..7, flags 0..1, 16-bit levels 0..0xFFFF). Operations:\n"
    "    GetDI tag | SetDO pattern | GetDO | GetAI channel | GetAllAI\n"
    "    SetAO channel mode raw | GetAO channel | GetAIRange channel | GetADCsps\n"
    "    SetAIRange channel range | SetADCsps code | GetADCThreshold channel\n"
    "    SetADCThreshold channel outside mode high low | GetUnitModelID\n"
    "    SetTCSetting channel type options | GetTCSetting channel | GetDOAlert channel\n"
    "    SetDOAlert channel monitoredAI hysteresis direction | SetDOAlertEnable channel on\n"
    "  Exit status: 0 all succeeded, 1 any failed, 2 usage error.\n";

bool parseHostPort(const std::string &text, std::string &host, int &port)
{
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos)
        return false;
    const std::string portText = text.substr(colon + 1);
    if (portText.empty() || portText.size() > 5)
        return false;
    int p = 0;
    for (char c : portText) {
        if (c < '0' || c > '9')
            return false;
        p = p * 10 + (c - '0');
    }
    if (p > 65535)
        return false;
    host = text.substr(0, colon);
    port = p;
    return true;
}

namespace {

struct Planned {
    proto::Op op;
    proto::Args args{};
};

// Collects completions from the session's worker, in completion order.
struct Collector {
    std::mutex mutex;
    std::condition_variable done;
    std::ostream *out = nullptr;
    std::size_t completed = 0;
    bool anyFailed = false;
};

// One line per completion: the operation's name and its values, or why it has none.
std::string resultLine(proto::Op op, const Result<AnyReply> &result)
{
    std::string line(proto::opName(op));
    if (!result)
        return line + " failed: " + result.error().text() + '\n';
    const auto [values, count] = valuesOf(*result);
    for (int i = 0; i < count; ++i)
        line += ' ' + std::to_string(values[size_t(i)]);
    return line + '\n';
}

} // namespace

int runCommand(const Arguments &args, std::ostream &out, std::ostream &err)
{
    auto usage = [&](const std::string &problem) {
        err << "qnctl run: " << problem << "\nusage: " << kRunUsage;
        return kExitUsage;
    };
    if (args.empty())
        return usage("missing HOST:PORT");
    std::string host;
    int port = 0;
    if (!parseHostPort(args[0], host, port))
        return usage("malformed HOST:PORT '" + clipped(args[0]) + "'");
    if (args.size() < 2)
        return usage("missing operation");

    std::vector<Planned> plan;
    for (std::size_t i = 1; i < args.size();) {
        const std::optional<proto::Op> op = proto::opFromName(args[i]);
        if (!op)
            return usage("unknown operation '" + clipped(args[i]) + "'");
        const proto::OpInfo &in = proto::info(*op);
        Planned p{*op};
        ++i;
        for (int a = 0; a < in.argCount; ++a, ++i) {
            if (i >= args.size() || proto::opFromName(args[i]))
                return usage("missing argument " + std::to_string(a + 1) + " of " + std::string(in.name) + " (takes "
                             + std::to_string(in.argCount) + ")");
            if (const std::string problem = runArgumentProblem(*op, a, args[i], p.args[a]); !problem.empty())
                return usage(problem);
        }
        plan.push_back(p);
    }

    Collector collector;
    collector.out = &out;
    {
        UnitSession session;
        // A failed connect shows as the failure of the first operation.
        session.connect(host, port);
        for (const Planned &p : plan)
            session.post(p.op, p.args, [&collector](proto::Op op, Result<AnyReply> result) {
                const std::string line = resultLine(op, result);
                {
                    std::lock_guard lock(collector.mutex);
                    // Lines appear as the completions come, so a long run can be watched.
                    *collector.out << line << std::flush;
                    ++collector.completed;
                    collector.anyFailed = collector.anyFailed || !result;
                }
                collector.done.notify_all();
            });
        std::unique_lock lock(collector.mutex);
        collector.done.wait(lock, [&] { return collector.completed == plan.size(); });
    }
    return collector.anyFailed ? kExitFailed : kExitOk;
}

} // namespace qn::cli
