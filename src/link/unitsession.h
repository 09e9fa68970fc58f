#pragma once
// UnitSession: one control page's link to one unit. A TCP connection, a worker
// thread with its own FIFO queue, and the 19 request operations.
//
// Threads:
//  - Request operations (GetDI ... SetDOAlertEnable, post) may be called from any
//    thread, also from inside a completion; they only queue and return at once.
//  - Connect and Close may be called from any thread (normally the GUI thread
//    during page initialisation); they take the session lock, so they wait for a
//    request the worker is running.
//  - Only the worker touches the socket once requests are running.
//  - Without a dispatcher a completion runs on the worker thread inside the session
//    lock; it may post further requests (posting takes no lock).
//  - With a dispatcher the worker hands each completion to the dispatcher; before it runs
//    the next request it waits (outside the lock) until that completion has run, was
//    destroyed unrun, or the session stops.
//  - The destructor may be called from any thread except the worker itself (so not
//    from a completion that runs on the worker), including from a completion that
//    runs on the dispatcher's thread.

#include "link/protocol.h"
#include "link/replies.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace qn {

class SessionConnector;

namespace detail {
struct CompletionGate;
struct CompletionCall;
// A finished request as the worker hands it on: the codec's values or the error.
struct Outcome {
    proto::Results values{};
    std::optional<LinkError> error;
};
using Deliver = std::function<void(const Outcome &)>;
}

// A completion handed to a CompletionDispatcher: run it once on the thread that
// should see the result. Move-only. Destroying it without running it releases
// the worker that waits for it (the result is then dropped). Running it after
// its session has started stopping does nothing. It never refers to the session,
// so it may outlive it.
class Completion final {
public:
    Completion() = default;
    Completion(Completion &&other) noexcept;
    Completion &operator=(Completion &&other) noexcept;
    Completion(const Completion &) = delete;
    Completion &operator=(const Completion &) = delete;
    ~Completion();

    // Calls the callback (unless the session is stopping), then releases the worker.
    // A second call does nothing.
    void run();
    void operator()() { run(); }
    explicit operator bool() const { return bool(m_gate); }

private:
    friend class UnitSession;
    Completion(std::shared_ptr<detail::CompletionGate> gate, std::unique_ptr<detail::CompletionCall> call);
    void release();
    std::shared_ptr<detail::CompletionGate> m_gate;
    std::unique_ptr<detail::CompletionCall> m_call;
};

// Keeps the worker of the completion that is running waiting after its callback has
// returned, until the hold is released (reset or destroyed). Lets a completion on the
// GUI thread answer later (a message the operator dismisses) without a nested event
// loop. Move-only; may be released on any thread. A stopping session does not wait
// for holds: its worker is released anyway, and a late release is harmless.
class CompletionHold final {
public:
    CompletionHold() = default;
    CompletionHold(CompletionHold &&other) noexcept;
    CompletionHold &operator=(CompletionHold &&other) noexcept;
    CompletionHold(const CompletionHold &) = delete;
    CompletionHold &operator=(const CompletionHold &) = delete;
    ~CompletionHold();

    void reset();
    explicit operator bool() const { return bool(m_gate); }

private:
    friend CompletionHold holdCurrentCompletion();
    explicit CompletionHold(std::shared_ptr<detail::CompletionGate> gate);
    std::shared_ptr<detail::CompletionGate> m_gate;
};

// Inside a completion callback that Completion::run is calling on this thread: a hold
// on that completion. Anywhere else: an empty hold.
CompletionHold holdCurrentCompletion();

// Delivers completions to the thread that should run them (the GUI thread in the
// program: a Qt implementation posts an event holding the Completion to a QObject;
// when that object is deleted, Qt deletes the pending event and with it the
// Completion, which releases the worker). If the dispatcher needs a copyable
// callable, wrap it: std::make_shared<Completion>(std::move(c)); the worker is then
// released when the last copy goes away unrun.
// The dispatcher must outlive every session that uses it.
class CompletionDispatcher {
public:
    virtual ~CompletionDispatcher() = default;
    // Called on the session's worker thread. Should hand the completion over and
    // return; running it right here is allowed too.
    virtual void dispatch(Completion completion) = 0;
};

struct SessionTimeouts {
    int connectMs = 1000;
    int sendMs = 1000;
    int receiveMs = 1000;
};

class UnitSession final {
public:
    // What an operation's completion is: a callable that takes the operation's result and
    // captures whatever else it needs. It runs once, on the dispatcher's thread (or the
    // worker without a dispatcher); it is destroyed on either thread.
    template <typename T>
    using Done = std::function<void(Result<T>)>;
    // For tools that post any operation by name (qnctl, benchmarks).
    using AnyDone = std::function<void(proto::Op, Result<AnyReply>)>;

    static constexpr int kTimeoutMs = 1000;
    // Receive calls allowed per reply.
    static constexpr int kMaxReceiveCalls = 10;

    // connector opens the connections (TCP when null); it must outlive the session.
    explicit UnitSession(CompletionDispatcher *dispatcher = nullptr, SessionTimeouts timeouts = {},
                         SessionConnector *connector = nullptr);
    // Queued requests still run; their completions are called without a dispatcher,
    // and released unrun with one. A request that fails while stopping makes the
    // ones behind it fail at once instead of each waiting for a reconnect.
    ~UnitSession();
    UnitSession(const UnitSession &) = delete;
    UnitSession &operator=(const UnitSession &) = delete;

    // 0, 3 for an empty host, or the system's socket error number (net::kErrTimedOut when
    // the unit did not answer in time; LinkError::fromSocketError tells its kind). The host
    // and port are kept for reconnects even when it fails, and the first request then fails
    // with the same error.
    int connect(const std::string &host, int port);
    void close();

    // The request operations. Each returns whether the request was queued (false
    // only once the session is stopping); a queued request's completion always runs
    // (with its values or an error) unless it is released unrun (see Completion).
    bool getDI(int tag, Done<DigitalInputs> done);
    bool setDO(int pattern, Done<DigitalOutputs> done);
    bool getDO(Done<DigitalOutputs> done);
    bool getAI(int channel, Done<AnalogInput> done);
    bool getAllAI(Done<AnalogInputs> done);
    bool setAO(int channel, int mode, int raw, Done<AnalogOutput> done);
    bool getAO(int channel, Done<AnalogOutput> done);
    bool getAIRange(int channel, Done<InputRange> done);
    bool getADCsps(Done<AdcRate> done);
    bool setAIRange(int channel, int range, Done<InputRange> done);
    bool setADCsps(int code, Done<AdcRate> done);
    bool getADCThreshold(int channel, Done<Threshold> done);
    bool setADCThreshold(int channel, int outside, int mode, int high, int low, Done<Threshold> done);
    bool getUnitModelID(Done<UnitModelId> done);
    bool setTCSetting(int channel, int type, int options, Done<ThermocoupleSetting> done);
    bool getTCSetting(int channel, Done<ThermocoupleSetting> done);
    bool getDOAlert(int channel, Done<DOAlertState> done);
    bool setDOAlert(int channel, int monitoredInput, int hysteresis, int direction, Done<DOAlertSetting> done);
    bool setDOAlertEnable(int channel, int on, Done<DOAlertSwitch> done);

    // Any operation, its caller arguments in documented order: typed, or by name.
    template <proto::Op op>
    bool request(const proto::Args &args, Done<ReplyOf_t<op>> done)
    {
        return enqueue(op, args, [done = std::move(done)](const detail::Outcome &o) {
            if (o.error)
                done(*o.error);
            else
                done(replyFromValues<ReplyOf_t<op>>(o.values));
        });
    }
    bool post(proto::Op op, const proto::Args &args, AnyDone done);

    // True once destruction has begun. Safe from any thread while the session exists;
    // a completion on the GUI thread uses it to drop late results.
    bool isStopping() const { return m_stopping.load(std::memory_order_acquire); }
    bool isConnected() const { return m_connected.load(std::memory_order_relaxed); }
    bool isFailed() const { return m_failed.load(std::memory_order_relaxed); }

    // Inside a completion run through a dispatcher: whether its session has started
    // stopping (needs no session pointer, so it is safe after the session is gone).
    static bool completionStopping();

private:
    struct Request {
        proto::Op op;
        proto::Args args;
        detail::Deliver deliver;
    };

    bool enqueue(proto::Op op, const proto::Args &args, detail::Deliver deliver);
    void run();
    void execute(Request &request);
    void waitForLastCompletion();
    std::optional<LinkError> transaction(const proto::Frame &request, std::size_t replyLength, uint8_t *reply);
    int connectLocked(const std::string &host, int port);
    void closeLocked();
    friend struct detail::CompletionCall;

    CompletionDispatcher *const m_dispatcher;
    const SessionTimeouts m_timeouts;
    SessionConnector &m_connector;

    // Socket, host, port: guarded by m_lock (held by the worker per request).
    std::recursive_mutex m_lock;
    struct SocketHolder;
    std::unique_ptr<SocketHolder> m_socket;
    std::string m_host;
    int m_port = 0;
    int m_connectError = 0; // of the last connect()
    std::atomic<bool> m_connected{false};
    std::atomic<bool> m_failed{false};

    // The queue. m_quit is queued behind every waiting request by the destructor.
    std::mutex m_queueMutex;
    std::condition_variable m_queueCv;
    std::deque<Request> m_queue;
    bool m_quit = false;
    bool m_workerWaiting = false;
    std::shared_ptr<detail::CompletionGate> m_currentGate; // guarded by m_queueMutex
    std::atomic<bool> m_stopping{false};

    std::thread m_worker;
};

} // namespace qn
