#pragma once
// One unit of the logging service: a unit core (its session, schedule, start-up reads and
// re-reads, state and statistics) driven by a timer on the main thread, its lines on
// standard error, its readings and its changes between answering and not handed on.
// Main thread only.
#include "qnlog/reading.h"
#include "unit/unitcore.h"

#include <QObject>
#include <QTimer>

#include <memory>

namespace qn::logsvc {

// What the unit hands on: readings, and its changes between answering and not.
class UnitEvents {
public:
    virtual ~UnitEvents() = default;
    virtual void readingTaken(const unit::Reading &reading, const UnitIdentity &identity) = 0;
    virtual void unitStateChanged(const UnitIdentity &identity, bool online) = 0;
};

class UnitPoller final : public QObject, private unit::UnitCore::Listener {
    Q_OBJECT
public:
    UnitPoller(QString address, int tcpPort, int period, UnitEvents &events, SessionTimeouts timeouts);
    ~UnitPoller() override;

    // Connects (on a thread of the pool, as a connect may wait for a time-out) and starts
    // the periods.
    void start();
    // No further requests; one in flight still completes.
    void stop();
    // A new period (x 100 ms) from the next reading on.
    void setPeriod(int period);

    // Requests from outside the periods (an MQTT command) go through this unit's core
    // between its readings; null while the unit does not answer or the poller stops.
    unit::UnitCore *commandCore();

    bool busy() const { return m_connecting || m_core->busy(); }
    QString address() const { return m_address; }
    int tcpPort() const { return m_tcpPort; }
    // Periods that passed while a reading was still in flight or the loop was late.
    quint64 skippedPeriods() const { return m_core->skippedPeriods(); }
    const unit::UnitCore &core() const { return *m_core; }

private:
    void tick();
    void armTimer();
    void readingTaken(const unit::Reading &reading) override;
    void answeringChanged(bool answering, const LinkError *error) override;
    void unsupportedModel(int modelId) override;
    UnitIdentity identity() const;
    // "192.0.2.7:10001 (QN-210 ID 3)", the model and ID once known.
    std::string description() const;

    const QString m_address;
    const int m_tcpPort;
    UnitEvents &m_events;
    QTimer m_timer;
    bool m_connecting = false;
    bool m_stopped = false;
    std::optional<bool> m_online; // unknown until the first answer or failure
    std::unique_ptr<unit::UnitCore> m_core;
};

} // namespace qn::logsvc
