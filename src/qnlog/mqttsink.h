#pragma once
// The readings on an MQTT broker (see README, "MQTT"): a ReadingSink over the publisher.
// Main thread, as every sink; the publisher's own threads do the sending.
#include "mqtt/publisher.h"
#ifdef QN_HAVE_SPARKPLUG
#include "mqtt/sparkplugnode.h"
#endif
#include "qnlog/reading.h"
#include "qnlog/serviceconfig.h"

#include <memory>
#include <set>
#include <string>

namespace qn::logsvc {

class MqttSink final : public ReadingSink {
public:
    // Runs a checked command on a unit; `done` once, from any thread, with "" or the error.
    using CommandRunner =
        std::function<void(const UnitIdentity &unit, const mqtt::Command &command, std::function<void(std::string)> done)>;

    MqttSink(mqtt::BrokerOptions options, CommandRunner runner = {});
    ~MqttSink() override;

    // False (said on standard error) when the options cannot work at all.
    bool start();
    // Which units take commands: the [unit] sections with "commands = yes".
    void setCommandUnits(const std::vector<UnitTarget> &units);

    void take(const Reading &reading) override;
    void unitStateChanged(const UnitIdentity &unit, bool online) override;
    // "offline" on the service topic and a short wait for what is in flight; what the broker
    // has not taken stays in the persistence folder for the next start.
    void close() override;

    const mqtt::Publisher *publisher() const;

private:
    void introduce(const UnitIdentity &unit);

    std::unique_ptr<mqtt::Publisher> m_publisher; // payload = json
#ifdef QN_HAVE_SPARKPLUG
    std::unique_ptr<mqtt::SparkplugNode> m_node;  // payload = sparkplug
#endif
    CommandRunner m_runner;
    std::set<std::pair<std::string, int>> m_commandUnits; // address, TCP port
    std::set<std::pair<std::string, int>> m_introduced;   // units the publisher was told of
};

// The publisher's reading from the service's: the same values, the channels labelled
// AI1.. (inputs) or AO1.. (outputs) by model.
mqtt::UnitReading mqttReading(const Reading &reading);
mqtt::UnitKey mqttUnit(const UnitIdentity &unit);

} // namespace qn::logsvc
