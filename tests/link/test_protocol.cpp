#include "link/protocol.h"
#include "link/replies.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace qn::proto;

namespace {

std::vector<uint8_t> bytesOf(const Frame &f) { return std::vector<uint8_t>(f.data(), f.data() + f.size); }

template <std::size_t N>
std::vector<uint8_t> text(const char (&s)[N]) { return std::vector<uint8_t>(s, s + N - 1); }

struct RequestCase {
    Op op;
    Args args;
    std::vector<uint8_t> bytes;
};

void PrintTo(const RequestCase &c, std::ostream *os) { *os << opName(c.op); }

class RequestBytes : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestBytes, AreExact)
{
    const RequestCase &c = GetParam();
    EXPECT_EQ(bytesOf(buildRequest(c.op, c.args)), c.bytes) << opName(c.op);
    EXPECT_EQ(c.bytes.size(), info(c.op).requestLength);
}

INSTANTIATE_TEST_SUITE_P(
    EveryOperation, RequestBytes,
    ::testing::Values(
        RequestCase{Op::GetDI, {7}, {0x44, 0x49, 0xC8}},
        RequestCase{Op::SetDO, {1}, {0x44, 0x4F, 0x21, 0x20, 0xC8}},
        RequestCase{Op::SetDO, {0x23}, {0x44, 0x4F, 0x23, 0x22, 0xC8}},
        RequestCase{Op::GetDO, {}, {0x44, 0x59, 0xC8}},
        RequestCase{Op::GetAI, {2}, {0x41, 0x49, 0x22, 0xC8}},
        RequestCase{Op::GetAllAI, {}, {0x41, 0x49, 0x27, 0xC8}},
        RequestCase{Op::SetAO, {1, 1, 0x1234}, {0x41, 0x4F, 0x29, 0x31, 0x32, 0x33, 0x34, 0xC8}},
        // A negative raw code sends the low 16 bits of its two's complement.
        RequestCase{Op::SetAO, {0, 0, -1}, {0x41, 0x4F, 0x20, 'F', 'F', 'F', 'F', 0xC8}},
        RequestCase{Op::SetAO, {2, 0, 0x12345}, {0x41, 0x4F, 0x22, '2', '3', '4', '5', 0xC8}},
        RequestCase{Op::GetAO, {1}, {0x41, 0x59, 0x21, 0xC8}},
        RequestCase{Op::GetAIRange, {0}, {0x41, 0x4A, 0x20, 0xC8}},
        RequestCase{Op::GetADCsps, {}, {0x4D, 0x52, 0x30, 0x34, 0x39, 0x31, 0xC8}},
        RequestCase{Op::SetAIRange, {1, 3}, {0x41, 0x52, 0x21, 0x23, 0xC8}},
        RequestCase{Op::SetADCsps, {4}, {0x41, 0x50, 0x24, 0xC8}},
        RequestCase{Op::GetADCThreshold, {2}, {0x41, 0x4B, 0x22, 0xC8}},
        RequestCase{Op::SetADCThreshold, {0, 1, 0, 0x8000, 0x1000},
                    {0x41, 0x4C, 0x20, 0x28, 0x31, 0x30, 0x30, 0x30, 0x38, 0x30, 0x30, 0x30, 0xC8}},
        RequestCase{Op::SetADCThreshold, {2, 0, 3, 0xABCD, 0x0012},
                    {0x41, 0x4C, 0x22, 0x23, '0', '0', '1', '2', 'A', 'B', 'C', 'D', 0xC8}},
        RequestCase{Op::GetUnitModelID, {}, {0x4D, 0x49, 0xC8}},
        RequestCase{Op::SetTCSetting, {1, 7, 5}, {0x54, 0x43, 0x21, 0x27, 0x25, 0xC8}},
        RequestCase{Op::GetTCSetting, {2}, {0x54, 0x4A, 0x22, 0xC8}},
        RequestCase{Op::GetDOAlert, {1}, {0x44, 0x4A, 0x21, 0xC8}},
        // Monitored AI in byte 3, direction in byte 4, hysteresis in bytes 5-8.
        RequestCase{Op::SetDOAlert, {1, 2, 0x00FF, 1}, {0x44, 0x4C, 0x21, 0x22, 0x21, '0', '0', 'F', 'F', 0xC8}},
        RequestCase{Op::SetDOAlertEnable, {0, 1}, {0x44, 0x53, 0x20, 0x21, 0xC8}}),
    [](const ::testing::TestParamInfo<RequestCase> &i) {
        return std::string(opName(i.param.op)) + "_" + std::to_string(i.index);
    });

TEST(ProtocolTable, LengthsNamesAndQueueIdentifiers)
{
    struct Row {
        const char *name;
        int messageId;
        std::size_t req, rep;
        int args, results;
    };
    const Row rows[] = {
        {"GetDI", 0x8001, 3, 5, 1, 2},          {"SetDO", 0x8002, 5, 5, 1, 1},
        {"GetDO", 0x8003, 3, 5, 0, 1},          {"GetAI", 0x8004, 4, 10, 1, 2},
        {"GetAllAI", 0x8005, 4, 22, 0, 3},      {"SetAO", 0x8006, 8, 8, 3, 3},
        {"GetAO", 0x8007, 4, 8, 1, 3},          {"GetAIRange", 0x8008, 4, 6, 1, 2},
        {"GetADCsps", 0x8009, 7, 9, 0, 1},      {"SetAIRange", 0x800A, 5, 5, 2, 2},
        {"SetADCsps", 0x800B, 4, 4, 1, 1},      {"GetADCThreshold", 0x800C, 4, 13, 1, 5},
        {"SetADCThreshold", 0x800D, 13, 13, 5, 5}, {"GetUnitModelID", 0x800E, 3, 5, 0, 2},
        {"SetTCSetting", 0x800F, 6, 6, 3, 3},   {"GetTCSetting", 0x8010, 4, 15, 1, 3},
        {"GetDOAlert", 0x8011, 4, 11, 1, 5},    {"SetDOAlert", 0x8012, 10, 10, 4, 4},
        {"SetDOAlertEnable", 0x8013, 5, 5, 2, 2},
    };
    ASSERT_EQ(std::size(rows), std::size_t(kOpCount));
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        const auto op = opFromName(r.name);
        ASSERT_TRUE(op);
        EXPECT_EQ(messageId(*op), r.messageId);
        EXPECT_EQ(info(*op).requestLength, r.req);
        EXPECT_EQ(info(*op).replyLength, r.rep);
        EXPECT_EQ(info(*op).argCount, r.args);
        EXPECT_EQ(info(*op).resultCount, r.results);
        EXPECT_EQ(buildRequest(*op, {}).bytes[r.req - 1], kTerminator);
    }
    EXPECT_FALSE(opFromName("getallai"));
    EXPECT_FALSE(opFromName(""));
}

struct DecodeCase {
    const char *what;
    Op op;
    Args args;
    std::vector<uint8_t> reply;
    std::optional<Results> expected; // nullopt: malformed
};

// Names the case in test listings (ctest shows it) instead of dumping its bytes.
void PrintTo(const DecodeCase &c, std::ostream *os) { *os << c.what; }

class ReplyDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ReplyDecoding, GivesTheReplyValues)
{
    const DecodeCase &c = GetParam();
    std::vector<uint8_t> reply = c.reply;
    ASSERT_EQ(reply.size(), info(c.op).replyLength) << c.what;
    EXPECT_EQ(decodeReply(c.op, c.args, reply.data()), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Examples, ReplyDecoding,
    ::testing::Values(
        DecodeCase{"GetAllAI FFFFFE gives -2", Op::GetAllAI, {},
                   text("ai'FFFFFE000001800000\xC8"), Results{-2, 1, -8388608}},
        DecodeCase{"AI 7FFFFF gives the largest code", Op::GetAllAI, {},
                   text("ai'7FFFFF800000FFFFFF\xC8"), Results{8388607, -8388608, -1}},
        DecodeCase{"lower-case hex digits read too", Op::GetAI, {1}, text("ai!abcdef\xC8"), Results{1, 0xABCDEF - 0x1000000}},
        DecodeCase{"a field that is no number is malformed", Op::GetAllAI, {}, text("ai'ZZZZZZ12ZZZZ000010\xC8"),
                   std::nullopt},
        DecodeCase{"GetUnitModelID example", Op::GetUnitModelID, {}, {0x6D, 0x69, 0x2E, 0x29, 0xC8}, Results{1, 9}},
        DecodeCase{"GetUnitModelID QN-120 ID 15", Op::GetUnitModelID, {}, {0x6D, 0x69, 0x20, 0x2B, 0xC8}, Results{15, 11}},
        DecodeCase{"GetDI digit pair and tag", Op::GetDI, {42}, {0x64, 0x69, 0x25, 0x23, 0xC8}, Results{0x305, 42}},
        DecodeCase{"GetDO digit pair", Op::GetDO, {}, {0x64, 0x79, 0x23, 0x20, 0xC8}, Results{3}},
        DecodeCase{"SetDO gives back the pattern", Op::SetDO, {2}, {'d', 'o', 0, 0, 0}, Results{2}},
        DecodeCase{"GetAO current mode", Op::GetAO, {1}, text("ay)FFFF\xC8"), Results{1, 1, 0xFFFF}},
        DecodeCase{"GetAO voltage mode", Op::GetAO, {0}, text("ay 8000\xC8"), Results{0, 0, 0x8000}},
        DecodeCase{"GetAO with a non-digit in its code is malformed", Op::GetAO, {2}, text("ay\"12 4\xC8"),
                   std::nullopt},
        DecodeCase{"GetAO leaves a digit in the last byte alone", Op::GetAO, {0}, text("ay 12347"), Results{0, 0, 0x1234}},
        DecodeCase{"SetAO gives back what it set", Op::SetAO, {2, 1, -5}, text("ao\0\0\0\0\0\0"), Results{2, 1, -5}},
        DecodeCase{"GetAIRange", Op::GetAIRange, {2}, {'a', 'j', 0x22, 0x2E, 0x3F, 0xC8}, Results{2, 6}},
        DecodeCase{"GetADCsps reads bytes 6-7", Op::GetADCsps, {}, text("mr049107\xC8"), Results{7}},
        DecodeCase{"GetADCsps keeps the low 8 bits", Op::GetADCsps, {}, text("mr0491FF\xC8"), Results{255}},
        DecodeCase{"SetAIRange", Op::SetAIRange, {1, 4}, text("ar\0\0\0"), Results{1, 4}},
        DecodeCase{"SetADCsps", Op::SetADCsps, {6}, text("ap\0\0"), Results{6}},
        DecodeCase{"GetADCThreshold low then high on the wire", Op::GetADCThreshold, {1},
                   text("ak!*1000F000\xC8"), Results{1, 1, 2, 0x1000, 0xF000}},
        DecodeCase{"SetADCThreshold gives low before high, as GetADCThreshold", Op::SetADCThreshold,
                   {0, 1, 2, 0x8000, 0x1000}, text("al\0\0\0\0\0\0\0\0\0\0\0"), Results{0, 1, 2, 0x1000, 0x8000}},
        DecodeCase{"SetTCSetting", Op::SetTCSetting, {2, 3, 5}, text("tc\0\0\0\0"), Results{2, 3, 5}},
        DecodeCase{"GetTCSetting", Op::GetTCSetting, {1}, text("tj!'%         \xC8"), Results{1, 7, 5}},
        DecodeCase{"GetDOAlert", Op::GetDOAlert, {1}, text("dj!!\"!00FF\xC8"), Results{1, 1, 2, 0xFF, 1}},
        DecodeCase{"SetDOAlert", Op::SetDOAlert, {1, 2, 300, 1}, text("dl\0\0\0\0\0\0\0\0"), Results{1, 2, 300, 1}},
        DecodeCase{"SetDOAlertEnable", Op::SetDOAlertEnable, {0, 1}, text("ds\0\0\0"), Results{0, 1}}));

TEST(ReplyValues, EachOperationsStructHoldsItsValuesInOrder)
{
    const Results values{1, 2, 3, 4, 5};
    for (int n = 1; n <= kOpCount; ++n) {
        const auto [back, count] = qn::valuesOf(qn::anyReplyFromValues(Op(n), values));
        EXPECT_EQ(count, info(Op(n)).resultCount) << opName(Op(n));
        for (int i = 0; i < count; ++i)
            EXPECT_EQ(back[size_t(i)], values[size_t(i)]) << opName(Op(n));
    }
    const qn::AnalogOutput out = qn::replyFromValues<qn::ReplyOf_t<Op::SetAO>>({1, 0, -1});
    EXPECT_EQ(out.raw, -1);
}

TEST(FieldReaders, Signed24AndDigitPair)
{
    const auto s = [](const char *t) { return signed24(reinterpret_cast<const uint8_t *>(t)); };
    EXPECT_EQ(s("800000"), -8388608);
    EXPECT_EQ(s("7FFFFF"), 8388607);
    EXPECT_EQ(s("FFFFFF"), -1);
    EXPECT_EQ(s("000000"), 0);
    EXPECT_EQ(s("G00000"), 0);
    EXPECT_EQ(s("12G"), 0x12);
    const uint8_t pair[] = {0x27, 0x2A};
    EXPECT_EQ(digitPair(pair), 0xA07);
}

TEST(Identification, ChecksEchoAndHighNibbles)
{
    int unitId = -1, modelId = -1;
    const uint8_t good[] = {0x6D, 0x69, 0x2E, 0x29, 0x00};
    EXPECT_EQ(decodeIdentification(good, unitId, modelId), 0);
    EXPECT_EQ(unitId, 1);
    EXPECT_EQ(modelId, 9);

    unitId = modelId = -1;
    const uint8_t wrongEcho[] = {0x4D, 0x49, 0x2E, 0x29, 0x00};
    EXPECT_EQ(decodeIdentification(wrongEcho, unitId, modelId), 1);
    const uint8_t wrongNibble[] = {0x6D, 0x69, 0x2E, 0x3A, 0x00};
    EXPECT_EQ(decodeIdentification(wrongNibble, unitId, modelId), 1);
    const uint8_t wrongNibble2[] = {0x6D, 0x69, 0x1E, 0x29, 0x00};
    EXPECT_EQ(decodeIdentification(wrongNibble2, unitId, modelId), 1);
    EXPECT_EQ(unitId, -1); // untouched on failure
    EXPECT_EQ(modelId, -1);
}

TEST(RequestsAsAUnitSeesThem, AreRecognised)
{
    for (int n = 1; n <= kOpCount; ++n) {
        const Op op = Op(n);
        const Frame f = buildRequest(op, {1, 0, 0, 0, 0});
        SCOPED_TRACE(std::string(opName(op)));
        EXPECT_EQ(opFromRequest(f.data(), f.size), op);
        EXPECT_EQ(requestLengthForCode(f[0], f[1]), f.size);
    }
    const uint8_t unknown[] = {'Z', 'Z', 0xC8};
    EXPECT_FALSE(opFromRequest(unknown, 3));
    EXPECT_EQ(requestLengthForCode('Z', 'Z'), 0u);
}

TEST(ArgumentRanges, EveryFieldTellsWhatFitsAndAnyIntPacksSafely)
{
    // Per operation: its arguments' ranges, in caller order.
    const struct {
        Op op;
        std::vector<ArgRange> ranges;
    } rows[] = {
        {Op::GetDI, {{INT_MIN, INT_MAX}}},
        {Op::SetDO, {{0, 0xFF}}},
        {Op::GetAI, {{0, 6}}},
        {Op::SetAO, {{0, 7}, {0, 1}, {-0x8000, 0xFFFF}}},
        {Op::GetAO, {{0, 7}}},
        {Op::GetAIRange, {{0, 7}}},
        {Op::SetAIRange, {{0, 7}, {0, 7}}},
        {Op::SetADCsps, {{0, 7}}},
        {Op::GetADCThreshold, {{0, 7}}},
        {Op::SetADCThreshold, {{0, 7}, {0, 1}, {0, 3}, {0, 0xFFFF}, {0, 0xFFFF}}},
        {Op::SetTCSetting, {{0, 7}, {0, 7}, {0, 7}}},
        {Op::GetTCSetting, {{0, 7}}},
        {Op::GetDOAlert, {{0, 7}}},
        {Op::SetDOAlert, {{0, 7}, {0, 7}, {0, 0xFFFF}, {0, 1}}},
        {Op::SetDOAlertEnable, {{0, 7}, {0, 1}}},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(std::string(opName(row.op)));
        ASSERT_EQ(int(row.ranges.size()), info(row.op).argCount);
        for (int i = 0; i < info(row.op).argCount; ++i) {
            const ArgRange r = argRange(row.op, i);
            EXPECT_EQ(r.min, row.ranges[size_t(i)].min) << i;
            EXPECT_EQ(r.max, row.ranges[size_t(i)].max) << i;
            for (int v : {INT_MIN, r.min, r.max, INT_MAX}) {
                Args args{};
                args[size_t(i)] = v;
                EXPECT_EQ(firstArgOutOfRange(row.op, args), r.contains(v) ? -1 : i) << i << " " << v;
                // Packing never overflows (the sanitizer builds check) and keeps the frame.
                const Frame f = buildRequest(row.op, args);
                EXPECT_EQ(f.size, info(row.op).requestLength);
                EXPECT_EQ(f[f.size - 1], kTerminator);
                if (r.contains(v)) {
                    EXPECT_EQ(opFromRequest(f.data(), f.size), row.op);
                }
            }
        }
    }
}

TEST(ModelNames, BothWays)
{
    EXPECT_EQ(modelName(8), "QN-210");
    EXPECT_EQ(modelName(9), "QN-110");
    EXPECT_EQ(modelName(10), "QN-220");
    EXPECT_EQ(modelName(11), "QN-120");
    EXPECT_EQ(modelName(7), "");
    EXPECT_EQ(modelIdFromName("qn-220"), 10);
    EXPECT_FALSE(modelIdFromName("QN-230"));
}

} // namespace
