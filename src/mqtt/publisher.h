#pragma once
// The logging service's MQTT publisher on Eclipse Paho's asynchronous client: readings,
// unit and service status, and commands for units that allow them (see README, "MQTT").
//
// Every public function may be called from any thread and returns without waiting for the
// broker: what it sends is queued by the library (kept on disk when a persistence folder is
// set) and goes out, in order, while the broker is there. Callbacks (the message sink, the
// command runner) run on the library's threads and must not block.
#include "model/model.h"
#include "mqtt/brokeroptions.h"
#include "mqtt/command.h"
#include "mqtt/offlinejournal.h"
#include "mqtt/reading.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qn::mqtt {

namespace detail {
struct PublisherState;
}

struct PublisherStats {
    std::uint64_t queued = 0;    // messages handed to the library
    std::uint64_t delivered = 0; // acknowledged by the broker
    std::uint64_t dropped = 0;   // the oldest, given up past the buffer limit
    std::uint64_t unchanged = 0; // readings not sent because "only on change" found them alike
    bool connected = false;
};

// Another protocol over the same connection, reconnection and journal (Sparkplug B, see
// sparkplugnode.h): its own last will, subscriptions and first messages on each connection.
// While the broker is away messages wait in the publisher (and the journal) rather than in the
// library, so each connection's births go before them. Hooks run on the library's threads
// (stamp on the caller's too) and must not block.
struct Session {
    std::string willTopic;
    std::function<std::string()> nextWill; // the will's payload for the coming connection attempt
    std::vector<std::string> subscriptions; // taken at QoS 0: nothing is kept for us while away
    std::function<std::vector<StoredMessage>()> births; // on each connection, first
    // Each message just before the library takes it, one at a time in sending order; `waited`
    // for one that waited for the broker. An empty answer drops the message.
    std::function<std::string(const std::string &topic, const std::string &payload, bool waited)> stamp;
    std::function<void(const std::string &topic, const std::string &payload)> received;
    std::function<std::vector<StoredMessage>()> farewell; // at the end, while connected
};

class Publisher final {
public:
    // One line for standard error, without its end of line.
    using MessageSink = std::function<void(const std::string &line)>;
    // Carries out a checked command and calls `done` once, from any thread, with "" or the
    // error. Runs on the library's thread: hand the work on, do not wait for the unit here.
    using CommandRunner =
        std::function<void(const UnitKey &unit, const Command &command, std::function<void(std::string error)> done)>;

    Publisher(BrokerOptions options, MessageSink sink, Session session = {});
    ~Publisher(); // "offline" on the service topic, then up to 0.5 s for what is in flight
    Publisher(const Publisher &) = delete;
    Publisher &operator=(const Publisher &) = delete;

    // Starts connecting (and retrying, with back-off, for as long as it takes). False, with
    // the reason through the sink, when the options cannot work at all (a bad URI, a folder
    // that cannot be written).
    bool start();

    // A unit the service logs; commands to it go to `runner` when enabled (refused otherwise).
    void addUnit(const UnitKey &unit, Model model, bool commandsEnabled, CommandRunner runner = {});
    void publishReading(const UnitReading &reading);
    void publishUnitStatus(const UnitKey &unit, bool online);
    // Any message (QoS 1), in order with the rest.
    void publish(std::string topic, std::string payload, bool retained = false);

    PublisherStats stats() const;

private:
    std::shared_ptr<detail::PublisherState> m_state;
};

// "Eclipse Paho MQTT C 1.3.12" or the like, for --version.
std::string mqttLibraryVersion();

} // namespace qn::mqtt
