// The wire protocol from both ends: requests built from any arguments, and any bytes
// decoded as the reply of any of the 19 operations, checked against the command table: a
// reply is decoded only when it has the reply's form, and then only from its fields.
#include "link/protocol.h"

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

using namespace qn::proto;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool within(int v, int lo, int hi) { return v >= lo && v <= hi; }

// What a decoded result may be, by the reply field it comes from.
void checkResults(Op op, const Args &a, const Results &r)
{
    const int hex16 = 0xFFFF;
    switch (op) {
    case Op::GetDI:
    case Op::GetDO:
        check(within(r[0], 0, 0xF0F));
        if (op == Op::GetDI)
            check(r[1] == a[0]);
        break;
    case Op::GetAI:
        check(r[0] == a[0] && within(r[1], -0x800000, 0x7FFFFF));
        break;
    case Op::GetAllAI:
        for (int i = 0; i < 3; ++i)
            check(within(r[size_t(i)], -0x800000, 0x7FFFFF));
        break;
    case Op::GetAO:
        check(r[0] == a[0] && within(r[1], 0, 1) && within(r[2], 0, hex16));
        break;
    case Op::GetAIRange:
        check(r[0] == a[0] && within(r[1], 0, 7));
        break;
    case Op::GetADCsps:
        check(within(r[0], 0, 0xFF));
        break;
    case Op::GetADCThreshold:
        check(r[0] == a[0] && within(r[1], 0, 1) && within(r[2], 0, 3) && within(r[3], 0, hex16)
              && within(r[4], 0, hex16));
        break;
    case Op::GetUnitModelID:
        check(within(r[0], 0, 15) && within(r[1], 0, 15));
        break;
    case Op::GetTCSetting:
        check(r[0] == a[0] && within(r[1], 0, 15) && within(r[2], 0, 7));
        break;
    case Op::GetDOAlert:
        check(r[0] == a[0] && within(r[1], 0, 1) && within(r[2], 0, 7) && within(r[3], 0, hex16)
              && within(r[4], 0, 1));
        break;
    default:
        // Set operations echo their arguments; nothing of the reply is read.
        break;
    }
    for (int i = info(op).resultCount; i < kMaxResults; ++i)
        check(r[size_t(i)] == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Byte 0 picks the operation, the next 20 bytes are its five arguments, the rest is
    // the reply (zero-padded to the operation's length).
    if (size < 1)
        return 0;
    const Op op = Op(1 + data[0] % kOpCount);
    const OpInfo &in = info(op);
    Args args{};
    const size_t argBytes = std::min<size_t>(size - 1, sizeof args);
    std::memcpy(args.data(), data + 1, argBytes);
    const uint8_t *rest = data + 1 + argBytes;
    const size_t restSize = size - 1 - argBytes;

    const Frame request = buildRequest(op, args);
    check(request.size == in.requestLength && request.size <= kMaxRequest);
    check(request[0] == uint8_t(in.code[0]) && request[1] == uint8_t(in.code[1]));
    check(request[request.size - 1] == kTerminator);
    check(requestLengthForCode(request[0], request[1]) == request.size);
    if (firstArgOutOfRange(op, args) < 0)
        check(opFromRequest(request.data(), request.size) == op);

    uint8_t reply[kMaxReply] = {};
    std::memcpy(reply, rest, std::min(restSize, in.replyLength));
    const std::optional<Results> decoded = decodeReply(op, args, reply);
    check(decoded.has_value() == replyWellFormed(op, reply));
    if (decoded) {
        checkResults(op, args, *decoded);
        // A decoded reply echoes the request's letters, and the bytes the unit fills as it
        // likes never change what it decodes to.
        check(echoMatches(request.data(), reply));
        const std::string_view layout = replyLayout(op);
        check(layout.size() == in.replyLength);
        for (size_t i = 0; i < layout.size(); ++i) {
            if (layout[i] != '.')
                continue;
            uint8_t changed[kMaxReply];
            std::memcpy(changed, reply, sizeof changed);
            changed[i] = uint8_t(~changed[i]);
            check(decodeReply(op, args, changed) == decoded);
        }
    }

    // The same bytes as a unit would see them, and as an identification answer.
    (void)opFromRequest(rest, restSize);
    int unitId = -1, modelId = -1;
    if (restSize >= 5 && decodeIdentification(rest, unitId, modelId) == 0)
        check(within(unitId, 0, 15) && within(modelId, 0, 15));
    return 0;
}
