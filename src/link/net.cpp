#include "link/net.h"

#include <cerrno>
#include <cstdio>
#include <utility>

#ifdef _WIN32
#error "The Winsock side of the socket layer is not written yet"
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

} // namespace qn::net
