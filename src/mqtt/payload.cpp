#include "mqtt/payload.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace qn::mqtt {

namespace {

std::string topicPart(std::string_view text)
{
    std::string out(text);
    for (char &c : out)
        if (c == '/' || c == '+' || c == '#' || c == ' ' || static_cast<unsigned char>(c) < 0x20)
            c = '-';
    return out;
}

// Length of the valid UTF-8 sequence at the start of `s`, 0 when it is not one.
std::size_t utf8Length(std::string_view s)
{
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char c = b(0);
    std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
    if (n == 0 || n > s.size() || (n == 2 && c < 0xC2))
        return 0;
    for (std::size_t i = 1; i < n; ++i)
        if ((b(i) & 0xC0) != 0x80)
            return 0;
    if (n == 3 && ((c == 0xE0 && b(1) < 0xA0) || (c == 0xED && b(1) >= 0xA0)))
        return 0; // overlong, or a surrogate half
    if (n == 4 && ((c == 0xF0 && b(1) < 0x90) || c > 0xF4 || (c == 0xF4 && b(1) >= 0x90)))
        return 0;
    return n;
}

} // namespace

std::string unitTopic(std::string_view prefix, const UnitKey &unit)
{
    return std::string(prefix) + '/' + topicPart(unit.model) + '_' + std::to_string(unit.id) + '_' +
           topicPart(unit.address);
}

std::string serviceStatusTopic(std::string_view prefix) { return std::string(prefix) + "/service/status"; }

std::string isoTime(std::int64_t timeMs, int utcOffsetMinutes)
{
    // Worked out here rather than by gmtime, which Windows refuses for times before 1970.
    const std::int64_t local = timeMs + std::int64_t(utcOffsetMinutes) * 60000;
    const std::int64_t msPerDay = 86400000;
    std::int64_t days = local / msPerDay, msOfDay = local % msPerDay;
    if (msOfDay < 0) {
        msOfDay += msPerDay;
        --days;
    }
    // The civil date of a day count from 1970-01-01 (proleptic Gregorian).
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    const int day = int(dayOfYear - (153 * mp + 2) / 5 + 1);
    const int month = int(mp < 10 ? mp + 3 : mp - 9);
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2);

    const int offset = utcOffsetMinutes < 0 ? -utcOffsetMinutes : utcOffsetMinutes;
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", static_cast<long long>(year),
                  month, day, int(msOfDay / 3600000), int(msOfDay / 60000 % 60), int(msOfDay / 1000 % 60),
                  int(msOfDay % 1000), utcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
    return text;
}

int localUtcOffsetMinutes(std::int64_t timeMs)
{
    const std::time_t t = static_cast<std::time_t>(timeMs / 1000);
    std::tm local{}, utc{};
#ifdef _WIN32
    localtime_s(&local, &t);
    gmtime_s(&utc, &t);
#else
    localtime_r(&t, &local);
    gmtime_r(&t, &utc);
#endif
    // The difference of the two broken-down times, read both as UTC.
    utc.tm_isdst = 0;
    local.tm_isdst = 0;
    const auto asUtc = [](std::tm &tm) {
        const int y = tm.tm_year + 1900, m = tm.tm_mon + 1;
        // Days from the civil date (proleptic Gregorian).
        const int yy = y - (m <= 2);
        const int era = (yy >= 0 ? yy : yy - 399) / 400;
        const int yoe = yy - era * 400;
        const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + tm.tm_mday - 1;
        const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        const std::int64_t days = std::int64_t(era) * 146097 + doe - 719468;
        return days * 86400 + tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec;
    };
    return int((asUtc(local) - asUtc(utc)) / 60);
}

void appendJsonString(std::string &out, std::string_view text)
{
    out += '"';
    while (!text.empty()) {
        const unsigned char c = static_cast<unsigned char>(text.front());
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
            text.remove_prefix(1);
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
            text.remove_prefix(1);
        } else if (const std::size_t n = utf8Length(text)) {
            out.append(text.substr(0, n));
            text.remove_prefix(n);
        } else {
            out += "\xEF\xBF\xBD"; // a byte that is no UTF-8: the replacement character
            text.remove_prefix(1);
        }
    }
    out += '"';
}

void appendJsonNumber(std::string &out, double value)
{
    if (!std::isfinite(value)) {
        out += "null";
        return;
    }
    char text[32];
    const auto r = std::to_chars(text, text + sizeof text, value);
    out.append(text, r.ptr);
}

std::string readingJson(const UnitReading &reading, bool withTime)
{
    std::string out;
    out.reserve(128 + reading.channels.size() * 96);
    out += '{';
    if (withTime) {
        out += "\"time\":";
        appendJsonString(out, isoTime(reading.timeMs, reading.utcOffsetMinutes));
        out += ',';
    }
    out += "\"model\":";
    appendJsonString(out, reading.unit.model);
    out += ",\"id\":" + std::to_string(reading.unit.id) + ",\"address\":";
    appendJsonString(out, reading.unit.address);
    out += ",\"channels\":[";
    for (std::size_t i = 0; i < reading.channels.size(); ++i) {
        const ChannelReading &c = reading.channels[i];
        out += i ? ",{\"channel\":" : "{\"channel\":";
        appendJsonString(out, c.channel);
        out += ",\"signal\":";
        appendJsonString(out, c.signal);
        out += ",\"value\":";
        appendJsonNumber(out, c.value);
        out += ",\"unit\":";
        appendJsonString(out, c.unit);
        out += ",\"raw\":" + std::to_string(c.raw) + '}';
    }
    const auto states = [&](const char *name, const std::vector<int> &bits) {
        out += name;
        for (std::size_t i = 0; i < bits.size(); ++i) {
            if (i)
                out += ',';
            out += bits[i] ? '1' : '0';
        }
        out += ']';
    };
    states("],\"di\":[", reading.digitalInputs);
    states(",\"do\":[", reading.digitalOutputs);
    out += '}';
    return out;
}

} // namespace qn::mqtt
