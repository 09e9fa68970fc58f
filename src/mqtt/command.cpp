#include "mqtt/command.h"

#include "mqtt/payload.h"

#include <charconv>
#include <cmath>

namespace qn::mqtt {

namespace {

std::string_view trimmed(std::string_view s)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

// "DO12" -> 12; 0 when the rest is not a channel number (1..99, no leading zero).
int channelNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 2 || digits.front() == '0')
        return 0;
    int n = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return 0;
        n = n * 10 + (c - '0');
    }
    return n;
}

// Payloads are echoed in the answer; a long one only in part.
constexpr std::size_t kMaxEcho = 64;

} // namespace

std::optional<CommandTopic> parseCommandTopic(std::string_view prefix, std::string_view topic)
{
    if (topic.size() <= prefix.size() || topic.substr(0, prefix.size()) != prefix || topic[prefix.size()] != '/')
        return std::nullopt;
    std::string_view rest = topic.substr(prefix.size() + 1);
    const std::size_t unitEnd = rest.find('/');
    if (unitEnd == 0 || unitEnd == std::string_view::npos)
        return std::nullopt;
    const std::string_view unit = rest.substr(0, unitEnd);
    rest.remove_prefix(unitEnd);
    constexpr std::string_view set = "/set/";
    if (rest.substr(0, set.size()) != set)
        return std::nullopt;
    rest.remove_prefix(set.size());
    if (rest.empty() || rest.find('/') != std::string_view::npos)
        return std::nullopt;
    return CommandTopic{std::string(topic.substr(0, prefix.size() + 1 + unit.size())), std::string(rest)};
}

std::string commandFilter(std::string_view prefix) { return std::string(prefix) + "/+/set/+"; }

std::string resultTopic(std::string_view unitTopic) { return std::string(unitTopic) + "/result"; }

CommandCheck checkCommand(std::string_view channel, std::string_view payload, Model model, bool enabled)
{
    if (!enabled)
        return {std::nullopt, "commands are not enabled for this unit"};
    const ModelTraits &t = traits(model);
    Command c;
    int count = 0;
    if (channel.substr(0, 2) == "DO") {
        c.kind = OutputKind::Digital;
        count = t.digitalOutputs;
    } else if (channel.substr(0, 2) == "AO") {
        c.kind = OutputKind::Analog;
        count = t.analogOutputs;
    }
    c.channel = channel.size() > 2 ? channelNumber(channel.substr(2)) : 0;
    if (count == 0 || c.channel == 0 || c.channel > count) {
        std::string error = "the " + std::string(t.name) + " has no output ";
        appendJsonString(error, channel.substr(0, kMaxEcho)); // quoted, and safe to print
        return {std::nullopt, error};
    }
    const std::string_view text = trimmed(payload);
    if (c.kind == OutputKind::Digital) {
        if (text != "0" && text != "1")
            return {std::nullopt, "a digital output takes 1 or 0"};
        c.value = text == "1" ? 1 : 0;
        return {c, {}};
    }
    const auto r = std::from_chars(text.data(), text.data() + text.size(), c.value);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size() || !std::isfinite(c.value))
        return {std::nullopt, "an analog output takes a number"};
    return {c, {}};
}

std::string commandResultJson(std::string_view channel, std::string_view payload, std::string_view error)
{
    std::string out = "{\"channel\":";
    appendJsonString(out, channel.substr(0, kMaxEcho));
    out += ",\"payload\":";
    appendJsonString(out, payload.substr(0, kMaxEcho));
    if (error.empty())
        return out + ",\"ok\":true}";
    out += ",\"ok\":false,\"error\":";
    appendJsonString(out, error);
    return out + '}';
}

} // namespace qn::mqtt
