#pragma once
// The tests' reader and writer of Sparkplug B payloads: tests/mqtt/sparkplug/sparkplug.js under
// Node.js, on the sparkplug-payload package (installed by scripts/common.sh's
// qn_install_sparkplug_decoder), so what qnlog sends is read by code nobody here wrote.
#include "child.h"
#include "subscriber.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>
#include <string>

namespace qn::test {

class SparkplugDecoder final {
public:
    SparkplugDecoder() : m_node(std::vector<std::string>{"/usr/bin/env", "node", QN_SPARKPLUG_JS}) {}

    // {"topic":..., "timestamp":..., "seq":..., "metrics":[{"name","type","value","properties"}...]}
    QJsonObject decode(const Received &message)
    {
        static const char digits[] = "0123456789abcdef";
        std::string hex;
        for (unsigned char c : message.payload) {
            hex += digits[c >> 4];
            hex += digits[c & 15];
        }
        m_node.send(message.topic + ' ' + hex);
        std::string line;
        m_node.readLine(Child::Out, line);
        return QJsonDocument::fromJson(QByteArray::fromStdString(line)).object();
    }
    // The payload of `json` ({"timestamp":..,"metrics":[{"name","type","value"}]}) as bytes.
    std::string encode(const std::string &json)
    {
        m_node.send("encode " + json);
        std::string line;
        m_node.readLine(Child::Out, line);
        return QByteArray::fromHex(QByteArray::fromStdString(line)).toStdString();
    }

private:
    Child m_node;
};

// The metric named `name` of a decoded payload; an empty object when there is none.
inline QJsonObject metric(const QJsonObject &payload, const QString &name)
{
    for (const QJsonValue &m : payload.value(QStringLiteral("metrics")).toArray())
        if (m.toObject().value(QStringLiteral("name")).toString() == name)
            return m.toObject();
    return {};
}

} // namespace qn::test
