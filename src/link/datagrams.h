#pragma once
// The discovery datagrams and the identification reply as pure functions over
// bytes: what the search and detail sockets and the identification exchange
// accept, kept apart from the sockets so every byte sequence can be tried.
// Stateless; any thread.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qn {

using MacAddress = std::array<uint8_t, 6>;
using Bytes = std::span<const uint8_t>;

// Query datagrams (PC to unit) and the largest reply accepted for each.
inline constexpr std::array<uint8_t, 4> kSearchQuery{0x00, 0x00, 0x00, 0xF6};
inline constexpr std::array<uint8_t, 4> kDetailQuery1{0x00, 0x00, 0x00, 0xF8};
inline constexpr std::array<uint8_t, 4> kDetailQuery2{0x00, 0x00, 0x00, 0xE7};
inline constexpr size_t kSearchReplyMax = 30;
inline constexpr size_t kDetailReply1Max = 124;
inline constexpr size_t kDetailReply2Max = 130;
// Where the fields sit in the replies.
inline constexpr size_t kSearchReplyMacOffset = 24;   // 6 bytes
inline constexpr size_t kDetailReplyPortOffset = 24;  // 2 bytes, little-endian

// The MAC address a search reply carries; nullopt when the datagram is too
// short to hold it (listing it would show bytes that never arrived) or longer
// than a search reply may be.
std::optional<MacAddress> parseSearchReply(Bytes datagram);
// The TCP port detail reply 1 reports; nullopt when the datagram stops short of
// the port field or is too long.
std::optional<uint16_t> parseDetailReply1(Bytes datagram);
// Detail reply 2 only has to arrive: any length up to its maximum.
bool acceptDetailReply2(Bytes datagram);

// The identification request and what its 5-byte reply says.
inline constexpr std::array<uint8_t, 3> kIdentifyRequest{'M', 'I', 0xC8};
inline constexpr size_t kIdentifyReplyLength = 5;
struct UnitIdentity {
    int modelId = -1;
    int unitId = -1;
};
// Whether reply starts with request's first two letters in lower case (each
// byte + 0x20); false when either is shorter than two bytes.
bool echoesRequest(Bytes request, Bytes reply);
// nullopt when the reply is short, does not echo "MI" or an ID byte lacks the
// 0x2 high nibble.
std::optional<UnitIdentity> parseIdentifyReply(Bytes reply);

} // namespace qn
