#pragma once
// Where Paho keeps the messages that wait for the broker: one append-only log file per client
// instead of Paho's file per message (several file creations and deletions per reading).
// bench_mqtt (persist:1) keeps this honest: the publisher's CPU at 2,560 readings a second.
#include <MQTTClientPersistence.h>

#include <string>

namespace qn::mqtt {

// A persistence for MQTTAsync_createWithOptions (MQTTCLIENT_PERSISTENCE_USER) that keeps its
// log in `folder`; the string must outlive the client.
MQTTClient_persistence logPersistence(const std::string *folder);

} // namespace qn::mqtt
