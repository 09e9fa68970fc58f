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
#include "mqtt/reading.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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

class Publisher final {
public:
    // One line for standard error, without its end of line.
    using MessageSink = std::function<void(const std::string &line)>;
    // Carries out a checked command and calls `done` once, from any thread, with "" or the
    // error. Runs on the library's thread: hand the work on, do not wait for the unit here.
    using CommandRunner =
        std::function<void(const UnitKey &unit, const Command &command, std::function<void(std::string error)> done)>;

    Publisher(BrokerOptions options, MessageSink sink);
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

    PublisherStats stats() const;

private:
    std::shared_ptr<detail::PublisherState> m_state;
};

// "Eclipse Paho MQTT C 1.3.12" or the like, for --version.
std::string mqttLibraryVersion();

} // namespace qn::mqtt
