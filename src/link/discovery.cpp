#include "link/discovery.h"
#include "link/searchsockets.h"

#include <algorithm>
#include <chrono>
#include <optional>

namespace qn {

bool UnitTable::append(const UnitEntry &entry)
{
    if (full())
        return false;
    m_entries.push_back(entry);
    return true;
}

void UnitTable::removeAt(int i)
{
    if (i >= 0 && i < count())
        m_entries.erase(m_entries.begin() + i);
}

int UnitTable::indexOfIp(uint32_t ip) const
{
    for (int i = 0; i < count(); ++i)
        if (m_entries[size_t(i)].address.ip == ip)
            return i;
    return -1;
}

int UnitTable::indexOf(const net::Address &address, const MacAddress &mac) const
{
    for (int i = 0; i < count(); ++i)
        if (m_entries[size_t(i)].address == address && m_entries[size_t(i)].mac == mac)
            return i;
    return -1;
}

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint32_t kLimitedBroadcast = 0xFFFFFFFF;

// Opens a socket a search or an add talks through, bound to local when given.
// Invalid on failure.
net::Socket openDiscoverySocket(int receiveTimeoutMs, const std::optional<net::Address> &local = std::nullopt)
{
    int err = 0;
    net::Socket s = net::Socket::udp(err);
    if (!s.valid())
        return s;
    // A socket that cannot broadcast or time out its receives would make the
    // search fail later in a less telling way; give up now instead.
    if (s.setBroadcast(true) != net::kOk || s.setReceiveTimeout(receiveTimeoutMs) != net::kOk
        || (local && s.bind(*local) != net::kOk))
        s.close();
    return s;
}

bool sendQuery(net::Socket &s, const net::Address &to)
{
    int err = 0;
    return s.sendTo(kSearchQuery.data(), kSearchQuery.size(), to, err) >= 0;
}

// A unit that answered, and which of the run's sockets heard it: its detail
// exchange goes out of the same one, so it leaves by the same network.
struct Answer {
    UnitEntry entry;
    size_t via = 0;
};

// The sockets a search sends its query from, each with the query sent; empty
// when it could be sent nowhere.
std::vector<net::Socket> sendSearchQueries(const SearchTargets &targets, uint16_t port, int receiveTimeoutMs)
{
    std::vector<net::Socket> sockets;
    if (targets.empty()) {
        for (const net::Ipv4Interface &i : net::broadcastInterfaces()) {
            const auto own = net::parseIpv4(i.address);
            const auto broadcast = net::parseIpv4(i.broadcast);
            if (!own)
                continue;
            net::Socket s = openDiscoverySocket(receiveTimeoutMs, net::Address{*own, 0});
            if (!s.valid())
                continue;
            // From a socket bound to the interface's address both broadcasts
            // leave by that interface, with or without a route: the subnet's
            // reaches its units, the limited one also units whose address lies
            // outside the subnet.
            const bool toSubnet = broadcast && sendQuery(s, net::Address{*broadcast, port});
            const bool toAll = sendQuery(s, net::Address{kLimitedBroadcast, port});
            if (toSubnet || toAll)
                sockets.push_back(std::move(s));
        }
        if (sockets.empty()) {
            // No interface listed (or none took the query): the system's own
            // route for the limited broadcast is all there is.
            net::Socket s = openDiscoverySocket(receiveTimeoutMs);
            if (s.valid() && sendQuery(s, net::Address{kLimitedBroadcast, port}))
                sockets.push_back(std::move(s));
        }
        return sockets;
    }
    net::Socket s = openDiscoverySocket(receiveTimeoutMs);
    if (!s.valid())
        return sockets;
    bool sent = false;
    for (const std::string &target : targets) {
        // Text that is not an address must not turn into a broadcast to everyone.
        const auto ip = net::parseIpv4(target);
        if (ip && sendQuery(s, net::Address{*ip, port}))
            sent = true;
    }
    if (sent)
        sockets.push_back(std::move(s));
    return sockets;
}

bool alreadyHeard(const std::vector<Answer> &answers, const net::Address &from, const MacAddress &mac)
{
    return std::any_of(answers.begin(), answers.end(),
                       [&](const Answer &a) { return a.entry.address == from && a.entry.mac == mac; });
}

// Collects answers to a query just sent, in arrival order, up to capacity in
// all: the first wait is firstWaitMs, every later one nextWaitMs. A unit heard
// twice (it got the query by two routes) is one answer. false when waiting
// itself fails.
bool collectAnswers(SearchSockets &sockets, std::vector<Answer> &answers, size_t capacity,
                    const DiscoveryTiming &timing)
{
    int waitMs = timing.firstWaitMs;
    for (;;) {
        int err = 0;
        size_t ready = 0;
        const int result = sockets.waitAnyReadable(waitMs, ready, err);
        if (result < 0)
            return false;
        if (result == 0)
            return true;
        waitMs = timing.nextWaitMs;

        uint8_t buffer[kSearchReplyMax];
        net::Address from;
        const long n = sockets.receiveFrom(ready, buffer, sizeof buffer, from, err);
        if (n < 0)
            continue;
        const auto mac = parseSearchReply(Bytes(buffer, size_t(n)));
        // Answers beyond the table's capacity are dropped.
        if (!mac || answers.size() >= capacity || alreadyHeard(answers, from, *mac))
            continue;
        UnitEntry entry;
        entry.address = from;
        entry.mac = *mac;
        entry.ipText = from.ipText();
        answers.push_back(Answer{entry, ready});
    }
}

// Receives the next datagram that comes from ip, within timeoutMs overall.
// Returns its length, or -1 on time-out or a failed receive from that sender.
//
// Replies are matched to the entry's own address: a datagram from any other
// sender (a late search answer of another unit, a stray packet) is dropped
// rather than taken as this entry's answer, which would give the entry another
// unit's port or make it vanish.
long receiveFromUnit(SearchSockets &sockets, size_t s, uint32_t ip, uint8_t *buffer, size_t size, int timeoutMs,
                     net::Address &from)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return -1;
        int err = 0;
        const int ready = sockets.waitReadable(s, int(left.count()), err);
        if (ready <= 0)
            return -1;
        net::Address sender;
        const long n = sockets.receiveFrom(s, buffer, size, sender, err);
        if (sender.ip != ip) {
            if (n < 0 && err != net::kErrMessageSize)
                return -1;   // the receive itself failed; no sender to judge
            continue;
        }
        if (n < 0)
            return -1;
        from = sender;
        return n;
    }
}

// Drops whatever already waits on the socket. Nothing that arrived before a
// detail query is its answer; a unit that got the search query twice (subnet and
// limited broadcast) may answer the second one late, and that search answer must
// not be read as its detail reply.
void dropPending(SearchSockets &sockets, size_t s)
{
    int err = 0;
    uint8_t buffer[kDetailReply2Max];
    net::Address from;
    while (sockets.waitReadable(s, 0, err) > 0) {
        if (sockets.receiveFrom(s, buffer, sizeof buffer, from, err) < 0 && err != net::kErrMessageSize)
            return;
    }
}

// The two detail queries of one entry. false when the entry is to be dropped.
bool detailExchange(SearchSockets &sockets, size_t s, UnitEntry &entry, int timeoutMs)
{
    dropPending(sockets, s);
    int err = 0;
    if (sockets.sendTo(s, kDetailQuery1.data(), kDetailQuery1.size(), entry.address, err) < 0)
        return false;
    uint8_t reply1[kDetailReply1Max];
    net::Address from;
    const long n1 = receiveFromUnit(sockets, s, entry.address.ip, reply1, sizeof reply1, timeoutMs, from);
    const auto tcpPort = n1 < 0 ? std::nullopt : parseDetailReply1(Bytes(reply1, size_t(n1)));
    if (!tcpPort)
        return false;
    entry.address = from;
    entry.tcpPort = *tcpPort;

    if (sockets.sendTo(s, kDetailQuery2.data(), kDetailQuery2.size(), entry.address, err) < 0)
        return false;
    uint8_t reply2[kDetailReply2Max];
    const long n2 = receiveFromUnit(sockets, s, entry.address.ip, reply2, sizeof reply2, timeoutMs, from);
    return n2 >= 0 && acceptDetailReply2(Bytes(reply2, size_t(n2)));
}

// Runs the detail exchange of every answer in turn and fills the table with
// those that pass, in the same order.
void verifyInto(UnitTable &table, SearchSockets &sockets, std::vector<Answer> &answers, int timeoutMs)
{
    table.clear();
    for (Answer &a : answers) {
        // The detail reply gives the entry its final address: a unit whose search
        // answers came from two ports of one address is listed once.
        if (detailExchange(sockets, a.via, a.entry, timeoutMs) && table.indexOf(a.entry.address, a.entry.mac) < 0)
            table.append(a.entry);
    }
}

// The program's own sockets.
class NetSearchSockets final : public SearchSockets {
public:
    explicit NetSearchSockets(std::vector<net::Socket> &sockets) : m_sockets(sockets)
    {
        for (const net::Socket &s : m_sockets)
            m_waitOn.push_back(&s);
    }
    size_t count() const override { return m_sockets.size(); }
    long sendTo(size_t socket, const uint8_t *data, size_t size, const net::Address &to, int &err) override
    {
        return m_sockets[socket].sendTo(data, size, to, err);
    }
    long receiveFrom(size_t socket, uint8_t *buffer, size_t size, net::Address &from, int &err) override
    {
        return m_sockets[socket].receiveFrom(buffer, size, from, err);
    }
    int waitReadable(size_t socket, int timeoutMs, int &err) override
    {
        return m_sockets[socket].waitReadable(timeoutMs, err);
    }
    int waitAnyReadable(int timeoutMs, size_t &ready, int &err) override
    {
        return net::Socket::waitAnyReadable(m_waitOn, timeoutMs, ready, err);
    }

private:
    std::vector<net::Socket> &m_sockets;
    std::vector<const net::Socket *> m_waitOn;
};

} // namespace

int collectSearchAnswers(UnitTable &table, SearchSockets &sockets, const DiscoveryTiming &timing)
{
    // The listed units first, then whoever answers now; a listed unit that answers
    // again (an address that is a broadcast one) stays where it is.
    std::vector<Answer> answers;
    for (const UnitEntry &e : table.entries())
        answers.push_back(Answer{e, 0});
    if (!collectAnswers(sockets, answers, UnitTable::kCapacity, timing))
        return -1;
    verifyInto(table, sockets, answers, timing.receiveTimeoutMs);
    return table.count();
}

namespace {

SearchOutcome collected(int count)
{
    return count < 0 ? SearchOutcome{SearchOutcome::Status::NotSent} : searchDone(count);
}

} // namespace

SearchOutcome searchUnits(UnitTable &table, const SearchTargets &targets, uint16_t port, const DiscoveryTiming &timing)
{
    table.clear();
    // A query that never left (no route, no valid target) is a failed search,
    // not a search that nobody answered.
    std::vector<net::Socket> sockets = sendSearchQueries(targets, port, timing.receiveTimeoutMs);
    if (sockets.empty())
        return {SearchOutcome::Status::NotSent};
    NetSearchSockets searchSockets(sockets);
    return collected(collectSearchAnswers(table, searchSockets, timing));
}

SearchOutcome searchUnits(UnitTable &table, const std::string &target, uint16_t port, const DiscoveryTiming &timing)
{
    return searchUnits(table, SearchTargets{target}, port, timing);
}

SearchOutcome addUnitByIP(UnitTable &table, const std::string &ipText, uint16_t port, const DiscoveryTiming &timing)
{
    if (table.full())
        return {SearchOutcome::Status::NotSent};
    // Text that is not an address must not turn into a broadcast to everyone.
    const auto ip = net::parseIpv4(ipText);
    if (!ip)
        return {SearchOutcome::Status::NotSent};
    if (table.indexOfIp(*ip) >= 0)
        return {SearchOutcome::Status::AlreadyListed};
    std::vector<net::Socket> sockets = sendSearchQueries(SearchTargets{ipText}, port, timing.receiveTimeoutMs);
    if (sockets.empty())
        return {SearchOutcome::Status::NotSent};
    NetSearchSockets searchSockets(sockets);
    return collected(collectSearchAnswers(table, searchSockets, timing));
}

std::optional<LinkError> sendRecv(const std::string &host, uint16_t port, const uint8_t *request, size_t requestLength,
                                  size_t replyLength, uint8_t *reply, int timeoutMs)
{
    if (host.empty())
        return LinkError::fromSocketError(LinkError::kNoHost);
    const auto ip = net::parseIpv4(host);
    if (!ip)
        return LinkError{LinkError::Kind::Unreachable, net::kErrInvalid};
    int err = 0;
    net::Socket s = net::Socket::tcp(err);
    if (!s.valid())
        return LinkError::fromSocketError(err);
    if ((err = s.connect(net::Address{*ip, port}, timeoutMs)) != net::kOk)
        return LinkError::fromSocketError(err);
    if ((err = s.setSendTimeout(timeoutMs)) != net::kOk || (err = s.setReceiveTimeout(timeoutMs)) != net::kOk)
        return LinkError::fromSocketError(err);
    if (s.send(request, requestLength, err) < 0)
        return LinkError::fromSocketError(err);

    size_t got = 0;
    for (int calls = 0; calls < 100 && got < replyLength; ++calls) {
        const long n = s.receive(reply + got, replyLength - got, err);
        if (n < 0)
            return LinkError::fromSocketError(err);
        if (n == 0)
            break;   // the unit closed the connection: nothing more will come
        got += size_t(n);
    }
    s.close();
    // A reply that stayed short is a failure; judging it by its first bytes
    // would hand the caller fields that never arrived.
    if (got < replyLength || !echoesRequest(Bytes(request, requestLength), Bytes(reply, replyLength)))
        return LinkError::malformed();
    return std::nullopt;
}

Result<UnitModelId> getUnitModelID(const std::string &host, uint16_t port, int timeoutMs)
{
    uint8_t reply[kIdentifyReplyLength] = {};
    if (const std::optional<LinkError> error
        = sendRecv(host, port, kIdentifyRequest.data(), kIdentifyRequest.size(), sizeof reply, reply, timeoutMs))
        return *error;
    const auto identity = parseIdentifyReply(reply);
    if (!identity)
        return LinkError::malformed();
    return UnitModelId{identity->unitId, identity->modelId};
}

int identifyErrorNumber(const LinkError &error)
{
    return error.kind == LinkError::Kind::Malformed ? 1 : error.code;
}

} // namespace qn
