// The cost of decoding a reply, with the check of its form (echo letters, high nibbles, hex
// digits) and without it as the decoder read replies before the check: the 19 replies of a
// simulated QN-220 (GetAllAI alone too, the reply a polling page reads most), side by side in
// one run.
#include "link/protocol.h"
#include "sim/unitmodel.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

using namespace qn;
using proto::Op;

// The decoder as it was before replies were checked: every field read whatever it holds.
proto::Results decodeUnchecked(Op op, const proto::Args &a, const uint8_t *r)
{
    using proto::digitPair;
    using proto::hexValue;
    using proto::signed24;
    auto flag = [](uint8_t b) { return (b & 0x08) ? 1 : 0; };
    proto::Results out{};
    switch (op) {
    case Op::GetDI: out = {digitPair(r + 2), a[0]}; break;
    case Op::SetDO: out = {a[0]}; break;
    case Op::GetDO: out = {digitPair(r + 2)}; break;
    case Op::GetAI: out = {a[0], signed24(r + 3)}; break;
    case Op::GetAllAI: out = {signed24(r + 3), signed24(r + 9), signed24(r + 15)}; break;
    case Op::SetAO: out = {a[0], a[1], a[2]}; break;
    case Op::GetAO: out = {a[0], flag(r[2]), int(hexValue(r + 3, 4))}; break;
    case Op::GetAIRange: out = {a[0], r[3] & 0x07}; break;
    case Op::GetADCsps: out = {int(hexValue(r + 6, 2) & 0xFF)}; break;
    case Op::SetAIRange: out = {a[0], a[1]}; break;
    case Op::SetADCsps: out = {a[0]}; break;
    case Op::GetADCThreshold:
        out = {a[0], flag(r[3]), r[3] & 0x03, int(hexValue(r + 4, 4)), int(hexValue(r + 8, 4))};
        break;
    case Op::SetADCThreshold: out = {a[0], a[1], a[2], a[4], a[3]}; break;
    case Op::GetUnitModelID: out = {15 - (r[2] & 0x0F), r[3] & 0x0F}; break;
    case Op::SetTCSetting: out = {a[0], a[1], a[2]}; break;
    case Op::GetTCSetting: out = {a[0], r[3] & 0x0F, r[4] & 0x07}; break;
    case Op::GetDOAlert: out = {a[0], r[3] & 0x01, r[4] & 0x07, int(hexValue(r + 6, 4)), r[5] & 0x01}; break;
    case Op::SetDOAlert: out = {a[0], a[1], a[2], a[3]}; break;
    case Op::SetDOAlertEnable: out = {a[0], a[1]}; break;
    }
    return out;
}

struct Reply {
    Op op;
    proto::Args args;
    std::vector<uint8_t> bytes;
};

const std::vector<Reply> &replies(bool allAiOnly)
{
    static const auto make = [](bool only) {
        sim::UnitConfig c;
        c.modelId = proto::kModelQN220;
        sim::UnitModel unit(c, 1);
        std::vector<Reply> out;
        for (int n = 1; n <= proto::kOpCount; ++n) {
            const Op op = Op(n);
            if (only && op != Op::GetAllAI)
                continue;
            const proto::Args args{1, 0, 0, 0, 0};
            const proto::Frame f = proto::buildRequest(op, args);
            out.push_back({op, args, unit.answer(f.data(), f.size, 1.0)});
        }
        return out;
    };
    static const std::vector<Reply> all = make(false), allAi = make(true);
    return allAiOnly ? allAi : all;
}

void BM_Decode(benchmark::State &state)
{
    const bool checked = state.range(0) != 0;
    const std::vector<Reply> &set = replies(state.range(1) != 0);
    for (auto _ : state) {
        for (const Reply &r : set) {
            if (checked)
                benchmark::DoNotOptimize(proto::decodeReply(r.op, r.args, r.bytes.data()));
            else
                benchmark::DoNotOptimize(decodeUnchecked(r.op, r.args, r.bytes.data()));
        }
    }
    state.SetItemsProcessed(int64_t(state.iterations()) * int64_t(set.size()));
    state.SetLabel(std::string(checked ? "checked" : "unchecked (before)") + (state.range(1) ? ", GetAllAI" : ", 19 replies"));
}
// Arguments: checked, GetAllAI only. Before and after alternate so load changes hit both.
BENCHMARK(BM_Decode)->Args({0, 1})->Args({1, 1})->Args({0, 0})->Args({1, 0})->Repetitions(3)->ReportAggregatesOnly(false);

} // namespace
