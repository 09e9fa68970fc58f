#include "mqtt/publisher.h"

#include "mqtt/offlinejournal.h"
#include "mqtt/payload.h"

#include <MQTTAsync.h>

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <filesystem>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <mutex>
#include <thread>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace qn::mqtt {

namespace {

std::string defaultClientId()
{
    char host[256] = "localhost";
#ifndef _WIN32
    if (gethostname(host, sizeof host - 1) != 0)
        std::strcpy(host, "localhost");
#endif
    return std::string("qnlog-") + host;
}

bool isTlsUri(const std::string &uri) { return uri.rfind("ssl://", 0) == 0 || uri.rfind("mqtts://", 0) == 0; }

const char *orNull(const std::string &s) { return s.empty() ? nullptr : s.c_str(); }

} // namespace

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

    // Session mode, the broker away (the lock held): the message waits here, oldest dropped
    // past the limit.
    void hold(StoredMessage message, std::uint64_t journalId)
    {
        if (held.size() >= std::size_t(std::max(options.bufferLimit, 1))) {
            ++stats.dropped;
            if (journal)
                journal->remove(held.front().journalId);
            held.pop_front();
        }
        if (journalId == 0 && journal)
            journalId = journal->add(message);
        held.push_back({std::move(message), journalId});
    }

    // Session mode: a connection is there. Its births first, then what waited, in order.
    void sessionConnected()
    {
        for (const std::string &filter : session.subscriptions)
            MQTTAsync_subscribe(client, filter.c_str(), 0, nullptr);
        if (session.births)
            for (StoredMessage &m : session.births())
                send(std::move(m.topic), std::move(m.payload), m.retained, 0, Via::Birth);
        for (;;) {
            std::deque<Held> batch;
            {
                std::lock_guard lock(mutex);
                if (held.empty()) {
                    ready = true;
                    return;
                }
                batch.swap(held);
            }
            for (Held &h : batch)
                send(std::move(h.message.topic), std::move(h.message.payload), h.message.retained, h.journalId, Via::Waited);
        }
    }

    // Session mode: the next attempt after `seconds` (the lock held).
    void reconnectIn(int seconds)
    {
        if (stopping)
            return;
        reconnectDue = true;
        reconnectAt = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
        reconnectWake.notify_all();
    }
    int connectNow() // with the will of the coming connection
    {
        willPayload = session.nextWill ? session.nextWill() : std::string();
        will.message = nullptr;
        will.payload.data = willPayload.data();
        will.payload.len = int(willPayload.size());
        return MQTTAsync_connect(client, &connect);
    }
    void reconnectLoop()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            reconnectWake.wait(lock, [&] { return stopping || reconnectDue; });
            if (stopping || reconnectWake.wait_until(lock, reconnectAt, [&] { return stopping; }))
                return;
            reconnectDue = false;
            lock.unlock();
            const int rc = connectNow();
            lock.lock();
            if (rc != MQTTASYNC_SUCCESS)
                reconnectIn(nextRetry());
        }
    }
    int nextRetry() // the lock held
    {
        retrySeconds = retrySeconds == 0 ? options.retryMinSeconds : std::min(retrySeconds * 2, options.retryMaxSeconds);
        return retrySeconds;
    }

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

namespace {

void onConnected(void *context, char *)
{
    auto *s = static_cast<detail::PublisherState *>(context);
    {
        std::lock_guard lock(s->mutex);
        s->stats.connected = true;
        s->lastFailure.clear();
    }
    s->say("MQTT: connected to " + s->options.uri);
    if (s->sessionMode()) {
        {
            std::lock_guard lock(s->mutex);
            s->retrySeconds = 0;
        }
        s->sessionConnected();
        return;
    }
    // The broker takes one client's packets in order: whoever sees "online" can send commands.
    MQTTAsync_subscribe(s->client, commandFilter(s->options.prefix).c_str(), 1, nullptr);
    s->send(s->serviceTopic, "online", true);
}

void onConnectionLost(void *context, char *)
{
    auto *s = static_cast<detail::PublisherState *>(context);
    {
        std::lock_guard lock(s->mutex);
        s->stats.connected = false;
        s->ready = false;
        if (s->sessionMode())
            s->reconnectIn(0);
    }
    s->say("MQTT: lost the broker at " + s->options.uri + "; readings wait for it and go out in order when it is back");
}

void onConnectFailure(void *context, MQTTAsync_failureData *response)
{
    auto *s = static_cast<detail::PublisherState *>(context);
    const std::string reason = s->failureReason(response);
    {
        std::lock_guard lock(s->mutex);
        if (s->sessionMode())
            s->reconnectIn(s->nextRetry());
        if (s->stopping || reason == s->lastFailure)
            return;
        s->lastFailure = reason;
    }
    s->say("MQTT: " + s->options.uri + ": " + reason + "; retrying with back-off");
}

void onDelivered(void *context, MQTTAsync_token token)
{
    auto *s = static_cast<detail::PublisherState *>(context);
    std::lock_guard lock(s->mutex);
    const auto it = s->pendingByToken.find(token);
    if (it == s->pendingByToken.end()) {
        s->early.insert(token);
        return;
    }
    ++s->stats.delivered;
    const auto p = s->pending.find(it->second);
    if (p != s->pending.end())
        s->forget(p);
}

int onTlsError(const char *text, size_t length, void *context)
{
    auto *s = static_cast<detail::PublisherState *>(context);
    std::lock_guard lock(s->mutex);
    std::string line(text, length);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    // OpenSSL's lines read "...:error:0A000086:SSL routines::certificate verify failed:...";
    // the part after "::" says what happened.
    if (const auto at = line.find("::"); at != std::string::npos) {
        line.erase(0, at + 2);
        line.erase(std::min(line.find(':'), line.size()));
    }
    if (s->tlsError.empty())
        s->tlsError = line;
    return 0;
}

void onDisconnected(void *context, MQTTAsync_successData *)
{
    auto *s = static_cast<detail::PublisherState *>(context);
    std::lock_guard lock(s->mutex);
    s->disconnectDone = true;
    s->disconnected.notify_all();
}

void onDisconnectFailed(void *context, MQTTAsync_failureData *) { onDisconnected(context, nullptr); }

} // namespace

void detail::PublisherState::handleCommand(const std::string &topic, const std::string &payload,
                                     const std::shared_ptr<PublisherState> &self)
{
    const auto parsed = parseCommandTopic(options.prefix, topic);
    if (!parsed)
        return;
    CommandCheck check;
    UnitKey key;
    CommandRunner runner;
    {
        std::lock_guard lock(mutex);
        const auto it = units.find(parsed->unitTopic);
        // Another service on the same broker may log that unit: not ours to answer.
        if (it == units.end() || !it->second.model)
            return;
        check = checkCommand(parsed->channel, payload, *it->second.model, it->second.commandsEnabled);
        key = it->second.key;
        runner = it->second.runner;
    }
    const std::string answerTopic = resultTopic(parsed->unitTopic);
    if (!check.command) {
        send(answerTopic, commandResultJson(parsed->channel, payload, check.error), false);
        return;
    }
    if (!runner) {
        send(answerTopic, commandResultJson(parsed->channel, payload, "this service cannot drive the unit"), false);
        return;
    }
    std::weak_ptr<PublisherState> weak = self;
    runner(key, *check.command, [weak, answerTopic, channel = parsed->channel, payload](std::string error) {
        if (auto s = weak.lock())
            s->send(answerTopic, commandResultJson(channel, payload, error), false);
    });
}

Publisher::Publisher(BrokerOptions options, MessageSink sink, Session session) : m_state(std::make_shared<detail::PublisherState>())
{
    m_state->self = m_state;
    if (options.clientId.empty())
        options.clientId = defaultClientId();
    m_state->options = std::move(options);
    m_state->sink = std::move(sink);
    m_state->session = std::move(session);
    m_state->serviceTopic = serviceStatusTopic(m_state->options.prefix);
}

bool Publisher::start()
{
    detail::PublisherState &s = *m_state;
    const BrokerOptions &o = s.options;
    const bool tls = isTlsUri(o.uri);
    if (!tls && (!o.caFile.empty() || !o.certFile.empty())) {
        s.say("MQTT: a CA or client certificate needs a TLS broker address (ssl://host:port), not " + o.uri);
        return false;
    }
    std::vector<std::pair<std::uint64_t, StoredMessage>> left;
    if (!o.persistenceDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(o.persistenceDir, error);
        std::string reason = error.message();
        std::string name = o.clientId + "-" + o.uri;
        for (char &ch : name)
            if (ch == '/' || ch == ':' || ch == '\\')
                ch = '-';
        s.journal = std::make_unique<OfflineJournal>(o.persistenceDir + "/" + name + ".journal");
        if (error || !s.journal->open(left, reason)) {
            s.say("MQTT: cannot keep messages in " + o.persistenceDir + ": " + reason);
            return false;
        }
    }
    // Paho formats a line into its in-memory trace for every packet unless told to keep only
    // errors; nothing reads that trace here.
    MQTTAsync_setTraceLevel(MQTTASYNC_TRACE_ERROR);
    MQTTAsync_createOptions create = MQTTAsync_createOptions_initializer;
    create.MQTTVersion = MQTTVERSION_3_1_1;
    create.sendWhileDisconnected = 1;
    create.allowDisconnectedSendAtAnyTime = 1;
    // Paho counts its own connect request, waiting to be tried again, among the buffered.
    create.maxBufferedMessages = (o.bufferLimit > 0 ? o.bufferLimit : 1) + 1;
    create.deleteOldestMessages = 1;
    create.restoreMessages = 1;
    int rc = MQTTAsync_createWithOptions(&s.client, o.uri.c_str(), o.clientId.c_str(), MQTTCLIENT_PERSISTENCE_NONE,
                                        nullptr, &create);
    if (rc != MQTTASYNC_SUCCESS) {
        s.client = nullptr;
        s.say("MQTT: cannot set up the client for " + o.uri + ": " + MQTTAsync_strerror(rc));
        return false;
    }
    MQTTAsync_setCallbacks(s.client, &s, onConnectionLost,
                           [](void *context, char *topic, int topicLength, MQTTAsync_message *message) {
                               auto *state = static_cast<detail::PublisherState *>(context);
                               std::string t(topic, topicLength > 0 ? std::size_t(topicLength) : std::strlen(topic));
                               std::string payload(static_cast<const char *>(message->payload),
                                                   std::size_t(message->payloadlen));
                               MQTTAsync_freeMessage(&message);
                               MQTTAsync_free(topic);
                               if (state->session.received)
                                   state->session.received(t, payload);
                               else
                                   state->handleCommand(t, payload, state->self.lock());
                               return 1;
                           },
                           onDelivered);
    MQTTAsync_setConnected(s.client, &s, onConnected);

    // Messages kept from before a restart go first, in their order.
    if (!left.empty())
        s.say("MQTT: " + std::to_string(left.size()) + " messages kept from the last run wait for the broker");
    for (const auto &[id, m] : left)
        s.send(m.topic, m.payload, m.retained, id);

    s.will.topicName = s.sessionMode() ? s.session.willTopic.c_str() : s.serviceTopic.c_str();
    s.will.message = "offline";
    s.will.retained = s.sessionMode() ? 0 : 1;
    s.will.qos = 1;
    s.connect.keepAliveInterval = 10;
    s.connect.cleansession = 0; // the broker keeps our session; in-flight messages are sent again
    s.connect.automaticReconnect = s.sessionMode() ? 0 : 1;
    s.connect.minRetryInterval = o.retryMinSeconds;
    s.connect.maxRetryInterval = o.retryMaxSeconds;
    s.connect.connectTimeout = 10;
    s.connect.MQTTVersion = MQTTVERSION_3_1_1;
    s.connect.will = &s.will;
    s.connect.username = orNull(o.username);
    s.connect.password = orNull(o.password);
    s.connect.onFailure = onConnectFailure;
    s.connect.context = &s;
    if (tls) {
        s.ssl.trustStore = orNull(o.caFile);
        s.ssl.keyStore = orNull(o.certFile);
        s.ssl.privateKey = orNull(o.keyFile.empty() ? o.certFile : o.keyFile);
        s.ssl.enableServerCertAuth = 1;
        s.ssl.verify = 1;
        s.ssl.ssl_error_cb = onTlsError;
        s.ssl.ssl_error_context = &s;
        s.connect.ssl = &s.ssl;
    }
    if (s.sessionMode()) {
        s.reconnector = std::thread([&s] { s.reconnectLoop(); });
        rc = s.connectNow();
    } else {
        rc = MQTTAsync_connect(s.client, &s.connect);
    }
    if (rc != MQTTASYNC_SUCCESS) {
        s.say("MQTT: cannot connect to " + o.uri + ": " + MQTTAsync_strerror(rc));
        return false;
    }
    return true;
}

Publisher::~Publisher()
{
    detail::PublisherState &s = *m_state;
    if (!s.client)
        return;
    // A service that stops no longer speaks for its units: a subscriber must not
    // keep seeing them online from the retained status.
    std::vector<std::string> onlineUnits;
    bool ready = false;
    {
        std::lock_guard lock(s.mutex);
        s.stopping = true;
        ready = s.ready;
        for (auto &[topic, unit] : s.units)
            if (unit.status == 1) {
                unit.status = 0;
                onlineUnits.push_back(topic);
            }
        s.reconnectWake.notify_all();
    }
    if (s.reconnector.joinable())
        s.reconnector.join();
    if (!s.sessionMode()) {
        for (const std::string &topic : onlineUnits)
            s.send(topic + "/status", "offline", true);
        s.send(s.serviceTopic, "offline", true);
    } else if (ready && s.session.farewell) {
        for (StoredMessage &m : s.session.farewell())
            s.send(std::move(m.topic), std::move(m.payload), m.retained, 0, detail::PublisherState::Via::Birth);
    }
    MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
    options.timeout = 500; // the service has 2 s to end; what is left waits on disk
    options.onSuccess = onDisconnected;
    options.onFailure = onDisconnectFailed;
    options.context = &s;
    if (MQTTAsync_disconnect(s.client, &options) == MQTTASYNC_SUCCESS) {
        std::unique_lock lock(s.mutex);
        s.disconnected.wait_for(lock, std::chrono::milliseconds(700), [&] { return s.disconnectDone; });
    }
    {
        std::lock_guard lock(s.mutex);
        s.keepPending();
    }
    MQTTAsync_destroy(&s.client);
}

void Publisher::addUnit(const UnitKey &unit, Model model, bool commandsEnabled, CommandRunner runner)
{
    std::lock_guard lock(m_state->mutex);
    detail::PublisherState::Unit &u = m_state->units[unitTopic(m_state->options.prefix, unit)];
    u.key = unit;
    u.model = model;
    u.commandsEnabled = commandsEnabled;
    u.runner = std::move(runner);
}

void Publisher::publishReading(const UnitReading &reading)
{
    detail::PublisherState &s = *m_state;
    const std::string topic = unitTopic(s.options.prefix, reading.unit);
    if (s.options.onlyOnChange) {
        std::string body = readingJson(reading, false);
        std::lock_guard lock(s.mutex);
        detail::PublisherState::Unit &u = s.units[topic];
        if (u.key.model.empty())
            u.key = reading.unit;
        if (body == u.lastBody) {
            ++s.stats.unchanged;
            return;
        }
        u.lastBody = std::move(body);
    }
    s.send(topic + "/reading", readingJson(reading), s.options.retainReadings);
}

void Publisher::publishUnitStatus(const UnitKey &unit, bool online)
{
    detail::PublisherState &s = *m_state;
    const std::string topic = unitTopic(s.options.prefix, unit);
    {
        std::lock_guard lock(s.mutex);
        detail::PublisherState::Unit &u = s.units[topic];
        if (u.key.model.empty())
            u.key = unit;
        if (u.status == int(online))
            return;
        u.status = int(online);
    }
    s.send(topic + "/status", online ? "online" : "offline", true);
}

void Publisher::publish(std::string topic, std::string payload, bool retained)
{
    m_state->send(std::move(topic), std::move(payload), retained);
}

PublisherStats Publisher::stats() const
{
    std::lock_guard lock(m_state->mutex);
    return m_state->stats;
}

std::string mqttLibraryVersion()
{
    for (const MQTTAsync_nameValue *info = MQTTAsync_getVersionInfo(); info && info->name; ++info)
        if (std::strcmp(info->name, "Version") == 0)
            return std::string("Eclipse Paho MQTT C ") + info->value;
    return "Eclipse Paho MQTT C";
}

} // namespace qn::mqtt
