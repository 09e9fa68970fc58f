#pragma once
// The CSV log of one unit, as a device page and the logging service write it: file names,
// header and row formats, rotation. One object per log, used from one thread. Text is written
// in code page 932 with LF line ends, one write call per row (with its header line when one
// is due) and no buffering of our own.
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <functional>

namespace qn {

// The folder with a trailing "/" when it has none.
QString logFolderWithSeparator(const QString &folder);
// Without rotation (rowsPerFile < 2) the file itself, "<folder>QN-210_3_192.0.2.7.csv";
// with rotation the stem "<folder>QN-210_3_192.0.2.7_20261207_090503".
QString logBaseName(const QString &folder, const QString &modelPrefix, int unitId,
                    const QString &ipAddress, const QDateTime &pageStart, int rowsPerFile);
// "<base>_000.csv"; numbers above 999 print with more digits.
QString logRotatedFileName(const QString &baseName, int fileNumber);

// A column name from a signal name: at most 16 bytes (code page 932); a name that is
// just the channel's number ("2" on channel 2) gives the default name ("AI2").
QString logColumnName(const QString &signalName, int channelNumber, const QString &defaultName);
// The same for an analog output's column, whose name is kept whole.
QString wholeLogColumnName(const QString &signalName, int channelNumber, const QString &defaultName);

// The analog-input pages (QN-210, QN-220):
// "日付,時刻,AI1,単位1,AI2,単位2,AI3,単位3,DO1,DO2\n" from the five column names.
QString analogInputLogHeader(const QStringList &columnNames);
// The fields after date and time: "v1,u1,v2,u2,v3,u3,do1,do2".
QStringList analogInputLogFields(const QStringList &values, const QStringList &units, int do1, int do2);
// "date,time,v1,u1,v2,u2,v3,u3,do1,do2\n".
QString analogInputLogRow(const QString &date, const QString &time, const QStringList &values,
                          const QStringList &units, int do1, int do2);

// The analog-output pages: "日付,時刻,DI1,DI2,DI3,AO1,単位1,AO2,単位2\n" on the QN-110,
// "日付,時刻,DI1,DI2,AO1,単位1,AO2,単位2,AO3,単位3\n" on the QN-120: the input columns,
// then each output's column and its unit's.
QString analogOutputLogHeader(const QStringList &inputNames, const QStringList &outputNames);
// The fields after date and time: each input 0/1, then each output's value and unit.
QStringList analogOutputLogFields(const QList<bool> &inputs, const QStringList &values,
                                  const QStringList &units);

// The user's short date and the time with seconds, as the locale writes them
// (a Japanese locale gives "2026/12/07" and "9:05:03").
QString logDateText(const QDate &date, const QLocale &locale);
QString logTimeText(const QTime &time, const QLocale &locale);
// The format logTimeText writes the time in.
QString logTimeFormat(const QLocale &locale);
// The local date and time of a second since the epoch; cheap when called again within
// the same second (rows of many units share one conversion).
QDateTime localTimeOfSecond(qint64 secondsSinceEpoch);

struct ChannelLogOptions {
    bool enabled = false;
    QString folder;
    int rowsPerFile = -1;     // below 2: one file, no rotation
    QString modelPrefix = QStringLiteral("QN-210");
    int unitId = 0;
    QString ipAddress;
    QDateTime pageStart;      // stamps the rotated file names
};

class ChannelLog final {
public:
    // WriteFailed: the row did not reach the file (a full disk, say) and the file was cut
    // back to its last whole row; the log goes on trying with the next row, which comes
    // after a fresh header line.
    enum class Result { Written, Disabled, OpenFailed, WriteFailed };

    explicit ChannelLog(ChannelLogOptions options, QLocale locale = QLocale::system());
    ~ChannelLog();
    ChannelLog(const ChannelLog &) = delete;
    ChannelLog &operator=(const ChannelLog &) = delete;

    // Opens the first file (appending to what is there). OpenFailed switches logging
    // off for the rest of the object's life; the page tells the operator.
    Result open();
    // Closes the file and opens it again under the same name and number (after logrotate
    // has moved it away, a new file begins); the next row comes after a header line. Also
    // switches logging back on after an open that failed.
    Result reopen();
    // Where writeRow takes its time stamps from (the local time when unset).
    void setClock(std::function<QDateTime()> clock) { m_clock = std::move(clock); }
    // Header (when pending) then one row stamped with the local date and time.
    // header is asked for only when one is due. A row and the header before it reach the
    // file whole or not at all. OpenFailed: the next file of a rotation could not be
    // opened; logging is off from then on.
    Result writeRow(const std::function<QString()> &header, const QStringList &fields);
    Result writeRowAt(const QDateTime &now, const std::function<QString()> &header,
                      const QStringList &fields);

    bool enabled() const { return m_enabled; }
    bool headerPending() const { return m_headerPending; }
    // Rows are being lost: set by a failed write, cleared by the next one that works.
    bool writeFailing() const { return m_firstLostRow.isValid(); }
    // The time stamp of the first row lost since writing last worked (invalid when none).
    QDateTime firstLostRow() const { return m_firstLostRow; }
    // A signal name changed: the next row gets a new header line.
    void requestHeader() { m_headerPending = true; }
    QString baseName() const { return m_baseName; }
    QString currentFileName() const { return m_file.fileName(); }
    int fileNumber() const { return m_fileNumber; }
    int rowsInFile() const { return m_rowsInFile; }

private:
    bool rotating() const { return m_options.rowsPerFile > 1; }
    bool openFile(const QString &name);
    bool writeWhole(const QByteArray &bytes);

    ChannelLogOptions m_options;
    QLocale m_locale;
    bool m_enabled;
    bool m_headerPending = true;
    QString m_baseName;
    int m_fileNumber = 0;
    int m_rowsInFile = 0;
    QDateTime m_firstLostRow;
    qint64 m_cutBackTo = -1;  // a failed write's part still to be cut off (-1: none)
    QString m_timeFormat;
    std::function<QDateTime()> m_clock;
    QDate m_textDate;         // the date m_dateText shows
    QString m_dateText;
    QFile m_file;
};

} // namespace qn
