// qnlog with an [mqtt] section, a simulated unit and a real mosquitto: the unit's readings and
// state on the broker, a command that reaches the unit, the service's own state at its end.
#include "mqtt/command.h"
#include "qnlogbrokertest.h"

#include <fstream>
#include <regex>

using namespace qn::test;

namespace {

class QnlogMqtt : public QnlogWithBroker {};

TEST_F(QnlogMqtt, ReadingsStateAndCommandsGoThroughTheBroker)
{
    auto dashboard = subscribe("qnview/#", "dashboard");
    auto qnlog = startQnlog(true);
    const std::string unit = "qnview/QN-210_3_127.0.0.2";
    ASSERT_TRUE(dashboard->waitUntil([&](const auto &m) {
        return countTopic(m, unit + "/reading") >= 2 && countTopic(m, unit + "/status") == 1;
    })) << qnlog->seen(Child::Err);

    const auto messages = dashboard->messages();
    const auto reading = std::find_if(messages.begin(), messages.end(), [&](const Received &m) { return m.topic == unit + "/reading"; });
    const std::string channel = R"(\{"channel":"AI[123]","signal":"[^"]*","value":-?[0-9.e+-]+,"unit":"[^"]*","raw":-?[0-9]+\})";
    const std::regex shape(R"(\{"time":"20\d\d-\d\d-\d\dT\d\d:\d\d:\d\d\.\d\d\d[+-]\d\d:\d\d","model":"QN-210","id":3,)"
                           R"("address":"127\.0\.0\.2","channels":\[)" + channel + "," + channel + "," + channel +
                           R"(\],"di":\[\],"do":\[0,0\]\})");
    EXPECT_TRUE(std::regex_match(reading->payload, shape)) << reading->payload;

    dashboard->publish(unit + "/set/DO2", "1");
    ASSERT_TRUE(dashboard->waitUntil([&](const auto &m) { return countTopic(m, unit + "/result") == 1; }));
    EXPECT_EQ(lastOn(dashboard->messages(), unit + "/result").payload, qn::mqtt::commandResultJson("DO2", "1", ""));
    EXPECT_EQ(m_simulator.state(m_inputs).doPattern, 0b10);
    ASSERT_TRUE(dashboard->waitUntil([&](const auto &m) {
        return lastOn(m, unit + "/reading").payload.find(R"("do":[0,1])") != std::string::npos;
    }));

    // An analog output through the channel's formula (the default 1:1) in its mode: 2.5 V.
    const std::string outputUnit = "qnview/QN-110_1_127.0.0.3";
    ASSERT_TRUE(dashboard->waitUntil([&](const auto &m) { return countTopic(m, outputUnit + "/reading") >= 1; }));
    dashboard->publish(outputUnit + "/set/AO1", "2.5");
    ASSERT_TRUE(dashboard->waitUntil([&](const auto &m) { return countTopic(m, outputUnit + "/result") == 1; }));
    EXPECT_EQ(lastOn(dashboard->messages(), outputUnit + "/result").payload, qn::mqtt::commandResultJson("AO1", "2.5", ""));
    EXPECT_EQ(m_simulator.state(m_outputs).aoRaw[0], 8192);

    EXPECT_EQ(qnlog->stop(SIGTERM), 0);
    // A stopped service leaves no unit looking online.
    ASSERT_TRUE(dashboard->waitUntil([&](const auto &m) {
        return lastOn(m, "qnview/service/status").payload == "offline" && lastOn(m, unit + "/status").payload == "offline" &&
               lastOn(m, outputUnit + "/status").payload == "offline";
    }));
}

} // namespace
