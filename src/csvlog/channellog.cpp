#include "csvlog/channellog.h"

#include "common/cp932.h"

#include <algorithm>
#include <limits>

namespace qn {

QString logFolderWithSeparator(const QString &folder)
{
    if (folder.endsWith(QLatin1Char('/')))
        return folder;
    return folder + QLatin1Char('/');
}

QString logBaseName(const QString &folder, const QString &modelPrefix, int unitId,
                    const QString &ipAddress, const QDateTime &pageStart, int rowsPerFile)
{
    // Joined, never substituted: QString::arg would also replace a "%1" that the
    // operator's folder or a later argument happens to contain.
    const QString stem = logFolderWithSeparator(folder) + modelPrefix + QLatin1Char('_')
        + QString::number(unitId) + QLatin1Char('_') + ipAddress;
    if (rowsPerFile < 2)
        return stem + QStringLiteral(".csv");
    return stem + QLatin1Char('_') + pageStart.toString(QStringLiteral("yyyyMMdd_HHmmss"));
}

QString logRotatedFileName(const QString &baseName, int fileNumber)
{
    // The base name holds the operator's folder: joined, never an argument of a format.
    return baseName + QLatin1Char('_') + QStringLiteral("%1").arg(fileNumber, 3, 10, QLatin1Char('0'))
        + QStringLiteral(".csv");
}

QString logColumnName(const QString &signalName, int channelNumber, const QString &defaultName)
{
    return wholeLogColumnName(fromCp932(cutCp932(toCp932(signalName), 16)), channelNumber, defaultName);
}

QString wholeLogColumnName(const QString &signalName, int channelNumber, const QString &defaultName)
{
    return signalName == QString::number(channelNumber) ? defaultName : signalName;
}

QString analogInputLogHeader(const QStringList &columnNames)
{
    const auto at = [&](int i) { return i < columnNames.size() ? columnNames[i] : QString(); };
    return QStringLiteral("日付,時刻,%1,単位1,%2,単位2,%3,単位3,%4,%5\n")
        .arg(at(0), at(1), at(2), at(3), at(4));
}

QStringList analogInputLogFields(const QStringList &values, const QStringList &units, int do1, int do2)
{
    const auto v = [&](int i) { return i < values.size() ? values[i] : QString(); };
    const auto u = [&](int i) { return i < units.size() ? units[i] : QString(); };
    return {v(0), u(0), v(1), u(1), v(2), u(2), QString::number(do1), QString::number(do2)};
}

QString analogInputLogRow(const QString &date, const QString &time, const QStringList &values,
                          const QStringList &units, int do1, int do2)
{
    return (QStringList{date, time} + analogInputLogFields(values, units, do1, do2)).join(QLatin1Char(','))
        + QLatin1Char('\n');
}

QString analogOutputLogHeader(const QStringList &inputNames, const QStringList &outputNames)
{
    QStringList columns{QStringLiteral("日付"), QStringLiteral("時刻")};
    columns += inputNames;
    for (int i = 0; i < outputNames.size(); ++i)
        columns << outputNames[i] << QStringLiteral("単位%1").arg(i + 1);
    return columns.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QStringList analogOutputLogFields(const QList<bool> &inputs, const QStringList &values, const QStringList &units)
{
    QStringList fields;
    for (bool on : inputs)
        fields << QString::number(on ? 1 : 0);
    for (int i = 0; i < values.size(); ++i)
        fields << values[i] << units.value(i);
    return fields;
}

// Without a locale of their own (LANG=C, or unset) Linux users still get numeric
// dates and times that sort and that spreadsheets read: 2026/12/07 and 9:05:03.
QString logDateText(const QDate &date, const QLocale &locale)
{
    if (locale.language() == QLocale::C)
        return date.toString(QStringLiteral("yyyy/MM/dd"));
    return locale.toString(date, QLocale::ShortFormat);
}

QString logTimeFormat(const QLocale &locale)
{
    // The locale's short time format, with seconds added after the minutes when it
    // has none (a row every 100 ms needs them).
    if (locale.language() == QLocale::C)
        return QStringLiteral("H:mm:ss");
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1Char('s'))) {
        const int minutes = format.indexOf(QLatin1String("mm"));
        if (minutes >= 0)
            format.insert(minutes + 2, QStringLiteral(":ss"));
        else
            format += QStringLiteral(":ss");
    }
    return format;
}

namespace {

QString timeInFormat(const QTime &time, const QLocale &locale, const QString &format)
{
    return locale.language() == QLocale::C ? time.toString(format) : locale.toString(time, format);
}

// The wall clock's local date and time to the second, all a row shows. Working local time
// out has the C library look at the time zone file again, a file system call for every row;
// within one second of UTC a zone's offset stays put (offsets change on whole seconds), so
// the last conversion serves until the second turns.
QDateTime localTimeToTheSecond()
{
    return localTimeOfSecond(QDateTime::currentSecsSinceEpoch());
}

} // namespace

QDateTime localTimeOfSecond(qint64 secondsSinceEpoch)
{
    thread_local qint64 second = std::numeric_limits<qint64>::min();
    thread_local QDateTime local;
    if (secondsSinceEpoch != second) {
        local = QDateTime::fromSecsSinceEpoch(secondsSinceEpoch);
        second = secondsSinceEpoch;
    }
    return local;
}

QString logTimeText(const QTime &time, const QLocale &locale)
{
    return timeInFormat(time, locale, logTimeFormat(locale));
}

ChannelLog::ChannelLog(ChannelLogOptions options, QLocale locale)
    : m_options(std::move(options)), m_locale(std::move(locale)), m_enabled(m_options.enabled),
      m_timeFormat(logTimeFormat(m_locale))
{
    m_baseName = logBaseName(m_options.folder, m_options.modelPrefix, m_options.unitId,
                             m_options.ipAddress, m_options.pageStart, m_options.rowsPerFile);
}

ChannelLog::~ChannelLog()
{
    if (m_enabled)
        m_file.close();
}

bool ChannelLog::openFile(const QString &name)
{
    m_file.setFileName(name);
    // Append creates a missing file, keeps what is there and writes at the end;
    // Unbuffered makes each line one write() of its own.
    return m_file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
}

ChannelLog::Result ChannelLog::open()
{
    if (!m_enabled)
        return Result::Disabled;
    m_fileNumber = 0;
    m_rowsInFile = 0;
    if (!openFile(rotating() ? logRotatedFileName(m_baseName, 0) : m_baseName)) {
        m_enabled = false;
        return Result::OpenFailed;
    }
    return Result::Written;
}

ChannelLog::Result ChannelLog::reopen()
{
    if (!m_options.enabled)
        return Result::Disabled;
    m_file.close();
    m_cutBackTo = -1;
    m_headerPending = true;
    m_enabled = openFile(rotating() ? logRotatedFileName(m_baseName, m_fileNumber) : m_baseName);
    return m_enabled ? Result::Written : Result::OpenFailed;
}

bool ChannelLog::writeWhole(const QByteArray &bytes)
{
    // A full disk takes part of a write: left there, the cut row would run into the
    // next one. So the file goes back to where this write began, and while that fails
    // nothing more is appended.
    m_file.unsetError();
    if (m_cutBackTo >= 0) {
        if (!m_file.resize(m_cutBackTo)) {
            m_file.unsetError();
            return false;
        }
        m_cutBackTo = -1;
    }
    // Where the write began is worked out only when it failed (the file's size then, less
    // what went in), not asked of the file system before every row.
    const qint64 written = m_file.write(bytes);
    if (written == bytes.size())
        return true;
    m_file.unsetError();
    const qint64 start = m_file.size() - std::max<qint64>(written, 0);
    m_file.unsetError();
    if (!m_file.resize(start)) {
        m_file.unsetError();
        m_cutBackTo = start;
    }
    return false;
}

ChannelLog::Result ChannelLog::writeRow(const std::function<QString()> &header, const QStringList &fields)
{
    return writeRowAt(m_clock ? m_clock() : localTimeToTheSecond(), header, fields);
}

ChannelLog::Result ChannelLog::writeRowAt(const QDateTime &now, const std::function<QString()> &header,
                                          const QStringList &fields)
{
    if (!m_enabled)
        return Result::Disabled;
    QString lines;
    if (m_headerPending)
        lines = header ? header() : QString();
    const QDate date = now.date();
    if (date != m_textDate) { // a day's date text is worked out once
        m_dateText = logDateText(date, m_locale);
        m_textDate = date;
    }
    QStringList row{m_dateText, timeInFormat(now.time(), m_locale, m_timeFormat)};
    row += fields;
    lines += row.join(QLatin1Char(',')) + QLatin1Char('\n');
    if (!writeWhole(toCp932(lines))) {
        if (!m_firstLostRow.isValid())
            m_firstLostRow = now;
        // The gap shows in the file: the first row written again comes after a header.
        m_headerPending = true;
        return Result::WriteFailed;
    }
    m_headerPending = false;
    m_firstLostRow = QDateTime();

    if (rotating() && ++m_rowsInFile == m_options.rowsPerFile) {
        m_file.close();
        m_rowsInFile = 0;
        m_headerPending = true;
        ++m_fileNumber;
        if (!openFile(logRotatedFileName(m_baseName, m_fileNumber))) {
            m_enabled = false;
            return Result::OpenFailed;
        }
    }
    return Result::Written;
}

} // namespace qn
