#pragma once
// The unit control protocol as pure functions over bytes: building each request,
// the fixed reply length of each command and decoding a reply into the values a
// completion receives.
// Shared by UnitSession, identification, the simulator and qnctl.
// Everything here is stateless and may be called from any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qn::proto {

// The 19 request operations, numbered in command-table order (1 .. 19). The
// queue identifier of an operation is 0x8000 + its number (messageId()).
enum class Op : int {
    GetDI = 1,
    SetDO,
    GetDO,
    GetAI,
    GetAllAI,
    SetAO,
    GetAO,
    GetAIRange,
    GetADCsps,
    SetAIRange,
    SetADCsps,
    GetADCThreshold,
    SetADCThreshold,
    GetUnitModelID,
    SetTCSetting,
    GetTCSetting,
    GetDOAlert,
    SetDOAlert,
    SetDOAlertEnable,
};

inline constexpr int kOpCount = 19;
inline constexpr uint8_t kTerminator = 0xC8;
// Longest request (13 bytes) and longest reply (22 bytes).
inline constexpr std::size_t kMaxRequest = 13;
inline constexpr std::size_t kMaxReply = 22;
// Most caller arguments / reply values of any operation.
inline constexpr int kMaxArgs = 5;
inline constexpr int kMaxResults = 5;
// The register that holds the ADC rate code, read with the memory-read command.
inline constexpr std::string_view kADCspsAddress = "0491";

// Model IDs a unit reports.
inline constexpr int kModelQN210 = 8;
inline constexpr int kModelQN110 = 9;
inline constexpr int kModelQN220 = 10;
inline constexpr int kModelQN120 = 11;
// "QN-210" etc.; empty for an unknown model ID.
std::string_view modelName(int modelId);
// 8..11 from "QN-210" etc. (case-insensitive), nullopt otherwise.
std::optional<int> modelIdFromName(std::string_view name);

using Args = std::array<int, kMaxArgs>;
using Results = std::array<int, kMaxResults>;

struct OpInfo {
    Op op;
    std::string_view name;    // "GetAllAI"
    char code[2];             // command letters, e.g. 'A','I'
    int argCount;             // caller arguments
    int resultCount;          // values in the operation's reply struct
    std::size_t requestLength;
    std::size_t replyLength;
};

const OpInfo &info(Op op);
inline constexpr int messageId(Op op) { return 0x8000 + int(op); }
inline std::string_view opName(Op op) { return info(op).name; }
// Exact, case-sensitive match of the operation name.
std::optional<Op> opFromName(std::string_view name);
inline constexpr bool isValidOp(int n) { return n >= 1 && n <= kOpCount; }

struct Frame {
    std::array<uint8_t, kMaxReply> bytes{};
    std::size_t size = 0;
    const uint8_t *data() const { return bytes.data(); }
    uint8_t *data() { return bytes.data(); }
    uint8_t operator[](std::size_t i) const { return bytes[i]; }
};

// The values a caller argument may take: what its wire field holds (a small number
// 0..7, a flag 0..1, a 16-bit code), or any int where the argument never travels
// (GetDI's tag). Entry points that take arguments from outside (qnctl) check them here.
struct ArgRange {
    int min;
    int max;
    bool contains(int v) const { return v >= min && v <= max; }
};
ArgRange argRange(Op op, int index);
// Index of the first argument out of its range, or -1 when all fit.
int firstArgOutOfRange(Op op, const Args &args);

// The request bytes for op with the caller arguments in their documented order
// (unused trailing arguments are ignored). Never fails: out-of-range arguments
// are packed the way the wire format packs them (low bits only).
Frame buildRequest(Op op, const Args &args);

// Whether a reply has the form of op's reply: its first two bytes echo the command letters
// in lower case, its small fields have the high nibble 0x2 and its numeric fields are
// hexadecimal digits. Bytes the unit fills as it likes (the last byte, the MR reply's address
// echo, byte 4 of the AJ reply, bytes 5-14 of the TJ reply, and whatever follows a set
// operation's echo letters) are not looked at. reply holds info(op).replyLength bytes.
bool replyWellFormed(Op op, const uint8_t *reply);
// Per reply byte: 'e' echo letter, 's' small field, 'h' hex digit, '.' not looked at.
std::string_view replyLayout(Op op);

// The values of a reply, in the order of the operation's reply struct (link/replies.h), or
// nullopt for a malformed reply (see replyWellFormed): no field of it is read then.
// reply must hold info(op).replyLength bytes; args are the caller arguments of the request
// (a set operation's values are what it set).
std::optional<Results> decodeReply(Op op, const Args &args, const uint8_t *reply);

// Field readers, exposed for tests and for the simulator's checks.
// Reads up to n bytes as hexadecimal up to the first non-hex byte (0 when the
// first byte is not a digit), as sscanf("%x") would on the copied field.
uint32_t hexValue(const uint8_t *p, std::size_t n);
// Six hex digits read as a signed 24-bit value.
int signed24(const uint8_t *p);
// Low nibble of p[0] in bits 0-3 plus low nibble of p[1] in bits 8-11.
int digitPair(const uint8_t *p);

// Requests as a unit sees them: which operation a received request is, from
// its command letters (and, for AI, its channel byte). nullopt for unknown letters.
std::optional<Op> opFromRequest(const uint8_t *request, std::size_t size);
// The length of the request that starts with these two command letters
// (0 for unknown letters); AI requests are 4 bytes for both AI operations.
std::size_t requestLengthForCode(uint8_t c0, uint8_t c1);

// One-shot identification reply (the 5-byte answer to "MI"): 0 and the IDs on
// success, 1 when the echo letters or the 0x2 high nibbles are wrong.
int decodeIdentification(const uint8_t *reply, int &unitId, int &modelId);
// Whether a reply's first two bytes echo the request's command letters in lower case.
bool echoMatches(const uint8_t *request, const uint8_t *reply);

} // namespace qn::proto
