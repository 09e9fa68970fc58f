// The search's own logic over scripted sockets: answers in any order, duplicates, late
// and stray detail replies, two units on one address, failing receives, waits and sends.
// Whatever arrives, the table lists each unit once, with the MAC its search answer
// carried and the port its own detail reply carried, and nothing is ever sent to an
// address no unit answered from.
//
// Input: one byte of set-up (sockets, units already listed), then events, each a kind
// byte (kind, socket) and its own bytes; the sockets hand the events out in that order.
#include "link/searchsockets.h"

#include "scriptinput.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

using qn::net::Address;

// Four units' addresses, each from the discovery port or another one.
Address senderFrom(uint8_t b)
{
    return Address{0x0A000001u + (b & 3u), uint16_t(b & 4 ? 30719 : 30718)};
}

enum class EventKind { Silence, Datagram, WaitFails, NextSendFails };

struct Event {
    EventKind kind;
    size_t socket;
    Address from;
    std::vector<uint8_t> bytes;
    int err = 0;
};

std::vector<uint8_t> datagramWith(size_t length, size_t fieldOffset, std::initializer_list<uint8_t> field)
{
    std::vector<uint8_t> d(length, 0x11);
    std::copy(field.begin(), field.end(), d.begin() + long(fieldOffset));
    return d;
}

class ScriptedSockets final : public qn::SearchSockets {
public:
    ScriptedSockets(size_t count, std::vector<Event> events) : m_count(count), m_events(std::move(events)) {}

    size_t count() const override { return m_count; }
    long sendTo(size_t socket, const uint8_t *, size_t size, const Address &to, int &err) override
    {
        check(socket < m_count);
        // Only to an address a unit answered from (or one listed before).
        check(std::find(m_heard.begin(), m_heard.end(), to.ip) != m_heard.end());
        if (m_sendFails) {
            m_sendFails = false;
            err = qn::net::kErrNetworkUnreachable;
            return -1;
        }
        return long(size);
    }
    long receiveFrom(size_t socket, uint8_t *buffer, size_t size, Address &from, int &err) override
    {
        check(socket < m_count);
        Event *e = nextFor(socket, false);
        if (!e) {
            err = qn::net::kErrTimedOut;
            return -1;
        }
        e->socket = kUsed;
        from = e->from;
        if (e->err != 0 || e->bytes.size() > size) {
            err = e->err != 0 ? e->err : qn::net::kErrMessageSize;
            return -1;
        }
        m_heard.push_back(e->from.ip);
        m_delivered.push_back(*e);
        std::copy(e->bytes.begin(), e->bytes.end(), buffer);
        return long(e->bytes.size());
    }
    int waitReadable(size_t socket, int, int &err) override { return wait(nextFor(socket, true), err); }
    int waitAnyReadable(int, size_t &ready, int &err) override
    {
        Event *e = nextFor(m_count, true);
        const int result = wait(e, err);
        if (result > 0)
            ready = e->socket;
        return result;
    }

    void listed(const Address &address) { m_heard.push_back(address.ip); }
    const std::vector<Event> &delivered() const { return m_delivered; }

private:
    // The first event not used up that is for socket (any socket: m_count), or a
    // wait's own outcome (silence, failure) when waiting.
    Event *nextFor(size_t socket, bool waiting)
    {
        while (m_first < m_events.size() && m_events[m_first].socket == kUsed)
            ++m_first;
        for (size_t i = m_first; i < m_events.size(); ++i) {
            Event &e = m_events[i];
            if (e.socket == kUsed)
                continue;
            if (e.kind == EventKind::NextSendFails) {
                m_sendFails = true;
                e.socket = kUsed;
                continue;
            }
            const bool ofTheWait = e.kind == EventKind::Silence || e.kind == EventKind::WaitFails;
            if ((waiting && ofTheWait) || (!ofTheWait && (socket == m_count || e.socket == socket)))
                return &e;
        }
        return nullptr;
    }
    int wait(Event *e, int &err)
    {
        if (!e)
            return 0;
        if (e->kind == EventKind::Silence || e->kind == EventKind::WaitFails) {
            const bool failed = e->kind == EventKind::WaitFails;
            e->socket = kUsed;
            err = qn::net::kErrNetworkDown;
            return failed ? -1 : 0;
        }
        return 1;
    }

    static constexpr size_t kUsed = ~size_t(0);
    size_t m_count;
    std::vector<Event> m_events;
    size_t m_first = 0;
    bool m_sendFails = false;
    std::vector<uint32_t> m_heard;
    std::vector<Event> m_delivered;
};

Event readEvent(InputReader &in, size_t sockets)
{
    const uint8_t head = in.next();
    Event e{EventKind::Datagram, size_t(head >> 3) % sockets, senderFrom(in.next()), {}};
    switch (head & 7) {
    case 0: e.kind = EventKind::Silence; break;
    case 1: e.bytes = datagramWith(qn::kSearchReplyMax, qn::kSearchReplyMacOffset, {0, 0x80, 0x92, 0, 0, in.next()}); break;
    case 2: e.bytes = datagramWith(qn::kDetailReplyPortOffset + 2, qn::kDetailReplyPortOffset, {in.next(), in.next()}); break;
    case 3: e.bytes.assign(size_t(in.next()) % (qn::kDetailReply2Max + 2), 0x22); break;
    case 4:
        for (size_t n = in.next() % 40; n > 0; --n)
            e.bytes.push_back(in.next());
        break;
    case 5: e.err = in.next() & 1 ? qn::net::kErrMessageSize : qn::net::kErrConnectionReset; break;
    case 6: e.kind = EventKind::WaitFails; break;
    default: e.kind = EventKind::NextSendFails; break;
    }
    return e;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputReader in(data, size);
    const uint8_t setup = in.next();
    const size_t sockets = 1 + setup % 3;
    qn::UnitTable table;
    for (int i = (setup >> 2) % 4; i > 0; --i) {
        qn::UnitEntry listed;
        listed.address = senderFrom(in.next());
        listed.mac = {0xAA, 0, 0, 0, 0, uint8_t(i)};
        listed.ipText = listed.address.ipText();
        table.append(listed);
    }
    std::vector<Event> events;
    while (!in.done() && events.size() < 512)
        events.push_back(readEvent(in, sockets));

    const std::vector<qn::UnitEntry> listedBefore = table.entries();
    ScriptedSockets scripted(sockets, std::move(events));
    for (const qn::UnitEntry &e : table.entries())
        scripted.listed(e.address);
    // The waits are the scripted events': no clock runs out.
    const int count = qn::collectSearchAnswers(table, scripted, qn::DiscoveryTiming{60000, 60000, 60000});

    if (count < 0) {
        // A failed wait leaves the table as it was.
        check(count == -1 && table.entries().size() == listedBefore.size());
        for (int i = 0; i < table.count(); ++i)
            check(table[i].address == listedBefore[size_t(i)].address && table[i].mac == listedBefore[size_t(i)].mac);
        return 0;
    }
    check(count == table.count());
    bool newOnes = false;
    for (int i = 0; i < table.count(); ++i) {
        const qn::UnitEntry &e = table[i];
        check(e.ipText == e.address.ipText());
        check(table.indexOf(e.address, e.mac) == i);   // each unit once
        // The units listed before stay first.
        const bool listed = e.mac[0] == 0xAA;
        check(!(listed && newOnes));
        newOnes = newOnes || !listed;
        const auto &delivered = scripted.delivered();
        // Its port from a detail reply of its own address.
        check(std::any_of(delivered.begin(), delivered.end(), [&](const Event &d) {
            return d.from == e.address && qn::parseDetailReply1(d.bytes) == e.tcpPort;
        }));
        // Its MAC from a search answer from its address.
        check(listed || std::any_of(delivered.begin(), delivered.end(), [&](const Event &d) {
                  return d.from.ip == e.address.ip && qn::parseSearchReply(d.bytes) == e.mac;
              }));
    }
    return 0;
}
