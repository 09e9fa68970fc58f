#pragma once
// How the logging service reaches its MQTT broker and what it publishes there.
#include <string>

namespace qn::mqtt {

struct BrokerOptions {
    std::string uri = "tcp://127.0.0.1:1883"; // "ssl://host:8883" for TLS
    std::string prefix = "qnview";            // topics start "<prefix>/"
    std::string clientId;                     // the same on every start: the broker keeps our session by it
    std::string username, password;
    std::string caFile;                       // TLS: the certificate authority the broker's certificate must come from
    std::string certFile, keyFile;            // TLS: our own certificate, when the broker asks for one
    bool retainReadings = false;              // the broker keeps each unit's last reading for new subscribers
    bool onlyOnChange = false;                // a reading like the unit's last one (but for its time) is not sent
    // Readings kept while the broker is away, oldest dropped past it. Each waits under a
    // message ID of its own, of which MQTT has 65535.
    int bufferLimit = 60000;
    std::string persistenceDir;               // readings waiting for the broker survive a restart here; empty: memory only
    int retryMinSeconds = 1, retryMaxSeconds = 60; // reconnection back-off

    // What the readings go as: the JSON topics under the prefix, or Sparkplug B (the service
    // an edge node of the group, each unit a device).
    enum class Payload { Json, Sparkplug };
    Payload payload = Payload::Json;
    std::string groupId = "qnview";
    std::string edgeNodeId; // empty: the client id
};

} // namespace qn::mqtt
