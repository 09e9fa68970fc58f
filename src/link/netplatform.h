#pragma once
// What net.cpp needs from the platform's sockets, each platform's own in netposix.cpp or
// netwinsock.cpp. Internal to the link: nothing outside net*.cpp includes it.
#include "link/net.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#endif

#include <cstddef>
#include <cstdint>

namespace qn::net {

sockaddr_in toSockaddr(const Address &a);
Address fromSockaddr(const sockaddr_in &sa);

namespace platform {

#ifdef _WIN32
using NativeSocket = SOCKET;
using AddressLength = int;
using PollEntry = WSAPOLLFD;
constexpr short kPollReadable = POLLRDNORM;
#else
using NativeSocket = int;
using AddressLength = socklen_t;
using PollEntry = pollfd;
constexpr short kPollReadable = POLLIN;
#endif

inline NativeSocket native(intptr_t fd) { return NativeSocket(fd); }

// The time-out options (SO_SNDTIMEO, SO_RCVTIMEO) take a different type on each platform.
int setTimeoutOption(intptr_t fd, int option, int ms);
// Polls the entries; the platform's result (-1 with lastError() set on failure).
int poll(PollEntry *entries, std::size_t count, int timeoutMs);

} // namespace platform
} // namespace qn::net
