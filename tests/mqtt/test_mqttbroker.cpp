// The publisher (driven by qnmqttfeed) against a real mosquitto on loopback; a subscriber checks
// what arrives. Every wait is for something the broker, the subscriber or the feed reports.
#include "mqtt/command.h"

#include "brokertest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

using namespace qn::test;

namespace {

const std::string kUnit1 = "qnview/QN-210_1_127.0.0.1";

// The raw code of the first channel: the feed's sequence number of the reading.
long sequenceOf(const std::string &payload)
{
    const std::size_t at = payload.find("\"raw\":");
    return at == std::string::npos ? -1 : std::strtol(payload.c_str() + at + 6, nullptr, 10);
}

TEST_F(MqttBroker, ReadingsArriveWithTheDocumentedJson)
{
    startBroker();
    auto subscriber = subscribe("qnview/+/reading");
    auto feed = startFeed({"--units", "2", "--time-ms", "1796778930125", "--utc-offset", "540"});
    feed->send("r 2");
    ASSERT_TRUE(feed->waitFor(Child::Out, "sent 2"));
    ASSERT_TRUE(subscriber->waitUntil([](const auto &m) { return m.size() == 4; })) << feed->seen(Child::Err);
    const auto messages = subscriber->messages();
    const auto first = std::find_if(messages.begin(), messages.end(), [](const Received &m) { return m.topic == kUnit1 + "/reading"; });
    ASSERT_NE(first, messages.end());
    EXPECT_EQ(first->payload,
              R"({"time":"2026-12-09T10:15:30.125+09:00","model":"QN-210","id":1,"address":"127.0.0.1","channels":[)"
              R"({"channel":"AI1","signal":"温度","value":1.1,"unit":"°C","raw":1},)"
              R"({"channel":"AI2","signal":"CH2","value":1.2,"unit":"V","raw":1001},)"
              R"({"channel":"AI3","signal":"CH3","value":1.3,"unit":"V","raw":2001}],"di":[],"do":[1,0]})");
    EXPECT_FALSE(first->retained);
}

TEST_F(MqttBroker, RetainKeepsTheLastReadingAndOnlyOnChangeSkipsTheSameOnes)
{
    startBroker();
    auto subscriber = subscribe(kUnit1 + "/reading");
    auto feed = startFeed({"--units", "1", "--retain", "1", "--on-change", "1"});
    feed->send("r 1");
    feed->send("same 3");
    feed->send("r 1");
    ASSERT_TRUE(feed->waitFor(Child::Out, "sent 2"));
    ASSERT_TRUE(subscriber->waitUntil([](const auto &m) { return sequenceOf(m.empty() ? "" : m.back().payload) == 2; }));
    EXPECT_EQ(subscriber->count(), 2u) << "the three alike were sent";
    feed->send("stats");
    EXPECT_TRUE(feed->waitFor(Child::Out, "unchanged 3"));

    auto late = subscribe(kUnit1 + "/reading", "late");
    ASSERT_TRUE(late->waitUntil([](const auto &m) { return !m.empty(); }));
    EXPECT_TRUE(late->messages().front().retained);
    EXPECT_EQ(sequenceOf(late->messages().front().payload), 2);
}

TEST_F(MqttBroker, StatusIsRetainedAndTheLastWillSaysAKilledServiceIsOffline)
{
    startBroker();
    auto watcher = subscribe("qnview/#", "watcher");
    auto feed = startFeed({"--units", "1"});
    feed->send("s 1 1");
    ASSERT_TRUE(watcher->waitUntil([](const auto &m) {
        return countTopic(m, "/service/status") == 1 && countTopic(m, "_127.0.0.1/status") == 1;
    })) << feed->seen(Child::Err);

    // A subscriber that comes later is told both at once, from what the broker kept.
    auto late = subscribe("qnview/+/status", "late");
    ASSERT_TRUE(late->waitUntil([](const auto &m) { return m.size() == 2; }));
    for (const Received &m : late->messages()) {
        EXPECT_TRUE(m.retained) << m.topic;
        EXPECT_EQ(m.payload, "online") << m.topic;
    }

    feed->stop(SIGKILL);
    ASSERT_TRUE(watcher->waitUntil([](const auto &m) { return lastOn(m, "qnview/service/status").payload == "offline"; }));
}

TEST_F(MqttBroker, BrokerAwayAndServiceRestartedMeanwhileLoseNothingAndKeepTheOrder)
{
    startBroker();
    auto subscriber = subscribe("qnview/+/reading", "historian");
    const std::vector<std::string> options = {"--units", "2", "--client-id", "feed-outage", "--persist", (m_dir.path / "feed").string()};
    auto feed = startFeed(options);
    feed->send("r 5");
    ASSERT_TRUE(subscriber->waitForCount(10)) << feed->seen(Child::Err);

    m_broker->stop();
    ASSERT_TRUE(feed->waitFor(Child::Err, "lost the broker"));
    feed->send("r 20");
    ASSERT_TRUE(feed->waitFor(Child::Out, "sent 25"));
    // The service goes down with readings still waiting, and comes back while the broker is away.
    feed->stop(SIGKILL);
    auto options2 = options;
    options2.insert(options2.end(), {"--first", "26"});
    feed = startFeed(options2);
    // Forty readings, and any message the broker had not acknowledged when it went.
    ASSERT_TRUE(feed->waitFor(Child::Err, "messages kept from the last run")) << feed->seen(Child::Err);
    feed->send("r 20");
    ASSERT_TRUE(feed->waitFor(Child::Out, "sent 45"));

    ASSERT_TRUE(m_broker->start());
    // Both units' last reading (any repeats come before it).
    ASSERT_TRUE(subscriber->waitUntil([](const auto &m) {
        return std::count_if(m.begin(), m.end(), [](const Received &r) { return sequenceOf(r.payload) == 45; }) == 2;
    })) << feed->seen(Child::Err);
    for (const std::string unit : {"qnview/QN-210_1_127.0.0.1/reading", "qnview/QN-210_2_127.0.0.2/reading"}) {
        std::vector<long> sequence;
        // The broker was stopped before it had every acknowledgement of the subscriber, and
        // QoS 1 sends those again: a repeat is no fault, a reading late or missing is.
        for (const Received &m : subscriber->messages())
            if (m.topic == unit && (sequence.empty() || sequenceOf(m.payload) > sequence.back()))
                sequence.push_back(sequenceOf(m.payload));
        std::vector<long> expected(45);
        std::iota(expected.begin(), expected.end(), 1);
        std::string got;
        for (long n : sequence)
            got += std::to_string(n) + ' ';
        EXPECT_EQ(sequence, expected) << unit << ": " << got;
    }
}

TEST_F(MqttBroker, PastTheBufferTheOldestAreDroppedCountedAndSaidOnce)
{
    startBroker();
    auto subscriber = subscribe(kUnit1 + "/reading", "historian");
    m_broker->stop();
    auto feed = startFeed({"--units", "1", "--buffer", "10"});
    feed->send("r 25");
    ASSERT_TRUE(feed->waitFor(Child::Out, "sent 25"));
    feed->send("stats");
    ASSERT_TRUE(feed->waitFor(Child::Out, "dropped 15"));
    ASSERT_TRUE(m_broker->start());
    ASSERT_TRUE(subscriber->waitUntil([](const auto &m) { return !m.empty() && sequenceOf(m.back().payload) == 25; }))
        << feed->seen(Child::Err);
    std::vector<long> sequence;
    for (const Received &m : subscriber->messages())
        sequence.push_back(sequenceOf(m.payload));
    std::vector<long> newest(10);
    std::iota(newest.begin(), newest.end(), 16);
    EXPECT_EQ(sequence, newest);
    // Everything it said until it reached the broker: the drops once, not once per reading.
    ASSERT_TRUE(feed->waitFor(Child::Err, "connected to"));
    const std::string &said = feed->seen(Child::Err);
    std::size_t drops = 0;
    for (std::size_t at = said.find("dropped"); at != std::string::npos; at = said.find("dropped", at + 1))
        ++drops;
    EXPECT_EQ(drops, 1u) << said;
}

TEST_F(MqttBroker, RefusedLoginOrCertificateIsSaidClearlyAndRetried)
{
    ASSERT_TRUE(makeCertificates(m_dir.path));
    ASSERT_TRUE(run("mosquitto_passwd -b -c " + (m_dir.path / "passwd").string() + " plant secret"));
    const std::string d = m_dir.path.string() + "/";
    const std::string login = "allow_anonymous false\npassword_file " + d + "passwd\n";
    const std::string tls = "cafile " + d + "ca.pem\ncertfile " + d + "server.pem\nkeyfile " + d + "server.key\n";
    const struct {
        const char *name;
        std::string config;
        const char *scheme;
        std::vector<std::string> args;
        const char *said;
    } cases[] = {
        {"wrong password", login, "tcp", {"--username", "plant", "--password", "wrong"}, "refused the login"},
        {"right password", login, "tcp", {"--username", "plant", "--password", "secret"}, "connected to"},
        {"untrusted certificate", tls, "ssl", {"--ca", d + "other-ca.pem"}, "certificate is not trusted by the CA file"},
        {"trusted certificate", tls, "ssl", {"--ca", d + "ca.pem"}, "connected to"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        startBroker(c.config);
        auto feed = startFeed(c.args, c.scheme);
        std::string line;
        ASSERT_TRUE(feed->readLine(Child::Err, line)) << feed->seen(Child::Err);
        EXPECT_NE(line.find(c.said), std::string::npos) << line;
        if (std::string(c.said) != "connected to") {
            EXPECT_NE(line.find("retrying with back-off"), std::string::npos) << line;
        }
        m_broker->stop();
    }
}

TEST_F(MqttBroker, CommandsAreRefusedUnlessEnabledAndCheckedBeforeTheUnitSeesThem)
{
    startBroker();
    auto dashboard = subscribe("qnview/#", "dashboard");
    auto feed = startFeed({"--units", "2", "--model", "QN-110", "--commands", "1"});
    ASSERT_TRUE(dashboard->waitUntil([](const auto &m) { return countTopic(m, "/service/status") == 1; }));
    const std::string unit1 = "qnview/QN-110_1_127.0.0.1", unit2 = "qnview/QN-110_2_127.0.0.2";
    const struct {
        std::string unit;
        const char *channel, *payload, *error;
    } cases[] = {
        {unit2, "AO1", "1.5", "commands are not enabled for this unit"},
        {unit1, "DO1", "1", "the QN-110 has no output \"DO1\""},
        {unit1, "AO1", "abc", "an analog output takes a number"},
        {unit1, "AO2", "2.5", ""},
    };
    std::size_t answers = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.channel + std::string(" ") + c.payload);
        dashboard->publish(c.unit + "/set/" + c.channel, c.payload);
        ++answers;
        ASSERT_TRUE(dashboard->waitUntil([&](const auto &m) { return countTopic(m, "/result") == answers; }));
        EXPECT_EQ(lastOn(dashboard->messages(), c.unit + "/result").payload,
                  qn::mqtt::commandResultJson(c.channel, c.payload, c.error));
    }
    // Only the accepted one reached the unit.
    ASSERT_TRUE(feed->waitFor(Child::Out, "run 1 AO2 2.5"));
    EXPECT_EQ(feed->seen(Child::Out), "run 1 AO2 2.5\n");
}

} // namespace
