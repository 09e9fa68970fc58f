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

// Everything a completion needs to call its handler, moved out of the request, so
// that it never has to reach back into the session.
struct CompletionCall {
    Deliver deliver;
    Outcome outcome;
};

} // namespace detail

namespace {

thread_local const std::atomic<bool> *tl_stopFlag = nullptr;
thread_local const std::shared_ptr<detail::CompletionGate> *tl_runningGate = nullptr;

// Sets the per-thread completion context for the duration of one callback.
class CompletionScope final {
public:
    explicit CompletionScope(const std::shared_ptr<detail::CompletionGate> &gate)
        : m_stopFlag(std::exchange(tl_stopFlag, &gate->cancelled)), m_gate(std::exchange(tl_runningGate, &gate))
    {
    }
    // A callback on the worker itself: nothing to hold (the worker cannot wait on itself).
    explicit CompletionScope(const std::atomic<bool> *stopFlag)
        : m_stopFlag(std::exchange(tl_stopFlag, stopFlag)), m_gate(std::exchange(tl_runningGate, nullptr))
    {
    }
    ~CompletionScope()
    {
        tl_stopFlag = m_stopFlag;
        tl_runningGate = m_gate;
    }
    CompletionScope(const CompletionScope &) = delete;
    CompletionScope &operator=(const CompletionScope &) = delete;

private:
    const std::atomic<bool> *m_stopFlag;
    const std::shared_ptr<detail::CompletionGate> *m_gate;
};

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
        CompletionScope scope(gate);
        if (call->deliver)
            call->deliver(call->outcome);
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
    m_connectError = connectLocked(host, port);
    return m_connectError;
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
        return LinkError::kNoHost;
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

std::optional<LinkError> UnitSession::transaction(const proto::Frame &request, std::size_t replyLength,
                                                 uint8_t *reply)
{
    auto fail = [this](int code) {
        m_failed.store(true, std::memory_order_relaxed);
        return LinkError::fromSocketError(code);
    };
    if (m_failed.load(std::memory_order_relaxed)) {
        // While stopping, one failure is enough: the requests behind it report at
        // once instead of each waiting out a reconnect.
        if (m_stopping.load(std::memory_order_acquire))
            return LinkError::fromSocketError(net::kErrShutdown);
        closeLocked();
        const int err = connectLocked(m_host, m_port);
        if (err != 0)
            return LinkError::fromSocketError(err);
        m_failed.store(false, std::memory_order_relaxed);
    }
    SessionTransport *s = m_socket->transport.get();
    int err = 0;
    if (!s) // never connected: the first request tells why
        return fail(m_connectError != 0 ? m_connectError : net::kErrNotSocket);
    const long sent = s->send(request.data(), request.size, err);
    if (sent < 0 || std::size_t(sent) != request.size)
        return fail(err != 0 ? err : net::kErrTimedOut);
    std::size_t got = 0;
    bool peerClosed = false;
    for (int call = 0; call < kMaxReceiveCalls && got < replyLength; ++call) {
        const long n = s->receive(reply + got, replyLength - got, err);
        if (n < 0)
            return fail(err);
        if (n == 0)
            peerClosed = true;
        got += std::size_t(n);
    }
    if (got < replyLength) {
        // Never decode bytes that did not arrive: a reply still short after the
        // last allowed receive is a failed transaction.
        m_failed.store(true, std::memory_order_relaxed);
        return peerClosed ? LinkError::fromSocketError(net::kErrConnectionReset)
                          : LinkError{LinkError::Kind::Malformed, net::kErrTimedOut};
    }
    return std::nullopt;
}

bool UnitSession::enqueue(proto::Op op, const proto::Args &args, detail::Deliver deliver)
{
    bool wake;
    {
        std::lock_guard lock(m_queueMutex);
        if (m_quit)
            return false;
        m_queue.push_back(Request{op, args, std::move(deliver)});
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
            request = std::move(m_queue.front());
            m_queue.pop_front();
        }
        waitForLastCompletion();
        execute(request);
    }
}

void UnitSession::execute(Request &request)
{
    const proto::OpInfo &in = proto::info(request.op);
    detail::Outcome outcome;
    {
        std::lock_guard lock(m_lock);
        const proto::Frame frame = proto::buildRequest(request.op, request.args);
        uint8_t reply[proto::kMaxReply] = {};
        outcome.error = transaction(frame, in.replyLength, reply);
        if (!outcome.error) {
            if (const std::optional<proto::Results> values = proto::decodeReply(request.op, request.args, reply)) {
                outcome.values = *values;
            } else {
                // A reply of the right length but not of the reply's form: the stream is
                // probably out of step (a late reply, a unit answering something else), so
                // nothing more is read from this connection; the next request reconnects.
                m_failed.store(true, std::memory_order_relaxed);
                outcome.error = LinkError::malformed();
            }
        }
        if (!m_dispatcher) {
            CompletionScope scope(&m_stopping);
            if (request.deliver)
                request.deliver(outcome);
            return;
        }
    }

    auto gate = std::make_shared<detail::CompletionGate>();
    auto call = std::make_unique<detail::CompletionCall>(
        detail::CompletionCall{std::move(request.deliver), outcome});
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

bool UnitSession::completionStopping()
{
    return tl_stopFlag && tl_stopFlag->load(std::memory_order_acquire);
}

// ---- the operations ----

bool UnitSession::post(proto::Op op, const proto::Args &args, AnyDone done)
{
    if (!proto::isValidOp(int(op)))
        return false;
    return enqueue(op, args, [op, done = std::move(done)](const detail::Outcome &o) {
        if (o.error)
            done(op, *o.error);
        else
            done(op, anyReplyFromValues(op, o.values));
    });
}

using proto::Op;

bool UnitSession::getDI(int tag, Done<DigitalInputs> done) { return request<Op::GetDI>({tag}, std::move(done)); }
bool UnitSession::setDO(int pattern, Done<DigitalOutputs> done)
{
    return request<Op::SetDO>({pattern}, std::move(done));
}
bool UnitSession::getDO(Done<DigitalOutputs> done) { return request<Op::GetDO>({}, std::move(done)); }
bool UnitSession::getAI(int channel, Done<AnalogInput> done) { return request<Op::GetAI>({channel}, std::move(done)); }
bool UnitSession::getAllAI(Done<AnalogInputs> done) { return request<Op::GetAllAI>({}, std::move(done)); }
bool UnitSession::setAO(int channel, int mode, int raw, Done<AnalogOutput> done)
{
    return request<Op::SetAO>({channel, mode, raw}, std::move(done));
}
bool UnitSession::getAO(int channel, Done<AnalogOutput> done) { return request<Op::GetAO>({channel}, std::move(done)); }
bool UnitSession::getAIRange(int channel, Done<InputRange> done)
{
    return request<Op::GetAIRange>({channel}, std::move(done));
}
bool UnitSession::getADCsps(Done<AdcRate> done) { return request<Op::GetADCsps>({}, std::move(done)); }
bool UnitSession::setAIRange(int channel, int range, Done<InputRange> done)
{
    return request<Op::SetAIRange>({channel, range}, std::move(done));
}
bool UnitSession::setADCsps(int code, Done<AdcRate> done) { return request<Op::SetADCsps>({code}, std::move(done)); }
bool UnitSession::getADCThreshold(int channel, Done<Threshold> done)
{
    return request<Op::GetADCThreshold>({channel}, std::move(done));
}
bool UnitSession::setADCThreshold(int channel, int outside, int mode, int high, int low, Done<Threshold> done)
{
    return request<Op::SetADCThreshold>({channel, outside, mode, high, low}, std::move(done));
}
bool UnitSession::getUnitModelID(Done<UnitModelId> done) { return request<Op::GetUnitModelID>({}, std::move(done)); }
bool UnitSession::setTCSetting(int channel, int type, int options, Done<ThermocoupleSetting> done)
{
    return request<Op::SetTCSetting>({channel, type, options}, std::move(done));
}
bool UnitSession::getTCSetting(int channel, Done<ThermocoupleSetting> done)
{
    return request<Op::GetTCSetting>({channel}, std::move(done));
}
bool UnitSession::getDOAlert(int channel, Done<DOAlertState> done)
{
    return request<Op::GetDOAlert>({channel}, std::move(done));
}
bool UnitSession::setDOAlert(int channel, int monitoredInput, int hysteresis, int direction, Done<DOAlertSetting> done)
{
    return request<Op::SetDOAlert>({channel, monitoredInput, hysteresis, direction}, std::move(done));
}
bool UnitSession::setDOAlertEnable(int channel, int on, Done<DOAlertSwitch> done)
{
    return request<Op::SetDOAlertEnable>({channel, on}, std::move(done));
}

} // namespace qn
