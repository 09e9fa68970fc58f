#include "link/unitsession.h"

#include "link/net.h"
#include "link/sessiontransport.h"

#include <utility>

namespace qn {

namespace detail {

// What a worker waits on while a dispatched completion is out of its hands.
struct CompletionGate {
    enum class State { Pending, Running, Finished };
    std::mutex mutex;
    std::condition_variable cv;
    State state = State::Pending;
    std::atomic<bool> cancelled{false}; // the session is stopping: never run, stop waiting
    int holds = 0;        // guarded by mutex
    bool returned = false; // the callback has returned; guarded by mutex

    // The callback has returned: the worker goes on unless a hold is still out.
    void callbackReturned()
    {
        {
            std::lock_guard lock(mutex);
            returned = true;
            if (holds > 0)
                return;
            state = State::Finished;
        }
        cv.notify_all();
    }
    void addHold()
    {
        std::lock_guard lock(mutex);
        ++holds;
    }
    void releaseHold()
    {
        {
            std::lock_guard lock(mutex);
            if (--holds > 0 || !returned)
                return;
            state = State::Finished;
        }
        cv.notify_all();
    }

    void finish()
    {
        {
            std::lock_guard lock(mutex);
            state = State::Finished;
        }
        cv.notify_all();
    }
    void cancel()
    {
        {
            std::lock_guard lock(mutex);
            cancelled.store(true, std::memory_order_release);
        }
        cv.notify_all();
    }
};

// Everything a completion needs to call its callback, copied out of the request,
// so that it never has to reach back into the session.
struct CompletionCall {
    proto::Op op;
    void *context;
    void (*callback)();
    int arity;
    proto::Results results;
    int error;
};

} // namespace detail

namespace {

thread_local int tl_completionError = 0;
thread_local const std::atomic<bool> *tl_stopFlag = nullptr;
thread_local const std::shared_ptr<detail::CompletionGate> *tl_runningGate = nullptr;

// Sets the per-thread completion context for the duration of one callback.
class CompletionScope final {
public:
    CompletionScope(int error, const std::shared_ptr<detail::CompletionGate> &gate)
        : m_error(std::exchange(tl_completionError, error)),
          m_stopFlag(std::exchange(tl_stopFlag, &gate->cancelled)),
          m_gate(std::exchange(tl_runningGate, &gate))
    {
    }
    // A callback on the worker itself: nothing to hold (the worker cannot wait on itself).
    CompletionScope(int error, const std::atomic<bool> *stopFlag)
        : m_error(std::exchange(tl_completionError, error)), m_stopFlag(std::exchange(tl_stopFlag, stopFlag)),
          m_gate(std::exchange(tl_runningGate, nullptr))
    {
    }
    ~CompletionScope()
    {
        tl_completionError = m_error;
        tl_stopFlag = m_stopFlag;
        tl_runningGate = m_gate;
    }

private:
    int m_error;
    const std::atomic<bool> *m_stopFlag;
    const std::shared_ptr<detail::CompletionGate> *m_gate;
};

enum : int { kArityResults = 0 };

void callWith(proto::Op op, void *context, void (*callback)(), int arity, const proto::Results &r)
{
    if (!callback)
        return;
    switch (arity) {
    case kArityResults:
        reinterpret_cast<UnitSession::ResultCallback>(callback)(context, op, r, proto::info(op).resultCount);
        break;
    case 1: reinterpret_cast<UnitSession::Callback1>(callback)(context, r[0]); break;
    case 2: reinterpret_cast<UnitSession::Callback2>(callback)(context, r[0], r[1]); break;
    case 3: reinterpret_cast<UnitSession::Callback3>(callback)(context, r[0], r[1], r[2]); break;
    case 4: reinterpret_cast<UnitSession::Callback4>(callback)(context, r[0], r[1], r[2], r[3]); break;
    case 5: reinterpret_cast<UnitSession::Callback5>(callback)(context, r[0], r[1], r[2], r[3], r[4]); break;
    default: break;
    }
}

template <typename F>
void (*erase(F f))()
{
    return reinterpret_cast<void (*)()>(f);
}

} // namespace

// ---- Completion ----

Completion::Completion(std::shared_ptr<detail::CompletionGate> gate, std::unique_ptr<detail::CompletionCall> call)
    : m_gate(std::move(gate)), m_call(std::move(call))
{
}

Completion::Completion(Completion &&other) noexcept = default;

Completion &Completion::operator=(Completion &&other) noexcept
{
    if (this != &other) {
        release();
        m_gate = std::move(other.m_gate);
        m_call = std::move(other.m_call);
    }
    return *this;
}

Completion::~Completion() { release(); }

void Completion::release()
{
    // Destroyed (or replaced) without having run: the owner went away, so the
    // worker must not wait for it any longer.
    if (m_gate) {
        m_gate->finish();
        m_gate.reset();
    }
    m_call.reset();
}

void Completion::run()
{
    if (!m_gate)
        return;
    std::shared_ptr<detail::CompletionGate> gate = std::move(m_gate);
    std::unique_ptr<detail::CompletionCall> call = std::move(m_call);
    {
        std::lock_guard lock(gate->mutex);
        if (gate->state != detail::CompletionGate::State::Pending)
            return;
        if (gate->cancelled.load(std::memory_order_acquire)) {
            gate->state = detail::CompletionGate::State::Finished;
            gate->cv.notify_all();
            return;
        }
        gate->state = detail::CompletionGate::State::Running;
    }
    {
        CompletionScope scope(call->error, gate);
        callWith(call->op, call->context, call->callback, call->arity, call->results);
    }
    gate->callbackReturned();
}

// ---- CompletionHold ----

CompletionHold::CompletionHold(std::shared_ptr<detail::CompletionGate> gate) : m_gate(std::move(gate))
{
    m_gate->addHold();
}

CompletionHold::CompletionHold(CompletionHold &&other) noexcept = default;

CompletionHold &CompletionHold::operator=(CompletionHold &&other) noexcept
{
    if (this != &other) {
        reset();
        m_gate = std::move(other.m_gate);
    }
    return *this;
}

CompletionHold::~CompletionHold() { reset(); }

void CompletionHold::reset()
{
    if (m_gate) {
        m_gate->releaseHold();
        m_gate.reset();
    }
}

CompletionHold holdCurrentCompletion()
{
    if (!tl_runningGate || !*tl_runningGate)
        return {};
    return CompletionHold(*tl_runningGate);
}

// ---- UnitSession ----

struct UnitSession::SocketHolder {
    std::unique_ptr<SessionTransport> transport;
};

UnitSession::UnitSession(CompletionDispatcher *dispatcher, SessionTimeouts timeouts, SessionConnector *connector)
    : m_dispatcher(dispatcher), m_timeouts(timeouts), m_connector(connector ? *connector : tcpSessionConnector()),
      m_socket(std::make_unique<SocketHolder>())
{
    // The queue exists before the worker starts, so requests posted right after
    // construction wait for it instead of being lost.
    m_worker = std::thread([this] { run(); });
}

UnitSession::~UnitSession()
{
    std::shared_ptr<detail::CompletionGate> gate;
    {
        std::lock_guard lock(m_queueMutex);
        m_stopping.store(true, std::memory_order_release);
        m_quit = true; // behind every request already queued
        gate = m_currentGate;
    }
    m_queueCv.notify_all();
    if (gate)
        gate->cancel();
    if (m_worker.joinable())
        m_worker.join();
    std::lock_guard lock(m_lock);
    closeLocked();
}

int UnitSession::connect(const std::string &host, int port)
{
    std::lock_guard lock(m_lock);
    return connectLocked(host, port);
}

void UnitSession::close()
{
    std::lock_guard lock(m_lock);
    closeLocked();
}

int UnitSession::connectLocked(const std::string &host, int port)
{
    m_host = host.substr(0, 255);
    m_port = port;
    if (m_host.empty())
        return 3;
    closeLocked();
    // Dotted text only: no name look-up, and nothing is sent for a text that is not an address.
    const std::optional<uint32_t> ip = net::parseIpv4(m_host);
    if (!ip)
        return net::kErrAddressNotAvailable;
    int err = 0;
    std::unique_ptr<SessionTransport> transport = m_connector.open(
        net::Address{*ip, uint16_t(port)}, m_timeouts.connectMs, m_timeouts.sendMs, m_timeouts.receiveMs, err);
    if (!transport)
        return err;
    m_socket->transport = std::move(transport);
    m_connected.store(true, std::memory_order_relaxed);
    return 0;
}

void UnitSession::closeLocked()
{
    m_socket->transport.reset();
    m_connected.store(false, std::memory_order_relaxed);
}

int UnitSession::transaction(const proto::Frame &request, std::size_t replyLength, uint8_t *reply)
{
    if (m_failed.load(std::memory_order_relaxed)) {
        // While stopping, one failure is enough: the requests behind it report at
        // once instead of each waiting out a reconnect.
        if (m_stopping.load(std::memory_order_acquire))
            return net::kErrShutdown;
        closeLocked();
        const int err = connectLocked(m_host, m_port);
        if (err != 0)
            return err;
        m_failed.store(false, std::memory_order_relaxed);
    }
    SessionTransport *s = m_socket->transport.get();
    int err = 0;
    if (!s) {
        m_failed.store(true, std::memory_order_relaxed);
        return net::kErrNotSocket;
    }
    const long sent = s->send(request.data(), request.size, err);
    if (sent < 0 || std::size_t(sent) != request.size) {
        m_failed.store(true, std::memory_order_relaxed);
        return err != 0 ? err : net::kErrTimedOut;
    }
    std::size_t got = 0;
    bool peerClosed = false;
    for (int call = 0; call < kMaxReceiveCalls && got < replyLength; ++call) {
        const long n = s->receive(reply + got, replyLength - got, err);
        if (n < 0) {
            m_failed.store(true, std::memory_order_relaxed);
            return err;
        }
        if (n == 0)
            peerClosed = true;
        got += std::size_t(n);
    }
    if (got < replyLength) {
        // Never decode bytes that did not arrive: a reply still short after the
        // last allowed receive is a failed transaction.
        m_failed.store(true, std::memory_order_relaxed);
        return peerClosed ? net::kErrConnectionReset : net::kErrTimedOut;
    }
    return 0;
}

bool UnitSession::enqueue(proto::Op op, const proto::Args &args, void *context, void (*callback)(), Arity arity)
{
    bool wake;
    {
        std::lock_guard lock(m_queueMutex);
        if (m_quit)
            return false;
        m_queue.push_back(Request{op, args, context, callback, arity});
        wake = m_workerWaiting;
    }
    // A busy worker looks at the queue again before it sleeps: no wake-up needed.
    if (wake)
        m_queueCv.notify_one();
    return true;
}

void UnitSession::run()
{
    for (;;) {
        Request request;
        {
            std::unique_lock lock(m_queueMutex);
            while (m_queue.empty() && !m_quit) {
                m_workerWaiting = true;
                m_queueCv.wait(lock);
                m_workerWaiting = false;
            }
            if (m_queue.empty())
                return; // the quit comes after every request queued before it
            request = m_queue.front();
            m_queue.pop_front();
        }
        waitForLastCompletion();
        execute(request);
    }
}

void UnitSession::execute(const Request &request)
{
    const proto::OpInfo &in = proto::info(request.op);
    proto::Results results;
    int err;
    {
        std::lock_guard lock(m_lock);
        const proto::Frame frame = proto::buildRequest(request.op, request.args);
        uint8_t reply[proto::kMaxReply] = {};
        err = transaction(frame, in.replyLength, reply);
        results = err == 0 ? proto::decodeReply(request.op, request.args, reply)
                           : proto::failureResults(request.op, request.args);
        if (!m_dispatcher) {
            CompletionScope scope(err, &m_stopping);
            callWith(request.op, request.context, request.callback, int(request.arity), results);
            return;
        }
    }

    auto gate = std::make_shared<detail::CompletionGate>();
    auto call = std::make_unique<detail::CompletionCall>(
        detail::CompletionCall{request.op, request.context, request.callback, int(request.arity), results, err});
    Completion completion(gate, std::move(call));
    {
        std::lock_guard lock(m_queueMutex);
        if (m_stopping.load(std::memory_order_relaxed))
            return; // nobody is left to deliver to: released unrun
        m_currentGate = gate;
    }
    m_dispatcher->dispatch(std::move(completion));
}

void UnitSession::waitForLastCompletion()
{
    // The last request's completion runs while the worker waits for the next request: a
    // worker with nothing queued is not woken just to learn that the completion has returned,
    // and the next request still goes out only after it has (holds released).
    std::shared_ptr<detail::CompletionGate> gate;
    {
        std::lock_guard lock(m_queueMutex);
        gate = m_currentGate;
    }
    if (!gate)
        return;
    {
        std::unique_lock lock(gate->mutex);
        gate->cv.wait(lock, [&] {
            return gate->state == detail::CompletionGate::State::Finished
                || gate->cancelled.load(std::memory_order_relaxed);
        });
    }
    std::lock_guard lock(m_queueMutex);
    if (m_currentGate == gate)
        m_currentGate.reset();
}

int UnitSession::completionError() { return tl_completionError; }

bool UnitSession::completionStopping()
{
    return tl_stopFlag && tl_stopFlag->load(std::memory_order_acquire);
}

// ---- the operations ----

bool UnitSession::post(proto::Op op, const proto::Args &args, void *context, ResultCallback callback)
{
    if (!proto::isValidOp(int(op)))
        return false;
    return enqueue(op, args, context, erase(callback), Arity::Results);
}

bool UnitSession::getDI(void *c, Callback2 cb, int tag) { return enqueue(proto::Op::GetDI, {tag}, c, erase(cb), Arity::Two); }
bool UnitSession::setDO(void *c, Callback1 cb, int pattern) { return enqueue(proto::Op::SetDO, {pattern}, c, erase(cb), Arity::One); }
bool UnitSession::getDO(void *c, Callback1 cb) { return enqueue(proto::Op::GetDO, {}, c, erase(cb), Arity::One); }
bool UnitSession::getAI(void *c, Callback2 cb, int channel) { return enqueue(proto::Op::GetAI, {channel}, c, erase(cb), Arity::Two); }
bool UnitSession::getAllAI(void *c, Callback3 cb) { return enqueue(proto::Op::GetAllAI, {}, c, erase(cb), Arity::Three); }
bool UnitSession::setAO(void *c, Callback3 cb, int channel, int mode, int raw)
{
    return enqueue(proto::Op::SetAO, {channel, mode, raw}, c, erase(cb), Arity::Three);
}
bool UnitSession::getAO(void *c, Callback3 cb, int channel) { return enqueue(proto::Op::GetAO, {channel}, c, erase(cb), Arity::Three); }
bool UnitSession::getAIRange(void *c, Callback3 cb, int channel)
{
    return enqueue(proto::Op::GetAIRange, {channel}, c, erase(cb), Arity::Three);
}
bool UnitSession::getADCsps(void *c, Callback1 cb) { return enqueue(proto::Op::GetADCsps, {}, c, erase(cb), Arity::One); }
bool UnitSession::setAIRange(void *c, Callback2 cb, int channel, int range)
{
    return enqueue(proto::Op::SetAIRange, {channel, range}, c, erase(cb), Arity::Two);
}
bool UnitSession::setADCsps(void *c, Callback1 cb, int code) { return enqueue(proto::Op::SetADCsps, {code}, c, erase(cb), Arity::One); }
bool UnitSession::getADCThreshold(void *c, Callback5 cb, int channel)
{
    return enqueue(proto::Op::GetADCThreshold, {channel}, c, erase(cb), Arity::Five);
}
bool UnitSession::setADCThreshold(void *c, Callback4 cb, int channel, int outside, int mode, int high, int low)
{
    return enqueue(proto::Op::SetADCThreshold, {channel, outside, mode, high, low}, c, erase(cb), Arity::Four);
}
bool UnitSession::getUnitModelID(void *c, Callback2 cb) { return enqueue(proto::Op::GetUnitModelID, {}, c, erase(cb), Arity::Two); }
bool UnitSession::setTCSetting(void *c, Callback3 cb, int channel, int type, int options)
{
    return enqueue(proto::Op::SetTCSetting, {channel, type, options}, c, erase(cb), Arity::Three);
}
bool UnitSession::getTCSetting(void *c, Callback3 cb, int channel)
{
    return enqueue(proto::Op::GetTCSetting, {channel}, c, erase(cb), Arity::Three);
}
bool UnitSession::getDOAlert(void *c, Callback5 cb, int channel)
{
    return enqueue(proto::Op::GetDOAlert, {channel}, c, erase(cb), Arity::Five);
}
bool UnitSession::setDOAlert(void *c, Callback4 cb, int channel, int monitoredAi, int hysteresis, int direction)
{
    return enqueue(proto::Op::SetDOAlert, {channel, monitoredAi, hysteresis, direction}, c, erase(cb), Arity::Four);
}
bool UnitSession::setDOAlertEnable(void *c, Callback2 cb, int channel, int on)
{
    return enqueue(proto::Op::SetDOAlertEnable, {channel, on}, c, erase(cb), Arity::Two);
}

} // namespace qn
