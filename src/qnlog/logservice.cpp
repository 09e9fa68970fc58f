#include "qnlog/logservice.h"

#include "csvlog/csvrow.h"
#include "qnlog/unitsearch.h"

#include <QFileInfo>

#include <cstdio>

namespace qn::logsvc {

LogService::LogService(ServiceConfig config, SessionTimeouts timeouts, WallClock clock)
    : m_config(std::move(config)), m_timeouts(timeouts),
      m_clock(clock ? std::move(clock) : WallClock([] { return std::chrono::system_clock::now(); }))
{
    m_drainTimer.setInterval(10);
    connect(&m_drainTimer, &QTimer::timeout, this, [this] {
        if (!busy())
            finishStop();
    });
    m_drainDeadline.setSingleShot(true);
    connect(&m_drainDeadline, &QTimer::timeout, this, &LogService::finishStop);
}

LogService::~LogService() = default;

void LogService::loadSettingsFile()
{
    m_settings.resetToDefaults();
    // A missing or foreign file leaves every channel at its default, as in the unit window;
    // the operator hears of it, as nothing else would tell.
    if (!QFileInfo::exists(m_config.settingsFile))
        std::fprintf(stderr, "qnlog: no settings file %s: channels keep their default names and formulas\n",
                     qPrintable(m_config.settingsFile));
    m_settings.loadSettings(m_config.settingsFile);
}

void LogService::start()
{
    m_started = true;
    loadSettingsFile();
    applyUnits();
}

void LogService::addUnit(const QString &address, int tcpPort, int period, const QString &origin)
{
    if (m_stopping)
        return;
    Unit &unit = m_units[{address, tcpPort}];
    if (unit.poller) {
        // Listed in the configuration and found by a search too: the configuration's period holds.
        if (unit.origin == origin)
            unit.poller->setPeriod(period);
        return;
    }
    unit.origin = origin;
    unit.poller = std::make_unique<UnitPoller>(address, tcpPort, period, *this, m_timeouts);
    unit.poller->start();
}

void LogService::applyUnits()
{
    // Units no longer configured (or whose search went) stop; the others keep their
    // session and state and take their new period.
    for (auto it = m_units.begin(); it != m_units.end();) {
        const auto &[key, unit] = *it;
        const bool listed = std::any_of(m_config.units.begin(), m_config.units.end(), [&](const UnitTarget &u) {
            return unit.origin.isEmpty() && u.address == key.first && u.tcpPort == key.second;
        });
        const bool searched = std::any_of(m_config.searches.begin(), m_config.searches.end(),
                                          [&](const SearchTarget &s) { return s.broadcast == unit.origin; });
        if (listed || searched) {
            ++it;
            continue;
        }
        it->second.poller->stop();
        m_retired.push_back(std::move(it->second.poller));
        it = m_units.erase(it);
    }
    for (const UnitTarget &u : m_config.units)
        addUnit(u.address, u.tcpPort, u.period, QString());
    m_searches.clear();
    for (const SearchTarget &s : m_config.searches) {
        m_searches.push_back(std::make_unique<UnitSearch>(s, *this));
        m_searches.back()->start();
    }
    dropRetired();
}

void LogService::dropRetired()
{
    std::erase_if(m_retired, [](const std::unique_ptr<UnitPoller> &p) { return !p->busy(); });
}

void LogService::reload(ServiceConfig config)
{
    m_config = std::move(config);
    for (ReadingSink *sink : m_sinks)
        sink->reopen();
    if (!m_started || m_stopping)
        return;
    loadSettingsFile();
    applyUnits();
}

void LogService::readingTaken(const unit::Reading &taken, const UnitIdentity &identity)
{
    if (!m_retired.empty())
        dropRetired();
    Reading reading;
    static_cast<unit::NamedReading &>(reading) =
        unit::named(taken, channelSetups(m_settings, taken.state.model, taken.state.unitId));
    reading.time = m_clock();
    reading.unit = identity;
    ++m_readings;
    for (ReadingSink *sink : m_sinks)
        sink->take(reading);
}

void LogService::unitStateChanged(const UnitIdentity &identity, bool online)
{
    for (ReadingSink *sink : m_sinks)
        sink->unitStateChanged(identity, online);
}

bool LogService::busy() const
{
    const auto pollerBusy = [](const std::unique_ptr<UnitPoller> &p) { return p->busy(); };
    return std::any_of(m_units.begin(), m_units.end(), [](const auto &u) { return u.second.poller->busy(); })
        || std::any_of(m_retired.begin(), m_retired.end(), pollerBusy)
        || std::any_of(m_searches.begin(), m_searches.end(), [](const auto &s) { return s->busy(); });
}

quint64 LogService::skippedPeriods() const
{
    quint64 n = 0;
    for (const auto &[key, unit] : m_units)
        n += unit.poller->skippedPeriods();
    return n;
}

void LogService::stop(int drainMs)
{
    if (m_stopping)
        return;
    m_stopping = true;
    for (auto &[key, unit] : m_units)
        unit.poller->stop();
    m_searches.clear();
    m_drainTimer.start();
    m_drainDeadline.start(drainMs);
}

void LogService::finishStop()
{
    if (!m_drainTimer.isActive())
        return;
    m_drainTimer.stop();
    m_drainDeadline.stop();
    for (ReadingSink *sink : m_sinks)
        sink->close();
    emit finished();
}

} // namespace qn::logsvc
