#include "mqtt/publisher.h"

#include "mqtt/publisherstate.h"

#include <cstring>
#include <filesystem>

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
