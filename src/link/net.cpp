// The part of the socket layer that is the same under POSIX and Winsock; each platform's
// own part is in netposix.cpp or netwinsock.cpp.
#include "link/net.h"

#include "link/netplatform.h"

#include <cstdio>
#include <utility>

namespace qn::net {

using platform::native;

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

namespace {

int setIntOption(intptr_t fd, int level, int option, int value)
{
    // Winsock takes the value as char *, POSIX as void *: the first serves both.
    return ::setsockopt(native(fd), level, option, reinterpret_cast<const char *>(&value), sizeof value) == 0
               ? kOk
               : lastError();
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

int Socket::setSendTimeout(int ms) { return platform::setTimeoutOption(m_fd, SO_SNDTIMEO, ms); }
int Socket::setReceiveTimeout(int ms) { return platform::setTimeoutOption(m_fd, SO_RCVTIMEO, ms); }
int Socket::setNoDelay(bool on) { return setIntOption(m_fd, IPPROTO_TCP, TCP_NODELAY, on ? 1 : 0); }
int Socket::setBroadcast(bool on) { return setIntOption(m_fd, SOL_SOCKET, SO_BROADCAST, on ? 1 : 0); }
int Socket::setReuseAddress(bool on) { return setIntOption(m_fd, SOL_SOCKET, SO_REUSEADDR, on ? 1 : 0); }

int Socket::bind(const Address &local)
{
    sockaddr_in sa = toSockaddr(local);
    return ::bind(native(m_fd), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 ? kOk : lastError();
}

int Socket::listen(int backlog) { return ::listen(native(m_fd), backlog) == 0 ? kOk : lastError(); }

std::optional<Address> Socket::localAddress() const
{
    sockaddr_in sa{};
    platform::AddressLength len = sizeof sa;
    if (::getsockname(native(m_fd), reinterpret_cast<sockaddr *>(&sa), &len) != 0)
        return std::nullopt;
    return fromSockaddr(sa);
}

int Socket::waitAnyReadable(const std::vector<const Socket *> &sockets, int timeoutMs, size_t &ready, int &err)
{
    std::vector<platform::PollEntry> entries(sockets.size());
    for (size_t i = 0; i < sockets.size(); ++i) {
        entries[i].fd = native(sockets[i]->m_fd);
        entries[i].events = platform::kPollReadable;
    }
    if (platform::poll(entries.data(), entries.size(), timeoutMs) < 0) {
        err = lastError();
        return -1;
    }
    for (const platform::PollEntry &e : entries) {
        if (e.revents & POLLNVAL) {
            err = kErrNotSocket;
            return -1;
        }
    }
    err = kOk;
    for (size_t i = 0; i < entries.size(); ++i) {
        // An error or hang-up on a socket is readable too: the receive reports it.
        if (entries[i].revents & (platform::kPollReadable | POLLERR | POLLHUP)) {
            ready = i;
            return 1;
        }
    }
    return 0;
}

} // namespace qn::net
