#include "link/unitlist.h"

#include <gtest/gtest.h>

namespace qn {
namespace {

UnitEntry entry(int modelId, int unitId, const std::string &ip)
{
    UnitEntry e;
    e.mac = {0x00, 0x80, 0x92, 0xAB, 0x0C, 0xFF};
    e.modelId = modelId;
    e.unitId = unitId;
    e.ipText = ip;
    e.address.ip = *net::parseIpv4(ip);
    return e;
}

TEST(UnitList, ModelTables)
{
    struct Row { int modelId; const char *name; };
    const Row rows[] = {
        {8, "QN-210"}, {10, "QN-220"}, {9, "QN-110"}, {11, "QN-120"},
        {-1, ""}, {0, ""}, {7, ""}, {12, ""}, {15, ""},
    };
    for (const Row &r : rows)
        EXPECT_EQ(modelName(r.modelId), r.name) << r.modelId;
}

TEST(UnitList, LineFormats)
{
    struct Row { int modelId; int unitId; const char *ip; const char *line; };
    const Row rows[] = {
        {9, 1, "192.0.2.10", "00-80-92-AB-0C-FF QN-110    ID:1  192.0.2.10"},
        {8, 15, "127.0.0.2", "00-80-92-AB-0C-FF QN-210    ID:15 127.0.0.2"},
        {11, 0, "10.0.0.1", "00-80-92-AB-0C-FF QN-120    ID:0  10.0.0.1"},
        // unknown model and unit: blank columns keep the IP in place
        {-1, -1, "127.0.0.3", "00-80-92-AB-0C-FF                 127.0.0.3"},
        // a model ID the program does not know still shows its unit ID
        {12, 4, "127.0.0.4", "00-80-92-AB-0C-FF           ID:4  127.0.0.4"},
        // known model, ID reset after an add
        {10, -1, "255.255.255.254", "00-80-92-AB-0C-FF QN-220          255.255.255.254"},
    };
    for (const Row &r : rows)
        EXPECT_EQ(unitListLine(entry(r.modelId, r.unitId, r.ip)), r.line);
}

TEST(UnitList, HeaderAndInformationTexts)
{
    EXPECT_STREQ(kUnitListHeader, "MACアドレス        機種      ID    IPアドレス");
    const UnitEntry e = entry(9, 1, "192.0.2.10");
    EXPECT_EQ(macText(e.mac), "00-80-92-AB-0C-FF");
    EXPECT_EQ(macInfoText(e.mac), "MACアドレス: 00-80-92-AB-0C-FF");
    EXPECT_EQ(unitWindowTitle(e), "QN-110(ID:1) - 192.0.2.10");
}

TEST(UnitList, LinesFollowTableOrder)
{
    UnitTable table;
    table.append(entry(8, 3, "127.0.0.9"));
    table.append(entry(-1, -1, "127.0.0.2"));
    const auto lines = unitListLines(table);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], unitListLine(table[0]));
    EXPECT_EQ(lines[1], unitListLine(table[1]));
}

TEST(UnitTable, HoldsAtMost256AndRemovesInPlace)
{
    UnitTable table;
    for (int i = 0; i < UnitTable::kCapacity; ++i)
        ASSERT_TRUE(table.append(entry(-1, -1, "10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256))));
    EXPECT_TRUE(table.full());
    EXPECT_FALSE(table.append(entry(-1, -1, "10.1.0.0")));
    EXPECT_EQ(table.count(), 256);
    table.removeAt(1);
    EXPECT_EQ(table.count(), 255);
    EXPECT_EQ(table[1].ipText, "10.0.0.2");
    EXPECT_EQ(table.indexOfIp(*net::parseIpv4("10.0.0.2")), 1);
    EXPECT_EQ(table.indexOfIp(*net::parseIpv4("10.0.0.1")), -1);
}

} // namespace
} // namespace qn
