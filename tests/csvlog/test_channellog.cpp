#include "csvlog/channellog.h"

#include "common/cp932.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "../support/filesizelimit.h"

using namespace qn;
#ifndef _WIN32
using qn::test::FileSizeLimit;
#endif

namespace {

const QDateTime kStart(QDate(2026, 12, 7), QTime(9, 5, 3));
const QLocale kJapanese(QLocale::Japanese, QLocale::Japan);

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QList<QByteArray> lines(const QString &path)
{
    QList<QByteArray> result = readAll(path).split('\n');
    if (!result.isEmpty() && result.last().isEmpty())
        result.removeLast();
    return result;
}

QString header()
{
    return analogInputLogHeader({"AI1", "AI2", "AI3", "DO1", "DO2"});
}

ChannelLogOptions options(const QString &folder, int rowsPerFile)
{
    ChannelLogOptions o;
    o.enabled = true;
    o.folder = folder;
    o.rowsPerFile = rowsPerFile;
    o.unitId = 3;
    o.ipAddress = QStringLiteral("192.0.2.7");
    o.pageStart = kStart;
    return o;
}

TEST(LogNames, FolderGetsOneSeparator)
{
    EXPECT_EQ(logFolderWithSeparator("/var/log/qn"), "/var/log/qn/");
    EXPECT_EQ(logFolderWithSeparator("/var/log/qn/"), "/var/log/qn/");
}

TEST(LogNames, WithAndWithoutRotation)
{
    EXPECT_EQ(logBaseName("/logs", "QN-210", 3, "192.0.2.7", kStart, -1), "/logs/QN-210_3_192.0.2.7.csv");
    EXPECT_EQ(logBaseName("/logs/", "QN-210", 3, "192.0.2.7", kStart, 1), "/logs/QN-210_3_192.0.2.7.csv");
    EXPECT_EQ(logBaseName("/logs", "QN-110", 12, "192.0.2.7", kStart, 1000),
              "/logs/QN-110_12_192.0.2.7_20261207_090503");
    EXPECT_EQ(logRotatedFileName("/logs/x", 0), "/logs/x_000.csv");
    EXPECT_EQ(logRotatedFileName("/logs/x", 42), "/logs/x_042.csv");
    EXPECT_EQ(logRotatedFileName("/logs/x", 1234), "/logs/x_1234.csv");
}

TEST(LogFormat, ColumnNames)
{
    EXPECT_EQ(logColumnName("2", 2, "AI2"), "AI2");
    EXPECT_EQ(logColumnName("AI2 ", 2, "AI2"), "AI2 ");
    EXPECT_EQ(logColumnName("1", 2, "AI2"), "1"); // another channel's number is a name
    EXPECT_EQ(logColumnName("温度", 1, "AI1"), "温度");
    // at most 16 bytes in code page 932, never half a character
    EXPECT_EQ(logColumnName("あいうえおかきくけ", 1, "AI1"), "あいうえおかきく");
    EXPECT_EQ(logColumnName("12345678901234567890", 1, "AI1"), "1234567890123456");
}

TEST(LogFormat, HeaderAndRow)
{
    EXPECT_EQ(header(), "日付,時刻,AI1,単位1,AI2,単位2,AI3,単位3,DO1,DO2\n");
    EXPECT_EQ(analogInputLogRow("2026/12/07", "9:05:03", {"1.50000", "-2.0000", "12345.6"}, {"V", "mV", "mA"}, 1, 0),
              "2026/12/07,9:05:03,1.50000,V,-2.0000,mV,12345.6,mA,1,0\n");
}

TEST(LogFormat, JapaneseDateAndTime)
{
    EXPECT_EQ(logDateText(QDate(2026, 12, 7), kJapanese), "2026/12/07");
    EXPECT_EQ(logTimeText(QTime(9, 5, 3), kJapanese), "9:05:03");
    EXPECT_EQ(logTimeText(QTime(23, 59, 59), kJapanese), "23:59:59");
    // Without a locale: numeric, as the Japanese one.
    EXPECT_EQ(logDateText(QDate(2026, 12, 7), QLocale::c()), "2026/12/07");
    EXPECT_EQ(logTimeText(QTime(9, 5, 3), QLocale::c()), "9:05:03");
    // Another locale keeps its own order but always shows seconds.
    EXPECT_TRUE(logTimeText(QTime(9, 5, 3), QLocale(QLocale::English, QLocale::UnitedStates)).contains("05:03"));
}

TEST(ChannelLogFile, NoRotationAppendsEachSessionWithItsHeader)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.path() + "/QN-210_3_192.0.2.7.csv";
    for (int session = 0; session < 2; ++session) {
        ChannelLog log(options(dir.path(), -1), kJapanese);
        ASSERT_EQ(log.open(), ChannelLog::Result::Written);
        EXPECT_EQ(log.currentFileName(), file);
        for (int i = 0; i < 3; ++i)
            log.writeRowAt(kStart.addSecs(i), header, {"1.00000", "V", "2.00000", "V", "3.00000", "V", "0", "1"});
    }
    const QList<QByteArray> got = lines(file);
    ASSERT_EQ(got.size(), 8);
    EXPECT_EQ(got[0], toCp932(header().chopped(1)));
    EXPECT_EQ(got[1], "2026/12/07,9:05:03,1.00000,V,2.00000,V,3.00000,V,0,1");
    EXPECT_EQ(got[4], toCp932(header().chopped(1)));
    EXPECT_FALSE(readAll(file).contains('\r'));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST(ChannelLogFile, RotatesAfterTheSetNumberOfRows)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ChannelLog log(options(dir.path(), 1000), kJapanese);
    ASSERT_EQ(log.open(), ChannelLog::Result::Written);
    const QString base = dir.path() + "/QN-210_3_192.0.2.7_20261207_090503";
    for (int row = 1; row <= 1001; ++row)
        log.writeRowAt(kStart, header, {QString::number(row), "V", "0", "V", "0", "V", "0", "0"});

    const QList<QByteArray> first = lines(base + "_000.csv");
    ASSERT_EQ(first.size(), 1001);
    EXPECT_TRUE(first[0].startsWith(toCp932("日付,")));
    EXPECT_TRUE(first[1000].startsWith("2026/12/07,9:05:03,1000,"));
    const QList<QByteArray> second = lines(base + "_001.csv");
    ASSERT_EQ(second.size(), 2);
    EXPECT_TRUE(second[0].startsWith(toCp932("日付,")));
    EXPECT_TRUE(second[1].startsWith("2026/12/07,9:05:03,1001,"));
    EXPECT_EQ(log.fileNumber(), 1);
    EXPECT_EQ(log.rowsInFile(), 1);
}

// The operator's folder is text, never a format: a "%1" in it once made every rotated
// name wrong and lost every row.
TEST(ChannelLogFile, PercentSignsInTheFolderKeepNamesAndRows)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    for (const QString name : {"%", "%1", "%2", "a%1b%2 100%"}) {
        const QString folder = dir.path() + "/" + name;
        ASSERT_TRUE(QDir().mkpath(folder));
        EXPECT_EQ(logBaseName(folder, "QN-210", 3, "192.0.2.7", kStart, -1), folder + "/QN-210_3_192.0.2.7.csv");
        ChannelLog log(options(folder, 2), kJapanese);
        ASSERT_EQ(log.open(), ChannelLog::Result::Written) << name.toStdString();
        for (int row = 1; row <= 3; ++row)
            EXPECT_EQ(log.writeRowAt(kStart, header, {QString::number(row), "V", "0", "V", "0", "V", "0", "0"}),
                      ChannelLog::Result::Written);
        const QString base = folder + "/QN-210_3_192.0.2.7_20261207_090503";
        EXPECT_EQ(lines(base + "_000.csv").size(), 3) << name.toStdString();
        EXPECT_EQ(lines(base + "_001.csv").size(), 2) << name.toStdString();
        EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 2) << name.toStdString();
    }
}

TEST(ChannelLogFile, NewHeaderOnRequestInTheRunningFile)
{
    QTemporaryDir dir;
    ChannelLog log(options(dir.path(), -1), kJapanese);
    ASSERT_EQ(log.open(), ChannelLog::Result::Written);
    QString names = "AI1";
    const auto hdr = [&] { return analogInputLogHeader({names, "AI2", "AI3", "DO1", "DO2"}); };
    log.writeRowAt(kStart, hdr, {"1", "V", "2", "V", "3", "V", "0", "0"});
    names = "温度";
    log.requestHeader();
    EXPECT_TRUE(log.headerPending());
    log.writeRowAt(kStart, hdr, {"1", "V", "2", "V", "3", "V", "0", "0"});
    const QList<QByteArray> got = lines(log.currentFileName());
    ASSERT_EQ(got.size(), 4);
    EXPECT_EQ(fromCp932(got[2]), "日付,時刻,温度,単位1,AI2,単位2,AI3,単位3,DO1,DO2");
}

TEST(ChannelLogFile, OpenFailureSwitchesLoggingOff)
{
    QTemporaryDir dir;
    ChannelLog log(options(dir.path() + "/missing/folder", -1), kJapanese);
    EXPECT_EQ(log.open(), ChannelLog::Result::OpenFailed);
    EXPECT_FALSE(log.enabled());
    EXPECT_EQ(log.writeRowAt(kStart, header, {"1"}), ChannelLog::Result::Disabled);
}

TEST(ChannelLogFile, RotationOpenFailureSwitchesLoggingOff)
{
    QTemporaryDir dir;
    ChannelLog log(options(dir.path(), 2), kJapanese);
    ASSERT_EQ(log.open(), ChannelLog::Result::Written);
    // The next file's name is taken by a folder, so it cannot be opened.
    ASSERT_TRUE(QDir(dir.path()).mkdir("QN-210_3_192.0.2.7_20261207_090503_001.csv"));
    EXPECT_EQ(log.writeRowAt(kStart, header, {"1"}), ChannelLog::Result::Written);
    EXPECT_EQ(log.writeRowAt(kStart, header, {"2"}), ChannelLog::Result::OpenFailed);
    EXPECT_FALSE(log.enabled());
    EXPECT_EQ(log.writeRowAt(kStart, header, {"3"}), ChannelLog::Result::Disabled);
}

#ifndef _WIN32
TEST(ChannelLogFile, AFullDiskLosesWholeRowsOnlyAndWritingResumesWithAHeader)
{
    QTemporaryDir dir;
    ChannelLog log(options(dir.path(), -1), kJapanese);
    ASSERT_EQ(log.open(), ChannelLog::Result::Written);
    const QStringList fields{"-0.54686", "V", "-4.20260", "V", "1.16626", "V", "0", "1"};
    ASSERT_EQ(log.writeRowAt(kStart, header, fields), ChannelLog::Result::Written);
    const qint64 whole = QFileInfo(log.currentFileName()).size();
    {
        // Room for part of the next row only, then for nothing.
        FileSizeLimit limit(rlim_t(whole + 20));
        EXPECT_EQ(log.writeRowAt(kStart.addSecs(1), header, fields), ChannelLog::Result::WriteFailed);
        EXPECT_EQ(QFileInfo(log.currentFileName()).size(), whole);
        EXPECT_TRUE(log.writeFailing());
        EXPECT_EQ(log.firstLostRow(), kStart.addSecs(1));
        limit.set(rlim_t(whole));
        EXPECT_EQ(log.writeRowAt(kStart.addSecs(2), header, fields), ChannelLog::Result::WriteFailed);
        EXPECT_EQ(log.firstLostRow(), kStart.addSecs(1));
        // Space comes back: the header and then the row, each whole.
        limit.lift();
        EXPECT_EQ(log.writeRowAt(kStart.addSecs(3), header, fields), ChannelLog::Result::Written);
        EXPECT_FALSE(log.writeFailing());
        EXPECT_FALSE(log.firstLostRow().isValid());
        // Room for the row but not for a header as well: neither goes in.
        log.requestHeader();
        limit.set(rlim_t(QFileInfo(log.currentFileName()).size() + 60));
        EXPECT_EQ(log.writeRowAt(kStart.addSecs(4), header, fields), ChannelLog::Result::WriteFailed);
    }
    EXPECT_EQ(log.writeRowAt(kStart.addSecs(5), header, fields), ChannelLog::Result::Written);
    const QByteArray bytes = readAll(log.currentFileName());
    EXPECT_TRUE(bytes.endsWith('\n'));
    const QList<QByteArray> got = lines(log.currentFileName());
    const QByteArray head = toCp932(header().chopped(1));
    const QByteArray row = "-0.54686,V,-4.20260,V,1.16626,V,0,1";
    ASSERT_EQ(got.size(), 6);
    EXPECT_EQ(got[0], head);
    EXPECT_EQ(got[1], "2026/12/07,9:05:03," + row);
    EXPECT_EQ(got[2], head);
    EXPECT_EQ(got[3], "2026/12/07,9:05:06," + row);
    EXPECT_EQ(got[4], head);
    EXPECT_EQ(got[5], "2026/12/07,9:05:08," + row);
}
#endif

TEST(ChannelLogFile, DisabledWritesNothing)
{
    QTemporaryDir dir;
    ChannelLogOptions o = options(dir.path(), -1);
    o.enabled = false;
    ChannelLog log(o, kJapanese);
    EXPECT_EQ(log.open(), ChannelLog::Result::Disabled);
    EXPECT_EQ(log.writeRowAt(kStart, header, {"1"}), ChannelLog::Result::Disabled);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

} // namespace
