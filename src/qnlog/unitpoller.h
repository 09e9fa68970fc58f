#pragma once
// One unit of the logging service: its session, its period on the monotonic clock, and
// the state it is in (not yet known, answering, not answering). Main thread only.
#include "qnlog/unitqueries.h"
#include "qnlog/reading.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace qn::logsvc {

// What the unit hands on: readings, and its changes between answering and not.
class UnitEvents {
public:
    virtual ~UnitEvents() = default;
    virtual void readingTaken(const UnitSetup &setup, const UnitIdentity &identity, const ReadingAnswers &answers) = 0;
    virtual void unitStateChanged(const UnitIdentity &identity, bool online) = 0;
};

class UnitPoller final : public QObject {
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    UnitPoller(QString address, int tcpPort, int period, UnitEvents &events, SessionTimeouts timeouts);
    ~UnitPoller() override;

    // Connects (on a thread of the pool, as a connect may wait for a time-out) and starts
    // the periods.
    void start();
    // No further requests; one in flight still completes.
    void stop();
    // A new period (x 100 ms) from the next reading on.
    void setPeriod(int period);

    // Requests from outside the periods (an MQTT command) go on this unit's session between
    // its readings; null while the unit does not answer or the poller stops.
    UnitQueries *commandQueries() { return m_stopped || !m_setup || m_online != true ? nullptr : &m_queries; }
    // What the unit told at connect, while it answers.
    const std::optional<UnitSetup> &setup() const { return m_setup; }

    bool busy() const { return m_inFlight; }
    QString address() const { return m_address; }
    int tcpPort() const { return m_tcpPort; }
    // Periods that passed while a reading was still in flight or the loop was late.
    quint64 skippedPeriods() const { return m_skipped; }

private:
    void tick();
    void scheduleNext();
    void identify();
    void read();
    // The completion of a request on the session's worker, run on the main thread.
    template <typename T>
    std::function<void(Result<T>)> onMainThread(void (UnitPoller::*then)(const Result<T> &));
    void onIdentified(const Result<UnitIdentification> &result);
    void onRead(const Result<ReadingAnswers> &result);
    void failed(const LinkError &error);
    void answering();
    UnitIdentity identity() const;
    // "192.0.2.7:10001 (QN-210 ID 3)", the model and ID once known.
    std::string description() const;

    const QString m_address;
    const int m_tcpPort;
    Clock::duration m_period;
    UnitEvents &m_events;
    UnitQueries m_queries;
    QTimer m_timer;
    Clock::time_point m_next;
    Clock::time_point m_outputsRead; // when the outputs were last read
    bool m_stopped = false;
    bool m_inFlight = false;
    std::optional<bool> m_online;        // unknown until the first answer or failure
    std::optional<UnitSetup> m_setup;    // known while the unit answers
    std::optional<UnitSetup> m_lastSetup; // for the lines about a unit that went quiet
    int m_unsupportedModel = -1;
    quint64 m_skipped = 0;
};

} // namespace qn::logsvc
