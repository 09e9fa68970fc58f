#include "qnlog/unitpoller.h"

#include "linkqt/guidispatcher.h"

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

// Every unit's completions run on the main thread; made there by the first poller and kept
// for the program's life, so it outlives every session.
GuiDispatcher &mainThreadDispatcher()
{
    static GuiDispatcher *dispatcher = new GuiDispatcher;
    return *dispatcher;
}

void report(const std::string &line)
{
    std::fprintf(stderr, "qnlog: %s\n", line.c_str());
}

} // namespace

UnitPoller::UnitPoller(QString address, int tcpPort, int period, UnitEvents &events, SessionTimeouts timeouts)
    : m_address(std::move(address)), m_tcpPort(tcpPort), m_events(events)
{
    unit::UnitCore::Options options;
    options.dispatcher = &mainThreadDispatcher();
    options.timeouts = timeouts;
    options.scope = unit::RereadScope::Rows;
    options.period = std::chrono::milliseconds(100) * period;
    m_core = std::make_unique<unit::UnitCore>(static_cast<unit::UnitCore::Listener &>(*this), options);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &UnitPoller::tick);
}

UnitPoller::~UnitPoller() = default;

void UnitPoller::start()
{
    m_connecting = true;
    QPointer<UnitPoller> self(this);
    const std::string host = m_address.toStdString();
    const int port = m_tcpPort;
    unit::UnitCore *core = m_core.get();
    connectPool().start([self, host, port, core] {
        // The poller waits for this (busy) before it can go, so the core lives on.
        core->connect(host, port);
        QMetaObject::invokeMethod(self, [self] {
            self->m_connecting = false;
            if (self->m_stopped)
                return;
            self->m_core->start(unit::UnitCore::Clock::now());
            self->armTimer();
        }, Qt::QueuedConnection);
    });
}

void UnitPoller::stop()
{
    m_stopped = true;
    m_core->stop();
    m_timer.stop();
}

void UnitPoller::setPeriod(int period)
{
    m_core->setPeriod(std::chrono::milliseconds(100) * period);
}

unit::UnitCore *UnitPoller::commandCore()
{
    return m_stopped || m_connecting || !m_core->state() || m_core->answering() != true ? nullptr : m_core.get();
}

void UnitPoller::armTimer()
{
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_core->nextDeadline() - unit::UnitCore::Clock::now());
    m_timer.start(int(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
}

void UnitPoller::tick()
{
    if (m_stopped)
        return;
    m_core->tick(unit::UnitCore::Clock::now());
    armTimer();
}

void UnitPoller::readingTaken(const unit::Reading &reading)
{
    // A period without an answer is no row.
    if (reading.quality != unit::Quality::NoAnswer)
        m_events.readingTaken(reading, identity());
}

UnitIdentity UnitPoller::identity() const
{
    UnitIdentity id;
    const std::optional<unit::UnitState> &state = m_core->state() ? m_core->state() : m_core->lastState();
    if (state) {
        id.model = std::string(traits(state->model).name);
        id.unitId = state->unitId;
    }
    id.address = m_address.toStdString();
    id.tcpPort = m_tcpPort;
    return id;
}

std::string UnitPoller::description() const
{
    const UnitIdentity id = identity();
    std::string text = id.address + ':' + std::to_string(id.tcpPort);
    if (m_core->lastState())
        text += " (" + id.model + " ID " + std::to_string(id.unitId) + ')';
    return text;
}

void UnitPoller::answeringChanged(bool answering, const LinkError *error)
{
    const std::optional<bool> was = std::exchange(m_online, answering);
    if (answering) {
        const auto period = std::chrono::duration_cast<std::chrono::milliseconds>(m_core->period()).count();
        if (was == false)
            report(description() + " answers again");
        else
            report(description() + " answers; logging every " + std::to_string(period) + " ms");
        m_events.unitStateChanged(identity(), true);
        return;
    }
    report(description() + " does not answer (" + (error ? error->text() : std::string()) +
           "); no rows until it does, tried every period");
    if (m_core->lastState())
        m_events.unitStateChanged(identity(), false);
}

void UnitPoller::unsupportedModel(int modelId)
{
    report(description() + " reports model ID " + std::to_string(modelId)
           + ", which is not a model this program logs");
}

} // namespace qn::logsvc
