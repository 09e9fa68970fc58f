#include "qnlog/mqttconfig.h"

#include <QStringList>

namespace qn::logsvc {

std::optional<bool> yesNo(const QString &value)
{
    const QString v = value.toLower();
    if (v == QLatin1String("yes") || v == QLatin1String("true") || v == QLatin1String("on") || v == QLatin1String("1"))
        return true;
    if (v == QLatin1String("no") || v == QLatin1String("false") || v == QLatin1String("off") || v == QLatin1String("0"))
        return false;
    return std::nullopt;
}

std::optional<QString> mqttConfigKey(const QString &key, const QString &value, mqtt::BrokerOptions &o)
{
    const auto text = [&](std::string &out) -> std::optional<QString> {
        if (value.isEmpty())
            return QStringLiteral("%1 is empty").arg(key);
        out = value.toStdString();
        return std::nullopt;
    };
    const auto flag = [&](bool &out) -> std::optional<QString> {
        const std::optional<bool> b = yesNo(value);
        if (!b)
            return QStringLiteral("%1 must be yes or no, not '%2'").arg(key, value);
        out = *b;
        return std::nullopt;
    };
    if (key == QLatin1String("broker")) {
        const QStringList schemes{QStringLiteral("tcp://"), QStringLiteral("mqtt://"), QStringLiteral("ssl://"),
                                  QStringLiteral("mqtts://")};
        if (!std::any_of(schemes.begin(), schemes.end(), [&](const QString &s) { return value.startsWith(s); })
            || value.lastIndexOf(QLatin1Char(':')) < 6)
            return QStringLiteral("bad broker '%1' (tcp://host:port, or ssl://host:port for TLS)").arg(value);
        o.uri = value.toStdString();
        return std::nullopt;
    }
    if (key == QLatin1String("prefix")) {
        if (value.isEmpty() || value.contains(QLatin1Char('+')) || value.contains(QLatin1Char('#'))
            || value.startsWith(QLatin1Char('/')) || value.endsWith(QLatin1Char('/')))
            return QStringLiteral("bad prefix '%1' (topic levels without + or #, no / at either end)").arg(value);
        o.prefix = value.toStdString();
        return std::nullopt;
    }
    if (key == QLatin1String("payload")) {
        if (value == QLatin1String("json"))
            o.payload = mqtt::BrokerOptions::Payload::Json;
        else if (value == QLatin1String("sparkplug"))
            o.payload = mqtt::BrokerOptions::Payload::Sparkplug;
        else
            return QStringLiteral("payload must be json or sparkplug, not '%1'").arg(value);
        return std::nullopt;
    }
    if (key == QLatin1String("group-id") || key == QLatin1String("edge-node-id")) {
        if (value.isEmpty() || value.contains(QLatin1Char('/')) || value.contains(QLatin1Char('+'))
            || value.contains(QLatin1Char('#')))
            return QStringLiteral("bad %1 '%2' (not empty, no /, + or #)").arg(key, value);
        (key == QLatin1String("group-id") ? o.groupId : o.edgeNodeId) = value.toStdString();
        return std::nullopt;
    }
    using Options = mqtt::BrokerOptions;
    const std::pair<const char *, std::string Options::*> texts[] = {
        {"client-id", &Options::clientId}, {"username", &Options::username}, {"password", &Options::password},
        {"ca-file", &Options::caFile},     {"cert-file", &Options::certFile}, {"key-file", &Options::keyFile},
        {"persistence-dir", &Options::persistenceDir}};
    for (const auto &[name, member] : texts)
        if (key == QLatin1String(name))
            return text(o.*member);
    const std::pair<const char *, bool Options::*> flags[] = {{"retain", &Options::retainReadings},
                                                               {"only-on-change", &Options::onlyOnChange}};
    for (const auto &[name, member] : flags)
        if (key == QLatin1String(name))
            return flag(o.*member);
    if (key == QLatin1String("buffer")) {
        bool ok = false;
        const int n = value.toInt(&ok);
        // Each waiting message holds one of MQTT's 65535 message IDs.
        if (!ok || n < 1 || n > 65000)
            return QStringLiteral("buffer must be a whole number from 1 to 65000, not '%1'").arg(value);
        o.bufferLimit = n;
        return std::nullopt;
    }
    return QStringLiteral("unknown key '%1' in [mqtt]").arg(key);
}

std::optional<QString> checkMqttConfig(const mqtt::BrokerOptions &o)
{
    const bool tls = o.uri.rfind("ssl://", 0) == 0 || o.uri.rfind("mqtts://", 0) == 0;
    if (!tls && (!o.caFile.empty() || !o.certFile.empty() || !o.keyFile.empty()))
        return QStringLiteral("ca-file, cert-file and key-file need an ssl:// broker");
    if (o.username.empty() && !o.password.empty())
        return QStringLiteral("a password needs a username");
#ifndef QN_HAVE_SPARKPLUG
    if (o.payload == mqtt::BrokerOptions::Payload::Sparkplug)
        return QStringLiteral("payload = sparkplug: this qnlog was built without Sparkplug B (protobuf-c)");
#endif
    return std::nullopt;
}

} // namespace qn::logsvc
