#pragma once
// The [mqtt] section of the service's configuration (see serviceconfig.h):
//
//   [mqtt]
//   broker = tcp://192.0.2.10:1883   # ssl://host:8883 for TLS
//   prefix = qnview
//   client-id = qnlog-line1          # default qnlog-<host name>
//   username = plant
//   password = secret
//   ca-file = /etc/qnlog/ca.pem      # TLS: the broker's certificate must come from this CA
//   cert-file = /etc/qnlog/qnlog.pem # TLS: our own certificate, if the broker asks for one
//   key-file = /etc/qnlog/qnlog.key
//   retain = no                      # the broker keeps each unit's last reading
//   only-on-change = no              # a reading like the last one is not sent
//   buffer = 60000                   # messages kept while the broker is away
//   persistence-dir = /var/lib/qnlog/mqtt   # ...and kept there across a restart
//   payload = json                   # or sparkplug: Sparkplug B, the service an edge node
//   group-id = qnview                # sparkplug: the edge node's group...
//   edge-node-id = line1             # ...and its own id (default: the client id)
//
// and "commands = yes" in a [unit] lets subscribers set that unit's outputs.
#include "mqtt/brokeroptions.h"

#include <QString>

#include <optional>

namespace qn::logsvc {

// Takes one key of [mqtt]; the error message when the key or its value is wrong.
std::optional<QString> mqttConfigKey(const QString &key, const QString &value, mqtt::BrokerOptions &options);
// The section as a whole, once read.
std::optional<QString> checkMqttConfig(const mqtt::BrokerOptions &options);
// "yes"/"no" (also true/false, on/off, 1/0).
std::optional<bool> yesNo(const QString &value);

} // namespace qn::logsvc
