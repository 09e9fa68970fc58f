// The Winsock half of the socket layer (net.h); the shared part is in net.cpp.
#include "link/netplatform.h"

#include <iphlpapi.h>
#include <mswsock.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <set>

namespace qn::net {

LinkErrorKind errorKind(int e)
{
    switch (e) {
    case WSAETIMEDOUT: return LinkErrorKind::TimedOut;
    case WSAECONNREFUSED: return LinkErrorKind::Refused;
    case WSAEADDRNOTAVAIL:
    case WSAENETDOWN:
    case WSAENETUNREACH:
    case WSAEHOSTDOWN:
    case WSAEHOSTUNREACH: return LinkErrorKind::Unreachable;
    default: return LinkErrorKind::ConnectionLost;
    }
}

bool isOutOfResources(int e) { return e == WSAEMFILE || e == WSAENOBUFS; }

int lastError() { return WSAGetLastError(); }

bool startup()
{
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

void cleanup() { WSACleanup(); }

namespace platform {

// Winsock takes its time-outs as a DWORD of milliseconds.
int setTimeoutOption(intptr_t fd, int option, int ms)
{
    const DWORD value = ms < 0 ? 0 : DWORD(ms);
    return ::setsockopt(SOCKET(fd), SOL_SOCKET, option, reinterpret_cast<const char *>(&value), sizeof value) == 0
               ? kOk
               : lastError();
}

int poll(PollEntry *entries, std::size_t count, int timeoutMs)
{
    return WSAPoll(entries, ULONG(count), timeoutMs);
}

} // namespace platform

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
        const int n = platform::poll(&p, 1, slice);
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

// A new socket that programs this one starts do not inherit (they must not keep its
// connections open); INVALID_SOCKET with err set on failure.
SOCKET openSocket(int type, int protocol, int &err)
{
    if (!ensureStarted()) {
        err = lastError();
        return INVALID_SOCKET;
    }
    const SOCKET s = ::socket(AF_INET, type, protocol);
    if (s == INVALID_SOCKET) {
        err = lastError();
        return INVALID_SOCKET;
    }
    SetHandleInformation(reinterpret_cast<HANDLE>(s), HANDLE_FLAG_INHERIT, 0);
    err = kOk;
    return s;
}

// Waits for data within the socket's receive time-out, as a blocking receive would:
// false with err set (kErrTimedOut at the time-out) when none came.
bool waitToReceive(SOCKET s, int &err)
{
    const int timeoutMs = receiveTimeoutMs(s);
    const int ready = waitFor(s, POLLRDNORM, timeoutMs > 0 ? timeoutMs : -1, err);
    if (ready == 0)
        err = kErrTimedOut;
    return ready > 0;
}

} // namespace

Socket Socket::tcp(int &err)
{
    const SOCKET s = openSocket(SOCK_STREAM, IPPROTO_TCP, err);
    return s == INVALID_SOCKET ? Socket() : Socket(intptr_t(s));
}

Socket Socket::udp(int &err)
{
    const SOCKET s = openSocket(SOCK_DGRAM, IPPROTO_UDP, err);
    if (s == INVALID_SOCKET)
        return Socket();
    // Without this, an ICMP "port unreachable" for one datagram sent fails the
    // next receive with 10054, and a search would lose the answers behind it.
    BOOL report = FALSE;
    DWORD bytes = 0;
    WSAIoctl(s, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &bytes, nullptr, nullptr);
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
    if (!waitToReceive(s, err))
        return -1;
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
    if (!waitToReceive(s, err))
        return -1;
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

} // namespace qn::net
