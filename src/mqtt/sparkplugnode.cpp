#include "mqtt/sparkplugnode.h"

#include "mqtt/sparkplug.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>

namespace qn::mqtt {

using namespace sparkplug;

namespace {

std::uint64_t nowMs()
{
    return std::uint64_t(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch()).count());
}

Metric bdSeqMetric(std::uint64_t bdSeq) { return {"bdSeq", DataType::UInt64, 0, std::int64_t(bdSeq), false, {}, 0, false, {}}; }

} // namespace

struct SparkplugNode::State {
    std::mutex mutex; // guards what follows; held while publishing, so births and data keep their order
    Publisher::MessageSink sink;
    std::string group, node;
    Publisher *publisher = nullptr;
    std::string bdSeqPath;       // empty: not kept
    std::optional<std::uint64_t> bdSeq; // of the will of the connection being made or made
    std::uint64_t seq = 0;       // stamp()'s alone: the publisher calls it one message at a time

    struct Device {
        UnitKey key;
        std::optional<Model> model;
        bool commandsEnabled = false;
        Publisher::CommandRunner runner;
        bool online = true;
        bool born = false;          // a DBIRTH went (or waits) since it last answered anew
        std::optional<UnitReading> lastReading;
        std::vector<Metric> last;   // its metrics in the last reading, without properties
    };
    std::map<std::string, Device> devices; // by device id

    void say(const std::string &line)
    {
        if (sink)
            sink(line);
    }
    std::string deviceTopic(const char *type, const std::string &device) const { return topic(group, type, node, device); }

    StoredMessage nbirth() const
    {
        Payload p{nowMs(), std::nullopt, {bdSeqMetric(bdSeq.value_or(0))}};
        p.metrics.push_back({"Node Control/Rebirth", DataType::Boolean, 0, 0, false, {}, p.timestamp, false, {}});
        return {topic(group, "NBIRTH", node), encode(p), false};
    }
    StoredMessage dbirth(const std::string &id, const Device &d) const
    {
        return {deviceTopic("DBIRTH", id),
                encode({std::uint64_t(d.lastReading->timeMs), std::nullopt, readingMetrics(*d.lastReading, true, d.commandsEnabled)}),
                false};
    }
    // NBIRTH and a DBIRTH for each unit that answers (the lock held).
    std::vector<StoredMessage> births()
    {
        std::vector<StoredMessage> out{nbirth()};
        for (auto &[id, d] : devices) {
            d.born = d.online && d.lastReading;
            if (d.born)
                out.push_back(dbirth(id, d));
        }
        return out;
    }
    void publish(StoredMessage m)
    {
        if (publisher)
            publisher->publish(std::move(m.topic), std::move(m.payload), m.retained);
    }

    std::string nextWill()
    {
        std::lock_guard lock(mutex);
        if (!bdSeq && !bdSeqPath.empty()) {
            std::ifstream in(bdSeqPath);
            std::uint64_t last = 0;
            if (in >> last)
                bdSeq = last; // the last run's; this connection takes the next
        }
        bdSeq = bdSeq ? (*bdSeq + 1) % 256 : 0;
        if (!bdSeqPath.empty()) {
            const std::string temporary = bdSeqPath + ".new";
            std::ofstream(temporary) << *bdSeq << '\n';
            std::error_code error;
            std::filesystem::rename(temporary, bdSeqPath, error);
            if (error)
                say("MQTT: cannot keep bdSeq in " + bdSeqPath + ": " + error.message());
        }
        return encode({nowMs(), std::nullopt, {bdSeqMetric(*bdSeq)}});
    }

    std::string stamp(const std::string &t, const std::string &payload, bool waited)
    {
        const auto parsed = parseTopic(t);
        if (!parsed || parsed->type == "NDEATH")
            return payload;
        // Births and deaths that waited for the broker are out of date: the connection's own
        // births said how things stand.
        if (waited && parsed->type != "DDATA")
            return {};
        if (parsed->type == "NBIRTH")
            seq = 0;
        const std::uint64_t next = seq;
        seq = (seq + 1) % 256;
        if (!waited)
            return withSeq(payload, next); // encoded just now, without seq
        std::optional<Payload> p = decode(payload);
        if (!p)
            return {};
        p->seq = next;
        for (Metric &m : p->metrics)
            m.historical = true;
        return encode(*p);
    }

    // An output's metric as a DDATA says it (the lock held): the value written, or the one that
    // stands. The unit's next reading that shows the write says it again (a reading taken while
    // the write was under way must not make it look undone).
    void answer(const std::string &id, Device &d, const std::string &name, std::optional<Metric> value)
    {
        if (!value) {
            const auto it = std::find_if(d.last.begin(), d.last.end(), [&](const Metric &m) { return m.name == name; });
            if (it == d.last.end())
                return;
            value = *it;
        }
        value->timestamp = nowMs();
        if (d.born)
            publish({deviceTopic("DDATA", id), encode({value->timestamp, std::nullopt, {*value}}), false});
    }

    void command(const std::shared_ptr<State> &self, const std::string &id, const Metric &metric)
    {
        std::unique_lock lock(mutex);
        const auto it = devices.find(id);
        if (it == devices.end() || !it->second.model)
            return; // another node's device, or one not logged yet
        Device &d = it->second;
        const std::optional<std::string> text = commandText(metric);
        CommandCheck check = checkCommand(metric.name, text.value_or("?"), *d.model, d.commandsEnabled);
        if (check.command && !d.runner)
            check = {std::nullopt, "this service cannot drive the unit"};
        if (!check.command) {
            say("MQTT: DCMD " + metric.name + " to " + id + " refused: " + check.error);
            answer(id, d, metric.name, std::nullopt); // the value stands
            return;
        }
        const Command c = *check.command;
        Metric now = c.kind == OutputKind::Digital
                         ? Metric{metric.name, DataType::Boolean, 0, 0, c.value != 0, {}, 0, false, {}}
                         : Metric{metric.name, DataType::Double, c.value, 0, false, {}, 0, false, {}};
        const Publisher::CommandRunner runner = d.runner;
        const UnitKey key = d.key;
        lock.unlock();
        std::weak_ptr<State> weak = self;
        runner(key, c, [weak, id, now](std::string error) {
            const auto s = weak.lock();
            if (!s)
                return;
            std::lock_guard lock(s->mutex);
            const auto it = s->devices.find(id);
            if (it == s->devices.end())
                return;
            if (!error.empty())
                s->say("MQTT: DCMD " + now.name + " to " + id + " failed: " + error);
            s->answer(id, it->second, now.name, error.empty() ? std::optional<Metric>(now) : std::nullopt);
        });
    }

    void received(const std::shared_ptr<State> &self, const std::string &t, const std::string &payload)
    {
        const auto parsed = parseTopic(t);
        if (!parsed || parsed->group != group || parsed->node != node)
            return;
        const std::optional<Payload> p = decode(payload);
        if (!p) {
            say("MQTT: a " + parsed->type + " that is no Sparkplug B payload, ignored");
            return;
        }
        for (const Metric &m : p->metrics) {
            if (parsed->type == "NCMD" && m.name == "Node Control/Rebirth" && m.type == DataType::Boolean && m.flag) {
                std::lock_guard lock(mutex);
                for (StoredMessage &b : births())
                    publish(std::move(b));
            } else if (parsed->type == "DCMD") {
                command(self, parsed->device, m);
            }
        }
    }
};

SparkplugNode::SparkplugNode(BrokerOptions options, Publisher::MessageSink sink) : m_state(std::make_shared<State>())
{
    State &s = *m_state;
    s.sink = sink;
    s.group = options.groupId;
    s.node = options.edgeNodeId.empty() ? options.clientId : options.edgeNodeId;
    if (s.node.empty())
        s.node = "qnlog";
    if (!options.persistenceDir.empty()) {
        std::string name = "sparkplug-" + s.group + "-" + s.node;
        for (char &ch : name)
            if (ch == '/' || ch == ':' || ch == '\\')
                ch = '-';
        s.bdSeqPath = options.persistenceDir + "/" + name + ".bdseq";
    }
    Session session;
    session.willTopic = topic(s.group, "NDEATH", s.node);
    session.subscriptions = {topic(s.group, "NCMD", s.node), topic(s.group, "DCMD", s.node, "+")};
    const std::shared_ptr<State> state = m_state;
    session.nextWill = [state] { return state->nextWill(); };
    session.births = [state] {
        std::lock_guard lock(state->mutex);
        return state->births();
    };
    session.stamp = [state](const std::string &t, const std::string &payload, bool waited) {
        return state->stamp(t, payload, waited);
    };
    session.received = [state](const std::string &t, const std::string &payload) { state->received(state, t, payload); };
    session.farewell = [state] {
        std::lock_guard lock(state->mutex);
        return std::vector<StoredMessage>{
            {topic(state->group, "NDEATH", state->node), encode({nowMs(), std::nullopt, {bdSeqMetric(state->bdSeq.value_or(0))}}), false}};
    };
    m_publisher = std::make_unique<Publisher>(std::move(options), std::move(sink), std::move(session));
    s.publisher = m_publisher.get();
}

SparkplugNode::~SparkplugNode()
{
    {
        std::lock_guard lock(m_state->mutex);
        m_state->publisher = nullptr;
    }
    m_publisher.reset();
}

bool SparkplugNode::start() { return m_publisher->start(); }

void SparkplugNode::addUnit(const UnitKey &unit, Model model, bool commandsEnabled, Publisher::CommandRunner runner)
{
    std::lock_guard lock(m_state->mutex);
    State::Device &d = m_state->devices[deviceId(unit)];
    d.key = unit;
    d.model = model;
    d.commandsEnabled = commandsEnabled;
    d.runner = std::move(runner);
}

void SparkplugNode::publishReading(const UnitReading &reading)
{
    State &s = *m_state;
    const std::string id = deviceId(reading.unit);
    std::lock_guard lock(s.mutex);
    State::Device &d = s.devices[id];
    d.key = reading.unit;
    d.online = true;
    d.lastReading = reading;
    std::vector<Metric> metrics = readingMetrics(reading, false);
    if (!d.born) {
        d.born = true;
        s.publish(s.dbirth(id, d));
    } else if (std::vector<Metric> changed = changedMetrics(metrics, d.last); !changed.empty()) {
        s.publish({s.deviceTopic("DDATA", id), encode({std::uint64_t(reading.timeMs), std::nullopt, std::move(changed)}), false});
    }
    d.last = std::move(metrics);
}

void SparkplugNode::publishUnitStatus(const UnitKey &unit, bool online)
{
    State &s = *m_state;
    const std::string id = deviceId(unit);
    std::lock_guard lock(s.mutex);
    State::Device &d = s.devices[id];
    d.key = unit;
    if (online) {
        d.online = true;
        return;
    }
    if (d.born)
        s.publish({s.deviceTopic("DDEATH", id), encode({nowMs(), std::nullopt, {}}), false});
    d.born = false;
    d.online = false;
    d.last.clear();
}

} // namespace qn::mqtt
