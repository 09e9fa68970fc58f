#pragma once
// Finding units on the LAN over UDP and identifying one over a short TCP exchange.
//
// Every function here blocks. A search may run on any thread (the main dialog
// gives it a thread of its own); the caller makes sure one UnitTable has one
// writer at a time. Nothing here keeps state between calls besides the table.

#include "link/datagrams.h"
#include "link/net.h"
#include "link/replies.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qn {

// UDP port the units answer discovery queries on.
inline constexpr uint16_t kDiscoveryPort = 30718;
// Where a search goes: empty for every network this machine is on (see
// searchUnits); tests and demos always name addresses on this machine.
using SearchTargets = std::vector<std::string>;
inline const SearchTargets kEveryNetwork{};

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
    // Index of the first entry whose IPv4 address is ip, or -1.
    int indexOfIp(uint32_t ip) const;
    // Index of the entry of this unit (same address, same MAC), or -1. Two units
    // may answer from one address (both still at their factory address): they
    // are two entries.
    int indexOf(const net::Address &address, const MacAddress &mac) const;

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

// What a search or an add came to.
struct SearchOutcome {
    enum class Status {
        Done,          // the table holds what answered (count entries)
        NotSent,       // the query could be sent nowhere, or waiting failed; the table is as it was
        AlreadyListed, // addUnitByIP: that address is listed already; nothing was sent
    };
    Status status = Status::Done;
    int count = 0; // entries in the table (Done)
    bool done() const { return status == Status::Done; }
    friend bool operator==(const SearchOutcome &, const SearchOutcome &) = default;
};
inline SearchOutcome searchDone(int count) { return {SearchOutcome::Status::Done, count}; }

// Sends the search query, collects the answers in arrival order (one entry per
// unit: an address and MAC heard twice is listed once), runs the detail
// exchange with each and rebuilds the table from them.
//
// With no targets the query goes out of every IPv4 interface that is up and can
// broadcast (broadcastInterfaces()), from a socket bound to the interface's
// address, to its subnet's broadcast address and to 255.255.255.255; so units
// are found on a network without a gateway and on every network card, not only
// on the one holding the default route. Where no such interface is listed (or
// none takes the query), it goes to 255.255.255.255 as the system routes it.
// With targets (dotted IPv4 addresses, broadcast or unit) the query goes to each
// of them from one socket.
//
// NotSent when the query could be sent nowhere (no socket, no valid target, no route) or
// waiting fails.
SearchOutcome searchUnits(UnitTable &table, const SearchTargets &targets, uint16_t port = kDiscoveryPort,
                const DiscoveryTiming &timing = kSearchTiming);
// One target.
SearchOutcome searchUnits(UnitTable &table, const std::string &target, uint16_t port = kDiscoveryPort,
                const DiscoveryTiming &timing = kSearchTiming);

// Probes one address and appends whoever answers; then re-runs the detail
// exchange for every entry, dropping those that no longer answer.
// NotSent when the table is full, ipText is not a dotted IPv4 address, the socket cannot be
// made or waiting fails; AlreadyListed when that address is listed (nothing is sent then).
SearchOutcome addUnitByIP(UnitTable &table, const std::string &ipText, uint16_t port = kDiscoveryPort,
                const DiscoveryTiming &timing = kAddTiming);

// One-shot TCP exchange: connect, send request, read replyLength bytes, close.
// nullopt when the reply echoes the request's letters in lower case; otherwise the error in
// the link's kinds: Malformed when the reply does not echo them or stays short, Unreachable
// (number 3) for an empty host and (net::kErrInvalid) for a host that is not a dotted IPv4
// address, else the socket's error.
std::optional<LinkError> sendRecv(const std::string &host, uint16_t port, const uint8_t *request, size_t requestLength,
             size_t replyLength, uint8_t *reply, int timeoutMs = kIdentifyTimeoutMs);

// Asks a unit for its model ID and unit ID over its own TCP connection: the IDs from a reply
// of the reply's form, or sendRecv's error (Malformed also when the ID bytes lack the 0x2
// high nibble).
Result<UnitModelId> getUnitModelID(const std::string &host, uint16_t port, int timeoutMs = kIdentifyTimeoutMs);
// The number qnctl prints for a failed identification: 1 for a malformed reply, else the
// error's own number (3 for an empty host).
int identifyErrorNumber(const LinkError &error);

} // namespace qn
