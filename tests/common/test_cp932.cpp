#include "common/cp932.h"

#include <gtest/gtest.h>

TEST(Cp932, RoundTripsJapaneseAndUnitSigns)
{
    const QString text = QString::fromUtf8("温度℃ 信号名～ＡＢ");
    const QByteArray bytes = qn::toCp932(text);
    // "℃" is 81 8E in code page 932, "～" (full-width tilde) 81 60.
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("818e")));
    EXPECT_TRUE(bytes.contains(QByteArray::fromHex("8160")));
    EXPECT_EQ(qn::fromCp932(bytes), text);
}

TEST(Cp932, CutNeverSplitsADoubleByteCharacter)
{
    const QByteArray bytes = qn::toCp932(QString::fromUtf8("a温度")); // 1 + 2 + 2 bytes
    EXPECT_EQ(qn::cutCp932(bytes, 4), bytes.left(3));
    EXPECT_EQ(qn::cutCp932(bytes, 5), bytes);
    EXPECT_EQ(qn::cutCp932(bytes, 1), bytes.left(1));
    // A half-width katakana byte (A1..DF) is a single-byte character.
    EXPECT_EQ(qn::cutCp932(QByteArray("\xB1\xB2\xB3", 3), 2), QByteArray("\xB1\xB2", 2));
}

TEST(Cp932, PrintableAsciiTravelsUnchangedAndKeptConvertersCarryNothingOver)
{
    QByteArray ascii("\t\n\r");
    for (int c = 0x20; c < 0x7F; ++c)
        ascii += char(c);
    // What the short cut for ASCII texts assumes: the converter agrees byte for byte.
    QStringDecoder decoder = qn::cp932Decoder();
    QStringEncoder encoder = qn::cp932Encoder();
    EXPECT_EQ(decoder.decode(ascii), QString::fromLatin1(ascii));
    EXPECT_EQ(QByteArray(encoder.encode(QString::fromLatin1(ascii))), ascii);
    // A text that ends inside a double-byte character leaves nothing for the next one.
    EXPECT_EQ(qn::fromCp932(decoder, QByteArray("\x89", 1)), qn::fromCp932(QByteArray("\x89", 1)));
    EXPECT_EQ(qn::fromCp932(decoder, QByteArray("\xB7\x93\x78", 3)), qn::fromCp932(QByteArray("\xB7\x93\x78", 3)));
}
