#pragma once
// The logging service's configuration file: what it logs, how often and where.
//
//   # comment
//   [service]
//   log-folder = /var/log/qnlog
//   rows-per-file = 10000        # 0: one file per unit, no change of file
//   locale = ja_JP               # of the date and time columns; the system's when unset
//   settings-file = /etc/qnlog/qnview.ini
//   period = 10                  # x 100 ms, for units without a period of their own
//
//   [unit]                       # one section per unit
//   address = 192.0.2.7:10001    # the TCP port defaults to 10001
//   period = 5
//   commands = yes               # MQTT subscribers may set its outputs (default no)
//
//   [search]                     # every unit that answers a search on this address
//   broadcast = 192.0.2.255
//   udp-port = 30718
//   tcp-port = 10001             # only units with this control port
//   period = 10
//   interval = 60                # seconds between searches for newly switched-on units
//
//   [mqtt]                       # readings to an MQTT broker too (mqttconfig.h has the keys)
//   broker = tcp://192.0.2.10:1883
//
// QtCore only. A mistake ends the reading with the file's name and the line number.
#include "mqtt/brokeroptions.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace qn::logsvc {

struct UnitTarget {
    QString address;  // dotted IPv4
    int tcpPort = 10001;
    int period = 10;  // x 100 ms
    bool commands = false; // MQTT commands to its outputs
};

struct SearchTarget {
    QString broadcast;  // dotted IPv4
    int udpPort = 30718;
    int tcpPort = 10001;
    int period = 10;
    int intervalSeconds = 60;
};

struct ServiceConfig {
    QString path;  // the file it was read from
    QString logFolder = QStringLiteral("/var/log/qnlog");
    int rowsPerFile = 0;           // below 2: no change of file
    QString locale;                // empty: the system's
    QString settingsFile = QStringLiteral("/etc/qnlog/qnview.ini");
    int period = 10;
    std::vector<UnitTarget> units;
    std::vector<SearchTarget> searches;
    std::optional<mqtt::BrokerOptions> mqtt; // set by an [mqtt] section
};

struct ConfigError {
    QString path;
    int line = 0;     // 0: the file as a whole
    QString message;
    // "qnlog.conf:7: unknown key 'perod'"
    QString text() const;
};

// Reads configuration text; fileName goes into the result and the errors.
std::optional<ServiceConfig> parseServiceConfig(const QByteArray &text, const QString &fileName,
                                                ConfigError *error);
// Reads the file at path.
std::optional<ServiceConfig> readServiceConfig(const QString &path, ConfigError *error);

} // namespace qn::logsvc
