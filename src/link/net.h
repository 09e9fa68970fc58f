#pragma once
// The one portable socket layer under the unit link, the simulator and qnctl.
// POSIX sockets or Winsock behind the same functions.
//
// Every failure is reported as the system's own error number: errno on POSIX, Winsock's code
// on Windows (a blocking receive or send that runs into its time-out gives kErrTimedOut on
// both). The numbers differ between the two; errorKind() maps either into the link's one
// vocabulary (LinkErrorKind), which is what callers decide on. The kErr names below stand for
// the numbers this layer itself compares with or reports.
// All functions may be called from any thread; one Socket is used by one thread at a time.

#include "link/linkerror.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <cerrno>
#endif

namespace qn::net {

#ifdef _WIN32
// Winsock's codes (winsock2.h), spelled out so that this header needs no Windows headers.
enum Error : int {
    kOk = 0,
    kErrInvalid = 10022,
    kErrTooManyFiles = 10024,
    kErrWouldBlock = 10035,
    kErrNotSocket = 10038,
    kErrMessageSize = 10040,
    kErrAddressNotAvailable = 10049,
    kErrNetworkDown = 10050,
    kErrNetworkUnreachable = 10051,
    kErrConnectionReset = 10054,
    kErrNoBuffers = 10055,
    kErrNotConnected = 10057,
    kErrShutdown = 10058,
    kErrTimedOut = 10060,
    kErrConnectionRefused = 10061,
    kErrHostDown = 10064,
    kErrHostUnreachable = 10065,
};
#else
enum Error : int {
    kOk = 0,
    kErrInvalid = EINVAL,
    kErrTooManyFiles = EMFILE,
    kErrWouldBlock = EWOULDBLOCK,
    kErrNotSocket = ENOTSOCK,
    kErrMessageSize = EMSGSIZE,
    kErrAddressNotAvailable = EADDRNOTAVAIL,
    kErrNetworkDown = ENETDOWN,
    kErrNetworkUnreachable = ENETUNREACH,
    kErrConnectionReset = ECONNRESET,
    kErrNoBuffers = ENOBUFS,
    kErrNotConnected = ENOTCONN,
    kErrShutdown = ESHUTDOWN,
    kErrTimedOut = ETIMEDOUT,
    kErrConnectionRefused = ECONNREFUSED,
    kErrHostDown = EHOSTDOWN,
    kErrHostUnreachable = EHOSTUNREACH,
};
#endif

// The kind of a number this layer reported (each platform maps its own numbers).
LinkErrorKind errorKind(int error);
// Whether the system ran out of sockets or memory (an accept loop waits and tries again).
bool isOutOfResources(int error);
// The calling thread's last socket error (errno, or WSAGetLastError()).
int lastError();

// Start and stop the platform's socket library (Winsock); no-ops on POSIX.
// Safe to call more than once; each start wants one cleanup. Sockets work
// without it too: the first socket starts Winsock for the rest of the process.
bool startup();
void cleanup();

// IPv4 addresses are kept in host byte order.
// Dotted text only, no name look-up: "a.b.c.d" with each part 0..255.
std::optional<uint32_t> parseIpv4(const std::string &text);
std::string formatIpv4(uint32_t ip);
// Whether ip lies in 127.0.0.0/8, this machine's own network.
inline constexpr bool isLoopback(uint32_t ip) { return (ip >> 24) == 127; }

// One IPv4 network this machine is on, as a search sees it: the interface's
// name, its own address and its subnet's broadcast address, dotted.
struct Ipv4Interface {
    std::string name;
    std::string address;
    std::string broadcast;
};
// The IPv4 interfaces that are up, can broadcast and are not loopback, in the
// system's order; empty when there are none or they cannot be listed.
std::vector<Ipv4Interface> broadcastInterfaces();

struct Address {
    uint32_t ip = 0;
    uint16_t port = 0;
    std::string ipText() const { return formatIpv4(ip); }
    bool operator==(const Address &) const = default;
};

class Socket final {
public:
    Socket() = default;
    ~Socket();
    Socket(Socket &&other) noexcept;
    Socket &operator=(Socket &&other) noexcept;
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    // Create a socket; on failure the result is invalid and err holds the reason.
    static Socket tcp(int &err);
    static Socket udp(int &err);

    bool valid() const { return m_fd >= 0; }
    void close();
    // Wakes a thread blocked in this socket (recv, accept) without closing it.
    void shutdownBoth();

    // Connects with a time-out (non-blocking connect and a wait), then puts the
    // socket back into blocking mode. 0, kErrTimedOut, or the connect error.
    int connect(const Address &to, int timeoutMs);

    int setSendTimeout(int ms);
    int setReceiveTimeout(int ms);
    int setNoDelay(bool on);
    int setBroadcast(bool on);
    int setReuseAddress(bool on);
    int bind(const Address &local);
    int listen(int backlog);
    // The address this socket is bound to (port chosen by the system included).
    std::optional<Address> localAddress() const;
    // Blocks; an invalid socket and err on failure.
    Socket accept(Address *peer, int &err);

    // Bytes moved (0 from receive: the peer closed), or -1 with err set.
    // A send or receive time-out set above gives kErrTimedOut.
    long send(const void *data, size_t size, int &err);
    long receive(void *buffer, size_t size, int &err);
    long sendTo(const void *data, size_t size, const Address &to, int &err);
    // A datagram longer than size fails with kErrMessageSize (its bytes are dropped).
    long receiveFrom(void *buffer, size_t size, Address &from, int &err);

    // 1 readable, 0 time-out, -1 error (err set). timeoutMs < 0 waits for ever.
    int waitReadable(int timeoutMs, int &err) const;

    intptr_t nativeHandle() const { return m_fd; }

    // Waits until one of sockets is readable: 1 with its position in ready (the
    // first one when several are), 0 time-out, -1 error (err set).
    static int waitAnyReadable(const std::vector<const Socket *> &sockets, int timeoutMs, size_t &ready, int &err);

private:
    explicit Socket(intptr_t fd) : m_fd(fd) {}
    intptr_t m_fd = -1;
};

} // namespace qn::net
