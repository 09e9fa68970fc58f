// Topics and reading bodies: what every subscriber parses.
#include "mqtt/payload.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace qn::mqtt;

TEST(MqttPayload, TopicsNameTheUnitAndKeepMqttsCharactersOut)
{
    const struct {
        UnitKey unit;
        const char *topic;
    } cases[] = {
        {{"QN-210", 3, "192.168.10.21"}, "qnview/QN-210_3_192.168.10.21"},
        {{"QN 1/2", 0, "a+b#c"}, "qnview/QN-1-2_0_a-b-c"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(unitTopic("qnview", c.unit), c.topic);
    EXPECT_EQ(serviceStatusTopic("plant/a"), "plant/a/service/status");
}

TEST(MqttPayload, TimeIsIso8601WithMillisecondsAndOffset)
{
    // 2026-12-09T01:15:30.125Z
    const std::int64_t t = 1796778930125;
    const struct {
        std::int64_t ms;
        int offset;
        const char *text;
    } cases[] = {
        {t, 0, "2026-12-09T01:15:30.125+00:00"},
        {t, 540, "2026-12-09T10:15:30.125+09:00"},
        {t, -330, "2026-12-08T19:45:30.125-05:30"},
        {-1, 0, "1969-12-31T23:59:59.999+00:00"},
        {951868799000, 0, "2000-02-29T23:59:59.000+00:00"},
        {951868799000, 60, "2000-03-01T00:59:59.000+01:00"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(isoTime(c.ms, c.offset), c.text);
}

TEST(MqttPayload, StringsAndNumbersStayValidJson)
{
    const struct {
        std::string in;
        const char *json;
    } strings[] = {
        {"温度 \"A\"\\", "\"温度 \\\"A\\\"\\\\\""},
        {std::string("a\nb\x01", 4), "\"a\\u000ab\\u0001\""},
        {"\xff" "x\xe3\x81", "\"\xEF\xBF\xBDx\xEF\xBF\xBD\xEF\xBF\xBD\""}, // no UTF-8: replaced
    };
    for (const auto &c : strings) {
        std::string out;
        appendJsonString(out, c.in);
        EXPECT_EQ(out, c.json);
    }
    const struct {
        double value;
        const char *json;
    } numbers[] = {{0.1, "0.1"}, {-12.5, "-12.5"}, {1e21, "1e+21"}, {NAN, "null"}, {INFINITY, "null"}};
    for (const auto &c : numbers) {
        std::string out;
        appendJsonNumber(out, c.value);
        EXPECT_EQ(out, c.json);
    }
}

TEST(MqttPayload, ReadingCarriesEveryChannelAndTheDigitalStates)
{
    UnitReading r;
    r.unit = {"QN-210", 3, "192.168.10.21"};
    r.timeMs = 1796778930125;
    r.utcOffsetMinutes = 540;
    r.channels = {{"AI1", "温度", 23.5, "°C", 12345}, {"AI2", "", -0.25, "V", -7}};
    r.digitalOutputs = {1, 0};
    const std::string body = R"("model":"QN-210","id":3,"address":"192.168.10.21","channels":[)"
                             R"({"channel":"AI1","signal":"温度","value":23.5,"unit":"°C","raw":12345},)"
                             R"({"channel":"AI2","signal":"","value":-0.25,"unit":"V","raw":-7}],"di":[],"do":[1,0]})";
    EXPECT_EQ(readingJson(r), R"({"time":"2026-12-09T10:15:30.125+09:00",)" + body);
    EXPECT_EQ(readingJson(r, false), "{" + body);
}
