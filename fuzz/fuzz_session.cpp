// A unit session's reply handling over scripted connections: replies cut into any
// pieces, replies that stop short, come late (after a failed receive, on a connection
// the session then drops), carry garbage, connections that refuse, close or fail to
// send. Whatever happens, the requests go out in the order posted with the bytes built
// for them, each completion comes once and in order, and it carries either the values
// decoded from the whole reply of its own request (never a byte of another one, never a
// reply not of the reply's form) or an error.
//
// Input: one byte for the number of requests, each request's operation and argument
// bytes, then the script the connections follow (opens, sends, receives), byte by byte;
// past its end the script reads zeros, which open, send and receive take as "all goes well".
#include "link/replies.h"
#include "link/sessiontransport.h"
#include "link/unitsession.h"

#include "scriptinput.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string_view>
#include <tuple>
#include <vector>

namespace {

using namespace qn;

struct Posted {
    proto::Op op;
    proto::Args args{};
    proto::Frame frame;
    bool sent = false;
    std::vector<uint8_t> received;   // what the session read after sending it
};

struct Completed {
    proto::Op op;
    bool ok;
    proto::Results values{};
    int count = 0;
};

struct Completions {
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Completed> done;
};

void record(Completions &completions, proto::Op op, const Result<AnyReply> &result)
{
    Completed c{op, result.ok()};
    if (result)
        std::tie(c.values, c.count) = valuesOf(*result);
    std::lock_guard lock(completions.mutex);
    completions.done.push_back(c);
    completions.cv.notify_all();
}

// What the unit on the other end does, by the script. Worker thread only (and the
// fuzzer's own thread for the first connect, before any request is posted).
class ScriptedUnit final : public SessionConnector {
public:
    ScriptedUnit(InputReader &script, std::vector<Posted> &posted, Completions &completions)
        : m_script(script), m_posted(posted), m_completions(completions)
    {
    }

    std::unique_ptr<SessionTransport> open(const net::Address &, int, int, int, int &err) override
    {
        if (m_script.next() % 8 == 1) {
            err = net::kErrConnectionRefused;
            return nullptr;
        }
        return std::make_unique<Connection>(*this);
    }

private:
    struct Byte {
        uint8_t value;
        size_t answers;   // the posted request whose reply it belongs to
    };

    class Connection final : public SessionTransport {
    public:
        explicit Connection(ScriptedUnit &unit) : m_unit(unit) {}
        long send(const void *data, size_t size, int &err) override { return m_unit.send(*this, data, size, err); }
        long receive(void *buffer, size_t size, int &err) override { return m_unit.receive(*this, buffer, size, err); }

        std::deque<Byte> pending;   // reply bytes on their way: a late reply stays here

    private:
        ScriptedUnit &m_unit;
    };

    long send(Connection &c, const void *data, size_t size, int &err)
    {
        // Without a dispatcher each completion runs on the worker before the next
        // request: the one being sent is the first not completed. It goes out once,
        // with exactly the bytes built for it.
        const size_t j = completedCount();
        check(j < m_posted.size() && !m_posted[j].sent);
        const proto::Frame &frame = m_posted[j].frame;
        check(frame.size == size && std::equal(frame.data(), frame.data() + size, static_cast<const uint8_t *>(data)));
        m_inFlight = j;
        m_posted[j].sent = true;
        const uint8_t how = m_script.next() % 16;
        if (how == 1) {
            err = net::kErrConnectionReset;
            return -1;
        }
        if (how == 2)
            return long(size) - 1;   // cut short: the unit never answers it
        // The unit's answer: its echo letters and fields of the reply's form, or (garbage)
        // any bytes at all.
        const std::string_view layout = proto::replyLayout(m_posted[j].op);
        const bool garbage = how == 3;
        static constexpr char kHex[] = "0123456789ABCDEFabcdef";
        for (size_t i = 0; i < layout.size(); ++i) {
            uint8_t b = m_script.next();
            if (!garbage && layout[i] == 'e')
                b = uint8_t(m_posted[j].frame.bytes[i] + 0x20);
            else if (!garbage && layout[i] == 's')
                b = uint8_t(0x20 | (b & 0x0F));
            else if (!garbage && layout[i] == 'h')
                b = uint8_t(kHex[b % 22]);
            c.pending.push_back(Byte{b, j});
        }
        return long(size);
    }

    long receive(Connection &c, void *buffer, size_t size, int &err)
    {
        check(m_inFlight < m_posted.size() && m_inFlight == completedCount());
        Posted &p = m_posted[m_inFlight];
        const size_t length = proto::info(p.op).replyLength;
        // Never more than the rest of the reply is asked for.
        check(size > 0 && p.received.size() + size == length);
        const uint8_t how = m_script.next() % 8;
        if (how == 1)
            return 0;   // the unit closed the connection
        if (how == 2 || c.pending.empty()) {
            err = net::kErrTimedOut;   // what has not come yet comes late, on this connection
            return -1;
        }
        size_t n = std::min(size, c.pending.size());
        if (how == 3)
            n = 1 + m_script.next() % n;   // a piece of it
        auto *out = static_cast<uint8_t *>(buffer);
        for (size_t i = 0; i < n; ++i) {
            // Only bytes of this request's own reply may be read for it.
            check(c.pending.front().answers == m_inFlight);
            out[i] = c.pending.front().value;
            p.received.push_back(out[i]);
            c.pending.pop_front();
        }
        return long(n);
    }

    size_t completedCount()
    {
        std::lock_guard lock(m_completions.mutex);
        return m_completions.done.size();
    }

    InputReader &m_script;
    std::vector<Posted> &m_posted;
    Completions &m_completions;
    size_t m_inFlight = ~size_t(0);
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    InputReader in(data, size);
    std::vector<Posted> posted(1 + in.next() % 8);
    for (Posted &p : posted) {
        p.op = proto::Op(1 + in.next() % proto::kOpCount);
        for (int a = 0; a < proto::info(p.op).argCount; ++a) {
            const proto::ArgRange range = proto::argRange(p.op, a);
            const long span = long(range.max) - range.min + 1;
            p.args[size_t(a)] = int(range.min + long(in.next()) % std::min(span, 256L));
        }
        p.frame = proto::buildRequest(p.op, p.args);
    }

    Completions completions;
    {
        ScriptedUnit unit(in, posted, completions);
        UnitSession session(nullptr, SessionTimeouts{}, &unit);
        session.connect("10.0.0.1", 10001);
        for (const Posted &p : posted)
            check(session.post(p.op, p.args, [&completions](proto::Op op, Result<AnyReply> result) {
                record(completions, op, result);
            }));
        std::unique_lock lock(completions.mutex);
        completions.cv.wait(lock, [&] { return completions.done.size() == posted.size(); });
    }

    for (size_t j = 0; j < posted.size(); ++j) {
        const Posted &p = posted[j];
        const Completed &c = completions.done[j];
        // Values only from a whole reply of the reply's form; a malformed one is an error.
        const bool whole = p.sent && p.received.size() == proto::info(p.op).replyLength;
        const bool wellFormed = whole && proto::replyWellFormed(p.op, p.received.data());
        check(c.op == p.op && c.ok == wellFormed);
        if (wellFormed)
            check(c.count == proto::info(p.op).resultCount
                  && c.values == proto::decodeReply(p.op, p.args, p.received.data()));
    }
    return 0;
}
