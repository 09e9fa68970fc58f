#pragma once
// One fixture for the tests against a real broker: a mosquitto of the test's own in a folder of
// its own, the programs that publish to it, and subscribers.
#include "child.h"
#include "mosquitto.h"
#include "subscriber.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace qn::test {

// How many of `messages` have a topic ending in `suffix`.
inline std::size_t countTopic(const std::vector<Received> &messages, const std::string &suffix)
{
    return std::count_if(messages.begin(), messages.end(), [&](const Received &m) {
        return m.topic.size() >= suffix.size() && m.topic.compare(m.topic.size() - suffix.size(), suffix.size(), suffix) == 0;
    });
}

// The last of `messages` on `topic` (readings keep arriving around the one a test waits for).
inline Received lastOn(const std::vector<Received> &messages, const std::string &topic)
{
    const auto it = std::find_if(messages.rbegin(), messages.rend(), [&](const Received &m) { return m.topic == topic; });
    return it == messages.rend() ? Received{} : *it;
}

class MqttBroker : public ::testing::Test {
protected:
    void startBroker(const std::string &config = {})
    {
        m_broker = std::make_unique<Mosquitto>(m_dir.path, config);
        ASSERT_TRUE(m_broker->start()) << "mosquitto did not start";
    }
    std::unique_ptr<Child> startFeed(std::vector<std::string> args, const char *scheme = "tcp")
    {
        args.insert(args.begin(), {std::string(QN_BIN_DIR) + "/qnmqttfeed", "--broker", m_broker->uri(scheme), "--retry-max", "1"});
        return std::make_unique<Child>(args);
    }
    std::unique_ptr<Subscriber> subscribe(const std::string &filter, const std::string &clientId = "test-subscriber")
    {
        auto s = std::make_unique<Subscriber>(m_broker->uri(), clientId, filter);
        EXPECT_TRUE(s->waitForSubscription());
        return s;
    }

    TempDir m_dir;
    std::unique_ptr<Mosquitto> m_broker;
};

} // namespace qn::test
