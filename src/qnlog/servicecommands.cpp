// MQTT commands on the logging service's units: the output's present state read, then the
// write made from it, through the unit's core between its readings (which keeps what the
// unit confirmed).
#include "qnlog/logservice.h"

#include "mqtt/outputcommand.h"

namespace qn::logsvc {

namespace {

std::string failed(const LinkError &error) { return "the unit did not take it: " + error.text(); }

} // namespace

void LogService::runCommand(const UnitIdentity &unit, const mqtt::Command &command,
                            std::function<void(std::string)> done)
{
    const auto it = m_units.find({QString::fromStdString(unit.address), unit.tcpPort});
    UnitPoller *poller = it == m_units.end() || m_stopping ? nullptr : it->second.poller.get();
    unit::UnitCore *core = poller ? poller->commandCore() : nullptr;
    if (!core) {
        done("the unit does not answer just now");
        return;
    }
    bool posted = false;
    if (command.kind == mqtt::OutputKind::Digital) {
        posted = core->changeDigitalOutputs([command](int pattern) { return mqtt::outputPattern(command, pattern); },
                                            [done](Result<DigitalOutputs> r) { done(r ? std::string() : failed(r.error())); });
    } else {
        const unit::UnitState &state = *core->state();
        const ChannelSettings s =
            m_settings.getConversion(traits(state.model).settingsCode, state.unitId, RecordKind::Output, command.channel - 1);
        posted = core->setAnalogOutput(
            command.channel - 1, [command, a = s.a, b = s.b](int mode) { return mqtt::analogOutputCode(command, mode, a, b); },
            [done](Result<AnalogOutput> r) { done(r ? std::string() : failed(r.error())); });
    }
    if (!posted)
        done("the unit does not answer just now");
}

} // namespace qn::logsvc
