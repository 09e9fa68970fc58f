#include "qnlog/unitpoller.h"

#include "qnlog/readingconversion.h"

#include <QPointer>
#include <QThreadPool>

#include <cstdio>

namespace qn::logsvc {

namespace {

// Connects wait for a time-out when a unit is away; many units start side by side.
QThreadPool &connectPool()
{
    static QThreadPool *pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(32);
        return p;
    }();
    return *pool;
}

// The first deadline of a period: the next whole period since a moment all units share, so
// units of one period are due together and the main thread wakes once for all of them.
UnitPoller::Clock::time_point firstDeadline(UnitPoller::Clock::duration period)
{
    static const UnitPoller::Clock::time_point epoch = UnitPoller::Clock::now();
    const auto now = UnitPoller::Clock::now();
    return epoch + ((now - epoch) / period) * period;
}

// How often the outputs are read with a reading: they change only when someone sets them
// (or a DO alert), while the inputs are read every period.
constexpr auto kOutputsReadEvery = std::chrono::seconds(1);

void report(const std::string &line)
{
    std::fprintf(stderr, "qnlog: %s\n", line.c_str());
}

} // namespace

UnitPoller::UnitPoller(QString address, int tcpPort, int period, UnitEvents &events, SessionTimeouts timeouts)
    : m_address(std::move(address)), m_tcpPort(tcpPort), m_period(std::chrono::milliseconds(100) * period),
      m_events(events), m_queries(timeouts)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UnitPoller::tick);
}

UnitPoller::~UnitPoller() = default;

void UnitPoller::start()
{
    m_inFlight = true;
    QPointer<UnitPoller> self(this);
    const std::string host = m_address.toStdString();
    const int port = m_tcpPort;
    UnitQueries *queries = &m_queries;
    connectPool().start([self, host, port, queries] {
        // The poller waits for this (m_inFlight) before it can go, so queries lives on.
        queries->connect(host, port);
        QMetaObject::invokeMethod(self, [self] {
            self->m_inFlight = false;
            self->m_next = firstDeadline(self->m_period);
            self->tick();
        }, Qt::QueuedConnection);
    });
}

void UnitPoller::stop()
{
    m_stopped = true;
    m_timer.stop();
}

void UnitPoller::setPeriod(int period)
{
    m_period = std::chrono::milliseconds(100) * period;
}

void UnitPoller::scheduleNext()
{
    // Deadlines are whole periods from the first one, so no drift piles up; a deadline
    // already past (a late loop, a reading that took long) is skipped, not caught up.
    const Clock::time_point now = Clock::now();
    m_next += m_period;
    if (m_next <= now) {
        const auto behind = (now - m_next) / m_period + 1;
        m_skipped += quint64(behind);
        m_next += m_period * behind;
    }
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_next - now);
    m_timer.start(int(wait.count()));
}

void UnitPoller::tick()
{
    if (m_stopped)
        return;
    scheduleNext();
    if (m_inFlight) {
        ++m_skipped;
        return;
    }
    if (m_setup)
        read();
    else
        identify();
}

template <typename T>
std::function<void(Result<T>)> UnitPoller::onMainThread(void (UnitPoller::*then)(const Result<T> &))
{
    QPointer<UnitPoller> self(this);
    return [self, then](Result<T> result) {
        // A poller already gone (its session stopping) never sees it.
        QMetaObject::invokeMethod(self.data(), [self, then, result = std::move(result)] {
            if (!self)
                return;
            self->m_inFlight = false;
            (self.data()->*then)(result);
        }, Qt::QueuedConnection);
    };
}

void UnitPoller::identify()
{
    m_inFlight = m_queries.identify(onMainThread(&UnitPoller::onIdentified));
}

void UnitPoller::onIdentified(const Result<UnitIdentification> &result)
{
    if (!result) {
        failed(result.error());
        return;
    }
    if (!result->setup) {
        const int modelId = result->ids.modelId;
        if (std::exchange(m_unsupportedModel, modelId) != modelId)
            report(description() + " reports model ID "
                   + std::to_string(modelId) + ", which is not a model this program logs");
        return;
    }
    m_unsupportedModel = -1;
    m_setup = result->setup;
    m_outputsRead = {}; // the first reading reads them
    answering();
    // The reading of this period follows at once: a unit back is logged within one period.
    if (!m_stopped)
        read();
}

void UnitPoller::read()
{
    const Clock::time_point now = Clock::now();
    const bool withOutputs = now - m_outputsRead >= kOutputsReadEvery;
    if (withOutputs)
        m_outputsRead = now;
    m_inFlight = m_queries.read(m_setup->model, withOutputs, onMainThread(&UnitPoller::onRead));
}

void UnitPoller::onRead(const Result<ReadingAnswers> &result)
{
    if (!result) {
        failed(result.error());
        return;
    }
    if (!m_setup)
        return;
    keepOutputs(*m_setup, *result);
    m_events.readingTaken(*m_setup, identity(), *result);
}

UnitIdentity UnitPoller::identity() const
{
    UnitIdentity id;
    const std::optional<UnitSetup> &setup = m_setup ? m_setup : m_lastSetup;
    if (setup) {
        id.model = std::string(traits(setup->model).name);
        id.unitId = setup->unitId;
    }
    id.address = m_address.toStdString();
    id.tcpPort = m_tcpPort;
    return id;
}

std::string UnitPoller::description() const
{
    const UnitIdentity id = identity();
    std::string text = id.address + ':' + std::to_string(id.tcpPort);
    if (m_lastSetup)
        text += " (" + id.model + " ID " + std::to_string(id.unitId) + ')';
    return text;
}

void UnitPoller::answering()
{
    const std::optional<bool> was = std::exchange(m_online, true);
    m_lastSetup = m_setup;
    const auto period = std::chrono::duration_cast<std::chrono::milliseconds>(m_period).count();
    if (was == false)
        report(description() + " answers again");
    else
        report(description() + " answers; logging every " + std::to_string(period) + " ms");
    m_events.unitStateChanged(identity(), true);
}

void UnitPoller::failed(const LinkError &error)
{
    // Identified afresh when it answers again: it may have been replaced or reset.
    m_setup.reset();
    if (std::exchange(m_online, false) == false)
        return;
    report(description() + " does not answer (" + error.text() + "); no rows until it does, tried every period");
    if (m_lastSetup)
        m_events.unitStateChanged(identity(), false);
}

} // namespace qn::logsvc
