// Commands from subscribers: topic, channel and payload checked before anything reaches a unit,
// and the requests that then carry them out.
#include "mqtt/command.h"
#include "mqtt/outputrequests.h"

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

TEST(MqttCommand, OutputRequestsKeepTheOtherOutputsAndTheModeAndClamp)
{
    using qn::proto::Op;
    const struct {
        Command command;
        qn::proto::Results state;
        double factor, offset;
        Op readOp, setOp;
        qn::proto::Args setArgs;
    } cases[] = {
        {{OutputKind::Digital, 2, 1}, {0b01}, 1, 0, Op::GetDO, Op::SetDO, {0b11}},
        {{OutputKind::Digital, 1, 0}, {0b11}, 1, 0, Op::GetDO, Op::SetDO, {0b10}},
        {{OutputKind::Digital, 1, 1}, {0b01}, 1, 0, Op::GetDO, Op::SetDO, {0b01}},
        // The channel's formula backwards, then the mode's scale: 21 -> 10 mA -> 16384.
        {{OutputKind::Analog, 2, 21}, {1, 1, 0}, 2, 1, Op::GetAO, Op::SetAO, {1, 1, 16384}},
        // Past the end of the voltage range: clamped, as the page clamps.
        {{OutputKind::Analog, 1, 100}, {0, 0, 5}, 1, 0, Op::GetAO, Op::SetAO, {0, 0, 32767}},
        {{OutputKind::Analog, 1, -100}, {0, 0, 5}, 1, 0, Op::GetAO, Op::SetAO, {0, 0, -32768}},
    };
    for (const auto &c : cases) {
        const OutputRequest read = stateRequest(c.command);
        EXPECT_EQ(read.op, c.readOp);
        EXPECT_EQ(read.args[0], c.command.kind == OutputKind::Analog ? c.command.channel - 1 : 0);
        const OutputRequest set = setRequest(c.command, c.state, c.factor, c.offset);
        EXPECT_EQ(set.op, c.setOp);
        EXPECT_EQ(set.args, c.setArgs) << c.command.value;
    }
}
