#pragma once
// Sparkplug B's side of the publisher (see README, "Sparkplug B"): topics, the metrics of a
// unit's reading, and payloads through the protobuf-c code generated from sparkplug_b.proto.
// Pure functions; any thread.
#include "mqtt/reading.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qn::mqtt::sparkplug {

// The data types this program sends (Sparkplug B numbers them).
enum class DataType : std::uint32_t { Int32 = 3, Int64 = 4, UInt64 = 8, Double = 10, Boolean = 11, String = 12 };

struct Property {
    std::string key;
    std::string text;          // a String property...
    std::optional<bool> flag;  // ...or a Boolean one
    bool operator==(const Property &) const = default;
};

struct Metric {
    std::string name;
    DataType type = DataType::Double;
    double number = 0;        // Double
    std::int64_t integer = 0; // Int32, Int64, UInt64
    bool flag = false;        // Boolean
    std::string text;         // String
    std::uint64_t timestamp = 0; // ms since the epoch; 0: none
    bool historical = false;
    std::vector<Property> properties;
    bool operator==(const Metric &) const = default;
};

struct Payload {
    std::uint64_t timestamp = 0; // ms since the epoch
    std::optional<std::uint64_t> seq;
    std::vector<Metric> metrics;
};

std::string encode(const Payload &payload);
// nullopt for bytes that are no Sparkplug B payload.
std::optional<Payload> decode(std::string_view bytes);

// A payload encoded without seq, with `seq` put after its other fields (a field may come in any
// order): what the publisher does to each message as it goes, without decoding it again.
std::string withSeq(std::string payload, std::uint64_t seq);

// "spBv1.0/<group>/<type>/<node>" or ".../<node>/<device>"
std::string topic(std::string_view group, std::string_view type, std::string_view node, std::string_view device = {});
struct Topic {
    std::string group, type, node, device;
};
std::optional<Topic> parseTopic(std::string_view topic);

// "QN-210_3_192.168.10.21": the unit's part of its JSON topics.
std::string deviceId(const UnitKey &unit);
// A group or edge node id Sparkplug allows: not empty, no '/', '+' or '#'.
bool validId(std::string_view id);

// A unit's reading as metrics: AI1/AO1.. (Double, with "/Raw" beside it as Int32), DI1..,
// DO1.. (Boolean), each with the reading's time. `birth` adds the properties: "Signal",
// "engUnit" and, on outputs, "Writable" (commands enabled).
std::vector<Metric> readingMetrics(const UnitReading &reading, bool birth, bool writable = false);
// The metrics of `now` that differ from `before` (by name; all when before is empty).
std::vector<Metric> changedMetrics(const std::vector<Metric> &now, const std::vector<Metric> &before);

// "1"/"0" or the number, as the JSON set/ commands take it, for a metric written by a
// DCMD; nullopt for a value of a type the output does not take.
std::optional<std::string> commandText(const Metric &metric);

} // namespace qn::mqtt::sparkplug
