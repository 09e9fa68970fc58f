#pragma once
// Finding units on the LAN over UDP and identifying one over a short TCP exchange.
//
// Every function here blocks. SearchUnits may run on any thread (the main dialog
// gives it a thread of its own); the caller makes sure one UnitTable has one
// writer at a time. Nothing here keeps state between calls besides the table.

#include "link/net.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qn {

// UDP port the units answer discovery queries on.
inline constexpr uint16_t kDiscoveryPort = 30718;
// Where a real search goes. Tests and demos always pass an address on this machine.
inline constexpr const char *kDefaultSearchTarget = "255.255.255.255";

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

using MacAddress = std::array<uint8_t, 6>;

struct UnitEntry {
    net::Address address;   // sender of the unit's last discovery datagram
    MacAddress mac{};
    std::string ipText;     // dotted form of address.ip
    uint16_t tcpPort = 0;   // control protocol port, from detail reply 1
    int modelId = -1;       // from identification; -1 while unknown
    int unitId = -1;        // from identification; -1 while unknown
};

// The discovered units in answer order; list position == table index.
class UnitTable final {
public:
    static constexpr int kCapacity = 256;

    int count() const { return int(m_entries.size()); }
    bool full() const { return count() >= kCapacity; }
    bool empty() const { return m_entries.empty(); }
    UnitEntry &operator[](int i) { return m_entries[size_t(i)]; }
    const UnitEntry &operator[](int i) const { return m_entries[size_t(i)]; }
    const std::vector<UnitEntry> &entries() const { return m_entries; }

    void clear() { m_entries.clear(); }
    // false (and nothing stored) when the table is full
    bool append(const UnitEntry &entry);
    // Later entries move up by one.
    void removeAt(int i);
    // Index of the entry whose IPv4 address is ip, or -1.
    int indexOfIp(uint32_t ip) const;

private:
    std::vector<UnitEntry> m_entries;
};

// Waits of one discovery run, in milliseconds. The defaults are what the
// program uses; tests shorten them.
struct DiscoveryTiming {
    int firstWaitMs;        // for the first reply to the query
    int nextWaitMs;         // after each further reply
    int receiveTimeoutMs;   // bounds each receive of the detail exchange
};
inline constexpr DiscoveryTiming kSearchTiming{5000, 1000, 5000};
inline constexpr DiscoveryTiming kAddTiming{1000, 1000, 1000};
// Connection, send and receive time-out of the identification exchange.
inline constexpr int kIdentifyTimeoutMs = 1000;

// SendRecv / GetUnitModelID results besides 0 and socket error numbers.
inline constexpr int kIdentifyBadReply = 1;   // echo letters or high nibbles wrong, or reply short
inline constexpr int kIdentifyNoHost = 3;     // empty host text

// Broadcasts the search query to target:port, collects the answers, runs the
// detail exchange with each and rebuilds the table from them.
// Returns the number of entries, or -1 when the socket cannot be made, the
// target is not a dotted IPv4 address or waiting fails.
int searchUnits(UnitTable &table, const std::string &target = kDefaultSearchTarget,
                uint16_t port = kDiscoveryPort, const DiscoveryTiming &timing = kSearchTiming);

// Probes one address and appends whoever answers; then re-runs the detail
// exchange for every entry, dropping those that no longer answer.
// Returns the new count; -1 when the table is full, ipText is not a dotted IPv4
// address, the socket cannot be made or waiting fails; -2 when that address is
// already listed (nothing is sent then).
int addUnitByIP(UnitTable &table, const std::string &ipText, uint16_t port = kDiscoveryPort,
                const DiscoveryTiming &timing = kAddTiming);

// One-shot TCP exchange: connect, send request, read replyLength bytes, close.
// 0 when the reply echoes the request's letters in lower case; 1 when it does
// not or stays short; 3 when host is empty; otherwise a socket error number
// (net::kErrInvalid when host is not a dotted IPv4 address).
int sendRecv(const std::string &host, uint16_t port, const uint8_t *request, size_t requestLength,
             size_t replyLength, uint8_t *reply, int timeoutMs = kIdentifyTimeoutMs);

// Asks a unit for its model ID and unit ID over its own TCP connection.
// Same results as SendRecv; 1 also when the reply's ID bytes lack the 0x2
// high nibble. modelId and unitId are written only on success.
int getUnitModelID(const std::string &host, uint16_t port, int &modelId, int &unitId,
                   int timeoutMs = kIdentifyTimeoutMs);

} // namespace qn
