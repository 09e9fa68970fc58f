// The codec's check of every reply: for each of the 19 operations a good reply decodes, one
// with wrong echo letters, a small field without the 0x2 high nibble or a numeric field with a
// byte that is no hexadecimal digit is malformed, and the bytes the unit fills as it likes
// change nothing.
#include "link/protocol.h"
#include "link/replies.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

using namespace qn::proto;

namespace {

struct CheckCase {
    Op op;
    Args args;
    std::string reply;           // a good reply
    Results expected;            // what it decodes to
    std::vector<int> small;      // positions of small fields (0x20 + value)
    std::vector<int> hex;        // positions of hexadecimal digits
    std::vector<int> free;       // positions the unit fills as it likes
};

void PrintTo(const CheckCase &c, std::ostream *os) { *os << opName(c.op); }

std::string withByte(std::string s, int at, char b)
{
    s[size_t(at)] = b;
    return s;
}

std::optional<Results> decode(const CheckCase &c, const std::string &reply)
{
    return decodeReply(c.op, c.args, reinterpret_cast<const uint8_t *>(reply.data()));
}

class ReplyCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ReplyCheck, AGoodReplyDecodes)
{
    const CheckCase &c = GetParam();
    ASSERT_EQ(c.reply.size(), info(c.op).replyLength);
    EXPECT_EQ(decode(c, c.reply), c.expected);
    const auto typed = qn::decodeAnyReply(c.op, c.args, reinterpret_cast<const uint8_t *>(c.reply.data()));
    ASSERT_TRUE(typed);
    EXPECT_EQ(qn::valuesOf(*typed).first, c.expected);
}

TEST_P(ReplyCheck, WrongEchoLettersAreMalformed)
{
    const CheckCase &c = GetParam();
    for (int at : {0, 1}) {
        const char upper = char(c.reply[size_t(at)] - 0x20); // the request's own letter
        EXPECT_FALSE(decode(c, withByte(c.reply, at, upper))) << at;
        EXPECT_FALSE(decode(c, withByte(c.reply, at, 'x'))) << at;
    }
    const auto typed = qn::decodeAnyReply(c.op, c.args, reinterpret_cast<const uint8_t *>("zz\0\0\0\0\0\0\0\0\0\0\0"
                                                                                        "\0\0\0\0\0\0\0\0\0"));
    ASSERT_FALSE(typed);
    EXPECT_EQ(typed.error(), qn::LinkError::malformed());
}

TEST_P(ReplyCheck, ASmallFieldWithoutTheHighNibbleIsMalformed)
{
    const CheckCase &c = GetParam();
    for (int at : c.small) {
        const char low = char(c.reply[size_t(at)] & 0x0F);
        for (char high : {0x00, 0x30, 0xA0})
            EXPECT_FALSE(decode(c, withByte(c.reply, at, char(high | low)))) << at << " " << int(high);
    }
}

TEST_P(ReplyCheck, ANumericFieldWithANonDigitIsMalformed)
{
    const CheckCase &c = GetParam();
    for (int at : c.hex)
        for (char b : {'G', ' ', 'x', '\0', char(0xC8)})
            EXPECT_FALSE(decode(c, withByte(c.reply, at, b))) << at << " " << int(uint8_t(b));
}

TEST_P(ReplyCheck, BytesTheUnitFillsAreNotChecked)
{
    const CheckCase &c = GetParam();
    ASSERT_EQ(c.free.back(), int(c.reply.size()) - 1); // the last byte always
    for (int at : c.free)
        for (char b : {'\0', 'Z', char(0xFF), char(0x80)})
            EXPECT_EQ(decode(c, withByte(c.reply, at, b)), c.expected) << at << " " << int(uint8_t(b));
}

const std::string T = "\xC8";

INSTANTIATE_TEST_SUITE_P(
    EveryOperation, ReplyCheck,
    ::testing::Values(
        CheckCase{Op::GetDI, {42}, "di%#" + T, {0x305, 42}, {2, 3}, {}, {4}},
        CheckCase{Op::SetDO, {2}, "do\" " + T, {2}, {}, {}, {2, 3, 4}},
        CheckCase{Op::GetDO, {}, "dy# " + T, {3}, {2, 3}, {}, {4}},
        CheckCase{Op::GetAI, {1}, "ai!FFFFFE" + T, {1, -2}, {}, {3, 4, 5, 6, 7, 8}, {2, 9}},
        CheckCase{Op::GetAllAI, {}, "ai'7FFFFF800000abcdef" + T, {8388607, -8388608, 0xABCDEF - 0x1000000}, {},
                  {3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20}, {2, 21}},
        CheckCase{Op::SetAO, {2, 1, -5}, "ao*FFFB" + T, {2, 1, -5}, {}, {}, {2, 3, 4, 5, 6, 7}},
        CheckCase{Op::GetAO, {1}, "ay)8001" + T, {1, 1, 0x8001}, {2}, {3, 4, 5, 6}, {7}},
        // Range code 6 is data like any other code: the codec checks the form only.
        CheckCase{Op::GetAIRange, {0}, "aj & " + T, {0, 6}, {3}, {}, {2, 4, 5}},
        CheckCase{Op::GetADCsps, {}, "mr04910F" + T, {15}, {}, {6, 7}, {2, 3, 4, 5, 8}},
        CheckCase{Op::SetAIRange, {1, 4}, "ar!$" + T, {1, 4}, {}, {}, {2, 3, 4}},
        CheckCase{Op::SetADCsps, {6}, "ap&" + T, {6}, {}, {}, {2, 3}},
        CheckCase{Op::GetADCThreshold, {1}, "ak!*1000F000" + T, {1, 1, 2, 0x1000, 0xF000}, {3},
                  {4, 5, 6, 7, 8, 9, 10, 11}, {2, 12}},
        CheckCase{Op::SetADCThreshold, {0, 1, 2, 0x8000, 0x1000}, "al *10008000" + T, {0, 1, 2, 0x1000, 0x8000},
                  {}, {}, {2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        CheckCase{Op::GetUnitModelID, {}, "mi.)" + T, {1, 9}, {2, 3}, {}, {4}},
        CheckCase{Op::SetTCSetting, {2, 3, 5}, "tc\"#%" + T, {2, 3, 5}, {}, {}, {2, 3, 4, 5}},
        CheckCase{Op::GetTCSetting, {1}, "tj!'%+00000250" + T, {1, 7, 5}, {3, 4}, {},
                  {2, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
        CheckCase{Op::GetDOAlert, {1}, "dj!!\"!00FF" + T, {1, 1, 2, 0xFF, 1}, {3, 4, 5}, {6, 7, 8, 9}, {2, 10}},
        CheckCase{Op::SetDOAlert, {1, 2, 300, 1}, "dl!\"!012C" + T, {1, 2, 300, 1}, {}, {},
                  {2, 3, 4, 5, 6, 7, 8, 9}},
        CheckCase{Op::SetDOAlertEnable, {0, 1}, "ds !" + T, {0, 1}, {}, {}, {2, 3, 4}}),
    [](const ::testing::TestParamInfo<CheckCase> &i) { return std::string(opName(i.param.op)); });

TEST(ReplyCheck, CoversEveryOperationAndEveryByte)
{
    // Each reply byte is an echo letter, a small field, a digit or the unit's: nothing else.
    for (int n = 1; n <= kOpCount; ++n) {
        const std::string_view layout = replyLayout(Op(n));
        EXPECT_EQ(layout.size(), info(Op(n)).replyLength) << opName(Op(n));
        EXPECT_EQ(layout.substr(0, 2), "ee") << opName(Op(n));
        EXPECT_EQ(layout.back(), '.') << opName(Op(n));
        EXPECT_EQ(layout.find_first_not_of("esh."), std::string_view::npos) << opName(Op(n));
    }
}

} // namespace
