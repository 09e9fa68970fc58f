// Sparkplug B's topics, a reading's metrics, what DDATA carries and what a DCMD asks, by tables;
// payloads through the generated code and back.
#include "mqtt/sparkplug.h"

#include <gtest/gtest.h>

using namespace qn::mqtt;
using namespace qn::mqtt::sparkplug;

namespace {

UnitReading inputReading(double ai1, long raw1, int do1)
{
    UnitReading r;
    r.unit = {"QN-210", 3, "127.0.0.2"};
    r.timeMs = 1765000000123;
    r.channels = {{"AI1", "Tank", ai1, "℃", raw1}, {"AI2", "", 2.0, "V", 200}};
    r.digitalOutputs = {do1, 0};
    r.digitalOutputSignals = {"Pump", "Valve"};
    return r;
}

TEST(Sparkplug, Topics)
{
    EXPECT_EQ(topic("qnview", "DDATA", "line1", deviceId({"QN-210", 3, "192.168.10.21"})),
              "spBv1.0/qnview/DDATA/line1/QN-210_3_192.168.10.21");
    const struct {
        const char *topic;
        bool ok;
        const char *device;
    } cases[] = {{"spBv1.0/g/DCMD/n/QN-110_1_127.0.0.3", true, "QN-110_1_127.0.0.3"},
                 {"spBv1.0/g/NCMD/n", true, ""},
                 {"spBv1.0/g/NCMD", false, ""},
                 {"spAv1.0/g/NCMD/n", false, ""},
                 {"spBv1.0/g/DCMD/n/d/extra", false, ""}};
    for (const auto &c : cases) {
        const auto t = parseTopic(c.topic);
        EXPECT_EQ(t.has_value(), c.ok) << c.topic;
        if (t) {
            EXPECT_EQ(t->device, c.device) << c.topic;
        }
    }
    EXPECT_TRUE(validId("Plant 1"));
    EXPECT_FALSE(validId("a/b"));
    EXPECT_FALSE(validId(""));
}

TEST(Sparkplug, BirthMetricsGoThroughThePayloadAndBack)
{
    const std::vector<Metric> birth = readingMetrics(inputReading(-1.5, -42, 1), true, true);
    ASSERT_EQ(birth.size(), 6u); // AI1, AI1/Raw, AI2, AI2/Raw, DO1, DO2
    const std::optional<Payload> back = decode(encode({1765000000123, 7, birth}));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->seq, 7u);
    EXPECT_EQ(back->timestamp, 1765000000123u);
    EXPECT_EQ(back->metrics, birth);
    EXPECT_EQ(birth[1].integer, -42); // a negative code survives as Int32
    EXPECT_EQ(birth[0].properties.size(), 2u); // Signal, engUnit
    EXPECT_EQ(birth[4].properties.back().flag, true); // Writable
    EXPECT_FALSE(decode("\xff\xff\xff"));
    for (std::uint64_t seq : {0u, 127u, 128u, 255u})
        EXPECT_EQ(decode(withSeq(encode({1, std::nullopt, birth}), seq))->seq, seq);
}

TEST(Sparkplug, DataCarriesWhatChanged)
{
    const auto before = readingMetrics(inputReading(1.0, 100, 0), false);
    const struct {
        UnitReading now;
        std::vector<std::string> names;
    } cases[] = {{inputReading(1.0, 100, 0), {}},
                 {inputReading(1.5, 150, 0), {"AI1", "AI1/Raw"}},
                 {inputReading(1.0, 100, 1), {"DO1"}}};
    for (const auto &c : cases) {
        std::vector<std::string> names;
        for (const Metric &m : changedMetrics(readingMetrics(c.now, false), before))
            names.push_back(m.name);
        EXPECT_EQ(names, c.names);
    }
    EXPECT_EQ(changedMetrics(before, {}).size(), before.size());
}

TEST(Sparkplug, ACommandsValueAsTheJsonCommandsTakeIt)
{
    const struct {
        Metric metric;
        std::optional<std::string> text;
    } cases[] = {{{"DO1", DataType::Boolean, 0, 0, true}, "1"},
                 {{"DO1", DataType::Boolean, 0, 0, false}, "0"},
                 {{"AO1", DataType::Double, 2.5}, "2.5"},
                 {{"AO1", DataType::Int32, 0, 3}, "3"},
                 {{"AO1", DataType::String, 0, 0, false, "2.5"}, std::nullopt}};
    for (const auto &c : cases)
        EXPECT_EQ(commandText(c.metric), c.text) << c.metric.name;
}

} // namespace
