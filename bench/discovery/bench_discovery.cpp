// Everything here talks to simulated units on 127.0.0.x only.
#include "support.h"

#include "link/unitlist.h"
#include "sim/simulator.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace qn {
namespace {

UnitEntry sampleEntry()
{
    UnitEntry e;
    e.mac = {0x00, 0x80, 0x92, 0xAB, 0x0C, 0xFF};
    e.modelId = kModelQN110;
    e.unitId = 7;
    e.ipText = "192.0.2.10";
    return e;
}

// The list line as built (pieces joined) ...
void BM_ListLine_Pieces(benchmark::State &state)
{
    const UnitEntry e = sampleEntry();
    for (auto _ : state)
        benchmark::DoNotOptimize(unitListLine(e));
}
BENCHMARK(BM_ListLine_Pieces);

// ... against one format call over the whole line.
void BM_ListLine_OneFormat(benchmark::State &state)
{
    const UnitEntry e = sampleEntry();
    for (auto _ : state) {
        char id[8];
        std::snprintf(id, sizeof id, "ID:%-2d", e.unitId);
        char line[96];
        std::snprintf(line, sizeof line, "%02X-%02X-%02X-%02X-%02X-%02X %-9s %s %s", e.mac[0], e.mac[1], e.mac[2],
                      e.mac[3], e.mac[4], e.mac[5], modelName(e.modelId).c_str(), id, e.ipText.c_str());
        benchmark::DoNotOptimize(std::string(line));
    }
}
BENCHMARK(BM_ListLine_OneFormat);

// One identification: a TCP connection of its own, one request, close.
void BM_Identify_OneShot(benchmark::State &state)
{
    sim::Simulator sim;
    sim::UnitConfig c;
    c.bindIp = "127.0.0.41";
    c.discovery.enabled = false;
    sim.addUnit(c);
    if (!sim.start()) {
        state.SkipWithError("simulator did not start");
        return;
    }
    const uint16_t port = sim.tcpPort(0);
    for (auto _ : state) {
        if (!getUnitModelID("127.0.0.41", port)) {
            state.SkipWithError("identification failed");
            break;
        }
    }
    sim.clearRequestLog(0);
}
BENCHMARK(BM_Identify_OneShot)->Unit(benchmark::kMicrosecond);

// An add re-checks every listed unit with both detail queries; this is the cost
// of that re-check for tables of growing size (the waits for the new unit's
// answer are cut to a few milliseconds so the exchanges dominate).
void BM_Add_RecheckListed(benchmark::State &state)
{
    const int listed = int(state.range(0));
    test::UnitGroup units;
    for (int i = 0; i < listed + 1; ++i)
        units.add(test::unit("127.0.3." + std::to_string(i + 1), 10001, uint8_t(i)));
    UnitTable table;
    for (int i = 0; i < listed; ++i)
        addUnitByIP(table, "127.0.3." + std::to_string(i + 1), units.port(), DiscoveryTiming{500, 2, 500});
    if (table.count() != listed) {
        state.SkipWithError("units did not all answer");
        return;
    }
    const std::string newcomer = "127.0.3." + std::to_string(listed + 1);
    for (auto _ : state) {
        state.PauseTiming();
        UnitTable t = table;
        state.ResumeTiming();
        if (addUnitByIP(t, newcomer, units.port(), DiscoveryTiming{500, 2, 500}) != searchDone(listed + 1)) {
            state.SkipWithError("add failed");
            break;
        }
    }
}
BENCHMARK(BM_Add_RecheckListed)->Arg(0)->Arg(16)->Arg(64)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace qn
