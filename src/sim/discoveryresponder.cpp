#include "sim/discoveryresponder.h"

#include <algorithm>
#include <chrono>

#ifdef _WIN32
#include <winsock2.h>
#define QN_POLL WSAPoll
#else
#include <poll.h>
#define QN_POLL ::poll
#endif

namespace qn::sim {

namespace {

// How often the thread looks at the stop flag while nothing arrives.
constexpr int kPollSliceMs = 50;

// Answers carry the query code + 1 in byte 3; nothing on the PC side reads it.
std::vector<uint8_t> replyFrame(uint8_t code, std::size_t length)
{
    std::vector<uint8_t> r(length, 0);
    if (length > 3)
        r[3] = code;
    return r;
}

} // namespace

std::vector<uint8_t> searchReply(const MacAddress &mac, std::size_t length)
{
    std::vector<uint8_t> r = replyFrame(0xF7, length);
    for (std::size_t i = 0; i < 6 && kSearchReplyMacOffset + i < length; ++i)
        r[kSearchReplyMacOffset + i] = mac[i];
    return r;
}

std::vector<uint8_t> detailReply1(uint16_t tcpPort, std::size_t length)
{
    std::vector<uint8_t> r = replyFrame(0xF9, length);
    if (length > kDetailReplyPortOffset)
        r[kDetailReplyPortOffset] = uint8_t(tcpPort & 0xFF);
    if (length > kDetailReplyPortOffset + 1)
        r[kDetailReplyPortOffset + 1] = uint8_t(tcpPort >> 8);
    return r;
}

std::vector<uint8_t> detailReply2(std::size_t length) { return replyFrame(0xE8, length); }

std::optional<QueryKind> classifyQuery(const uint8_t *data, std::size_t size)
{
    auto is = [&](const std::array<uint8_t, 4> &q) { return size == q.size() && std::equal(q.begin(), q.end(), data); };
    if (is(kSearchQuery))
        return QueryKind::Search;
    if (is(kDetailQuery1))
        return QueryKind::Detail1;
    if (is(kDetailQuery2))
        return QueryKind::Detail2;
    return std::nullopt;
}

std::optional<Subnet> parseSubnet(const std::string &text)
{
    const auto slash = text.find('/');
    const auto ip = net::parseIpv4(text.substr(0, slash));
    if (!ip)
        return std::nullopt;
    int bits = 32;
    if (slash != std::string::npos) {
        const std::string b = text.substr(slash + 1);
        if (b.empty() || b.size() > 2 || !std::all_of(b.begin(), b.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return std::nullopt;
        bits = std::stoi(b);
        if (bits > 32)
            return std::nullopt;
    }
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t(0) << (32 - bits);
    return Subnet{*ip & mask, mask};
}

DiscoveryResponder::DiscoveryResponder(ResponderConfig config) : m_config(std::move(config)) {}

DiscoveryResponder::~DiscoveryResponder() { stop(); }

bool DiscoveryResponder::start(std::string *error)
{
    auto fail = [&](const std::string &why) {
        if (error)
            *error = "discovery on " + m_config.unitIp + ": " + why;
        m_own.close();
        m_broadcast.clear();
        return false;
    };
    if (m_thread.joinable())
        return true;

    m_allowed.clear();
    for (const std::string &s : m_config.allowFrom) {
        const auto subnet = parseSubnet(s);
        if (!subnet)
            return fail("bad subnet " + s);
        m_allowed.push_back(*subnet);
    }
    const auto ownIp = net::parseIpv4(m_config.unitIp);
    if (!ownIp)
        return fail("not an IPv4 address");

    std::vector<std::string> broadcasts;
    if (m_config.broadcastAddresses)
        broadcasts = *m_config.broadcastAddresses;
    else if (net::isLoopback(*ownIp))
        broadcasts = {"127.255.255.255"};

    int err = 0;
    m_own = net::Socket::udp(err);
    if (!m_own.valid())
        return fail("socket error " + std::to_string(err));
    m_own.setReuseAddress(true);
    m_own.setBroadcast(true);
    if ((err = m_own.bind(net::Address{*ownIp, m_config.udpPort})) != net::kOk)
        return fail("bind error " + std::to_string(err));
    const auto local = m_own.localAddress();
    if (!local)
        return fail("no local address");
    m_port = local->port;

    for (const std::string &b : broadcasts) {
        const auto ip = net::parseIpv4(b);
        if (!ip)
            return fail("bad broadcast address " + b);
        net::Socket s = net::Socket::udp(err);
        if (!s.valid())
            return fail("socket error " + std::to_string(err));
        s.setReuseAddress(true);
        if ((err = s.bind(net::Address{*ip, local->port})) != net::kOk)
            return fail("bind " + b + " error " + std::to_string(err));
        m_broadcast.push_back(std::move(s));
    }

    m_stop = false;
    m_thread = std::thread([this] { run(); });
    return true;
}

void DiscoveryResponder::stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
    m_own.close();
    m_broadcast.clear();
}

bool DiscoveryResponder::answersSender(uint32_t ip) const
{
    if (net::isLoopback(ip))
        return true;
    return std::any_of(m_allowed.begin(), m_allowed.end(), [ip](const Subnet &s) { return s.contains(ip); });
}

bool DiscoveryResponder::pause(int ms)
{
    if (ms <= 0)
        return !m_stop;
    std::unique_lock lock(m_mutex);
    return !m_changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop.load(); });
}

void DiscoveryResponder::run()
{
    std::vector<net::Socket *> sockets{&m_own};
    for (net::Socket &s : m_broadcast)
        sockets.push_back(&s);
    std::vector<pollfd> fds(sockets.size());
    for (std::size_t i = 0; i < sockets.size(); ++i)
        fds[i] = pollfd{decltype(pollfd::fd)(sockets[i]->nativeHandle()), POLLIN, 0};

    while (!m_stop) {
        for (pollfd &p : fds)
            p.revents = 0;
        const int n = QN_POLL(fds.data(), decltype(fds.size())(fds.size()), kPollSliceMs);
        if (n <= 0)
            continue;
        for (std::size_t i = 0; i < fds.size() && !m_stop; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            uint8_t buffer[64];
            net::Address from;
            int err = 0;
            const long got = sockets[i]->receiveFrom(buffer, sizeof buffer, from, err);
            if (got < 0 || m_muted || !answersSender(from.ip))
                continue;
            const auto kind = classifyQuery(buffer, std::size_t(got));
            if (!kind)
                continue;
            {
                std::lock_guard lock(m_mutex);
                m_log.push_back(QueryRecord{*kind, from, i > 0});
            }
            m_changed.notify_all();
            handle(*kind, from);
        }
    }
}

void DiscoveryResponder::handle(QueryKind kind, const net::Address &from)
{
    std::vector<uint8_t> reply;
    switch (kind) {
    case QueryKind::Search:
        if (!m_config.answerSearch || !pause(m_config.searchDelayMs))
            return;
        reply = searchReply(m_config.mac, m_config.searchReplyLength);
        break;
    case QueryKind::Detail1:
        if (!m_config.answerDetail1 || !pause(m_config.detailDelayMs))
            return;
        reply = detailReply1(m_config.tcpPort, m_config.detail1ReplyLength);
        break;
    case QueryKind::Detail2:
        if (!m_config.answerDetail2 || !pause(m_config.detailDelayMs))
            return;
        reply = detailReply2(m_config.detail2ReplyLength);
        break;
    }
    int err = 0;
    // Always from the own socket: the PC takes the sender as the unit's address.
    m_own.sendTo(reply.data(), reply.size(), from, err);
}

std::vector<QueryRecord> DiscoveryResponder::queries() const
{
    std::lock_guard lock(m_mutex);
    return m_log;
}

std::size_t DiscoveryResponder::queryCount() const
{
    std::lock_guard lock(m_mutex);
    return m_log.size();
}

void DiscoveryResponder::clearLog()
{
    std::lock_guard lock(m_mutex);
    m_log.clear();
}

bool DiscoveryResponder::waitForQueries(std::size_t n, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return m_log.size() >= n; });
}

} // namespace qn::sim
