// MQTT commands on the logging service's units: the output's present state read, then the
// write made from it, on the unit's own session between its readings.
#include "qnlog/logservice.h"

#include "mqtt/outputcommand.h"

namespace qn::logsvc {

namespace {

std::string failed(const LinkError &error) { return "the unit did not take it: " + error.text(); }

} // namespace

bool UnitQueries::switchOutput(int channel, bool on, std::function<void(Result<DigitalOutputs>)> done)
{
    UnitSession &session = *m_session;
    return session.getDO([&session, channel, on, done = std::move(done)](Result<DigitalOutputs> r) {
        if (!r)
            done(r.error());
        else if (!session.setDO(mqtt::outputPattern({mqtt::OutputKind::Digital, channel, on ? 1.0 : 0.0}, r->pattern), done))
            done(LinkError{}); // stopping
    });
}

bool UnitQueries::setAnalogOutput(int channel, std::function<int(int)> code, std::function<void(Result<AnalogOutput>)> done)
{
    UnitSession &session = *m_session;
    return session.getAO(channel - 1, [&session, code = std::move(code), done = std::move(done)](Result<AnalogOutput> r) {
        if (!r)
            done(r.error());
        else if (!session.setAO(r->channel, r->mode, code(r->mode), done))
            done(LinkError{}); // stopping
    });
}

void LogService::runCommand(const UnitIdentity &unit, const mqtt::Command &command,
                            std::function<void(std::string)> done)
{
    const auto it = m_units.find({QString::fromStdString(unit.address), unit.tcpPort});
    UnitPoller *poller = it == m_units.end() || m_stopping ? nullptr : it->second.poller.get();
    UnitQueries *queries = poller ? poller->commandQueries() : nullptr;
    if (!queries) {
        done("the unit does not answer just now");
        return;
    }
    // Answers come on the session's worker; `done` may run there.
    bool posted = false;
    if (command.kind == mqtt::OutputKind::Digital) {
        posted = queries->switchOutput(command.channel, command.value != 0, [done](Result<DigitalOutputs> r) {
            done(r ? std::string() : failed(r.error()));
        });
    } else {
        const UnitSetup &setup = *poller->setup();
        const ChannelSettings s =
            m_settings.getConversion(traits(setup.model).settingsCode, setup.unitId, RecordKind::Output, command.channel - 1);
        posted = queries->setAnalogOutput(
            command.channel, [command, a = s.a, b = s.b](int mode) { return mqtt::analogOutputCode(command, mode, a, b); },
            [done](Result<AnalogOutput> r) { done(r ? std::string() : failed(r.error())); });
    }
    if (!posted)
        done("the unit does not answer just now");
}

} // namespace qn::logsvc
