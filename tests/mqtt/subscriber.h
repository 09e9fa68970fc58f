#pragma once
// A subscriber for the MQTT tests and the benchmark: a Paho client with a session the broker
// keeps (so nothing is lost while it or the broker is away), collecting what arrives.
#include <MQTTAsync.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace qn::test {

struct Received {
    std::string topic, payload;
    bool retained = false;
};

class Subscriber final {
public:
    // `keepMessages` false only counts (the benchmark's thousands a second).
    Subscriber(const std::string &uri, const std::string &clientId, const std::string &filter, bool keepMessages = true)
        : m_filter(filter), m_keep(keepMessages)
    {
        MQTTAsync_createOptions create = MQTTAsync_createOptions_initializer;
        create.MQTTVersion = MQTTVERSION_3_1_1;
        MQTTAsync_createWithOptions(&m_client, uri.c_str(), clientId.c_str(), MQTTCLIENT_PERSISTENCE_NONE, nullptr, &create);
        MQTTAsync_setCallbacks(m_client, this, nullptr, &Subscriber::arrived, nullptr);
        MQTTAsync_setConnected(m_client, this, &Subscriber::connected);
        MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
        options.cleansession = 0;
        options.automaticReconnect = 1;
        options.minRetryInterval = 1;
        options.maxRetryInterval = 1;
        options.keepAliveInterval = 10;
        options.MQTTVersion = MQTTVERSION_3_1_1;
        MQTTAsync_connect(m_client, &options);
    }
    ~Subscriber()
    {
        MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
        options.timeout = 0;
        MQTTAsync_disconnect(m_client, &options);
        MQTTAsync_destroy(&m_client);
    }
    Subscriber(const Subscriber &) = delete;
    Subscriber &operator=(const Subscriber &) = delete;

    // Waits until `done(messages)` holds (the lock held); false after `timeout`.
    bool waitUntil(const std::function<bool(const std::vector<Received> &)> &done,
                   std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return done(m_messages); });
    }
    bool waitForSubscription() { return waitUntilCount([&] { return m_subscribed; }); }
    bool waitForCount(std::uint64_t n, std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        return waitUntilCount([&] { return m_count >= n; }, timeout);
    }
    std::uint64_t count() const
    {
        std::lock_guard lock(m_mutex);
        return m_count;
    }
    std::vector<Received> messages() const
    {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    // Publishes as a dashboard would (a command, say).
    void publish(const std::string &topic, const std::string &payload)
    {
        MQTTAsync_message m = MQTTAsync_message_initializer;
        m.payload = const_cast<char *>(payload.data());
        m.payloadlen = int(payload.size());
        m.qos = 1;
        MQTTAsync_sendMessage(m_client, topic.c_str(), &m, nullptr);
    }

private:
    bool waitUntilCount(const std::function<bool()> &done, std::chrono::milliseconds timeout = std::chrono::seconds(60))
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, done);
    }
    static void connected(void *context, char *)
    {
        auto *s = static_cast<Subscriber *>(context);
        MQTTAsync_responseOptions options = MQTTAsync_responseOptions_initializer;
        options.context = s;
        options.onSuccess = [](void *c, MQTTAsync_successData *) {
            auto *self = static_cast<Subscriber *>(c);
            std::lock_guard lock(self->m_mutex);
            self->m_subscribed = true;
            self->m_changed.notify_all();
        };
        MQTTAsync_subscribe(s->m_client, s->m_filter.c_str(), 1, &options);
    }
    static int arrived(void *context, char *topic, int topicLength, MQTTAsync_message *message)
    {
        auto *s = static_cast<Subscriber *>(context);
        {
            std::lock_guard lock(s->m_mutex);
            ++s->m_count;
            if (s->m_keep)
                s->m_messages.push_back({std::string(topic, topicLength > 0 ? std::size_t(topicLength) : std::strlen(topic)),
                                         std::string(static_cast<const char *>(message->payload), std::size_t(message->payloadlen)),
                                         message->retained != 0});
            s->m_changed.notify_all();
        }
        MQTTAsync_freeMessage(&message);
        MQTTAsync_free(topic);
        return 1;
    }

    MQTTAsync m_client = nullptr;
    std::string m_filter;
    bool m_keep;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Received> m_messages;
    std::uint64_t m_count = 0;
    bool m_subscribed = false;
};

} // namespace qn::test
