#include "link/protocol.h"

#include <climits>
#include <cstdio>
#include <cstring>

namespace qn::proto {

namespace {

// Command table order; indexed by int(op) - 1.
constexpr OpInfo kTable[kOpCount] = {
    {Op::GetDI, "GetDI", {'D', 'I'}, 1, 2, 3, 5},
    {Op::SetDO, "SetDO", {'D', 'O'}, 1, 1, 5, 5},
    {Op::GetDO, "GetDO", {'D', 'Y'}, 0, 1, 3, 5},
    {Op::GetAI, "GetAI", {'A', 'I'}, 1, 2, 4, 10},
    {Op::GetAllAI, "GetAllAI", {'A', 'I'}, 0, 3, 4, 22},
    {Op::SetAO, "SetAO", {'A', 'O'}, 3, 3, 8, 8},
    {Op::GetAO, "GetAO", {'A', 'Y'}, 1, 3, 4, 8},
    {Op::GetAIRange, "GetAIRange", {'A', 'J'}, 1, 2, 4, 6},
    {Op::GetADCsps, "GetADCsps", {'M', 'R'}, 0, 1, 7, 9},
    {Op::SetAIRange, "SetAIRange", {'A', 'R'}, 2, 2, 5, 5},
    {Op::SetADCsps, "SetADCsps", {'A', 'P'}, 1, 1, 4, 4},
    {Op::GetADCThreshold, "GetADCThreshold", {'A', 'K'}, 1, 5, 4, 13},
    {Op::SetADCThreshold, "SetADCThreshold", {'A', 'L'}, 5, 5, 13, 13},
    {Op::GetUnitModelID, "GetUnitModelID", {'M', 'I'}, 0, 2, 3, 5},
    {Op::SetTCSetting, "SetTCSetting", {'T', 'C'}, 3, 3, 6, 6},
    {Op::GetTCSetting, "GetTCSetting", {'T', 'J'}, 1, 3, 4, 15},
    {Op::GetDOAlert, "GetDOAlert", {'D', 'J'}, 1, 5, 4, 11},
    {Op::SetDOAlert, "SetDOAlert", {'D', 'L'}, 4, 4, 10, 10},
    {Op::SetDOAlertEnable, "SetDOAlertEnable", {'D', 'S'}, 2, 2, 5, 5},
};

// The channel byte of GetAllAI; any other value asks for one channel.
constexpr uint8_t kAllChannels = 0x27;

bool isHexDigit(uint8_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

int hexDigitValue(uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return c - 'a' + 10;
}

// 0x20 + value in one byte. Unsigned arithmetic: any int packs into its low bits,
// and none can overflow on the way.
uint8_t small(int value) { return uint8_t(0x20u + unsigned(value)); }

void putHex4(uint8_t *out, int value)
{
    // Only the low 16 bits travel: a negative output code sends its two's complement.
    char text[12];
    std::snprintf(text, sizeof text, "%04X", unsigned(value) & 0xFFFFu);
    std::memcpy(out, text, 4);
}

} // namespace

std::string_view modelName(int modelId)
{
    switch (modelId) {
    case kModelQN210: return "QN-210";
    case kModelQN110: return "QN-110";
    case kModelQN220: return "QN-220";
    case kModelQN120: return "QN-120";
    default: return {};
    }
}

std::optional<int> modelIdFromName(std::string_view name)
{
    for (int id = kModelQN210; id <= kModelQN120; ++id) {
        const std::string_view known = modelName(id);
        if (known.size() != name.size())
            continue;
        bool same = true;
        for (std::size_t i = 0; i < name.size() && same; ++i) {
            char c = name[i];
            if (c >= 'a' && c <= 'z')
                c = char(c - 'a' + 'A');
            same = c == known[i];
        }
        if (same)
            return id;
    }
    return std::nullopt;
}

const OpInfo &info(Op op) { return kTable[int(op) - 1]; }

std::optional<Op> opFromName(std::string_view name)
{
    for (const OpInfo &i : kTable)
        if (i.name == name)
            return i.op;
    return std::nullopt;
}

ArgRange argRange(Op op, int index)
{
    constexpr ArgRange any{INT_MIN, INT_MAX};
    constexpr ArgRange small{0, 7};      // channel, range, rate, type, options, monitored AI
    constexpr ArgRange flag{0, 1};
    constexpr ArgRange code16{0, 0xFFFF};
    switch (op) {
    case Op::GetDI: return any;                          // the tag only comes back
    case Op::SetDO: return {0, 0xFF};                    // two nibbles on the wire
    case Op::GetAI: return {0, 6};                       // channel byte 0x27 asks for all three
    case Op::SetAO:
        // The low 16 bits of raw travel, so a negative code sends its two's complement.
        return index == 0 ? small : index == 1 ? flag : ArgRange{-0x8000, 0xFFFF};
    case Op::SetADCThreshold: {
        constexpr ArgRange fields[] = {small, flag, {0, 3}, code16, code16};
        return fields[index];
    }
    case Op::SetDOAlert: {
        constexpr ArgRange fields[] = {small, small, code16, flag};
        return fields[index];
    }
    case Op::SetDOAlertEnable: return index == 0 ? small : flag;
    default: return small;
    }
}

int firstArgOutOfRange(Op op, const Args &args)
{
    for (int i = 0; i < info(op).argCount; ++i)
        if (!argRange(op, i).contains(args[size_t(i)]))
            return i;
    return -1;
}

Frame buildRequest(Op op, const Args &a)
{
    const OpInfo &in = info(op);
    Frame f;
    f.size = in.requestLength;
    f.bytes[0] = uint8_t(in.code[0]);
    f.bytes[1] = uint8_t(in.code[1]);
    f.bytes[f.size - 1] = kTerminator;
    uint8_t *p = f.bytes.data() + 2;
    switch (op) {
    case Op::GetDI:
    case Op::GetDO:
    case Op::GetUnitModelID:
        break;
    case Op::SetDO:
        p[0] = small(a[0] & 0x0F);
        p[1] = small((a[0] & 0xF0) >> 4);
        break;
    case Op::GetAI:
    case Op::GetAO:
    case Op::GetAIRange:
    case Op::GetADCThreshold:
    case Op::GetTCSetting:
    case Op::GetDOAlert:
    case Op::SetADCsps:
        p[0] = small(a[0]);
        break;
    case Op::GetAllAI:
        p[0] = kAllChannels;
        break;
    case Op::SetAO:
        p[0] = uint8_t(small(a[0]) + (a[1] == 1 ? 8u : 0u));
        putHex4(p + 1, a[2]);
        break;
    case Op::GetADCsps:
        std::memcpy(p, kADCspsAddress.data(), 4);
        break;
    case Op::SetAIRange:
    case Op::SetDOAlertEnable:
        p[0] = small(a[0]);
        p[1] = small(a[1]);
        break;
    case Op::SetADCThreshold:
        // Caller order is high before low; the wire carries low first.
        p[0] = small(a[0]);
        p[1] = uint8_t(small(a[2]) + (a[1] == 1 ? 8u : 0u));
        putHex4(p + 2, a[4]);
        putHex4(p + 6, a[3]);
        break;
    case Op::SetTCSetting:
        p[0] = small(a[0]);
        p[1] = small(a[1]);
        p[2] = small(a[2]);
        break;
    case Op::SetDOAlert:
        // Caller order: channel, monitored AI, hysteresis, direction.
        p[0] = small(a[0]);
        p[1] = small(a[1]);
        p[2] = small(a[3]);
        putHex4(p + 3, a[2]);
        break;
    }
    return f;
}

uint32_t hexValue(const uint8_t *p, std::size_t n)
{
    uint32_t v = 0;
    for (std::size_t i = 0; i < n && isHexDigit(p[i]); ++i)
        v = (v << 4) | uint32_t(hexDigitValue(p[i]));
    return v;
}

int signed24(const uint8_t *p)
{
    int v = int(hexValue(p, 6));
    return v >= 0x800000 ? v - 0x1000000 : v;
}

int digitPair(const uint8_t *p) { return (p[0] & 0x0F) | ((p[1] & 0x0F) << 8); }

namespace {

int flagBit(uint8_t b) { return (b & 0x08) ? 1 : 0; }

// What each reply byte must hold, by position: 'e' the request's command letter in lower
// case, 's' a small field (high nibble 0x2), 'h' a hexadecimal digit, '.' anything (bytes the
// unit fills as it likes, the last byte, and a set operation's reply after its echo letters).
// Indexed by int(op) - 1; each layout is as long as the reply.
constexpr std::string_view kReplyLayout[kOpCount] = {
    "eess.",                  // GetDI: digit pair
    "ee...",                  // SetDO
    "eess.",                  // GetDO: digit pair
    "ee.hhhhhh.",             // GetAI
    "ee.hhhhhhhhhhhhhhhhhh.", // GetAllAI
    "ee......",               // SetAO
    "eeshhhh.",               // GetAO: mode flag, raw code
    "ee.s..",                 // GetAIRange: range; byte 4 is the unit's
    "ee....hh.",              // GetADCsps: the address echo is the unit's
    "ee...",                  // SetAIRange
    "ee..",                   // SetADCsps
    "ee.shhhhhhhh.",          // GetADCThreshold: flag and mode, low, high
    "ee...........",          // SetADCThreshold
    "eess.",                  // GetUnitModelID: unit ID, model ID
    "ee....",                 // SetTCSetting
    "ee.ss..........",        // GetTCSetting: type, options; bytes 5-14 are the unit's
    "ee.ssshhhh.",            // GetDOAlert: enabled, monitored AI, direction, hysteresis
    "ee........",             // SetDOAlert
    "ee...",                  // SetDOAlertEnable
};

} // namespace

std::string_view replyLayout(Op op) { return kReplyLayout[int(op) - 1]; }

bool replyWellFormed(Op op, const uint8_t *r)
{
    const std::string_view layout = replyLayout(op);
    const char *code = info(op).code;
    for (std::size_t i = 0; i < layout.size(); ++i) {
        switch (layout[i]) {
        case 'e':
            if (r[i] != uint8_t(code[i] + 0x20))
                return false;
            break;
        case 's':
            if ((r[i] & 0xF0) != 0x20)
                return false;
            break;
        case 'h':
            if (!isHexDigit(r[i]))
                return false;
            break;
        default: break;
        }
    }
    return true;
}

std::optional<Results> decodeReply(Op op, const Args &a, const uint8_t *r)
{
    if (!replyWellFormed(op, r))
        return std::nullopt;
    Results out{};
    switch (op) {
    case Op::GetDI: out = {digitPair(r + 2), a[0]}; break;
    case Op::SetDO: out = {a[0]}; break;
    case Op::GetDO: out = {digitPair(r + 2)}; break;
    case Op::GetAI: out = {a[0], signed24(r + 3)}; break;
    case Op::GetAllAI: out = {signed24(r + 3), signed24(r + 9), signed24(r + 15)}; break;
    case Op::SetAO: out = {a[0], a[1], a[2]}; break;
    case Op::GetAO:
        // Four digits never reach the signed 24-bit range, so the code stays positive.
        out = {a[0], flagBit(r[2]), int(hexValue(r + 3, 4))};
        break;
    case Op::GetAIRange: out = {a[0], r[3] & 0x07}; break;
    case Op::GetADCsps: out = {int(hexValue(r + 6, 2) & 0xFF)}; break;
    case Op::SetAIRange: out = {a[0], a[1]}; break;
    case Op::SetADCsps: out = {a[0]}; break;
    case Op::GetADCThreshold:
        out = {a[0], flagBit(r[3]), r[3] & 0x03, int(hexValue(r + 4, 4)), int(hexValue(r + 8, 4))};
        break;
    case Op::SetADCThreshold:
        // Caller order is high before low; the values read low first, as GetADCThreshold's.
        out = {a[0], a[1], a[2], a[4], a[3]};
        break;
    case Op::GetUnitModelID: out = {15 - (r[2] & 0x0F), r[3] & 0x0F}; break;
    case Op::SetTCSetting: out = {a[0], a[1], a[2]}; break;
    case Op::GetTCSetting: out = {a[0], r[3] & 0x0F, r[4] & 0x07}; break;
    case Op::GetDOAlert:
        out = {a[0], r[3] & 0x01, r[4] & 0x07, int(hexValue(r + 6, 4)), r[5] & 0x01};
        break;
    case Op::SetDOAlert: out = {a[0], a[1], a[2], a[3]}; break;
    case Op::SetDOAlertEnable: out = {a[0], a[1]}; break;
    }
    return out;
}

std::optional<Op> opFromRequest(const uint8_t *req, std::size_t size)
{
    if (size < 2)
        return std::nullopt;
    if (req[0] == 'A' && req[1] == 'I') {
        if (size < 3)
            return std::nullopt;
        return req[2] == kAllChannels ? Op::GetAllAI : Op::GetAI;
    }
    for (const OpInfo &i : kTable)
        if (uint8_t(i.code[0]) == req[0] && uint8_t(i.code[1]) == req[1])
            return i.op;
    return std::nullopt;
}

std::size_t requestLengthForCode(uint8_t c0, uint8_t c1)
{
    for (const OpInfo &i : kTable)
        if (uint8_t(i.code[0]) == c0 && uint8_t(i.code[1]) == c1)
            return i.requestLength;
    return 0;
}

bool echoMatches(const uint8_t *request, const uint8_t *reply)
{
    return reply[0] == uint8_t(request[0] + 0x20) && reply[1] == uint8_t(request[1] + 0x20);
}

int decodeIdentification(const uint8_t *reply, int &unitId, int &modelId)
{
    const std::optional<Results> ids = decodeReply(Op::GetUnitModelID, {}, reply);
    if (!ids)
        return 1;
    unitId = (*ids)[0];
    modelId = (*ids)[1];
    return 0;
}

} // namespace qn::proto
