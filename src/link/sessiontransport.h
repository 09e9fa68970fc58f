#pragma once
// What a unit session's requests and replies travel over: one connection's bytes, and
// what opens such connections. The program's are TCP sockets; tests and fuzzers hand a
// session scripted ones (replies cut into pieces, late, short or garbage) without a
// network.
#include "link/net.h"

#include <cstddef>
#include <memory>

namespace qn {

class SessionTransport {
public:
    virtual ~SessionTransport() = default;
    // As net::Socket's: bytes moved (0 from receive: the peer closed), or -1 with err.
    virtual long send(const void *data, size_t size, int &err) = 0;
    virtual long receive(void *buffer, size_t size, int &err) = 0;
};

// Called on the session's worker (and by connect on the caller's thread) under the
// session's lock.
class SessionConnector {
public:
    virtual ~SessionConnector() = default;
    // A connection to `to` whose connect, sends and receives end after the given
    // milliseconds; null with err set when there is none.
    virtual std::unique_ptr<SessionTransport> open(const net::Address &to, int connectMs, int sendMs, int receiveMs,
                                                   int &err) = 0;
};

// TCP connections, each request in one segment.
SessionConnector &tcpSessionConnector();

} // namespace qn
