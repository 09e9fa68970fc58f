#include "link/net.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#include <mswsock.h>
#include <iphlpapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace qn::net {

#ifdef _WIN32
// Winsock's numbers are the program's own: nothing to map.
int mapError(int e) { return e; }

int lastError() { return WSAGetLastError(); }

bool startup()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void cleanup() { WSACleanup(); }

#else
int mapError(int e)
{
    switch (e) {
    case 0: return kOk;
    case EINTR: return kErrInterrupted;
    case EACCES: case EPERM: return kErrAccess;
    case EFAULT: return kErrFault;
    case EINVAL: return kErrInvalid;
    case EMFILE: case ENFILE: return kErrTooManyFiles;
#if EAGAIN != EWOULDBLOCK
    case EAGAIN:
#endif
    case EWOULDBLOCK: return kErrWouldBlock;
    case EINPROGRESS: return kErrInProgress;
    case EALREADY: return kErrAlready;
    case ENOTSOCK: case EBADF: return kErrNotSocket;
    case EMSGSIZE: return kErrMessageSize;
    case EAFNOSUPPORT: return kErrAfNotSupported;
    case EADDRINUSE: return kErrAddressInUse;
    case EADDRNOTAVAIL: return kErrAddressNotAvailable;
    case ENETDOWN: return kErrNetworkDown;
    case ENETUNREACH: return kErrNetworkUnreachable;
    case ECONNABORTED: return kErrConnectionAborted;
    case ECONNRESET: case EPIPE: return kErrConnectionReset;
    case ENOBUFS: case ENOMEM: return kErrNoBuffers;
    case EISCONN: return kErrIsConnected;
    case ENOTCONN: return kErrNotConnected;
    case ESHUTDOWN: return kErrShutdown;
    case ETIMEDOUT: return kErrTimedOut;
    case ECONNREFUSED: return kErrConnectionRefused;
    case EHOSTDOWN: return kErrHostDown;
    case EHOSTUNREACH: return kErrHostUnreachable;
    default: return e < 10000 ? 10000 + e : e;
    }
}

int lastError() { return mapError(errno); }

bool startup() { return true; }
void cleanup() {}
#endif

std::optional<uint32_t> parseIpv4(const std::string &text)
{
    uint32_t ip = 0;
    int parts = 0;
    size_t i = 0;
    while (parts < 4) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return std::nullopt;
        unsigned value = 0;
        int digits = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + unsigned(text[i] - '0');
            if (++digits > 3 || value > 255)
                return std::nullopt;
            ++i;
        }
        ip = (ip << 8) | value;
        ++parts;
        if (parts < 4) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
    }
    if (i != text.size())
        return std::nullopt;
    return ip;
}

std::string formatIpv4(uint32_t ip)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", (ip >> 24) & 0xFF, (ip >> 16) & 0xFF,
                  (ip >> 8) & 0xFF, ip & 0xFF);
    return buf;
}


namespace {

sockaddr_in toSockaddr(const Address &a)
{
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(a.ip);
    sa.sin_port = htons(a.port);
    return sa;
}

Address fromSockaddr(const sockaddr_in &sa)
{
    return Address{ntohl(sa.sin_addr.s_addr), ntohs(sa.sin_port)};
}

} // namespace

Socket::~Socket() { close(); }

Socket::Socket(Socket &&other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

Socket &Socket::operator=(Socket &&other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

#ifdef _WIN32

namespace {

// A blocked accept or receive under Winsock does not return when another thread
// shuts the socket down, so those calls wait in short slices and look at this
// list of shut sockets in between. Closing a socket takes it off the list
// before its handle can be handed out again.
constexpr int kWakeSliceMs = 50;
std::mutex g_shutMutex;
std::set<SOCKET> g_shut;
std::atomic<int> g_shutCount{0};

bool isShut(SOCKET s)
{
    if (g_shutCount.load() == 0)
        return false;
    std::lock_guard lock(g_shutMutex);
    return g_shut.count(s) != 0;
}

void markShut(SOCKET s, bool shut)
{
    std::lock_guard lock(g_shutMutex);
    if (shut ? g_shut.insert(s).second : g_shut.erase(s) != 0)
        g_shutCount += shut ? 1 : -1;
}

// Sockets work without an explicit startup(): tests and helpers create them
// straight away. This reference is held until the process ends.
bool ensureStarted()
{
    static const bool started = startup();
    return started;
}

int setIntOption(intptr_t fd, int level, int option, int value)
{
    return ::setsockopt(SOCKET(fd), level, option, reinterpret_cast<const char *>(&value), sizeof value) == 0
               ? kOk
               : lastError();
}

// Winsock takes its time-outs as a DWORD of milliseconds.
int setTimeoutOption(intptr_t fd, int option, int ms)
{
    const DWORD value = ms < 0 ? 0 : DWORD(ms);
    return ::setsockopt(SOCKET(fd), SOL_SOCKET, option, reinterpret_cast<const char *>(&value), sizeof value) == 0
               ? kOk
               : lastError();
}

// The receive time-out set on the socket; 0 waits for ever.
int receiveTimeoutMs(SOCKET s)
{
    DWORD value = 0;
    int len = sizeof value;
    if (::getsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char *>(&value), &len) != 0)
        return 0;
    return int(value);
}

// 1 ready, 0 time-out, -1 error or shut (err set). timeoutMs < 0 waits for ever.
int waitFor(SOCKET s, short events, int timeoutMs, int &err)
{
    using Clock = std::chrono::steady_clock;
    const bool forever = timeoutMs < 0;
    const auto deadline = Clock::now() + std::chrono::milliseconds(forever ? 0 : timeoutMs);
    for (;;) {
        if (isShut(s)) {
            err = kErrShutdown;
            return -1;
        }
        int slice = kWakeSliceMs;
        if (!forever) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            slice = int(std::clamp<long long>(left, 0, kWakeSliceMs));
        }
        WSAPOLLFD p{};
        p.fd = s;
        p.events = events;
        const int n = WSAPoll(&p, 1, slice);
        if (n < 0) {
            err = lastError();
            return -1;
        }
        if (n > 0) {
            err = kOk;
            return 1;
        }
        if (!forever && Clock::now() >= deadline) {
            err = kOk;
            return 0;
        }
    }
}

} // namespace

Socket Socket::tcp(int &err)
{
    if (!ensureStarted()) {
        err = lastError();
        return Socket();
    }
    const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) {
        err = lastError();
        return Socket();
    }
    // Programs this one starts must not keep its connections open.
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    err = kOk;
    return Socket(intptr_t(s));
}

Socket Socket::udp(int &err)
{
    if (!ensureStarted()) {
        err = lastError();
        return Socket();
    }
    const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) {
        err = lastError();
        return Socket();
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    // Without this, an ICMP "port unreachable" for one datagram sent fails the
    // next receive with 10054, and a search would lose the answers behind it.
    BOOL report = FALSE;
    DWORD bytes = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &bytes, nullptr, nullptr);
    err = kOk;
    return Socket(intptr_t(s));
}

void Socket::close()
{
    if (m_fd >= 0) {
        markShut(SOCKET(m_fd), false);
        ::closesocket(SOCKET(m_fd));
        m_fd = -1;
    }
}

void Socket::shutdownBoth()
{
    if (m_fd >= 0) {
        markShut(SOCKET(m_fd), true);
        ::shutdown(SOCKET(m_fd), SD_BOTH);
    }
}

int Socket::connect(const Address &to, int timeoutMs)
{
    const SOCKET s = SOCKET(m_fd);
    // The connect notification comes through an event; attaching it also makes
    // the socket non-blocking for the time of the attempt.
    WSAEVENT event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT)
        return lastError();
    int result = kOk;
    if (WSAEventSelect(s, event, FD_CONNECT) != 0) {
        result = lastError();
    } else {
        sockaddr_in sa = toSockaddr(to);
        if (::connect(s, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
            result = lastError();
            if (result == kErrWouldBlock) {
                const DWORD w = WSAWaitForMultipleEvents(1, &event, FALSE, timeoutMs < 0 ? WSA_INFINITE : DWORD(timeoutMs),
                                                         FALSE);
                if (w == WSA_WAIT_TIMEOUT) {
                    result = kErrTimedOut;
                } else if (w != WSA_WAIT_EVENT_0) {
                    result = lastError();
                } else {
                    WSANETWORKEVENTS events{};
                    if (WSAEnumNetworkEvents(s, event, &events) != 0)
                        result = lastError();
                    else if (!(events.lNetworkEvents & FD_CONNECT))
                        result = kErrNotConnected;
                    else
                        result = events.iErrorCode[FD_CONNECT_BIT];
                }
            }
        }
        WSAEventSelect(s, nullptr, 0);
    }
    u_long nonBlocking = 0;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0 && result == kOk)
        result = lastError();
    WSACloseEvent(event);
    return result;
}

int Socket::setSendTimeout(int ms) { return setTimeoutOption(m_fd, SO_SNDTIMEO, ms); }
int Socket::setReceiveTimeout(int ms) { return setTimeoutOption(m_fd, SO_RCVTIMEO, ms); }
int Socket::setNoDelay(bool on) { return setIntOption(m_fd, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
int Socket::setBroadcast(bool on) { return setIntOption(m_fd, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0); }
int Socket::setReuseAddress(bool on) { return setIntOption(m_fd, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0); }

int Socket::bind(const Address &local)
{
    sockaddr_in sa = toSockaddr(local);
    return ::bind(SOCKET(m_fd), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 ? kOk : lastError();
}

int Socket::listen(int backlog) { return ::listen(SOCKET(m_fd), backlog) == 0 ? kOk : lastError(); }

std::optional<Address> Socket::localAddress() const
{
    sockaddr_in sa{};
    int len = sizeof sa;
    if (::getsockname(SOCKET(m_fd), reinterpret_cast<sockaddr *>(&sa), &len) != 0)
        return std::nullopt;
    return fromSockaddr(sa);
}

Socket Socket::accept(Address *peer, int &err)
{
    const SOCKET s = SOCKET(m_fd);
    if (waitFor(s, POLLRDNORM, -1, err) < 0)
        return Socket();
    sockaddr_in sa{};
    int len = sizeof sa;
    const SOCKET c = ::accept(s, reinterpret_cast<sockaddr *>(&sa), &len);
    if (c == INVALID_SOCKET) {
        err = lastError();
        return Socket();
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(c), HANDLE_FLAG_INHERIT, 0);
    err = kOk;
    if (peer)
        *peer = fromSockaddr(sa);
    return Socket(intptr_t(c));
}

long Socket::send(const void *data, size_t size, int &err)
{
    const int n = ::send(SOCKET(m_fd), static_cast<const char *>(data), int(size), 0);
    err = n < 0 ? lastError() : kOk;
    return long(n);
}

long Socket::receive(void *buffer, size_t size, int &err)
{
    const SOCKET s = SOCKET(m_fd);
    const int timeoutMs = receiveTimeoutMs(s);
    const int ready = waitFor(s, POLLRDNORM, timeoutMs > 0 ? timeoutMs : -1, err);
    if (ready <= 0) {
        if (ready == 0)
            err = kErrTimedOut;
        return -1;
    }
    const int n = ::recv(s, static_cast<char *>(buffer), int(size), 0);
    err = n < 0 ? lastError() : kOk;
    return long(n);
}

long Socket::sendTo(const void *data, size_t size, const Address &to, int &err)
{
    sockaddr_in sa = toSockaddr(to);
    const int n = ::sendto(SOCKET(m_fd), static_cast<const char *>(data), int(size), 0,
                           reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    err = n < 0 ? lastError() : kOk;
    return long(n);
}

long Socket::receiveFrom(void *buffer, size_t size, Address &from, int &err)
{
    const SOCKET s = SOCKET(m_fd);
    const int timeoutMs = receiveTimeoutMs(s);
    const int ready = waitFor(s, POLLRDNORM, timeoutMs > 0 ? timeoutMs : -1, err);
    if (ready <= 0) {
        if (ready == 0)
            err = kErrTimedOut;
        return -1;
    }
    sockaddr_in sa{};
    int len = sizeof sa;
    const int n = ::recvfrom(s, static_cast<char *>(buffer), int(size), 0, reinterpret_cast<sockaddr *>(&sa), &len);
    // An overlong datagram fails with 10040 but still names its sender.
    if (n >= 0 || WSAGetLastError() == WSAEMSGSIZE)
        from = fromSockaddr(sa);
    err = n < 0 ? lastError() : kOk;
    return n < 0 ? -1 : long(n);
}

int Socket::waitReadable(int timeoutMs, int &err) const
{
    return waitFor(SOCKET(m_fd), POLLRDNORM, timeoutMs, err);
}

std::vector<Ipv4Interface> broadcastInterfaces()
{
    std::vector<Ipv4Interface> found;
    // The list's size is known only by asking; it may grow between the two calls.
    std::vector<unsigned char> buffer(16 * 1024);
    const ULONG flags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG rc = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && rc == ERROR_BUFFER_OVERFLOW; ++attempt) {
        ULONG size = ULONG(buffer.size());
        rc = GetAdaptersAddresses(AF_INET, flags, nullptr, reinterpret_cast<IP_ADAPTER_ADDRESSES *>(buffer.data()), &size);
        if (rc == ERROR_BUFFER_OVERFLOW)
            buffer.resize(size);
    }
    if (rc != NO_ERROR)
        return found;
    for (auto *a = reinterpret_cast<const IP_ADAPTER_ADDRESSES *>(buffer.data()); a; a = a->Next) {
        if (a->OperStatus != IfOperStatusUp || a->IfType == IF_TYPE_SOFTWARE_LOOPBACK)
            continue;
        std::string name;
        if (a->FriendlyName) {
            const int n = WideCharToMultiByte(CP_UTF8, 0, a->FriendlyName, -1, nullptr, 0, nullptr, nullptr);
            if (n > 1) {
                name.resize(size_t(n));
                WideCharToMultiByte(CP_UTF8, 0, a->FriendlyName, -1, name.data(), n, nullptr, nullptr);
                name.resize(size_t(n - 1));
            }
        }
        for (auto *u = a->FirstUnicastAddress; u; u = u->Next) {
            const sockaddr *sa = u->Address.lpSockaddr;
            // A /32 (or /31) address has no subnet to broadcast to.
            if (!sa || sa->sa_family != AF_INET || u->OnLinkPrefixLength >= 31)
                continue;
            const uint32_t own = ntohl(reinterpret_cast<const sockaddr_in *>(sa)->sin_addr.s_addr);
            const uint32_t mask = u->OnLinkPrefixLength == 0 ? 0 : ~uint32_t(0) << (32 - u->OnLinkPrefixLength);
            found.push_back(Ipv4Interface{name, formatIpv4(own), formatIpv4(own | ~mask)});
        }
    }
    return found;
}

int Socket::waitAnyReadable(const std::vector<const Socket *> &sockets, int timeoutMs, size_t &ready, int &err)
{
    std::vector<WSAPOLLFD> fds(sockets.size());
    for (size_t i = 0; i < sockets.size(); ++i) {
        fds[i].fd = SOCKET(sockets[i]->m_fd);
        fds[i].events = POLLRDNORM;
    }
    const int n = WSAPoll(fds.data(), ULONG(fds.size()), timeoutMs);
    if (n < 0) {
        err = lastError();
        return -1;
    }
    for (const WSAPOLLFD &p : fds) {
        if (p.revents & POLLNVAL) {
            err = kErrNotSocket;
            return -1;
        }
    }
    err = kOk;
    for (size_t i = 0; i < fds.size(); ++i) {
        // An error or hang-up on a socket is readable too: the receive reports it.
        if (fds[i].revents & (POLLRDNORM | POLLERR | POLLHUP)) {
            ready = i;
            return 1;
        }
    }
    return 0;
}

#else

namespace {

int setTimeoutOption(intptr_t fd, int option, int ms)
{
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return ::setsockopt(int(fd), SOL_SOCKET, option, &tv, sizeof tv) == 0 ? kOk : lastError();
}

int setIntOption(intptr_t fd, int level, int option, int value)
{
    return ::setsockopt(int(fd), level, option, &value, sizeof value) == 0 ? kOk : lastError();
}

// A blocking call that ran into SO_SNDTIMEO / SO_RCVTIMEO reports EAGAIN here;
// Winsock reports the same event as a time-out.
int mapTransferError(int e)
{
    if (e == EAGAIN || e == EWOULDBLOCK)
        return kErrTimedOut;
    return mapError(e);
}

} // namespace

Socket Socket::tcp(int &err)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    err = fd < 0 ? lastError() : kOk;
    return Socket(fd);
}

Socket Socket::udp(int &err)
{
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    err = fd < 0 ? lastError() : kOk;
    return Socket(fd);
}

void Socket::close()
{
    if (m_fd >= 0) {
        ::close(int(m_fd));
        m_fd = -1;
    }
}

void Socket::shutdownBoth()
{
    if (m_fd >= 0)
        ::shutdown(int(m_fd), SHUT_RDWR);
}

int Socket::connect(const Address &to, int timeoutMs)
{
    const int fd = int(m_fd);
    const int flags = ::fcntl(fd, F_GETFL, 0);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0)
        return lastError();

    int result = kOk;
    sockaddr_in sa = toSockaddr(to);
    if (::connect(fd, reinterpret_cast<sockaddr *>(&sa), sizeof sa) != 0) {
        if (errno != EINPROGRESS) {
            result = lastError();
        } else {
            pollfd p{fd, POLLOUT, 0};
            int n;
            do {
                n = ::poll(&p, 1, timeoutMs);
            } while (n < 0 && errno == EINTR);
            if (n == 0) {
                result = kErrTimedOut;
            } else if (n < 0) {
                result = lastError();
            } else {
                int soError = 0;
                socklen_t len = sizeof soError;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0)
                    result = lastError();
                else
                    result = mapError(soError);
            }
        }
    }
    if (::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 && result == kOk)
        result = lastError();
    return result;
}

int Socket::setSendTimeout(int ms) { return setTimeoutOption(m_fd, SO_SNDTIMEO, ms); }
int Socket::setReceiveTimeout(int ms) { return setTimeoutOption(m_fd, SO_RCVTIMEO, ms); }
int Socket::setNoDelay(bool on) { return setIntOption(m_fd, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
int Socket::setBroadcast(bool on) { return setIntOption(m_fd, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0); }
int Socket::setReuseAddress(bool on) { return setIntOption(m_fd, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0); }

int Socket::bind(const Address &local)
{
    sockaddr_in sa = toSockaddr(local);
    return ::bind(int(m_fd), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 ? kOk : lastError();
}

int Socket::listen(int backlog) { return ::listen(int(m_fd), backlog) == 0 ? kOk : lastError(); }

std::optional<Address> Socket::localAddress() const
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    if (::getsockname(int(m_fd), reinterpret_cast<sockaddr *>(&sa), &len) != 0)
        return std::nullopt;
    return fromSockaddr(sa);
}

Socket Socket::accept(Address *peer, int &err)
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    int fd;
    do {
        fd = ::accept4(int(m_fd), reinterpret_cast<sockaddr *>(&sa), &len, SOCK_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        err = lastError();
        return Socket();
    }
    err = kOk;
    if (peer)
        *peer = fromSockaddr(sa);
    return Socket(fd);
}

long Socket::send(const void *data, size_t size, int &err)
{
    ssize_t n;
    do {
        n = ::send(int(m_fd), data, size, MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    err = n < 0 ? mapTransferError(errno) : kOk;
    return long(n);
}

long Socket::receive(void *buffer, size_t size, int &err)
{
    ssize_t n;
    do {
        n = ::recv(int(m_fd), buffer, size, 0);
    } while (n < 0 && errno == EINTR);
    err = n < 0 ? mapTransferError(errno) : kOk;
    return long(n);
}

long Socket::sendTo(const void *data, size_t size, const Address &to, int &err)
{
    sockaddr_in sa = toSockaddr(to);
    ssize_t n;
    do {
        n = ::sendto(int(m_fd), data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    } while (n < 0 && errno == EINTR);
    err = n < 0 ? mapTransferError(errno) : kOk;
    return long(n);
}

long Socket::receiveFrom(void *buffer, size_t size, Address &from, int &err)
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    ssize_t n;
    // MSG_TRUNC makes Linux return the datagram's real length, so an overlong
    // datagram fails the way it does under Winsock.
    do {
        n = ::recvfrom(int(m_fd), buffer, size, MSG_TRUNC, reinterpret_cast<sockaddr *>(&sa), &len);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        err = mapTransferError(errno);
        return -1;
    }
    from = fromSockaddr(sa);
    if (size_t(n) > size) {
        err = kErrMessageSize;
        return -1;
    }
    err = kOk;
    return long(n);
}

int Socket::waitReadable(int timeoutMs, int &err) const
{
    pollfd p{int(m_fd), POLLIN, 0};
    int n;
    do {
        n = ::poll(&p, 1, timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        err = lastError();
        return -1;
    }
    err = kOk;
    return n > 0 ? 1 : 0;
}

int Socket::waitAnyReadable(const std::vector<const Socket *> &sockets, int timeoutMs, size_t &ready, int &err)
{
    std::vector<pollfd> fds;
    fds.reserve(sockets.size());
    for (const Socket *s : sockets)
        fds.push_back(pollfd{int(s->m_fd), POLLIN, 0});
    int n;
    do {
        n = ::poll(fds.data(), nfds_t(fds.size()), timeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        err = lastError();
        return -1;
    }
    for (size_t i = 0; i < fds.size(); ++i) {
        if (fds[i].revents & POLLNVAL) {
            err = kErrNotSocket;
            return -1;
        }
    }
    err = kOk;
    for (size_t i = 0; i < fds.size(); ++i) {
        // An error or hang-up on a socket is readable too: the receive reports it.
        if (fds[i].revents & (POLLIN | POLLERR | POLLHUP)) {
            ready = i;
            return 1;
        }
    }
    return 0;
}

std::vector<Ipv4Interface> broadcastInterfaces()
{
    std::vector<Ipv4Interface> found;
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return found;
    for (const ifaddrs *i = list; i; i = i->ifa_next) {
        const unsigned flags = i->ifa_flags;
        if (!i->ifa_addr || i->ifa_addr->sa_family != AF_INET || !(flags & IFF_UP) || !(flags & IFF_BROADCAST)
            || (flags & IFF_LOOPBACK))
            continue;
        const uint32_t own = ntohl(reinterpret_cast<const sockaddr_in *>(i->ifa_addr)->sin_addr.s_addr);
        uint32_t broadcast = i->ifa_broadaddr
            ? ntohl(reinterpret_cast<const sockaddr_in *>(i->ifa_broadaddr)->sin_addr.s_addr) : 0;
        // An address configured without a broadcast address still has its
        // subnet's: the kernel routes it all the same.
        if (broadcast == 0 && i->ifa_netmask)
            broadcast = own | ~ntohl(reinterpret_cast<const sockaddr_in *>(i->ifa_netmask)->sin_addr.s_addr);
        if (broadcast == 0)
            continue;
        found.push_back(Ipv4Interface{i->ifa_name ? i->ifa_name : "", formatIpv4(own), formatIpv4(broadcast)});
    }
    ::freeifaddrs(list);
    return found;
}

#endif

} // namespace qn::net
