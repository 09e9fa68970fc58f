#pragma once
// The logging service: the configured units and searches, their pollers, the settings
// file the readings are named and converted with, and the sinks that take the readings.
// Main thread only.
#include "mqtt/command.h"
#include "qnlog/serviceconfig.h"
#include "qnlog/unitpoller.h"
#include "settings/unitsettings.h"

#include <QObject>
#include <QTimer>

#include <map>
#include <memory>

namespace qn::logsvc {

class UnitSearch;

class LogService final : public QObject, public UnitEvents {
    Q_OBJECT
public:
    using WallClock = std::function<std::chrono::system_clock::time_point()>;

    explicit LogService(ServiceConfig config, SessionTimeouts timeouts = {}, WallClock clock = nullptr);
    ~LogService() override;

    // Sinks are not owned; each must outlive the service.
    void addSink(ReadingSink *sink) { m_sinks.push_back(sink); }
    void start();
    // SIGHUP: the sinks reopen their files, the settings file is read again and the units
    // and searches follow the new configuration.
    void reload(ServiceConfig config);
    // SIGTERM: no new requests; the readings in flight are finished (for at most
    // drainMs), the sinks close, then finished() is emitted.
    void stop(int drainMs = 1000);
    // Whether any request is still running (a unit that did not answer in the drain time).
    bool busy() const;

    const ServiceConfig &config() const { return m_config; }
    quint64 readings() const { return m_readings; }
    quint64 skippedPeriods() const;

    // A checked MQTT command on a unit's outputs (servicecommands.cpp); `done` runs once, on
    // any thread, with "" or the error.
    void runCommand(const UnitIdentity &unit, const mqtt::Command &command, std::function<void(std::string)> done);

    void readingTaken(const unit::Reading &reading, const UnitIdentity &identity) override;
    void unitStateChanged(const UnitIdentity &identity, bool online) override;

signals:
    void finished();

private:
    friend class UnitSearch;
    void addUnit(const QString &address, int tcpPort, int period, const QString &origin);
    void applyUnits();
    void loadSettingsFile();
    void finishStop();
    void dropRetired();

    ServiceConfig m_config;
    const SessionTimeouts m_timeouts;
    WallClock m_clock;
    UnitSettingsStore m_settings;
    std::vector<ReadingSink *> m_sinks;
    struct Unit {
        std::unique_ptr<UnitPoller> poller;
        QString origin; // "" for a [unit] of the configuration, else the search's broadcast address
    };
    std::map<std::pair<QString, int>, Unit> m_units;
    std::vector<std::unique_ptr<UnitPoller>> m_retired; // removed, waiting for their last answer
    std::vector<std::unique_ptr<UnitSearch>> m_searches;
    QTimer m_drainTimer;
    QTimer m_drainDeadline;
    bool m_started = false;
    bool m_stopping = false;
    quint64 m_readings = 0;
};

} // namespace qn::logsvc
