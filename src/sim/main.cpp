// qnsim: simulated QNNET units on this machine, for trying the program and for tests.
#include "link/net.h"
#include "sim/simulator.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

void printHelp()
{
    std::printf(
        "usage: qnsim [--unit MODEL:ID:IP:PORT[:MAC]]... [--fault UNIT:KIND[:N[:COUNT]]]...\n"
        "             [--offline UNIT:MS[:MS]] [--allow-external] [--udp-port N]\n"
        "             [--hear-broadcast ADDR]... [--allow-from NET/BITS]...\n"
        "             [--discovery UNIT:KIND[:ARG]]... [--range UNIT:CHANNEL:CODE]...\n"
        "             [--trace-requests] [--help]\n"
        "\n"
        "Simulates QNNET units. Each unit answers the control protocol on its own\n"
        "address and TCP port until qnsim gets SIGINT or SIGTERM (on Windows: Ctrl+C,\n"
        "Ctrl+Break or its console closing).\n"
        "\n"
        "  --unit MODEL:ID:IP:PORT[:MAC]\n"
        "      add a unit; MODEL is QN-210, QN-220, QN-110 or QN-120, ID is 0..15,\n"
        "      IP the address to listen on (127.x.y.z), PORT the TCP port (0 picks a\n"
        "      free one), MAC e.g. 00-80-92-12-34-56. Default: one QN-210, ID 0,\n"
        "      at 127.0.0.1:10001.\n"
        "  --fault UNIT:KIND[:N[:COUNT]]\n"
        "      inject a fault into unit number UNIT (0 = first --unit):\n"
        "        late:MS     reply MS milliseconds late\n"
        "        never       read requests, never reply\n"
        "        partial:N   send only the first N bytes of each reply\n"
        "        split:MS    send replies one byte at a time, MS apart\n"
        "        garbage     reply with bytes that are not a reply\n"
        "        drop        close the connection on each request\n"
        "      COUNT limits the fault to that many requests (default: all).\n"
        "  --offline UNIT:MS[:MS]\n"
        "      switch the unit off after the first MS milliseconds, and on again\n"
        "      after the second (default: stays off)\n"
        "  --allow-external\n"
        "      allow listening on addresses outside 127.0.0.0/8 (off by default,\n"
        "      so a simulated unit never appears on a real network)\n"
        "  --udp-port N\n"
        "      UDP port the units answer discovery queries on (default 30718; 0 picks\n"
        "      a free one and prints it). A search tells units apart by address, so\n"
        "      give each unit that should be found its own 127.x.y.z\n"
        "  --hear-broadcast ADDR\n"
        "      broadcast address the units also hear queries on, e.g. 255.255.255.255\n"
        "      (default: 127.255.255.255 for units on loopback); may be repeated\n"
        "  --allow-from NET/BITS\n"
        "      also answer discovery queries from this subnet (default: loopback\n"
        "      senders only); may be repeated\n"
        "  --discovery UNIT:KIND[:ARG]\n"
        "      how unit number UNIT answers discovery queries:\n"
        "        late:MS     answer MS milliseconds late\n"
        "        never       answer no query\n"
        "        only:LIST   answer only the queries in LIST, a comma-separated\n"
        "                    choice of search, detail1, detail2\n"
        "        off         do not listen for discovery queries at all\n"
        "  --range UNIT:CHANNEL:CODE\n"
        "      start analog input CHANNEL (0..2) of unit number UNIT on range CODE\n"
        "      (0..5; 6 is the thermocouple range of a QN-220)\n"
        "  --trace-requests\n"
        "      print a line for each request a unit takes in, before it answers (or\n"
        "      not, under a fault): \"unit 0 request GetAllAI\"; a request it does not\n"
        "      understand shows as ? and its first two bytes (\\xNN if not printable)\n"
        "  --help\n"
        "      this text\n"
        "\n"
        "Prints one line per unit when ready: model, unit ID, address, port, MAC;\n"
        "then \"unit N switched off\" (or on) as --offline takes effect.\n"
        "\n"
        "Examples:\n"
        "  qnsim --unit QN-110:1:127.0.0.2:10001 --unit QN-220:2:127.0.0.3:10001\n"
        "      two units on their own loopback addresses; then\n"
        "      qnctl search --to 127.255.255.255 --port 10001   lists both, and\n"
        "      qnctl run 127.0.0.2:10001 GetDI 0 SetAO 0 0 0x4000 GetAO 0   drives one\n"
        "  qnsim --unit QN-210:0:127.0.0.1:10001 --fault 0:late:1500:3 --offline 0:20000:5000\n"
        "      replies to the first three requests too late, is switched off after\n"
        "      20 s and on again 5 s later\n");
}

struct FaultOption {
    int unit = 0;
    qn::sim::Fault fault;
};

struct RangeOption {
    int unit = 0;
    int channel = 0;
    int code = 0;
};

struct DiscoveryOption {
    int unit = 0;
    std::string kind;
    std::string arg;
};

bool applyDiscovery(const DiscoveryOption &d, qn::sim::DiscoveryBehaviour &b, std::string &error)
{
    if (d.kind == "late") {
        char *end = nullptr;
        const long ms = std::strtol(d.arg.c_str(), &end, 10);
        if (d.arg.empty() || *end != '\0' || ms < 0 || ms > 3600000) {
            error = "discovery: late needs milliseconds";
            return false;
        }
        b.replyDelayMs = int(ms);
    } else if (d.kind == "never") {
        b.answerSearch = b.answerDetail1 = b.answerDetail2 = false;
    } else if (d.kind == "off") {
        b.enabled = false;
    } else if (d.kind == "only") {
        b.answerSearch = b.answerDetail1 = b.answerDetail2 = false;
        for (const std::string &word : qn::sim::splitFields(d.arg, ',')) {
            if (word == "search")
                b.answerSearch = true;
            else if (word == "detail1")
                b.answerDetail1 = true;
            else if (word == "detail2")
                b.answerDetail2 = true;
            else {
                error = "discovery: unknown query '" + word + "' (search, detail1, detail2)";
                return false;
            }
        }
    } else {
        error = "discovery: unknown kind '" + d.kind + "'";
        return false;
    }
    return true;
}

struct OfflineOption {
    int unit = 0;
    int offAfterMs = 0;
    int onAfterMs = -1;
};

// Called on the units' connection threads; one printf call keeps each line whole.
void printRequest(int unit, const qn::sim::LoggedRequest &request)
{
    // Bytes of a request not understood could be anything: no control characters.
    std::string name;
    for (const char ch : request.name()) {
        if (ch > 0x20 && ch < 0x7F) {
            name += ch;
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(uint8_t(ch)));
            name += hex;
        }
    }
    std::printf("unit %d request %s\n", unit, name.c_str());
    std::fflush(stdout);
}

bool toInt(const std::string &s, int &out)
{
    if (s.empty() || s.size() > 9)
        return false;
    char *end = nullptr;
    const long v = std::strtol(s.c_str(), &end, 10);
    if (*end != '\0' || v < 0)
        return false;
    out = int(v);
    return true;
}

bool parseFault(const std::string &text, FaultOption &option, std::string &error)
{
    const std::vector<std::string> p = qn::sim::splitFields(text);
    using qn::sim::FaultKind;
    if (p.size() < 2 || !toInt(p[0], option.unit)) {
        error = "fault '" + text + "': expected UNIT:KIND[:N[:COUNT]]";
        return false;
    }
    const std::string &kind = p[1];
    std::size_t next = 2;
    auto number = [&](int &out) {
        if (next < p.size() && toInt(p[next], out)) {
            ++next;
            return true;
        }
        return false;
    };
    qn::sim::Fault &f = option.fault;
    if (kind == "late") {
        f.kind = FaultKind::ReplyLate;
        if (!number(f.delayMs)) {
            error = "fault '" + text + "': late needs milliseconds";
            return false;
        }
    } else if (kind == "never") {
        f.kind = FaultKind::NoReply;
    } else if (kind == "partial") {
        f.kind = FaultKind::PartialReply;
        if (!number(f.bytes)) {
            error = "fault '" + text + "': partial needs a byte count";
            return false;
        }
    } else if (kind == "split") {
        f.kind = FaultKind::SplitReply;
        if (!number(f.delayMs)) {
            error = "fault '" + text + "': split needs milliseconds";
            return false;
        }
    } else if (kind == "garbage") {
        f.kind = FaultKind::Garbage;
    } else if (kind == "drop") {
        f.kind = FaultKind::DropConnection;
    } else {
        error = "fault '" + text + "': unknown kind '" + kind + "'";
        return false;
    }
    if (next < p.size()) {
        if (!number(f.count) || f.count == 0 || next != p.size()) {
            error = "fault '" + text + "': malformed count";
            return false;
        }
    }
    return true;
}

// The request to stop, taken on a thread of its own (a signal waiter on POSIX,
// the console's control thread on Windows), so that one request always ends
// qnsim within about a second, wherever the main thread is: the main thread then
// stops the units in order, and should that not finish in time (a thread that
// nothing wakes), the process ends anyway. Whoever stops qnsim waits for it to
// end before starting another on the same ports.
// Never destroyed: the console's control thread may still be waking in it when main
// returns and the exit runs the static destructors.
struct StopState {
    std::mutex mutex;
    std::condition_variable changed;
    bool requested = false;
    bool stopped = false;
};
StopState &g_stop = *new StopState;

void takeStopRequest()
{
    std::unique_lock lock(g_stop.mutex);
    g_stop.requested = true;
    g_stop.changed.notify_all();
    if (!g_stop.changed.wait_for(lock, std::chrono::milliseconds(900), [] { return g_stop.stopped; })) {
        std::fflush(stdout);
        std::fprintf(stderr, "qnsim: the units did not stop in time; ending without them\n");
        std::_Exit(0);
    }
}

#ifdef _WIN32
BOOL WINAPI onConsoleEvent(DWORD)
{
    takeStopRequest();
    return TRUE;
}
#endif

} // namespace


int main(int argc, char **argv)
{
    std::vector<qn::sim::UnitConfig> units;
    std::vector<FaultOption> faults;
    std::vector<OfflineOption> offline;
    bool allowExternal = false;
    std::vector<DiscoveryOption> discovery;
    std::optional<uint16_t> udpPort;
    std::optional<std::vector<std::string>> hearBroadcast;
    std::vector<std::string> allowFrom;
    std::vector<RangeOption> ranges;
    bool traceRequests = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> const char * {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "qnsim: %s needs a value (see --help)\n", arg.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        std::string error;
        if (arg == "--help" || arg == "-h") {
            printHelp();
            return 0;
        } else if (arg == "--unit") {
            auto c = qn::sim::parseUnitOption(value(), &error);
            if (!c) {
                std::fprintf(stderr, "qnsim: %s\n", error.c_str());
                return 2;
            }
            units.push_back(*c);
        } else if (arg == "--fault") {
            FaultOption f;
            if (!parseFault(value(), f, error)) {
                std::fprintf(stderr, "qnsim: %s\n", error.c_str());
                return 2;
            }
            faults.push_back(f);
        } else if (arg == "--offline") {
            const std::string text = value();
            const std::vector<std::string> p = qn::sim::splitFields(text);
            OfflineOption o;
            if (p.size() < 2 || p.size() > 3 || !toInt(p[0], o.unit) || !toInt(p[1], o.offAfterMs)
                || (p.size() == 3 && !toInt(p[2], o.onAfterMs))) {
                std::fprintf(stderr, "qnsim: offline '%s': expected UNIT:MS[:MS]\n", text.c_str());
                return 2;
            }
            offline.push_back(o);
        } else if (arg == "--trace-requests") {
            traceRequests = true;
        } else if (arg == "--allow-external") {
            allowExternal = true;
        } else if (arg == "--udp-port") {
            int port = 0;
            const std::string text = value();
            if (!toInt(text, port) || port > 65535) {
                std::fprintf(stderr, "qnsim: udp port '%s' is not 0..65535\n", text.c_str());
                return 2;
            }
            udpPort = uint16_t(port);
        } else if (arg == "--hear-broadcast") {
            const std::string text = value();
            if (!qn::net::parseIpv4(text)) {
                std::fprintf(stderr, "qnsim: broadcast address '%s' is not a dotted IPv4 address\n", text.c_str());
                return 2;
            }
            if (!hearBroadcast)
                hearBroadcast.emplace();
            hearBroadcast->push_back(text);
        } else if (arg == "--allow-from") {
            allowFrom.push_back(value());
        } else if (arg == "--discovery") {
            const std::string text = value();
            const std::vector<std::string> p = qn::sim::splitFields(text);
            DiscoveryOption d;
            if (p.size() < 2 || p.size() > 3 || !toInt(p[0], d.unit)) {
                std::fprintf(stderr, "qnsim: discovery '%s': expected UNIT:KIND[:ARG]\n", text.c_str());
                return 2;
            }
            d.kind = p[1];
            if (p.size() == 3)
                d.arg = p[2];
            discovery.push_back(d);
        } else if (arg == "--range") {
            const std::string text = value();
            const std::vector<std::string> p = qn::sim::splitFields(text);
            RangeOption r;
            if (p.size() != 3 || !toInt(p[0], r.unit) || !toInt(p[1], r.channel) || !toInt(p[2], r.code)
                || r.channel > 2 || r.code > 7) {
                std::fprintf(stderr, "qnsim: range '%s': expected UNIT:CHANNEL:CODE, CHANNEL 0..2, CODE 0..7\n",
                             text.c_str());
                return 2;
            }
            ranges.push_back(r);
        } else {
            std::fprintf(stderr, "qnsim: unknown option '%s' (see --help)\n", arg.c_str());
            return 2;
        }
    }
    if (units.empty()) {
        qn::sim::UnitConfig c;
        c.tcpPort = 10001;
        units.push_back(c);
    }
    for (const FaultOption &f : faults)
        if (f.unit >= int(units.size())) {
            std::fprintf(stderr, "qnsim: fault for unit %d, but only %zu units\n", f.unit, units.size());
            return 2;
        }
    for (auto &u : units) {
        u.discovery.udpPort = udpPort.value_or(30718);
        if (hearBroadcast)
            u.discovery.broadcastAddresses = hearBroadcast;
        u.discovery.allowFrom = allowFrom;
    }
    for (const DiscoveryOption &d : discovery) {
        std::string error;
        if (d.unit >= int(units.size())) {
            std::fprintf(stderr, "qnsim: discovery for unit %d, but only %zu units\n", d.unit, units.size());
            return 2;
        }
        if (!applyDiscovery(d, units[size_t(d.unit)].discovery, error)) {
            std::fprintf(stderr, "qnsim: %s\n", error.c_str());
            return 2;
        }
    }
    for (const OfflineOption &o : offline)
        if (o.unit >= int(units.size())) {
            std::fprintf(stderr, "qnsim: offline for unit %d, but only %zu units\n", o.unit, units.size());
            return 2;
        }
    for (const RangeOption &r : ranges)
        if (r.unit >= int(units.size())) {
            std::fprintf(stderr, "qnsim: range for unit %d, but only %zu units\n", r.unit, units.size());
            return 2;
        }

#ifndef _WIN32
    // Block the stop signals before any thread starts; one thread waits for them below.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
#endif

    qn::net::startup();
    qn::sim::Simulator sim;
    for (const auto &u : units)
        sim.addUnit(u);
    if (traceRequests)
        sim.setRequestObserver(printRequest);
    std::string error;
    if (!sim.start(&error, allowExternal)) {
        std::fprintf(stderr, "qnsim: %s\n", error.c_str());
        return 1;
    }
    for (const FaultOption &f : faults)
        sim.setFault(f.unit, f.fault);
    for (const RangeOption &r : ranges)
        sim.updateState(r.unit, [&r](qn::sim::UnitState &state) { state.aiRange[size_t(r.channel)] = r.code; });
    for (int i = 0; i < sim.unitCount(); ++i) {
        const qn::sim::UnitConfig c = sim.config(i);
        std::printf("%s ID %d at %s:%u MAC %02X-%02X-%02X-%02X-%02X-%02X\n", std::string(qn::proto::modelName(c.modelId)).c_str(),
                    c.unitId, c.bindIp.c_str(), unsigned(c.tcpPort), c.mac[0], c.mac[1], c.mac[2], c.mac[3], c.mac[4], c.mac[5]);
    }
    if (udpPort) {
        for (int i = 0; i < sim.unitCount(); ++i)
            if (sim.udpPort(i) != 0) {
                std::printf("discovery on UDP port %u\n", unsigned(sim.udpPort(i)));
                break;
            }
    }
    std::fflush(stdout);

    // Scheduled power cycles run on the main thread between signal checks.
    struct Event {
        int atMs;
        int unit;
        bool on;
    };
    std::vector<Event> events;
    for (const OfflineOption &o : offline) {
        events.push_back({o.offAfterMs, o.unit, false});
        if (o.onAfterMs >= 0)
            events.push_back({o.offAfterMs + o.onAfterMs, o.unit, true});
    }

#ifdef _WIN32
    SetConsoleCtrlHandler(onConsoleEvent, TRUE);
#else
    std::thread signalWaiter([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        takeStopRequest();
    });
#endif

    const auto started = std::chrono::steady_clock::now();
    for (;;) {
        {
            std::unique_lock lock(g_stop.mutex);
            if (g_stop.changed.wait_for(lock, std::chrono::milliseconds(50), [] { return g_stop.requested; }))
                break;
        }
        const auto elapsedMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        for (auto it = events.begin(); it != events.end();) {
            if (it->atMs <= elapsedMs) {
                sim.setOnline(it->unit, it->on);
                std::printf("unit %d switched %s\n", it->unit, it->on ? "on" : "off");
                std::fflush(stdout);
                it = events.erase(it);
            } else {
                ++it;
            }
        }
    }
    sim.stop();
    {
        std::lock_guard lock(g_stop.mutex);
        g_stop.stopped = true;
    }
    g_stop.changed.notify_all();
#ifndef _WIN32
    signalWaiter.join();
#endif
    qn::net::cleanup();
    return 0;
}
