#pragma once
// The publisher's state, shared by publisher.cpp and publishersession.cpp (Sparkplug B's
// session mode). Private to the publisher.
#include "mqtt/offlinejournal.h"
#include "mqtt/payload.h"
#include "mqtt/publisher.h"

#include <MQTTAsync.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <unordered_map>
#include <unordered_set>

namespace qn::mqtt {

struct detail::PublisherState {
    using CommandRunner = Publisher::CommandRunner;
    using MessageSink = Publisher::MessageSink;
    std::weak_ptr<PublisherState> self;
    BrokerOptions options;
    MessageSink sink;
    MQTTAsync client = nullptr;
    std::string serviceTopic;
    Session session; // its hooks set: Sparkplug B's session in place of the JSON topics
    bool sessionMode() const { return bool(session.stamp); }

    // Paho keeps pointers into these for its reconnections.
    MQTTAsync_connectOptions connect = MQTTAsync_connectOptions_initializer;
    MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
    MQTTAsync_SSLOptions ssl = MQTTAsync_SSLOptions_initializer;

    struct Unit {
        UnitKey key;
        std::optional<Model> model;
        bool commandsEnabled = false;
        CommandRunner runner;
        std::string lastBody; // the last reading sent, without its time
        int status = -1;      // -1 none sent yet, else 0/1
    };

    mutable std::mutex mutex; // guards what follows; never held while calling into Paho
    std::map<std::string, Unit> units; // by unit topic
    PublisherStats stats;
    // Messages handed to Paho and not yet acknowledged, oldest first, each with its place in
    // the journal once it has one (written while the broker is away).
    struct Pending {
        StoredMessage message;
        std::uint64_t journalId = 0;
        MQTTAsync_token token = 0;
    };
    std::map<std::uint64_t, Pending> pending;
    std::uint64_t nextPending = 0;
    std::unordered_map<MQTTAsync_token, std::uint64_t> pendingByToken;
    std::unordered_set<MQTTAsync_token> early; // acknowledged before send() had filed them
    std::unique_ptr<OfflineJournal> journal;
    bool dropSaid = false;
    std::string lastFailure;   // the reason last said, so retries do not repeat it
    std::string tlsError;      // what OpenSSL said during the attempt that failed
    bool stopping = false;     // attempts the end cuts short are not failures to report

    // Session mode: messages stamped and handed over one at a time; until this connection's
    // births went, the others wait here (and in the journal).
    enum class Via { Queue, Birth, Waited };
    std::mutex sendOrder;
    bool ready = false;
    struct Held {
        StoredMessage message;
        std::uint64_t journalId = 0;
    };
    std::deque<Held> held;
    // Session mode reconnects by itself: the last will changes with each connection.
    std::string willPayload;
    std::thread reconnector;
    std::condition_variable reconnectWake;
    bool reconnectDue = false;
    std::chrono::steady_clock::time_point reconnectAt;
    int retrySeconds = 0;

    // The disconnection at the end.
    std::condition_variable disconnected;
    bool disconnectDone = false;

    void say(const std::string &line)
    {
        if (sink)
            sink(line);
    }

    // By value: a message kept until the broker acknowledges it keeps these very strings.
    void send(std::string topic, std::string payload, bool retained, std::uint64_t journalId = 0, Via via = Via::Queue)
    {
        std::unique_lock<std::mutex> order;
        if (sessionMode()) {
            order = std::unique_lock(sendOrder);
            if (via == Via::Queue) {
                std::lock_guard lock(mutex);
                if (!ready) {
                    hold({std::move(topic), std::move(payload), retained}, journalId);
                    return;
                }
            }
            payload = session.stamp(topic, payload, via == Via::Waited);
            if (payload.empty()) {
                std::lock_guard lock(mutex);
                if (journal)
                    journal->remove(journalId);
                return;
            }
        }
        MQTTAsync_message message = MQTTAsync_message_initializer;
        message.payload = const_cast<char *>(payload.data());
        message.payloadlen = static_cast<int>(payload.size());
        message.qos = 1;
        message.retained = retained ? 1 : 0;
        MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
        const int rc = MQTTAsync_sendMessage(client, topic.c_str(), &message, &response);
        bool sayDrop = false;
        {
            std::lock_guard lock(mutex);
            if (rc != MQTTASYNC_SUCCESS) {
                ++stats.dropped;
                if (journal)
                    journal->remove(journalId);
            } else {
                ++stats.queued;
                file(std::move(topic), std::move(payload), retained, journalId, response.token);
            }
            if (stats.dropped > 0 && !dropSaid)
                sayDrop = dropSaid = true;
        }
        if (sayDrop)
            say(rc == MQTTASYNC_SUCCESS
                    ? "MQTT: more than " + std::to_string(options.bufferLimit) +
                          " messages wait for the broker; the oldest are dropped (counted, said once)"
                    : std::string("MQTT: a message could not be queued: ") + MQTTAsync_strerror(rc));
    }

    // Session mode (publishersession.cpp).
    void hold(StoredMessage message, std::uint64_t journalId); // the broker away (the lock held)
    void sessionConnected();     // a connection: its births, then what waited
    void reconnectIn(int seconds); // the lock held
    int connectNow();            // with the will of the coming connection
    void reconnectLoop();
    int nextRetry();             // the lock held

    // A message Paho took (the lock held).
    void file(std::string topic, std::string payload, bool retained, std::uint64_t journalId, MQTTAsync_token token)
    {
        // Past the limit while the broker is away, Paho gives up its oldest.
        if (!stats.connected && pending.size() >= std::size_t(options.bufferLimit)) {
            ++stats.dropped;
            forget(pending.begin());
        }
        if (early.erase(token)) {
            ++stats.delivered;
            if (journal)
                journal->remove(journalId);
            return;
        }
        Pending p{{std::move(topic), std::move(payload), retained}, journalId, token};
        if (!stats.connected && p.journalId == 0 && journal)
            p.journalId = journal->add(p.message);
        pendingByToken[token] = nextPending;
        pending.emplace(nextPending++, std::move(p));
    }

    void forget(std::map<std::uint64_t, Pending>::iterator it)
    {
        if (journal)
            journal->remove(it->second.journalId);
        pendingByToken.erase(it->second.token);
        pending.erase(it);
    }

    // The broker went, or the program ends: what it has not acknowledged goes to disk.
    void keepPending()
    {
        if (!journal)
            return;
        for (auto &[seq, p] : pending)
            if (p.journalId == 0)
                p.journalId = journal->add(p.message);
    }

    std::string failureReason(const MQTTAsync_failureData *response)
    {
        const int code = response ? response->code : MQTTASYNC_FAILURE;
        std::string tls;
        {
            std::lock_guard lock(mutex);
            tls.swap(tlsError);
        }
        switch (code) {
        case 1:
            return "the broker refused the connection: it does not take MQTT 3.1.1";
        case 2:
            return "the broker refused the client id \"" + options.clientId + '"';
        case 3:
            return "the broker refused the connection: server unavailable";
        case 4:
            return "the broker refused the login: bad user name or password";
        case 5:
            return "the broker refused the login: not authorised";
        default:
            break;
        }
        if (!tls.empty()) {
            if (tls.find("certificate verify failed") != std::string::npos)
                return "the broker's certificate is not trusted by the CA file \"" + options.caFile +
                       "\" (certificate verify failed)";
            return "TLS failed: " + tls;
        }
        if (response && response->message)
            return std::string("cannot connect: ") + response->message;
        return std::string("cannot connect: ") + MQTTAsync_strerror(code);
    }

    void handleCommand(const std::string &topic, const std::string &payload, const std::shared_ptr<PublisherState> &self);
};

} // namespace qn::mqtt
