#pragma once
// Topics and message bodies the publisher sends. Pure functions; any thread.
#include "mqtt/reading.h"

#include <string>
#include <string_view>

namespace qn::mqtt {

// "<prefix>/<model>_<id>_<address>", e.g. "qnview/QN-210_3_192.168.10.21". Characters MQTT
// gives a meaning in topics ('+', '#', '/') and spaces become '-'.
std::string unitTopic(std::string_view prefix, const UnitKey &unit);
// "<prefix>/service/status"
std::string serviceStatusTopic(std::string_view prefix);

// "2026-12-09T10:15:30.125+09:00"
std::string isoTime(std::int64_t timeMs, int utcOffsetMinutes);
// The offset from UTC of the local time at `timeMs`, in minutes.
int localUtcOffsetMinutes(std::int64_t timeMs);

// The reading's JSON (see README, "MQTT"). `withTime` false leaves the time out: two readings
// with the same body and no time are the same for "publish only on change".
std::string readingJson(const UnitReading &reading, bool withTime = true);

// JSON helpers shared with the command answers.
void appendJsonString(std::string &out, std::string_view text);
void appendJsonNumber(std::string &out, double value);

} // namespace qn::mqtt
