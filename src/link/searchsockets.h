#pragma once
// The datagram sockets one search (or add) talks through once its queries are out,
// and the part of the search that runs over them: collecting answers in arrival order,
// dropping duplicates, the detail exchange of each, the table built from those that
// pass. Sockets go by their position; the program's are net::Socket, tests and fuzzers
// hand in datagrams of their own without a network.
#include "link/discovery.h"

#include <cstddef>
#include <cstdint>

namespace qn {

class SearchSockets {
public:
    virtual ~SearchSockets() = default;
    virtual size_t count() const = 0;
    // As net::Socket's functions of the same names, the socket by its position.
    virtual long sendTo(size_t socket, const uint8_t *data, size_t size, const net::Address &to, int &err) = 0;
    virtual long receiveFrom(size_t socket, uint8_t *buffer, size_t size, net::Address &from, int &err) = 0;
    virtual int waitReadable(size_t socket, int timeoutMs, int &err) = 0;
    virtual int waitAnyReadable(int timeoutMs, size_t &ready, int &err) = 0;
};

// Collects the answers to queries already sent through sockets and verifies them into
// table: the units listed in table stay first (the first socket runs their detail
// exchange), then the new ones in answer order. Returns the new count, or -1 when
// waiting fails.
int collectSearchAnswers(UnitTable &table, SearchSockets &sockets, const DiscoveryTiming &timing);

} // namespace qn
