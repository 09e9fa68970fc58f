// qnlog as a Sparkplug B edge node against a real mosquitto, its messages read by the
// sparkplug-payload package (sparkplugdecoder.h): births, data equal to the CSV log's, a unit's
// death and return, a rebirth, commands refused and carried out, the last will after a kill,
// and bdSeq across a restart and a reconnection with the data that waited.
#include "qnlogbrokertest.h"
#include "sparkplugdecoder.h"

#include <QFile>

#include <cmath>
#include <fstream>
#include <set>

using namespace qn::test;

namespace {

const std::string kInputs = "QN-210_3_127.0.0.2";  // commands = no
const std::string kOutputs = "QN-110_1_127.0.0.3"; // commands = yes

std::string on(const char *type, const std::string &device = {})
{
    return "spBv1.0/qnview/" + std::string(type) + "/line1" + (device.empty() ? "" : "/" + device);
}

std::vector<Received> messagesOn(const std::vector<Received> &all, const std::string &topic)
{
    std::vector<Received> out;
    std::copy_if(all.begin(), all.end(), std::back_inserter(out), [&](const Received &m) { return m.topic == topic; });
    return out;
}

// payload["a"]["b"]...: the value at the end of the path, undefined where it breaks off.
QJsonValue at(QJsonValue value, std::initializer_list<const char *> path)
{
    for (const char *key : path)
        value = value.isArray() ? value.toArray().at(std::atoi(key)) : value.toObject().value(QLatin1String(key));
    return value;
}

class QnlogSparkplug : public QnlogWithBroker {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(std::filesystem::exists(std::filesystem::path(QN_SPARKPLUG_JS).parent_path() /
                                            "node_modules/sparkplug-payload/package.json"))
            << "the decoder is not installed: scripts/common.sh's qn_install_sparkplug_decoder (npm ci in tests/mqtt/sparkplug)";
        QnlogWithBroker::SetUp();
    }

    std::unique_ptr<Child> startQnlog()
    {
        return QnlogWithBroker::startQnlog(false, "payload = sparkplug\nedge-node-id = line1\npersistence-dir = " +
                                                      (m_dir.path / "state").string() + "\n");
    }
    void command(Subscriber &host, const char *type, const std::string &device, const std::string &metricJson)
    {
        host.publish(on(type, device), m_decoder.encode(R"({"timestamp":1,"metrics":[)" + metricJson + "]}"));
    }
    // The CSV rows of the unit's log, each as its fields.
    std::vector<QStringList> csvRows(const std::string &device)
    {
        std::vector<QStringList> rows;
        QFile file(QString::fromStdString((m_dir.path / "logs" / (device + ".csv")).string()));
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray &line : file.readAll().split('\n'))
                if (!line.isEmpty() && std::isdigit(static_cast<unsigned char>(line[0])))
                    rows.push_back(QString::fromUtf8(line.trimmed()).split(QLatin1Char(',')));
        return rows;
    }

    SparkplugDecoder m_decoder;
};

TEST_F(QnlogSparkplug, BirthsDataDeathsAndCommandsAsTheDecoderReadsThem)
{
    auto host = subscribe("spBv1.0/#", "host");
    auto qnlog = startQnlog();
    ASSERT_TRUE(host->waitUntil([&](const auto &m) {
        return countTopic(m, on("DBIRTH", kInputs)) == 1 && countTopic(m, on("DBIRTH", kOutputs)) == 1 &&
               countTopic(m, on("DDATA", kInputs)) >= 2;
    })) << qnlog->seen(Child::Err);

    // NBIRTH first, then seq counts every message on from 0.
    std::vector<Received> all = host->messages();
    ASSERT_EQ(all.front().topic, on("NBIRTH"));
    for (std::size_t i = 0; i < all.size(); ++i)
        EXPECT_EQ(m_decoder.decode(all[i]).value("seq").toInt(-1), int(i % 256)) << all[i].topic;
    const QJsonObject nbirth = m_decoder.decode(all.front());
    EXPECT_EQ(metric(nbirth, "bdSeq").value("type").toString(), "UInt64");
    EXPECT_EQ(metric(nbirth, "bdSeq").value("value").toInt(-1), 0);
    EXPECT_EQ(metric(nbirth, "Node Control/Rebirth").value("type").toString(), "Boolean");
    EXPECT_FALSE(metric(nbirth, "Node Control/Rebirth").value("value").toBool(true));

    // DBIRTH: every channel with its type, signal name and unit, the raw code beside it; the
    // outputs say whether they take commands. Its values are the CSV log's first row.
    const QJsonObject inputs = m_decoder.decode(messagesOn(all, on("DBIRTH", kInputs)).front());
    for (const char *name : {"AI1", "AI2", "AI3"}) {
        const QJsonObject m = metric(inputs, name);
        EXPECT_EQ(m.value("type").toString(), "Double") << name;
        EXPECT_TRUE(at(m, {"properties", "Signal", "value"}).isString()) << name;
        EXPECT_TRUE(at(m, {"properties", "engUnit", "value"}).isString()) << name;
        EXPECT_EQ(metric(inputs, QString(name) + "/Raw").value("type").toString(), "Int32") << name;
    }
    // Some CSV row shows the values of the DBIRTH, and of a DDATA, as the unit window does:
    // cut after the last digit.
    const auto shows = [](const QString &field, double value) {
        bool ok = false;
        const double shown = field.toDouble(&ok);
        const qsizetype point = field.indexOf('.');
        return ok && point >= 0 && std::abs(shown - value) < std::pow(10.0, -double(field.size() - point - 1));
    };
    const std::vector<QStringList> rows = csvRows(kInputs);
    for (const QJsonObject &p : {inputs, m_decoder.decode(messagesOn(all, on("DDATA", kInputs)).front())}) {
        std::vector<double> values;
        for (const char *name : {"AI1", "AI2", "AI3"})
            if (const QJsonObject m = metric(p, name); !m.isEmpty())
                values.push_back(m.value("value").toDouble());
        EXPECT_FALSE(values.empty());
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [&](const QStringList &row) {
            return std::all_of(values.begin(), values.end(), [&](double v) {
                return std::any_of(row.begin(), row.end(), [&](const QString &f) { return shows(f, v); });
            });
        })) << QJsonDocument(p).toJson().toStdString() << " in no row of " << rows.size();
    }
    EXPECT_EQ(metric(inputs, "DO1").value("type").toString(), "Boolean");
    EXPECT_FALSE(inputs.value("metrics").toArray().isEmpty());
    EXPECT_EQ(at(metric(inputs, "DO2"), {"properties", "Writable", "value"}).toBool(true), false);
    const QJsonObject outputs = m_decoder.decode(messagesOn(all, on("DBIRTH", kOutputs)).front());
    EXPECT_EQ(at(metric(outputs, "AO1"), {"properties", "Writable", "value"}).toBool(false), true);
    EXPECT_EQ(metric(outputs, "DI1").value("type").toString(), "Boolean");

    // DDATA carries only what changed since the unit's last reading.
    const QJsonObject data = m_decoder.decode(messagesOn(all, on("DDATA", kInputs)).back());
    EXPECT_TRUE(metric(data, "DO1").isEmpty());
    EXPECT_GT(data.value("timestamp").toDouble(), 0);

    // A DCMD to a unit without commands changes nothing; a DDATA says the value stands.
    command(*host, "DCMD", kInputs, R"({"name":"DO1","type":"Boolean","value":true})");
    const auto saysOutput = [&](const std::string &device, const std::string &name) {
        return [&, device, name](const auto &m) {
            return std::any_of(m.begin(), m.end(), [&](const Received &r) {
                return r.topic == on("DDATA", device) && r.payload.find(name) != std::string::npos;
            });
        };
    };
    ASSERT_TRUE(host->waitUntil(saysOutput(kInputs, "DO1"))) << qnlog->seen(Child::Err);
    for (const Received &r : messagesOn(host->messages(), on("DDATA", kInputs)))
        if (r.payload.find("DO1") != std::string::npos) {
            EXPECT_FALSE(metric(m_decoder.decode(r), "DO1").value("value").toBool(true));
        }
    EXPECT_EQ(m_simulator.state(m_inputs).doPattern, 0);

    // One that may: the unit's output is set and a DDATA says the new value.
    command(*host, "DCMD", kOutputs, R"({"name":"AO1","type":"Double","value":2.5})");
    ASSERT_TRUE(host->waitUntil(saysOutput(kOutputs, "AO1"))) << qnlog->seen(Child::Err);
    for (const Received &r : messagesOn(host->messages(), on("DDATA", kOutputs)))
        if (r.payload.find("AO1") != std::string::npos) {
            EXPECT_DOUBLE_EQ(metric(m_decoder.decode(r), "AO1").value("value").toDouble(), 2.5);
            break;
        }
    EXPECT_EQ(m_simulator.state(m_outputs).aoRaw[0], 8192);

    // NCMD Node Control/Rebirth: NBIRTH (seq 0, the same bdSeq) and every DBIRTH again.
    command(*host, "NCMD", {}, R"({"name":"Node Control/Rebirth","type":"Boolean","value":true})");
    ASSERT_TRUE(host->waitUntil([&](const auto &m) {
        return countTopic(m, on("NBIRTH")) == 2 && countTopic(m, on("DBIRTH", kInputs)) == 2 &&
               countTopic(m, on("DBIRTH", kOutputs)) == 2;
    })) << qnlog->seen(Child::Err);
    const QJsonObject rebirth = m_decoder.decode(messagesOn(host->messages(), on("NBIRTH")).back());
    EXPECT_EQ(rebirth.value("seq").toInt(-1), 0);
    EXPECT_EQ(metric(rebirth, "bdSeq").value("value").toInt(-1), 0);

    // A unit switched off: DDEATH; back: DBIRTH.
    m_simulator.setOnline(m_inputs, false);
    ASSERT_TRUE(host->waitUntil([&](const auto &m) { return countTopic(m, on("DDEATH", kInputs)) == 1; }))
        << qnlog->seen(Child::Err);
    m_simulator.setOnline(m_inputs, true);
    ASSERT_TRUE(host->waitUntil([&](const auto &m) { return countTopic(m, on("DBIRTH", kInputs)) == 3; }))
        << qnlog->seen(Child::Err);

    // Killed: the broker sends the last will, NDEATH with the session's bdSeq.
    qnlog->stop(SIGKILL);
    ASSERT_TRUE(host->waitUntil([&](const auto &m) { return countTopic(m, on("NDEATH")) == 1; }));
    const QJsonObject death = m_decoder.decode(messagesOn(host->messages(), on("NDEATH")).front());
    EXPECT_EQ(metric(death, "bdSeq").value("value").toInt(-1), 0);
}

TEST_F(QnlogSparkplug, BdSeqCountsOnAcrossARestartAndAReconnectionAfterWhichTheWaitingDataFollowTheBirths)
{
    auto host = subscribe("spBv1.0/#", "host");
    auto qnlog = startQnlog();
    ASSERT_TRUE(host->waitUntil([&](const auto &m) { return countTopic(m, on("DBIRTH", kInputs)) == 1; }))
        << qnlog->seen(Child::Err);
    EXPECT_EQ(qnlog->stop(SIGTERM), 0);
    ASSERT_TRUE(host->waitUntil([&](const auto &m) { return countTopic(m, on("NDEATH")) == 1; }));

    qnlog = startQnlog();
    ASSERT_TRUE(host->waitUntil([&](const auto &m) { return countTopic(m, on("DBIRTH", kInputs)) == 2; }))
        << qnlog->seen(Child::Err);
    // The broker goes, readings are taken meanwhile, and it comes back.
    m_broker->stop();
    ASSERT_TRUE(qnlog->waitFor(Child::Err, "lost the broker"));
    const std::size_t answered = m_simulator.requestLog(m_inputs).size();
    ASSERT_TRUE(m_simulator.waitForAnswers(m_inputs, answered + 10, 30000));
    ASSERT_TRUE(m_broker->start());
    ASSERT_TRUE(host->waitUntil([&](const auto &m) {
        // The NBIRTH after the reconnection: the last, with a third bdSeq.
        const auto third = std::find_if(m.rbegin(), m.rend(), [&](const Received &r) { return r.topic == on("NBIRTH"); }).base();
        std::set<std::string> births; // a message given twice is the same bytes
        for (const Received &r : m)
            if (r.topic == on("NBIRTH"))
                births.insert(r.payload);
        if (births.size() < 3)
            return false;
        return third != m.end() && std::count_if(third, m.end(), [&](const Received &r) {
                                       return r.topic == on("DDATA", kInputs);
                                   }) >= 5;
    })) << qnlog->seen(Child::Err);

    // bdSeq counts on with each connection (an attempt the broker did not take counts too);
    // each NDEATH, sent by qnlog at its end or by the broker as its will, has its NBIRTH's.
    // (The host's session may be given a message twice after the broker's restart.)
    const std::vector<Received> all = host->messages();
    std::vector<int> births;
    int lastBirth = -1;
    for (const Received &r : all) {
        const int bdSeq = metric(m_decoder.decode(r), "bdSeq").value("value").toInt(-1);
        if (r.topic == on("NDEATH")) {
            EXPECT_EQ(bdSeq, lastBirth);
        }
        if (r.topic == on("NBIRTH") && bdSeq != lastBirth)
            births.push_back(lastBirth = bdSeq);
    }
    ASSERT_EQ(births.size(), 3u);
    EXPECT_EQ(births[0], 0);
    EXPECT_EQ(births[1], 1);
    EXPECT_GT(births[2], 1);

    // After the last NBIRTH: the DBIRTHs, then the readings that waited, marked historical,
    // seq counting on from the NBIRTH's 0.
    const auto last = std::find_if(all.rbegin(), all.rend(), [&](const Received &r) { return r.topic == on("NBIRTH"); }).base() - 1;
    int historical = 0, seq = 0;
    for (auto it = last; it != all.end(); ++it) {
        const QJsonObject p = m_decoder.decode(*it);
        EXPECT_EQ(p.value("seq").toInt(-1), seq++ % 256) << it->topic;
        if (at(p, {"metrics", "0", "isHistorical"}).toBool())
            ++historical;
    }
    EXPECT_EQ(std::next(last)->topic.find("DBIRTH") != std::string::npos, true);
    EXPECT_GT(historical, 0);
}

} // namespace
