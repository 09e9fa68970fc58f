#include "sim/unitmodel.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using namespace qn;
using namespace qn::sim;
using proto::Op;

namespace {

// Largest positive 24-bit input code.
constexpr int kFullCode() { return 8388607; }

UnitConfig configFor(int model, int unitId = 4)
{
    UnitConfig c;
    c.modelId = model;
    c.unitId = unitId;
    return c;
}

std::vector<uint8_t> ask(UnitModel &m, Op op, proto::Args args = {}, double t = 1.0)
{
    const proto::Frame f = proto::buildRequest(op, args);
    return m.answer(f.data(), f.size, t);
}

proto::Results roundTrip(UnitModel &m, Op op, proto::Args args = {}, double t = 1.0)
{
    const std::vector<uint8_t> reply = ask(m, op, args, t);
    EXPECT_EQ(reply.size(), proto::info(op).replyLength) << proto::opName(op);
    const std::optional<proto::Results> values = proto::decodeReply(op, args, reply.data());
    EXPECT_TRUE(values) << "malformed " << proto::opName(op);
    return values.value_or(proto::Results{});
}

TEST(UnitModelAnswers, EveryCommandHasExactlyTheReplyLength)
{
    for (int model : {8, 9, 10, 11}) {
        UnitModel m(configFor(model), 1);
        for (int n = 1; n <= proto::kOpCount; ++n) {
            const Op op = Op(n);
            const std::vector<uint8_t> reply = ask(m, op, {1, 0, 0, 0, 0});
            SCOPED_TRACE(std::string(proto::opName(op)) + " model " + std::to_string(model));
            ASSERT_EQ(reply.size(), proto::info(op).replyLength);
            const proto::Frame f = proto::buildRequest(op, {1, 0, 0, 0, 0});
            EXPECT_TRUE(proto::echoMatches(f.data(), reply.data()));
            EXPECT_EQ(reply.back(), proto::kTerminator);
        }
    }
}

TEST(UnitModelAnswers, NotUnderstoodGivesNothing)
{
    UnitModel m(configFor(8), 1);
    const uint8_t unknown[] = {'Q', 'Q', 0xC8};
    EXPECT_TRUE(m.answer(unknown, 3, 0).empty());
    const uint8_t shortAo[] = {'A', 'O', 0xC8};
    EXPECT_TRUE(m.answer(shortAo, 3, 0).empty());
}

TEST(UnitModelAnswers, IdentifiesItself)
{
    for (int model : {8, 9, 10, 11})
        for (int id : {0, 7, 15}) {
            UnitModel m(configFor(model, id), 1);
            const std::vector<uint8_t> reply = ask(m, Op::GetUnitModelID);
            int unitId = -1, modelId = -1;
            ASSERT_EQ(proto::decodeIdentification(reply.data(), unitId, modelId), 0);
            EXPECT_EQ(unitId, id);
            EXPECT_EQ(modelId, model);
        }
}

TEST(UnitModelState, SettingsReadBackAsWritten)
{
    UnitModel m(configFor(proto::kModelQN220), 1);
    EXPECT_EQ(roundTrip(m, Op::SetDO, {2}), (proto::Results{2}));
    EXPECT_EQ(roundTrip(m, Op::GetDO), (proto::Results{2}));

    roundTrip(m, Op::SetAIRange, {1, 6});
    EXPECT_EQ(roundTrip(m, Op::GetAIRange, {1}), (proto::Results{1, 6, 0}));
    EXPECT_EQ(m.state().aiRange[1], 6);

    roundTrip(m, Op::SetADCsps, {5});
    EXPECT_EQ(roundTrip(m, Op::GetADCsps), (proto::Results{5}));

    roundTrip(m, Op::SetADCThreshold, {2, 1, 3, 0x9000, 0x0123});
    EXPECT_EQ(roundTrip(m, Op::GetADCThreshold, {2}), (proto::Results{2, 1, 3, 0x0123, 0x9000}));

    roundTrip(m, Op::SetTCSetting, {0, 7, 5});
    EXPECT_EQ(roundTrip(m, Op::GetTCSetting, {0}), (proto::Results{0, 7, 5}));

    roundTrip(m, Op::SetDOAlert, {1, 2, 0x0400, 1});
    roundTrip(m, Op::SetDOAlertEnable, {1, 1});
    EXPECT_EQ(roundTrip(m, Op::GetDOAlert, {1}), (proto::Results{1, 1, 2, 0x0400, 1}));
}

TEST(UnitModelState, AnalogOutputsKeepModeAndCode)
{
    UnitModel m(configFor(proto::kModelQN120), 1);
    EXPECT_EQ(roundTrip(m, Op::GetAO, {2}), (proto::Results{2, 0, 0})); // 0 V: off
    roundTrip(m, Op::SetAO, {2, 1, -1});
    EXPECT_EQ(roundTrip(m, Op::GetAO, {2}), (proto::Results{2, 1, 0xFFFF}));
    roundTrip(m, Op::SetAO, {0, 0, 0x1234});
    EXPECT_EQ(roundTrip(m, Op::GetAO, {0}), (proto::Results{0, 0, 0x1234}));
    EXPECT_EQ(roundTrip(m, Op::GetAO, {1}), (proto::Results{1, 0, 0})) << "state per channel";
    UnitModel other(configFor(proto::kModelQN120), 2);
    EXPECT_EQ(roundTrip(other, Op::GetAO, {0}), (proto::Results{0, 0, 0})) << "state per unit";
}

TEST(UnitModelSignals, PinnedReadingsAreExact)
{
    UnitModel m(configFor(proto::kModelQN210), 1);
    m.state().pinnedAi = {-8388608, 8388607, -2};
    EXPECT_EQ(roundTrip(m, Op::GetAllAI), (proto::Results{-8388608, 8388607, -2}));
    EXPECT_EQ(roundTrip(m, Op::GetAI, {2}), (proto::Results{2, -2}));
    UnitModel d(configFor(proto::kModelQN110), 1);
    d.state().pinnedDi = 5;
    EXPECT_EQ(roundTrip(d, Op::GetDI, {9}), (proto::Results{5, 9}));
}

TEST(UnitModelSignals, AnalogInputsMoveSmoothlyWithinTheirRange)
{
    UnitModel m(configFor(proto::kModelQN210), 1);
    m.state().aiRange = {2, 4, 0};
    int previous = m.aiCode(0, 0.0);
    std::set<int> seen;
    for (double t = 0.05; t < 20.0; t += 0.05) {
        for (int ch = 0; ch < 3; ++ch) {
            const int code = m.aiCode(ch, t);
            EXPECT_GE(code, -8388608);
            EXPECT_LE(code, 8388607);
            if (ch == 1) {
                EXPECT_GT(code, 0) << "a current range reads positive";
            }
        }
        const int code = m.aiCode(0, t);
        // 50 ms apart a slow signal moves a little, not across the range.
        EXPECT_LT(std::abs(code - previous), 8388607 / 10);
        previous = code;
        seen.insert(code / 100000);
    }
    EXPECT_GT(seen.size(), 20u) << "the reading should wander over its range";
}

TEST(UnitModelSignals, AnalogInputsDriftLikePlantSignalsYetEveryReadingDiffers)
{
    UnitModel m(configFor(proto::kModelQN210), 1);
    m.state().aiRange = {2, 4, 0};
    for (int ch = 0; ch < 3; ++ch) {
        int low = kFullCode(), high = -kFullCode();
        int repeats = 0;
        int previous = m.aiCode(ch, 0.0);
        // Five seconds of readings every 100 ms: a slow signal covers only a small
        // part of the range, but noise keeps each reading from repeating the last.
        for (int i = 1; i <= 50; ++i) {
            const int code = m.aiCode(ch, i * 0.1);
            low = std::min(low, code);
            high = std::max(high, code);
            repeats += code == previous;
            previous = code;
        }
        EXPECT_LT(high - low, kFullCode() / 2) << "channel " << ch + 1 << " swings too fast";
        EXPECT_LE(repeats, 2) << "channel " << ch + 1;
    }
    // Over a few minutes each channel still wanders over much of its range.
    for (int ch = 0; ch < 3; ++ch) {
        int low = kFullCode(), high = -kFullCode();
        for (double t = 0; t < 240.0; t += 0.5) {
            const int code = m.aiCode(ch, t);
            low = std::min(low, code);
            high = std::max(high, code);
        }
        EXPECT_GT(high - low, kFullCode() / 2) << "channel " << ch + 1 << " hardly moves";
    }
}

TEST(UnitModelSignals, ThermocoupleReadsNearRoomTemperature)
{
    UnitModel m(configFor(proto::kModelQN220), 1);
    m.state().aiRange[0] = 6;
    for (double t = 0; t < 300; t += 7.5) {
        const double celsius = m.aiCode(0, t) / 2560.0;
        EXPECT_GT(celsius, 18.0);
        EXPECT_LT(celsius, 32.0);
    }
}

TEST(UnitModelSignals, DigitalInputsChangeNowAndThen)
{
    UnitModel m(configFor(proto::kModelQN110), 1);
    std::set<int> patterns;
    int changes = 0;
    int previous = m.diBits(0);
    for (double t = 0; t < 30; t += 0.1) {
        const int bits = m.diBits(t);
        EXPECT_EQ(bits & ~7, 0);
        patterns.insert(bits);
        changes += bits != previous;
        previous = bits;
    }
    EXPECT_GE(patterns.size(), 4u);
    EXPECT_GT(changes, 5);
    EXPECT_LT(changes, 100); // now and then, not every reading
    UnitModel two(configFor(proto::kModelQN120), 1);
    for (double t = 0; t < 30; t += 0.1)
        EXPECT_EQ(two.diBits(t) & ~3, 0) << "the QN-120 has two inputs";
}

TEST(UnitModelSignals, DoAlertDrivesTheOutputWithHysteresis)
{
    UnitModel m(configFor(proto::kModelQN220), 1);
    // AI2 monitored by DO1: on above 0x4000, off again below 0x4000 - 0x0800.
    roundTrip(m, Op::SetADCThreshold, {1, 0, 0, 0x4000, 0x1000});
    roundTrip(m, Op::SetDOAlert, {0, 1, 0x0800, 0});
    roundTrip(m, Op::SetDOAlertEnable, {0, 1});
    roundTrip(m, Op::SetDO, {2});
    auto level = [&](int upper16) { m.state().pinnedAi[1] = upper16 << 8; };
    level(0x3000);
    EXPECT_EQ(roundTrip(m, Op::GetDO), (proto::Results{2}));
    level(0x4100);
    EXPECT_EQ(roundTrip(m, Op::GetDO), (proto::Results{3}));
    level(0x3C00); // inside the hysteresis: stays on
    EXPECT_EQ(roundTrip(m, Op::GetDO), (proto::Results{3}));
    level(0x3700);
    EXPECT_EQ(roundTrip(m, Op::GetDO), (proto::Results{2}));
    // Disabled: the written pattern rules again.
    roundTrip(m, Op::SetDOAlertEnable, {0, 0});
    level(0x7000);
    EXPECT_EQ(roundTrip(m, Op::GetDO), (proto::Results{2}));
}

TEST(UnitModelSignals, DoAlertBelowLowInDirectionOne)
{
    UnitModel m(configFor(proto::kModelQN220), 1);
    roundTrip(m, Op::SetADCThreshold, {0, 0, 0, 0x4000, 0x1000});
    roundTrip(m, Op::SetDOAlert, {1, 0, 0x0100, 1});
    roundTrip(m, Op::SetDOAlertEnable, {1, 1});
    m.state().pinnedAi[0] = 0x0800 << 8;
    EXPECT_EQ(roundTrip(m, Op::GetDO), (proto::Results{2}));
    m.state().pinnedAi[0] = 0x2000 << 8;
    EXPECT_EQ(roundTrip(m, Op::GetDO), (proto::Results{0}));
    // A QN-210 has no DO alert: the same settings change nothing.
    UnitModel plain(configFor(proto::kModelQN210), 1);
    roundTrip(plain, Op::SetADCThreshold, {0, 0, 0, 0x4000, 0x1000});
    roundTrip(plain, Op::SetDOAlert, {1, 0, 0x0100, 1});
    roundTrip(plain, Op::SetDOAlertEnable, {1, 1});
    plain.state().pinnedAi[0] = 0x0800 << 8;
    EXPECT_EQ(roundTrip(plain, Op::GetDO), (proto::Results{0}));
}

} // namespace
