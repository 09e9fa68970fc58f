#include "link/discovery.h"

#include <algorithm>
#include <chrono>

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

namespace {

using Clock = std::chrono::steady_clock;

// Opens the socket a search or an add talks through. Invalid on failure.
net::Socket openDiscoverySocket(int receiveTimeoutMs)
{
    int err = 0;
    net::Socket s = net::Socket::udp(err);
    if (!s.valid())
        return s;
    // A socket that cannot broadcast or time out its receives would make the
    // search fail later in a less telling way; give up now instead.
    if (s.setBroadcast(true) != net::kOk || s.setReceiveTimeout(receiveTimeoutMs) != net::kOk)
        s.close();
    return s;
}

// Collects answers to a query just sent: the first wait is firstWaitMs, every
// later one nextWaitMs. false when waiting itself fails.
bool collectAnswers(net::Socket &s, UnitTable &table, const DiscoveryTiming &timing)
{
    int waitMs = timing.firstWaitMs;
    for (;;) {
        int err = 0;
        const int ready = s.waitReadable(waitMs, err);
        if (ready < 0)
            return false;
        if (ready == 0)
            return true;
        waitMs = timing.nextWaitMs;

        uint8_t buffer[kSearchReplyMax];
        net::Address from;
        const long n = s.receiveFrom(buffer, sizeof buffer, from, err);
        // A datagram too short to carry the MAC address is not a unit's answer;
        // listing it would show bytes that never arrived.
        if (n < long(kSearchReplyMacOffset + 6))
            continue;
        UnitEntry entry;
        entry.address = from;
        std::copy_n(buffer + kSearchReplyMacOffset, 6, entry.mac.begin());
        entry.ipText = from.ipText();
        table.append(entry);   // answers beyond the table's capacity are dropped
    }
}

// Receives the next datagram that comes from ip, within timeoutMs overall.
// Returns its length, or -1 on time-out or a failed receive from that sender.
//
// Replies are matched to the entry's own address: a datagram from any other
// sender (a late search answer of another unit, a stray packet) is dropped
// rather than taken as this entry's answer, which would give the entry another
// unit's port or make it vanish.
long receiveFromUnit(net::Socket &s, uint32_t ip, uint8_t *buffer, size_t size, int timeoutMs,
                     net::Address &from)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return -1;
        int err = 0;
        const int ready = s.waitReadable(int(left.count()), err);
        if (ready <= 0)
            return -1;
        net::Address sender;
        const long n = s.receiveFrom(buffer, size, sender, err);
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

// The two detail queries of one entry. false when the entry is to be dropped.
bool detailExchange(net::Socket &s, UnitEntry &entry, int timeoutMs)
{
    int err = 0;
    if (s.sendTo(kDetailQuery1.data(), kDetailQuery1.size(), entry.address, err) < 0)
        return false;
    uint8_t reply1[kDetailReply1Max];
    net::Address from;
    const long n1 = receiveFromUnit(s, entry.address.ip, reply1, sizeof reply1, timeoutMs, from);
    // One byte short of the port field is a failed exchange, not a port read
    // from bytes that never arrived.
    if (n1 < long(kDetailReplyPortOffset + 2))
        return false;
    entry.address = from;
    entry.tcpPort = uint16_t(reply1[kDetailReplyPortOffset] | (reply1[kDetailReplyPortOffset + 1] << 8));

    if (s.sendTo(kDetailQuery2.data(), kDetailQuery2.size(), entry.address, err) < 0)
        return false;
    uint8_t reply2[kDetailReply2Max];
    return receiveFromUnit(s, entry.address.ip, reply2, sizeof reply2, timeoutMs, from) >= 0;
}

void verifyAll(net::Socket &s, UnitTable &table, int timeoutMs)
{
    int i = 0;
    while (i < table.count()) {
        if (detailExchange(s, table[i], timeoutMs))
            ++i;
        else
            table.removeAt(i);
    }
}

} // namespace

int searchUnits(UnitTable &table, const std::string &target, uint16_t port, const DiscoveryTiming &timing)
{
    table.clear();
    const auto targetIp = net::parseIpv4(target);
    if (!targetIp)
        return -1;
    net::Socket s = openDiscoverySocket(timing.receiveTimeoutMs);
    if (!s.valid())
        return -1;
    int err = 0;
    // A query that never left (no route to the target, say) is a failed
    // search, not a search that nobody answered.
    if (s.sendTo(kSearchQuery.data(), kSearchQuery.size(), net::Address{*targetIp, port}, err) < 0)
        return -1;
    if (!collectAnswers(s, table, timing))
        return -1;
    verifyAll(s, table, timing.receiveTimeoutMs);
    return table.count();
}

int addUnitByIP(UnitTable &table, const std::string &ipText, uint16_t port, const DiscoveryTiming &timing)
{
    if (table.full())
        return -1;
    // Text that is not an address must not turn into a broadcast to everyone.
    const auto ip = net::parseIpv4(ipText);
    if (!ip)
        return -1;
    if (table.indexOfIp(*ip) >= 0)
        return -2;
    net::Socket s = openDiscoverySocket(timing.receiveTimeoutMs);
    if (!s.valid())
        return -1;
    int err = 0;
    if (s.sendTo(kSearchQuery.data(), kSearchQuery.size(), net::Address{*ip, port}, err) < 0)
        return -1;
    if (!collectAnswers(s, table, timing))
        return -1;
    verifyAll(s, table, timing.receiveTimeoutMs);
    return table.count();
}

int sendRecv(const std::string &host, uint16_t port, const uint8_t *request, size_t requestLength,
             size_t replyLength, uint8_t *reply, int timeoutMs)
{
    if (host.empty())
        return kIdentifyNoHost;
    const auto ip = net::parseIpv4(host);
    if (!ip)
        return net::kErrInvalid;
    int err = 0;
    net::Socket s = net::Socket::tcp(err);
    if (!s.valid())
        return err;
    if ((err = s.connect(net::Address{*ip, port}, timeoutMs)) != net::kOk)
        return err;
    if ((err = s.setSendTimeout(timeoutMs)) != net::kOk || (err = s.setReceiveTimeout(timeoutMs)) != net::kOk)
        return err;
    if (s.send(request, requestLength, err) < 0)
        return err;

    size_t got = 0;
    for (int calls = 0; calls < 100 && got < replyLength; ++calls) {
        const long n = s.receive(reply + got, replyLength - got, err);
        if (n < 0)
            return err;
        if (n == 0)
            break;   // the unit closed the connection: nothing more will come
        got += size_t(n);
    }
    s.close();
    // A reply that stayed short is a failure; judging it by its first bytes
    // would hand the caller fields that never arrived.
    if (got < replyLength || requestLength < 2 || replyLength < 2)
        return kIdentifyBadReply;
    if (reply[0] != uint8_t(request[0] + 0x20) || reply[1] != uint8_t(request[1] + 0x20))
        return kIdentifyBadReply;
    return 0;
}

int getUnitModelID(const std::string &host, uint16_t port, int &modelId, int &unitId, int timeoutMs)
{
    const uint8_t request[3] = {'M', 'I', 0xC8};
    uint8_t reply[5] = {};
    const int rc = sendRecv(host, port, request, sizeof request, sizeof reply, reply, timeoutMs);
    if (rc != 0)
        return rc;
    if ((reply[2] & 0xF0) != 0x20 || (reply[3] & 0xF0) != 0x20)
        return kIdentifyBadReply;
    unitId = 15 - (reply[2] & 0x0F);
    modelId = reply[3] & 0x0F;
    return 0;
}

} // namespace qn
