// Commands from subscribers: topic, channel and payload checked before anything reaches a unit,
// and what they then write to the unit.
#include "mqtt/command.h"
#include "mqtt/outputcommand.h"

#include <gtest/gtest.h>

using namespace qn::mqtt;
using qn::Model;

TEST(MqttCommand, TopicsOfTheFormPrefixUnitSetChannelOnly)
{
    const struct {
        const char *topic;
        const char *unit; // nullptr: not a command
        const char *channel;
    } cases[] = {
        {"qnview/QN-110_1_10.0.0.5/set/DO1", "qnview/QN-110_1_10.0.0.5", "DO1"},
        {"qnview/U/set/AO2", "qnview/U", "AO2"},
        {"qnview/U/set/", nullptr, nullptr},
        {"qnview/U/set/DO1/x", nullptr, nullptr},
        {"qnview/U/reading", nullptr, nullptr},
        {"qnview//set/DO1", nullptr, nullptr},
        {"qnviewx/U/set/DO1", nullptr, nullptr},
        {"other/U/set/DO1", nullptr, nullptr},
        {"qnview", nullptr, nullptr},
    };
    for (const auto &c : cases) {
        const auto parsed = parseCommandTopic("qnview", c.topic);
        ASSERT_EQ(parsed.has_value(), c.unit != nullptr) << c.topic;
        if (parsed) {
            EXPECT_EQ(parsed->unitTopic, c.unit);
            EXPECT_EQ(parsed->channel, c.channel);
        }
    }
}

TEST(MqttCommand, RefusedUnlessEnabledOnAChannelTheModelHasWithAValidPayload)
{
    const struct {
        Model model;
        bool enabled;
        const char *channel, *payload;
        const char *error; // "" when accepted
        OutputKind kind;
        int number;
        double value;
    } cases[] = {
        {Model::QN210, true, "DO2", "1", "", OutputKind::Digital, 2, 1},
        {Model::QN210, true, "DO1", " 0\n", "", OutputKind::Digital, 1, 0},
        {Model::QN110, true, "AO2", "-2.5", "", OutputKind::Analog, 2, -2.5},
        {Model::QN120, true, "AO3", "1e1", "", OutputKind::Analog, 3, 10},
        {Model::QN210, false, "DO1", "1", "commands are not enabled for this unit", {}, 0, 0},
        {Model::QN210, true, "DO3", "1", "the QN-210 has no output \"DO3\"", {}, 0, 0},
        {Model::QN210, true, "AO1", "1", "the QN-210 has no output \"AO1\"", {}, 0, 0},
        {Model::QN110, true, "DO1", "1", "the QN-110 has no output \"DO1\"", {}, 0, 0},
        {Model::QN110, true, "AO0", "1", "the QN-110 has no output \"AO0\"", {}, 0, 0},
        {Model::QN110, true, "AO01", "1", "the QN-110 has no output \"AO01\"", {}, 0, 0},
        {Model::QN110, true, "DI1", "1", "the QN-110 has no output \"DI1\"", {}, 0, 0},
        {Model::QN210, true, "DO1", "on", "a digital output takes 1 or 0", {}, 0, 0},
        {Model::QN210, true, "DO1", "2", "a digital output takes 1 or 0", {}, 0, 0},
        {Model::QN110, true, "AO1", "abc", "an analog output takes a number", {}, 0, 0},
        {Model::QN110, true, "AO1", "", "an analog output takes a number", {}, 0, 0},
        {Model::QN110, true, "AO1", "1.5V", "an analog output takes a number", {}, 0, 0},
        {Model::QN110, true, "AO1", "nan", "an analog output takes a number", {}, 0, 0},
        {Model::QN110, true, "AO1", "inf", "an analog output takes a number", {}, 0, 0},
    };
    for (const auto &c : cases) {
        const CommandCheck check = checkCommand(c.channel, c.payload, c.model, c.enabled);
        EXPECT_EQ(check.error, c.error) << c.channel << ' ' << c.payload;
        ASSERT_EQ(check.command.has_value(), *c.error == 0) << c.channel << ' ' << c.payload;
        if (check.command) {
            EXPECT_EQ(check.command->kind, c.kind);
            EXPECT_EQ(check.command->channel, c.number);
            EXPECT_EQ(check.command->value, c.value);
        }
    }
}

TEST(MqttCommand, AnswerSaysOkOrTheError)
{
    EXPECT_EQ(commandResultJson("DO1", "1", ""), R"({"channel":"DO1","payload":"1","ok":true})");
    EXPECT_EQ(commandResultJson("AO1", "x\"", "an analog output takes a number"),
              R"({"channel":"AO1","payload":"x\"","ok":false,"error":"an analog output takes a number"})");
    EXPECT_EQ(resultTopic("qnview/U"), "qnview/U/result");
    EXPECT_EQ(commandFilter("qnview"), "qnview/+/set/+");
}

TEST(MqttCommand, WritesKeepTheOtherOutputsAndGoThroughTheFormulaAndClamp)
{
    const struct {
        int channel, value, current, pattern;
    } digital[] = {{2, 1, 0b01, 0b11}, {1, 0, 0b11, 0b10}, {1, 1, 0b01, 0b01}, {2, 0, 0b01, 0b01}};
    for (const auto &c : digital)
        EXPECT_EQ(outputPattern({OutputKind::Digital, c.channel, double(c.value)}, c.current), c.pattern);
    const struct {
        double value;
        int mode;
        double factor, offset;
        int code;
    } analog[] = {
        {21, 1, 2, 1, 16384},    // (21 - 1) / 2 = 10 mA
        {5, 0, 1, 0, 16384},     // 5 V of 10
        {100, 0, 1, 0, 32767},   // past the end of the range: clamped, as the page clamps
        {-100, 0, 1, 0, -32768},
        {-1, 1, 1, 0, 0},        // no negative current
    };
    for (const auto &c : analog)
        EXPECT_EQ(analogOutputCode({OutputKind::Analog, 1, c.value}, c.mode, c.factor, c.offset), c.code) << c.value;
}
