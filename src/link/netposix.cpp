// The POSIX half of the socket layer (net.h); the shared part is in net.cpp.
#include "link/netplatform.h"

#include <cerrno>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

namespace qn::net {

LinkErrorKind errorKind(int e)
{
    switch (e) {
    case ETIMEDOUT:
    case EAGAIN:
#if EAGAIN != EWOULDBLOCK
    case EWOULDBLOCK:
#endif
        return LinkErrorKind::TimedOut;
    case ECONNREFUSED: return LinkErrorKind::Refused;
    case EADDRNOTAVAIL:
    case ENETDOWN:
    case ENETUNREACH:
    case EHOSTDOWN:
    case EHOSTUNREACH: return LinkErrorKind::Unreachable;
    default: return LinkErrorKind::ConnectionLost;
    }
}

bool isOutOfResources(int e) { return e == EMFILE || e == ENFILE || e == ENOBUFS || e == ENOMEM; }

int lastError() { return errno; }

bool startup() { return true; }
void cleanup() {}

namespace {

// A signal that lands in a blocking call interrupts it; the call is simply made again.
template <typename Call> auto retryInterrupted(Call call)
{
    decltype(call()) n;
    do {
        n = call();
    } while (n < 0 && errno == EINTR);
    return n;
}

// A blocking call that ran into SO_SNDTIMEO / SO_RCVTIMEO reports EAGAIN here;
// Winsock reports the same event as a time-out.
int mapTransferError(int e)
{
    if (e == EAGAIN || e == EWOULDBLOCK)
        return kErrTimedOut;
    return e;
}

} // namespace

namespace platform {

int setTimeoutOption(intptr_t fd, int option, int ms)
{
    timeval tv{};
    tv.tv_sec = ms / 1000;
    tv.tv_usec = (ms % 1000) * 1000;
    return ::setsockopt(int(fd), SOL_SOCKET, option, &tv, sizeof tv) == 0 ? kOk : lastError();
}

int poll(PollEntry *entries, std::size_t count, int timeoutMs)
{
    return retryInterrupted([&] { return ::poll(entries, nfds_t(count), timeoutMs); });
}

} // namespace platform

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
            const int n = platform::poll(&p, 1, timeoutMs);
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
                    result = soError;
            }
        }
    }
    if (::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0 && result == kOk)
        result = lastError();
    return result;
}

Socket Socket::accept(Address *peer, int &err)
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    const int fd =
        retryInterrupted([&] { return ::accept4(int(m_fd), reinterpret_cast<sockaddr *>(&sa), &len, SOCK_CLOEXEC); });
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
    const ssize_t n = retryInterrupted([&] { return ::send(int(m_fd), data, size, MSG_NOSIGNAL); });
    err = n < 0 ? mapTransferError(errno) : kOk;
    return long(n);
}

long Socket::receive(void *buffer, size_t size, int &err)
{
    const ssize_t n = retryInterrupted([&] { return ::recv(int(m_fd), buffer, size, 0); });
    err = n < 0 ? mapTransferError(errno) : kOk;
    return long(n);
}

long Socket::sendTo(const void *data, size_t size, const Address &to, int &err)
{
    sockaddr_in sa = toSockaddr(to);
    const ssize_t n = retryInterrupted([&] {
        return ::sendto(int(m_fd), data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    });
    err = n < 0 ? mapTransferError(errno) : kOk;
    return long(n);
}

long Socket::receiveFrom(void *buffer, size_t size, Address &from, int &err)
{
    sockaddr_in sa{};
    socklen_t len = sizeof sa;
    // MSG_TRUNC makes Linux return the datagram's real length, so an overlong
    // datagram fails the way it does under Winsock.
    const ssize_t n = retryInterrupted(
        [&] { return ::recvfrom(int(m_fd), buffer, size, MSG_TRUNC, reinterpret_cast<sockaddr *>(&sa), &len); });
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
    const int n = platform::poll(&p, 1, timeoutMs);
    if (n < 0) {
        err = lastError();
        return -1;
    }
    err = kOk;
    return n > 0 ? 1 : 0;
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

} // namespace qn::net
