#include "mqtt/sparkplug.h"

#include "mqtt/payload.h"

#include "sparkplug_b.pb-c.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <memory>

namespace qn::mqtt::sparkplug {

namespace {

using PbPayload = Org__Eclipse__Tahu__Protobuf__Payload;
using PbMetric = Org__Eclipse__Tahu__Protobuf__Payload__Metric;
using PbPropertySet = Org__Eclipse__Tahu__Protobuf__Payload__PropertySet;
using PbPropertyValue = Org__Eclipse__Tahu__Protobuf__Payload__PropertyValue;

constexpr std::string_view kNamespace = "spBv1.0";

// The generated structs point at their parts; these own them while the payload is packed.
struct Parts {
    std::vector<std::unique_ptr<PbMetric>> metrics;
    std::vector<PbMetric *> metricPointers;
    std::vector<std::unique_ptr<PbPropertySet>> sets;
    std::vector<std::unique_ptr<PbPropertyValue>> values;
    std::vector<std::unique_ptr<std::vector<PbPropertyValue *>>> valueLists;
    std::vector<std::unique_ptr<std::vector<char *>>> keyLists;
};

PbPropertySet *properties(const std::vector<Property> &list, Parts &parts)
{
    auto set = std::make_unique<PbPropertySet>();
    org__eclipse__tahu__protobuf__payload__property_set__init(set.get());
    auto keys = std::make_unique<std::vector<char *>>();
    auto values = std::make_unique<std::vector<PbPropertyValue *>>();
    for (const Property &p : list) {
        auto v = std::make_unique<PbPropertyValue>();
        org__eclipse__tahu__protobuf__payload__property_value__init(v.get());
        v->has_type = 1;
        if (p.flag) {
            v->type = std::uint32_t(DataType::Boolean);
            v->value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__PROPERTY_VALUE__VALUE_BOOLEAN_VALUE;
            v->boolean_value = *p.flag;
        } else {
            v->type = std::uint32_t(DataType::String);
            v->value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__PROPERTY_VALUE__VALUE_STRING_VALUE;
            v->string_value = const_cast<char *>(p.text.c_str());
        }
        keys->push_back(const_cast<char *>(p.key.c_str()));
        values->push_back(v.get());
        parts.values.push_back(std::move(v));
    }
    set->n_keys = keys->size();
    set->keys = keys->data();
    set->n_values = values->size();
    set->values = values->data();
    parts.keyLists.push_back(std::move(keys));
    parts.valueLists.push_back(std::move(values));
    parts.sets.push_back(std::move(set));
    return parts.sets.back().get();
}

void fill(PbMetric &m, const Metric &metric, Parts &parts)
{
    m.name = const_cast<char *>(metric.name.c_str());
    m.has_datatype = 1;
    m.datatype = std::uint32_t(metric.type);
    if (metric.timestamp) {
        m.has_timestamp = 1;
        m.timestamp = metric.timestamp;
    }
    if (metric.historical) {
        m.has_is_historical = 1;
        m.is_historical = 1;
    }
    if (!metric.properties.empty())
        m.properties = properties(metric.properties, parts);
    switch (metric.type) {
    case DataType::Int32: // two's complement in the 32 bits
        m.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_INT_VALUE;
        m.int_value = std::uint32_t(std::int32_t(metric.integer));
        break;
    case DataType::Int64:
    case DataType::UInt64:
        m.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_LONG_VALUE;
        m.long_value = std::uint64_t(metric.integer);
        break;
    case DataType::Double:
        m.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_DOUBLE_VALUE;
        m.double_value = metric.number;
        break;
    case DataType::Boolean:
        m.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_BOOLEAN_VALUE;
        m.boolean_value = metric.flag;
        break;
    case DataType::String:
        m.value_case = ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_STRING_VALUE;
        m.string_value = const_cast<char *>(metric.text.c_str());
        break;
    }
}

std::optional<Metric> metricFrom(const PbMetric &m)
{
    Metric metric;
    metric.name = m.name ? m.name : "";
    metric.timestamp = m.has_timestamp ? m.timestamp : 0;
    metric.historical = m.has_is_historical && m.is_historical;
    const std::uint32_t type = m.has_datatype ? m.datatype : 0;
    switch (m.value_case) {
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_INT_VALUE:
        metric.type = DataType::Int32;
        metric.integer = type == std::uint32_t(DataType::Int32) ? std::int32_t(m.int_value) : std::int64_t(m.int_value);
        break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_LONG_VALUE:
        metric.type = type == std::uint32_t(DataType::Int64) ? DataType::Int64 : DataType::UInt64;
        metric.integer = std::int64_t(m.long_value);
        break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_FLOAT_VALUE:
        metric.type = DataType::Double;
        metric.number = m.float_value;
        break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_DOUBLE_VALUE:
        metric.type = DataType::Double;
        metric.number = m.double_value;
        break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_BOOLEAN_VALUE:
        metric.type = DataType::Boolean;
        metric.flag = m.boolean_value;
        break;
    case ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__METRIC__VALUE_STRING_VALUE:
        metric.type = DataType::String;
        metric.text = m.string_value ? m.string_value : "";
        break;
    default:
        return std::nullopt; // no value, or one of a kind this program does not take
    }
    if (m.properties)
        for (std::size_t i = 0; i < m.properties->n_keys && i < m.properties->n_values; ++i) {
            const PbPropertyValue *v = m.properties->values[i];
            Property p{m.properties->keys[i] ? m.properties->keys[i] : "", {}, {}};
            if (v->value_case == ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__PROPERTY_VALUE__VALUE_BOOLEAN_VALUE)
                p.flag = v->boolean_value != 0;
            else if (v->value_case == ORG__ECLIPSE__TAHU__PROTOBUF__PAYLOAD__PROPERTY_VALUE__VALUE_STRING_VALUE && v->string_value)
                p.text = v->string_value;
            metric.properties.push_back(std::move(p));
        }
    return metric;
}

} // namespace

std::string encode(const Payload &payload)
{
    PbPayload p;
    org__eclipse__tahu__protobuf__payload__init(&p);
    p.has_timestamp = 1;
    p.timestamp = payload.timestamp;
    if (payload.seq) {
        p.has_seq = 1;
        p.seq = *payload.seq;
    }
    Parts parts;
    for (const Metric &metric : payload.metrics) {
        auto m = std::make_unique<PbMetric>();
        org__eclipse__tahu__protobuf__payload__metric__init(m.get());
        fill(*m, metric, parts);
        parts.metricPointers.push_back(m.get());
        parts.metrics.push_back(std::move(m));
    }
    p.n_metrics = parts.metricPointers.size();
    p.metrics = parts.metricPointers.data();
    std::string out(org__eclipse__tahu__protobuf__payload__get_packed_size(&p), '\0');
    org__eclipse__tahu__protobuf__payload__pack(&p, reinterpret_cast<std::uint8_t *>(out.data()));
    return out;
}

std::optional<Payload> decode(std::string_view bytes)
{
    PbPayload *p = org__eclipse__tahu__protobuf__payload__unpack(nullptr, bytes.size(),
                                                                 reinterpret_cast<const std::uint8_t *>(bytes.data()));
    if (!p)
        return std::nullopt;
    Payload out;
    out.timestamp = p->has_timestamp ? p->timestamp : 0;
    if (p->has_seq)
        out.seq = p->seq;
    for (std::size_t i = 0; i < p->n_metrics; ++i)
        if (auto m = metricFrom(*p->metrics[i]))
            out.metrics.push_back(std::move(*m));
    org__eclipse__tahu__protobuf__payload__free_unpacked(p, nullptr);
    return out;
}

std::string withSeq(std::string payload, std::uint64_t seq)
{
    payload += char(3 << 3); // field 3, a varint
    do {
        payload += char((seq & 0x7f) | (seq > 0x7f ? 0x80 : 0));
        seq >>= 7;
    } while (seq);
    return payload;
}

std::string topic(std::string_view group, std::string_view type, std::string_view node, std::string_view device)
{
    std::string t = std::string(kNamespace) + '/' + std::string(group) + '/' + std::string(type) + '/' + std::string(node);
    if (!device.empty())
        t += '/' + std::string(device);
    return t;
}

std::optional<Topic> parseTopic(std::string_view t)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t slash = t.find('/', start);
        parts.emplace_back(t.substr(start, slash == std::string_view::npos ? std::string_view::npos : slash - start));
        if (slash == std::string_view::npos)
            break;
        start = slash + 1;
    }
    if ((parts.size() != 4 && parts.size() != 5) || parts[0] != kNamespace)
        return std::nullopt;
    return Topic{parts[1], parts[2], parts[3], parts.size() == 5 ? parts[4] : std::string()};
}

std::string deviceId(const UnitKey &unit) { return unitTopic("", unit).substr(1); }

bool validId(std::string_view id) { return !id.empty() && id.find_first_of("/+#") == std::string_view::npos; }

std::vector<Metric> readingMetrics(const UnitReading &reading, bool birth, bool writable)
{
    std::vector<Metric> out;
    const auto time = std::uint64_t(reading.timeMs);
    for (const ChannelReading &c : reading.channels) {
        const bool output = c.channel.rfind("AO", 0) == 0;
        Metric value{c.channel, DataType::Double, c.value, 0, false, {}, time, false, {}};
        Metric raw{c.channel + "/Raw", DataType::Int32, 0, c.raw, false, {}, time, false, {}};
        if (birth) {
            value.properties = {{"Signal", c.signal, {}}, {"engUnit", c.unit, {}}};
            if (output)
                value.properties.push_back({"Writable", {}, writable});
        }
        out.push_back(std::move(value));
        out.push_back(std::move(raw));
    }
    const auto digital = [&](const char *prefix, const std::vector<int> &bits, const std::vector<std::string> &signals,
                             bool output) {
        for (std::size_t i = 0; i < bits.size(); ++i) {
            Metric m{prefix + std::to_string(i + 1), DataType::Boolean, 0, 0, bits[i] != 0, {}, time, false, {}};
            if (birth) {
                m.properties = {{"Signal", i < signals.size() ? signals[i] : std::string(), {}}};
                if (output)
                    m.properties.push_back({"Writable", {}, writable});
            }
            out.push_back(std::move(m));
        }
    };
    digital("DI", reading.digitalInputs, reading.digitalInputSignals, false);
    digital("DO", reading.digitalOutputs, reading.digitalOutputSignals, true);
    return out;
}

std::vector<Metric> changedMetrics(const std::vector<Metric> &now, const std::vector<Metric> &before)
{
    std::vector<Metric> out;
    for (const Metric &m : now) {
        const auto same = [&](const Metric &b) {
            return b.name == m.name && b.type == m.type && b.flag == m.flag && b.integer == m.integer && b.text == m.text &&
                   (b.number == m.number || (std::isnan(b.number) && std::isnan(m.number)));
        };
        if (std::none_of(before.begin(), before.end(), same)) {
            out.push_back(m);
            out.back().properties.clear();
        }
    }
    return out;
}

std::optional<std::string> commandText(const Metric &metric)
{
    switch (metric.type) {
    case DataType::Boolean:
        return std::string(metric.flag ? "1" : "0");
    case DataType::Double: {
        char text[64];
        const auto r = std::to_chars(text, text + sizeof text, metric.number);
        return std::string(text, r.ptr);
    }
    case DataType::Int32:
    case DataType::Int64:
    case DataType::UInt64:
        return std::to_string(metric.integer);
    default:
        return std::nullopt;
    }
}

} // namespace qn::mqtt::sparkplug
