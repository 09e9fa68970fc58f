// MQTT commands on the logging service's units: the output's present state read, then the set
// request made from it, on the unit's own session between its readings. Main thread, but for
// the answers, which come on the session's worker.
#include "qnlog/logservice.h"

#include "mqtt/outputrequests.h"

#include <QPointer>

#include <cstring>

namespace qn::logsvc {

namespace {

constexpr int kOutputKind = 1; // the settings file's records of outputs

std::string unitError(int error)
{
    return std::string("the unit did not answer (") + std::strerror(error) + ")";
}

Query query(const mqtt::OutputRequest &r) { return {r.op, r.args}; }

} // namespace

void LogService::runCommand(const UnitIdentity &unit, const mqtt::Command &command,
                            std::function<void(std::string)> done)
{
    const auto it = m_units.find({QString::fromStdString(unit.address), unit.tcpPort});
    QPointer<UnitPoller> poller = it == m_units.end() ? nullptr : it->second.poller.get();
    if (!poller || !poller->setup() || m_stopping) {
        done("the unit does not answer just now");
        return;
    }
    const UnitSetup setup = *poller->setup();
    double factor = 1, offset = 0;
    if (command.kind == mqtt::OutputKind::Analog) {
        const ChannelSettings s =
            m_settings.getConversion(traits(setup.model).settingsCode, setup.unitId, kOutputKind, command.channel - 1);
        factor = s.a;
        offset = s.b;
    }
    const auto set = [this, poller, command, factor, offset, done](QueryResults state) {
        if (state.error) {
            done(unitError(state.error));
            return;
        }
        const Query request = query(mqtt::setRequest(command, state.results.front(), factor, offset));
        // Back on the main thread, where the poller lives (or is gone).
        QMetaObject::invokeMethod(this, [poller, request, done] {
            const bool posted = poller && poller->runCommand({request}, [done](QueryResults result) {
                done(result.error ? unitError(result.error) : std::string());
            });
            if (!posted)
                done("the unit does not answer just now");
        }, Qt::QueuedConnection);
    };
    if (!poller->runCommand({query(mqtt::stateRequest(command))}, set))
        done("the unit does not answer just now");
}

} // namespace qn::logsvc
