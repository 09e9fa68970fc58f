#include "qnlog/mqttsink.h"

#include "mqtt/payload.h"

#include <cstdio>

namespace qn::logsvc {

namespace {

std::optional<Model> modelNamed(const std::string &name)
{
    for (Model m : kAllModels)
        if (traits(m).name == name)
            return m;
    return std::nullopt;
}

} // namespace

mqtt::UnitKey mqttUnit(const UnitIdentity &unit) { return {unit.model, unit.unitId, unit.address}; }

mqtt::UnitReading mqttReading(const Reading &reading)
{
    mqtt::UnitReading r;
    r.unit = mqttUnit(reading.unit);
    r.timeMs = std::chrono::duration_cast<std::chrono::milliseconds>(reading.time.time_since_epoch()).count();
    r.utcOffsetMinutes = mqtt::localUtcOffsetMinutes(r.timeMs);
    const std::optional<Model> model = modelNamed(reading.unit.model);
    const char *label = model && traits(*model).analogInputs == 0 ? "AO" : "AI";
    r.channels.reserve(reading.channels.size());
    for (std::size_t i = 0; i < reading.channels.size(); ++i) {
        const ChannelValue &c = reading.channels[i];
        r.channels.push_back({label + std::to_string(i + 1), c.signalName, c.value, c.unit, c.raw});
    }
    for (const DigitalValue &d : reading.digitalInputs) {
        r.digitalInputs.push_back(d.on ? 1 : 0);
        r.digitalInputSignals.push_back(d.signalName);
    }
    for (const DigitalValue &d : reading.digitalOutputs) {
        r.digitalOutputs.push_back(d.on ? 1 : 0);
        r.digitalOutputSignals.push_back(d.signalName);
    }
    return r;
}

MqttSink::MqttSink(mqtt::BrokerOptions options, CommandRunner runner) : m_runner(std::move(runner))
{
    if (options.persistenceDir.empty())
        if (const char *state = std::getenv("STATE_DIRECTORY")) // systemd's StateDirectory=
            options.persistenceDir = std::string(state) + "/mqtt";
    const auto say = [](const std::string &line) { std::fprintf(stderr, "qnlog: %s\n", line.c_str()); };
#ifdef QN_HAVE_SPARKPLUG
    if (options.payload == mqtt::BrokerOptions::Payload::Sparkplug) {
        m_node = std::make_unique<mqtt::SparkplugNode>(std::move(options), say);
        return;
    }
#endif
    m_publisher = std::make_unique<mqtt::Publisher>(std::move(options), say);
}

const mqtt::Publisher *MqttSink::publisher() const
{
#ifdef QN_HAVE_SPARKPLUG
    if (m_node)
        return m_node->publisher();
#endif
    return m_publisher.get();
}

MqttSink::~MqttSink() = default;

bool MqttSink::start()
{
#ifdef QN_HAVE_SPARKPLUG
    if (m_node)
        return m_node->start();
#endif
    return m_publisher->start();
}

void MqttSink::setCommandUnits(const std::vector<UnitTarget> &units)
{
    m_commandUnits.clear();
    for (const UnitTarget &u : units)
        if (u.commands)
            m_commandUnits.insert({u.address.toStdString(), u.tcpPort});
    m_introduced.clear(); // told again, with the new setting, at their next reading
}

void MqttSink::introduce(const UnitIdentity &unit)
{
    if (!publisher() || !m_introduced.insert({unit.address, unit.tcpPort}).second)
        return;
    const std::optional<Model> model = modelNamed(unit.model);
    if (!model)
        return;
    const bool enabled = m_commandUnits.count({unit.address, unit.tcpPort}) > 0;
    mqtt::Publisher::CommandRunner runner;
    if (m_runner)
        runner = [run = m_runner, unit](const mqtt::UnitKey &, const mqtt::Command &c, std::function<void(std::string)> done) {
            run(unit, c, std::move(done));
        };
#ifdef QN_HAVE_SPARKPLUG
    if (m_node)
        return m_node->addUnit(mqttUnit(unit), *model, enabled, std::move(runner));
#endif
    m_publisher->addUnit(mqttUnit(unit), *model, enabled, std::move(runner));
}

void MqttSink::take(const Reading &reading)
{
    if (!publisher())
        return;
    introduce(reading.unit);
#ifdef QN_HAVE_SPARKPLUG
    if (m_node)
        return m_node->publishReading(mqttReading(reading));
#endif
    m_publisher->publishReading(mqttReading(reading));
}

void MqttSink::unitStateChanged(const UnitIdentity &unit, bool online)
{
    if (!publisher())
        return;
    introduce(unit);
#ifdef QN_HAVE_SPARKPLUG
    if (m_node)
        return m_node->publishUnitStatus(mqttUnit(unit), online);
#endif
    m_publisher->publishUnitStatus(mqttUnit(unit), online);
}

void MqttSink::close()
{
#ifdef QN_HAVE_SPARKPLUG
    m_node.reset();
#endif
    m_publisher.reset();
}

} // namespace qn::logsvc
