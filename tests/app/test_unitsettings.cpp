// The per-unit settings store and its file: defaults, the exact file layout, older
// and foreign files, truncation, code page 932 texts and failed saves.
#include "settings/unitsettings.h"
#include "model/model.h"
#include "common/cp932.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace qn {
namespace {

using Store = UnitSettingsStore;

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QList<QByteArray> crlfLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &l : lines) {
        EXPECT_TRUE(l.endsWith('\r')) << l.constData();
        l.chop(1);
    }
    return lines;
}

// A file of the given version whose records are all the same, truncated after
// `lines` lines when lines >= 0.
QByteArray fileWith(const QByteArray &header, int linesPerRecord, const QList<QByteArray> &record, int lines = -1)
{
    QList<QByteArray> all{header};
    for (int i = 0; i < Store::Records; ++i)
        for (int j = 0; j < linesPerRecord; ++j)
            all << record[j];
    if (lines >= 0)
        all = all.mid(0, lines);
    QByteArray out;
    for (const QByteArray &l : all)
        out += l + "\r\n";
    return out;
}

void expectDefault(const ChannelSettings &r, int channel)
{
    EXPECT_EQ(r.signalName, QString::number(channel + 1));
    EXPECT_EQ(r.a, 1.0);
    EXPECT_EQ(r.b, 0.0);
    EXPECT_TRUE(r.unitText.isEmpty());
    EXPECT_EQ(r.graphMin, 0.0);
    EXPECT_EQ(r.graphMax, 0.0);
}

class SettingsFile : public ::testing::Test {
protected:
    QString path(const char *name = "qnview.ini") const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

TEST_F(SettingsFile, FreshStartHasDefaultsAndFirstChangeWritesACompleteFile)
{
    Store store;
    store.loadSettings(path());
    EXPECT_FALSE(QFile::exists(path()));  // loading never creates the file
    for (int code = 0; code < Store::ModelCodes; ++code)
        for (int kind = 0; kind < Store::Kinds; ++kind)
            for (int ch = 0; ch < Store::Channels; ++ch)
                expectDefault(store.getConversion(code, 15, RecordKind(kind), ch), ch);

    store.setSignalName(1, 2, RecordKind::Input, 1, QStringLiteral("Pump"));
    const QList<QByteArray> lines = crlfLines(readAll(path()));
    ASSERT_EQ(lines.size(), Store::LinesPerFile);
    EXPECT_EQ(lines.size(), 4033);
    EXPECT_EQ(lines[0], "QNVIEW_02");
    // Slot 0, kind 0, channel 0: the first record.
    EXPECT_EQ(lines.mid(1, 6), (QList<QByteArray>{"1", "1.000000", "0.000000", "", "0.000000", "0.000000"}));
    // Model code 1, unit 2, kind 0, channel 1.
    const int record = ((1 * 16 + 2) * 2 + 0) * 7 + 1;
    EXPECT_EQ(lines[1 + record * 6], "Pump");
    EXPECT_EQ(lines[1 + record * 6 + 6], "3");  // the next channel keeps its default
}

TEST_F(SettingsFile, NumbersAreWrittenWithSixDecimals)
{
    Store store;
    store.setPath(path());
    store.setConversion(2, 15, RecordKind::Output, 6, -0.5, 1234.5678915, QStringLiteral("mA"), -10.0, 1e6);
    const QList<QByteArray> lines = crlfLines(readAll(path()));
    const int record = Store::Records - 1;
    EXPECT_EQ(lines.mid(1 + record * 6, 6),
              (QList<QByteArray>{"7", "-0.500000", "1234.567892", "mA", "-10.000000", "1000000.000000"}));
}

TEST_F(SettingsFile, RoundTripKeepsEveryField)
{
    Store a;
    a.setPath(path());
    a.setConversion(0, 3, RecordKind::Input, 2, 2.5, -1.25, QStringLiteral("V"), -5.0, 5.0);
    a.setSignalName(0, 3, RecordKind::Input, 2, QStringLiteral("Flow"));
    a.setSignalName(2, 0, RecordKind::Output, 0, QStringLiteral("AO"));

    Store b;
    b.loadSettings(path());
    const ChannelSettings r = b.getConversion(0, 3, RecordKind::Input, 2);
    EXPECT_EQ(r.signalName, QStringLiteral("Flow"));
    EXPECT_EQ(r.a, 2.5);
    EXPECT_EQ(r.b, -1.25);
    EXPECT_EQ(r.unitText, QStringLiteral("V"));
    EXPECT_EQ(r.graphMin, -5.0);
    EXPECT_EQ(r.graphMax, 5.0);
    EXPECT_EQ(b.getSignalName(2, 0, RecordKind::Output, 0), QStringLiteral("AO"));
    EXPECT_EQ(b.serialize(), a.serialize());
}

TEST_F(SettingsFile, Qn210AndQn220WithOneUnitIdShareTheirSettings)
{
    const auto code = [](Model model) { return traits(model).settingsCode; };
    Store store;
    store.setPath(path());
    store.setSignalName(code(Model::QN210), 4, RecordKind::Input, 0, QStringLiteral("Tank"));
    EXPECT_EQ(store.getSignalName(code(Model::QN220), 4, RecordKind::Input, 0), QStringLiteral("Tank"));
    EXPECT_EQ(store.getSignalName(code(Model::QN110), 4, RecordKind::Input, 0), QStringLiteral("1"));
    EXPECT_EQ(store.getSignalName(code(Model::QN210), 5, RecordKind::Input, 0), QStringLiteral("1"));
}

TEST_F(SettingsFile, Version01IsReadWithoutGraphRangesAndWrittenBackAs02)
{
    writeAll(path(), fileWith("QNVIEW_01", 4, {"Temp", "0.1", "-2", "\x81\x8E"}));  // "℃"
    Store store;
    store.loadSettings(path());
    for (int i : {0, 200, Store::Records - 1}) {
        const ChannelSettings r = store.getConversion(i / 224, (i / 14) % 16, RecordKind((i / 7) % 2), i % 7);
        EXPECT_EQ(r.signalName, QStringLiteral("Temp"));
        EXPECT_DOUBLE_EQ(r.a, 0.1);
        EXPECT_EQ(r.b, -2.0);
        EXPECT_EQ(r.unitText, QStringLiteral("℃"));
        EXPECT_EQ(r.graphMin, 0.0);
        EXPECT_EQ(r.graphMax, 0.0);
    }
    store.setSignalName(0, 0, RecordKind::Input, 0, QStringLiteral("Temp"));
    const QList<QByteArray> lines = crlfLines(readAll(path()));
    ASSERT_EQ(lines.size(), 4033);
    EXPECT_EQ(lines[0], "QNVIEW_02");
    EXPECT_EQ(lines.mid(1, 6), (QList<QByteArray>{"Temp", "0.100000", "-2.000000", "\x81\x8E", "0.000000", "0.000000"}));
}

// Headers that are not ours, or versions this program does not know: defaults stay.
TEST_F(SettingsFile, ForeignHeadersAndUnknownVersionsAreIgnored)
{
    const QList<QByteArray> headers{"QNVIEW_03", "QNVIEW_00", "QNVIEW_xx", "QNVIEW_", "qnview_02",
                                    "XQNVIEW_02", "", "QNVIEW_99"};
    for (const QByteArray &header : headers) {
        SCOPED_TRACE(header.constData());
        writeAll(path(), fileWith(header, 6, {"Name", "2", "3", "u", "4", "5"}));
        Store store;
        store.loadSettings(path());
        expectDefault(store.getConversion(0, 0, RecordKind::Input, 0), 0);
        expectDefault(store.getConversion(2, 15, RecordKind::Output, 6), 6);
    }
}

TEST_F(SettingsFile, TruncatedFileKeepsWhatWasReadAndDefaultsForTheRest)
{
    // Ends after the offset line of the third record.
    const int lines = 1 + 2 * 6 + 3;
    writeAll(path(), fileWith("QNVIEW_02", 6, {"Name", "2", "3", "u", "4", "5"}, lines));
    Store store;
    store.loadSettings(path());
    for (int ch = 0; ch < 2; ++ch) {
        const ChannelSettings r = store.getConversion(0, 0, RecordKind::Input, ch);
        EXPECT_EQ(r.signalName, QStringLiteral("Name"));
        EXPECT_EQ(r.unitText, QStringLiteral("u"));
        EXPECT_EQ(r.graphMax, 5.0);
    }
    const ChannelSettings partial = store.getConversion(0, 0, RecordKind::Input, 2);
    EXPECT_EQ(partial.signalName, QStringLiteral("Name"));
    EXPECT_EQ(partial.a, 2.0);
    EXPECT_EQ(partial.b, 3.0);
    EXPECT_TRUE(partial.unitText.isEmpty());
    EXPECT_EQ(partial.graphMin, 0.0);
    expectDefault(store.getConversion(0, 0, RecordKind::Input, 3), 3);
    expectDefault(store.getConversion(1, 0, RecordKind::Input, 0), 0);
}

TEST_F(SettingsFile, LastLineWithoutLineBreakAndBareLineFeedsAreRead)
{
    writeAll(path(), "QNVIEW_02\nA\n1.5\n-1\nkg\n0\n10");
    Store store;
    store.loadSettings(path());
    const ChannelSettings r = store.getConversion(0, 0, RecordKind::Input, 0);
    EXPECT_EQ(r.signalName, QStringLiteral("A"));
    EXPECT_EQ(r.a, 1.5);
    EXPECT_EQ(r.unitText, QStringLiteral("kg"));
    EXPECT_EQ(r.graphMax, 10.0);
}

TEST_F(SettingsFile, NumbersAreReadLeniently)
{
    struct Case {
        QByteArray text;
        double value;
    };
    const Case cases[] = {{"abc", 0.0}, {"", 0.0}, {"1.5V", 1.5}, {" 2", 2.0}, {"+3", 3.0},
                          {"-0.25", -0.25}, {"1e3", 1000.0}, {".5", 0.5}, {"-", 0.0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.constData());
        writeAll(path(), "QNVIEW_02\r\nx\r\n" + c.text + "\r\n");
        Store store;
        store.loadSettings(path());
        EXPECT_EQ(store.getConversion(0, 0, RecordKind::Input, 0).a, c.value);
    }
}

TEST(SettingsNumbers, ReadExactlyAsAtofDoes)
{
    // The test runs in the C locale, where atof is the reference.
    const char *texts[] = {"+-1", "-+1", "--1", "1e999", "-1e999", "1e-999", "4.9e-324", "2.5e-320",
                           "1e99999", "1e-99999", "nan", "-nan", "NaN(1)", "inf", "-Infinity", "infx",
                           "0x10", "0x1p-2", "0x.8", "0x", "0xg", "0x-1", "-0X.", "0x.p1", "-0x+1", "0xnan", "-0xinf", "-0x1F", " \t\v\f 7", "1e",
                           "1e+", "1.5e+3x", ".", "-.", "+.5", "5.", "00012", "1,5", "0.1", "12345678901234567890"};
    for (const char *text : texts) {
        SCOPED_TRACE(text);
        const double expected = std::atof(text);
        const double read = numberFromSettingsText(QByteArray(text));
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(read));
        } else {
            EXPECT_EQ(read, expected);
            EXPECT_EQ(std::signbit(read), std::signbit(expected));
        }
    }
}

TEST_F(SettingsFile, FactorsAndOffsetsThatAreNoFiniteNumberKeepTheirDefaults)
{
    for (const QByteArray bad : {"nan", "inf", "-inf", "1e999", "-1e999", "infinity"}) {
        SCOPED_TRACE(bad.constData());
        writeAll(path(), "QNVIEW_02\r\nx\r\n" + bad + "\r\n" + bad + "\r\nV\r\n" + bad + "\r\n" + bad + "\r\n");
        Store store;
        store.loadSettings(path());
        const ChannelSettings r = store.getConversion(0, 0, RecordKind::Input, 0);
        EXPECT_EQ(r.a, 1.0);
        EXPECT_EQ(r.b, 0.0);
        EXPECT_EQ(r.graphMin, 0.0);
        EXPECT_EQ(r.graphMax, 0.0);
        EXPECT_EQ(r.unitText, QStringLiteral("V"));
    }
}

TEST_F(SettingsFile, LoadRemovesTheTemporariesOfSavesCutShort)
{
    const QStringList stale{"qnview.ini.Ab3xY9", "qnview.ini.000000"};
    const QStringList kept{"qnview.ini", "qnview.ini.bak", "qnview.ini.Ab3xY9z", "qnview.ini.Ab-xY9",
                           "other.ini.Ab3xY9"};
    for (const QString &name : stale + kept)
        writeAll(m_dir.filePath(name), "x");
    Store store;
    store.loadSettings(path());
    QStringList left = QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden);
    left.sort();
    QStringList expected = kept;
    expected.sort();
    EXPECT_EQ(left, expected);
}

TEST_F(SettingsFile, JapaneseTextsTravelAsCodePage932)
{
    Store store;
    store.setPath(path());
    store.setConversion(1, 7, RecordKind::Input, 0, 1.0, 0.0, QStringLiteral("℃"), 0.0, 0.0);
    store.setSignalName(1, 7, RecordKind::Input, 0, QStringLiteral("炉内温度"));
    const QByteArray bytes = readAll(path());
    EXPECT_TRUE(bytes.contains(QByteArray("\r\n\x81\x8E\r\n")));          // ℃
    EXPECT_TRUE(bytes.contains(QByteArray("\r\n") + toCp932(QStringLiteral("炉内温度")) + "\r\n"));
    EXPECT_EQ(toCp932(QStringLiteral("炉内温度")).size(), 8);

    Store loaded;
    loaded.loadSettings(path());
    EXPECT_EQ(loaded.getSignalName(1, 7, RecordKind::Input, 0), QStringLiteral("炉内温度"));
    EXPECT_EQ(loaded.getConversion(1, 7, RecordKind::Input, 0).unitText, QStringLiteral("℃"));
}

TEST_F(SettingsFile, OverlongTextsAreCutTo31BytesWithoutSplittingACharacter)
{
    const QByteArray longAscii(40, 'N');
    const QByteArray longJapanese = toCp932(QString(20, QChar(0x6E29)));  // 40 bytes
    writeAll(path(), "QNVIEW_02\r\n" + longAscii + "\r\n1\r\n0\r\n" + longJapanese + "\r\n0\r\n0\r\nnext\r\n");
    Store store;
    store.loadSettings(path());
    EXPECT_EQ(store.getSignalName(0, 0, RecordKind::Input, 0), QString(31, QLatin1Char('N')));
    EXPECT_EQ(store.getConversion(0, 0, RecordKind::Input, 0).unitText, QString(15, QChar(0x6E29)));
    EXPECT_EQ(store.getSignalName(0, 0, RecordKind::Input, 1), QStringLiteral("next"));  // loading went on

    // What the program stores is held to the same limit.
    store.setPath(path());
    store.setSignalName(0, 0, RecordKind::Input, 2, QStringLiteral("あいうえおかきくけこさしすせそたち"));  // 17 x 2 bytes
    EXPECT_EQ(store.getSignalName(0, 0, RecordKind::Input, 2), QStringLiteral("あいうえおかきくけこさしすせそ"));
}

TEST_F(SettingsFile, LineBreaksInTextsCannotShiftTheRecords)
{
    Store store;
    store.setPath(path());
    store.setSignalName(0, 0, RecordKind::Input, 0, QStringLiteral("a\r\nb"));
    EXPECT_EQ(crlfLines(readAll(path())).size(), 4033);
    Store loaded;
    loaded.loadSettings(path());
    EXPECT_EQ(loaded.getSignalName(0, 0, RecordKind::Input, 0), QStringLiteral("ab"));
}

TEST_F(SettingsFile, OutOfRangeKeysReadDefaultsAndWriteNothing)
{
    Store store;
    store.setPath(path());
    store.setSignalName(3, 0, RecordKind::Input, 0, QStringLiteral("x"));
    store.setSignalName(0, 16, RecordKind::Input, 0, QStringLiteral("x"));
    store.setConversion(0, 0, RecordKind(2), 0, 5, 5, QString(), 0, 0);
    store.setConversion(0, 0, RecordKind::Input, 7, 5, 5, QString(), 0, 0);
    store.setSignalName(-1, 0, RecordKind::Input, 0, QStringLiteral("x"));
    EXPECT_FALSE(QFile::exists(path()));
    expectDefault(store.getConversion(0, -1, RecordKind::Input, 3), 3);
    EXPECT_EQ(store.getSignalName(5, 0, RecordKind::Input, 0), QStringLiteral("1"));
}

TEST_F(SettingsFile, UnreadableOrMissingFilesKeepTheDefaults)
{
    Store store;
    store.loadSettings(m_dir.path());  // a folder, not a file
    expectDefault(store.getConversion(0, 0, RecordKind::Input, 0), 0);
    store.loadSettings(path("missing/qnview.ini"));
    expectDefault(store.getConversion(0, 0, RecordKind::Input, 0), 0);
    EXPECT_EQ(store.path(), path("missing/qnview.ini"));
}

// File size limits are POSIX's.
#ifndef _WIN32
// A write that fails half-way (here: the process may not make files that large)
// leaves the previous file exactly as it was; the store keeps its values and the
// next save that can succeed writes a complete file.
TEST_F(SettingsFile, FailedSaveKeepsThePreviousFileByteForByte)
{
    Store store;
    store.setPath(path());
    store.setSignalName(0, 1, RecordKind::Input, 0, QStringLiteral("Before"));
    const QByteArray before = readAll(path());
    ASSERT_EQ(crlfLines(before).size(), 4033);

    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    store.setSignalName(0, 1, RecordKind::Input, 0, QStringLiteral("After"));
    const bool savedUnderLimit = store.saveSettings();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(savedUnderLimit);
    EXPECT_EQ(readAll(path()), before);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"qnview.ini"});
    EXPECT_EQ(store.getSignalName(0, 1, RecordKind::Input, 0), QStringLiteral("After"));

    EXPECT_TRUE(store.saveSettings());
    Store loaded;
    loaded.loadSettings(path());
    EXPECT_EQ(loaded.getSignalName(0, 1, RecordKind::Input, 0), QStringLiteral("After"));
}

#endif

TEST_F(SettingsFile, SaveIntoAFolderThatCannotBeWrittenFailsSilently)
{
    const QString blocked = path("plain-file");
    writeAll(blocked, "x");
    Store store;
    store.setPath(blocked + QStringLiteral("/qnview.ini"));  // under a file: no folder there
    store.setSignalName(0, 0, RecordKind::Input, 0, QStringLiteral("kept"));
    EXPECT_EQ(store.getSignalName(0, 0, RecordKind::Input, 0), QStringLiteral("kept"));
    EXPECT_FALSE(store.saveSettings());
    EXPECT_EQ(readAll(blocked), "x");
}

// Folder permissions and users as POSIX has them.
#ifndef _WIN32
// Saves path as a user who may write that file but may not create files beside it.
// Root may create files anywhere, so as root the save runs in a child process that
// has become "nobody" first.
bool saveWithoutFolderWrite(const Store &store, const QString &path, const QString &folder)
{
    const auto all = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const auto exec = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    const auto write = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    QFile::setPermissions(path, all | write);
    const auto folderBefore = QFile::permissions(folder);
    QFile::setPermissions(folder, all | exec);
    bool saved = false;
    if (geteuid() != 0) {
        saved = store.save(path);
    } else if (const pid_t child = fork(); child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0)
            _exit(2);
        _exit(store.save(path) ? 0 : 1);
    } else {
        int status = 0;
        saved = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    QFile::setPermissions(folder, folderBefore);
    return saved;
}

// In place, longer and then shorter contents than the file's: exactly the new bytes,
// no padding or old tail left behind.
TEST_F(SettingsFile, FileInAFolderThatTakesNoNewFilesIsWrittenInPlace)
{
    Store before;
    before.setPath(path());
    before.setSignalName(0, 1, RecordKind::Input, 0, QStringLiteral("Before"));
    for (const char *name : {"A much longer name than before", "After"}) {
        Store store;
        store.setSignalName(0, 1, RecordKind::Input, 0, QString::fromLatin1(name));
        EXPECT_TRUE(saveWithoutFolderWrite(store, path(), m_dir.path()));
        EXPECT_EQ(readAll(path()), store.serialize()) << name;
    }
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"qnview.ini"});
}

#endif

TEST(UnitSettingsGlobal, OneStoreForTheProgram)
{
    EXPECT_EQ(&unitSettings(), &unitSettings());
}

} // namespace
} // namespace qn
