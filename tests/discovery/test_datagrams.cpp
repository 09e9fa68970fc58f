// The discovery datagrams and the identification reply, judged as bytes alone.
#include "link/datagrams.h"

#include <gtest/gtest.h>

#include <vector>

namespace qn {
namespace {

std::vector<uint8_t> bytes(size_t length)
{
    std::vector<uint8_t> b(length);
    for (size_t i = 0; i < length; ++i)
        b[i] = uint8_t(i);
    return b;
}

TEST(Datagrams, RepliesAreReadWithinTheirLengths)
{
    struct Row { size_t length; bool search; bool detail1; bool detail2; };
    const Row rows[] = {{0, false, false, true},   {25, false, false, true}, {26, false, true, true},
                        {29, false, true, true},   {30, true, true, true},   {31, false, true, true},
                        {124, false, true, true},  {125, false, false, true}, {130, false, false, true},
                        {131, false, false, false}};
    for (const Row &r : rows) {
        const auto b = bytes(r.length);
        EXPECT_EQ(parseSearchReply(b).has_value(), r.search) << r.length;
        EXPECT_EQ(parseDetailReply1(b).has_value(), r.detail1) << r.length;
        EXPECT_EQ(acceptDetailReply2(b), r.detail2) << r.length;
    }
    EXPECT_EQ(*parseSearchReply(bytes(30)), (MacAddress{24, 25, 26, 27, 28, 29}));
    EXPECT_EQ(*parseDetailReply1(bytes(26)), 0x1918);   // bytes 24-25, little-endian
}

TEST(Datagrams, IdentifyReply)
{
    struct Row { std::vector<uint8_t> reply; int modelId; int unitId; };
    const Row rows[] = {
        {{'m', 'i', 0x2E, 0x29, 0xC8}, 9, 1},
        {{'m', 'i', 0x20, 0x2B, 0xC8}, 11, 15},
        {{'m', 'i', 0x2E, 0x3A, 0xC8}, -1, -1},   // model byte without the 0x2 nibble
        {{'m', 'i', 0x1E, 0x29, 0xC8}, -1, -1},   // ID byte without it
        {{'M', 'I', 0x2E, 0x29, 0xC8}, -1, -1},   // no lower-case echo
        {{'m', 'i', 0x2E, 0x29}, -1, -1},         // short
        {{}, -1, -1},
    };
    for (const Row &r : rows) {
        const auto identity = parseIdentifyReply(r.reply);
        EXPECT_EQ(identity ? identity->modelId : -1, r.modelId);
        EXPECT_EQ(identity ? identity->unitId : -1, r.unitId);
    }
}

} // namespace
} // namespace qn
