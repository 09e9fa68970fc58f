// The [mqtt] section and a unit's "commands" key of qnlog's configuration: the options they set,
// and a mistake named by its line.
#include "qnlog/serviceconfig.h"

#include <gtest/gtest.h>

using namespace qn::logsvc;

namespace {

const QByteArray kUnit = "[unit]\naddress = 192.0.2.7\ncommands = yes\n"; // lines 1-3

TEST(MqttConfig, TheSectionSetsThePublishersOptions)
{
    const QByteArray text = kUnit + "[mqtt]\nbroker = ssl://broker.example:8883\nprefix = plant/line1\nclient-id = line1\n"
                                    "username = u\npassword = p\nca-file = /etc/qnlog/ca.pem\ncert-file = /c.pem\nkey-file = /c.key\n"
                                    "retain = yes\nonly-on-change = on\nbuffer = 500\npersistence-dir = /var/lib/q\n"
                                    "payload = sparkplug\ngroup-id = Plant 1\nedge-node-id = line1-logger\n";
    ConfigError error;
    const std::optional<ServiceConfig> config = parseServiceConfig(text, "q.conf", &error);
    ASSERT_TRUE(config) << error.text().toStdString();
    ASSERT_TRUE(config->mqtt);
    const qn::mqtt::BrokerOptions &o = *config->mqtt;
    EXPECT_EQ(o.uri, "ssl://broker.example:8883");
    EXPECT_EQ(o.prefix, "plant/line1");
    EXPECT_EQ(o.clientId, "line1");
    EXPECT_EQ(o.username + o.password, "up");
    EXPECT_EQ(o.caFile + o.certFile + o.keyFile, "/etc/qnlog/ca.pem/c.pem/c.key");
    EXPECT_TRUE(o.retainReadings);
    EXPECT_TRUE(o.onlyOnChange);
    EXPECT_EQ(o.bufferLimit, 500);
    EXPECT_EQ(o.persistenceDir, "/var/lib/q");
    EXPECT_EQ(o.payload, qn::mqtt::BrokerOptions::Payload::Sparkplug);
    EXPECT_EQ(o.groupId + "|" + o.edgeNodeId, "Plant 1|line1-logger");
    EXPECT_TRUE(config->units.front().commands);

    const std::optional<ServiceConfig> plain = parseServiceConfig("[unit]\naddress = 192.0.2.7\n", "q.conf", &error);
    ASSERT_TRUE(plain);
    EXPECT_FALSE(plain->mqtt);
    EXPECT_EQ(qn::mqtt::BrokerOptions().payload, qn::mqtt::BrokerOptions::Payload::Json);
    EXPECT_FALSE(plain->units.front().commands);
}

TEST(MqttConfig, AMistakeNamesItsLine)
{
    const struct {
        QByteArray lines; // from line 4 on
        int line;
        const char *message;
    } cases[] = {
        {"[mqtt]\nbrokr = tcp://b:1883\n", 5, "unknown key 'brokr' in [mqtt]"},
        {"[mqtt]\nbroker = http://b:1883\n", 5, "bad broker"},
        {"[mqtt]\nbroker = tcp://b\n", 5, "bad broker"},
        {"[mqtt]\nprefix = a/#\n", 5, "bad prefix"},
        {"[mqtt]\nretain = maybe\n", 5, "retain must be yes or no"},
        {"[mqtt]\nbuffer = 0\n", 5, "buffer must be a whole number from 1 to 65000"},
        {"[mqtt]\nbuffer = 70000\n", 5, "buffer must be"},
        {"[mqtt]\nbroker = tcp://b:1883\nca-file = /ca.pem\n", 4, "need an ssl:// broker"},
        {"[mqtt]\n[mqtt]\n", 5, "a second [mqtt] section"},
        {"[mqtt]\npayload = protobuf\n", 5, "payload must be json or sparkplug"},
        {"[mqtt]\ngroup-id = a/b\n", 5, "bad group-id"},
        {"[mqtt]\nedge-node-id = #\n", 5, "bad edge-node-id"},
        {"[unit]\naddress = 192.0.2.8\ncommands = sometimes\n", 6, "commands must be yes or no"},
    };
    for (const auto &c : cases) {
        ConfigError error;
        EXPECT_FALSE(parseServiceConfig(kUnit + c.lines, "q.conf", &error)) << c.lines.constData();
        EXPECT_EQ(error.line, c.line) << c.lines.constData();
        EXPECT_TRUE(error.message.contains(QString::fromUtf8(c.message))) << error.text().toStdString();
    }
}

} // namespace
