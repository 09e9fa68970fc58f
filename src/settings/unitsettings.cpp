#include "settings/unitsettings.h"

#include "common/cp932.h"

#include <QFile>
#include <QSaveFile>

#include <cctype>
#include <charconv>

namespace qn {
namespace {

const QByteArray kHeaderPrefix = QByteArrayLiteral("QNVIEW_");

// Texts live in the file as code page 932 of at most 31 bytes, one per line: a line
// break inside one would shift every later record, so breaks are dropped.
QByteArray textToFile(const QString &text)
{
    QString flat = text;
    flat.remove(QLatin1Char('\r'));
    flat.remove(QLatin1Char('\n'));
    return cutCp932(toCp932(flat), UnitSettingsStore::MaxTextBytes);
}

QString textFromFile(const QByteArray &line)
{
    return fromCp932(cutCp932(line, UnitSettingsStore::MaxTextBytes));
}

QString limitText(const QString &text) { return fromCp932(textToFile(text)); }

// "%f": fixed with six decimals, whatever the C locale says about the decimal point.
QByteArray numberToFile(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc())
        return QByteArrayLiteral("0.000000");
    return QByteArray(buffer, static_cast<int>(result.ptr - buffer));
}

// Like atof: leading blanks, the longest number at the start, 0 without one.
double numberFromFile(const QByteArray &line)
{
    const char *p = line.constData();
    const char *end = p + line.size();
    while (p < end && std::isspace(static_cast<unsigned char>(*p)))
        ++p;
    if (p < end && *p == '+')
        ++p;
    double value = 0.0;
    const auto result = std::from_chars(p, end, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument)
        return 0.0;
    return value;  // out of range leaves value as parsed extremes or 0, like atof's caller sees
}

// Like atoi over the last two characters of the header line.
int versionFromHeader(const QByteArray &header)
{
    const QByteArray tail = header.right(2);
    int i = 0;
    while (i < tail.size() && std::isspace(static_cast<unsigned char>(tail[i])))
        ++i;
    bool negative = false;
    if (i < tail.size() && (tail[i] == '+' || tail[i] == '-'))
        negative = tail[i++] == '-';
    int value = 0;
    while (i < tail.size() && tail[i] >= '0' && tail[i] <= '9')
        value = value * 10 + (tail[i++] - '0');
    return negative ? -value : value;
}

// Splits file bytes into lines the way a line reader sees them: LF ends a line, a CR
// before it belongs to the line break, and a last line without a break still counts.
QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
    }
    return lines;
}

bool validKey(int modelCode, int unitId, int kind, int channel)
{
    return modelCode >= 0 && modelCode < UnitSettingsStore::ModelCodes && unitId >= 0
        && unitId < UnitSettingsStore::UnitIds && kind >= 0 && kind < UnitSettingsStore::Kinds
        && channel >= 0 && channel < UnitSettingsStore::Channels;
}

} // namespace

UnitSettingsStore::UnitSettingsStore() { resetToDefaults(); }

ChannelSettings UnitSettingsStore::defaultRecord(int channel)
{
    ChannelSettings record;
    record.signalName = QString::number(channel + 1);
    return record;
}

void UnitSettingsStore::resetToDefaults()
{
    for (int i = 0; i < Records; ++i)
        m_records[i] = defaultRecord(i % Channels);
}

int UnitSettingsStore::index(int modelCode, int unitId, int kind, int channel)
{
    return ((modelCode * UnitIds + unitId) * Kinds + kind) * Channels + channel;
}

void UnitSettingsStore::loadSettings(const QString &path)
{
    m_path = path;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    deserialize(file.readAll());
}

void UnitSettingsStore::deserialize(const QByteArray &bytes)
{
    const QList<QByteArray> lines = splitLines(bytes);
    if (lines.isEmpty() || !lines.first().startsWith(kHeaderPrefix))
        return;
    const int version = versionFromHeader(lines.first());
    if (version != 1 && version != 2)
        return;
    const int linesPerRecord = version == 1 ? 4 : 6;
    qsizetype line = 1;
    auto next = [&](QByteArray *out) {
        if (line >= lines.size())
            return false;
        *out = lines[line++];
        return true;
    };
    for (int i = 0; i < Records; ++i) {
        ChannelSettings &record = m_records[i];
        QByteArray text;
        if (!next(&text))
            return;
        record.signalName = textFromFile(text);
        if (!next(&text))
            return;
        record.a = numberFromFile(text);
        if (!next(&text))
            return;
        record.b = numberFromFile(text);
        if (!next(&text))
            return;
        record.unitText = textFromFile(text);
        if (linesPerRecord == 4) {
            record.graphMin = 0.0;
            record.graphMax = 0.0;
            continue;
        }
        if (!next(&text))
            return;
        record.graphMin = numberFromFile(text);
        if (!next(&text))
            return;
        record.graphMax = numberFromFile(text);
    }
}

QByteArray UnitSettingsStore::serialize() const
{
    static const QByteArray crlf = QByteArrayLiteral("\r\n");
    QByteArray out;
    out.reserve(Records * 64);
    out += kHeaderPrefix + QByteArray::number(FileVersion).rightJustified(2, '0') + crlf;
    for (const ChannelSettings &record : m_records) {
        out += textToFile(record.signalName) + crlf;
        out += numberToFile(record.a) + crlf;
        out += numberToFile(record.b) + crlf;
        out += textToFile(record.unitText) + crlf;
        out += numberToFile(record.graphMin) + crlf;
        out += numberToFile(record.graphMax) + crlf;
    }
    return out;
}

bool UnitSettingsStore::saveSettings() { return save(m_path); }

bool UnitSettingsStore::save(const QString &path) const
{
    if (path.isEmpty())
        return false;
    // The new contents replace the old file only once they are completely on disk, so a
    // full disk or a failing write never costs the operator the settings already stored.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = serialize();
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString UnitSettingsStore::getSignalName(int modelCode, int unitId, int kind, int channel) const
{
    return getConversion(modelCode, unitId, kind, channel).signalName;
}

void UnitSettingsStore::setSignalName(int modelCode, int unitId, int kind, int channel, const QString &name)
{
    if (!validKey(modelCode, unitId, kind, channel))
        return;
    m_records[index(modelCode, unitId, kind, channel)].signalName = limitText(name);
    saveSettings();
}

ChannelSettings UnitSettingsStore::getConversion(int modelCode, int unitId, int kind, int channel) const
{
    if (!validKey(modelCode, unitId, kind, channel))
        return defaultRecord(channel >= 0 && channel < Channels ? channel : 0);
    return m_records[index(modelCode, unitId, kind, channel)];
}

void UnitSettingsStore::setConversion(int modelCode, int unitId, int kind, int channel, double a, double b,
                                      const QString &unitText, double graphMin, double graphMax)
{
    if (!validKey(modelCode, unitId, kind, channel))
        return;
    ChannelSettings &record = m_records[index(modelCode, unitId, kind, channel)];
    record.a = a;
    record.b = b;
    record.unitText = limitText(unitText);
    record.graphMin = graphMin;
    record.graphMax = graphMax;
    saveSettings();
}

void UnitSettingsStore::setRecord(int modelCode, int unitId, int kind, int channel, const ChannelSettings &record)
{
    if (!validKey(modelCode, unitId, kind, channel))
        return;
    ChannelSettings &stored = m_records[index(modelCode, unitId, kind, channel)];
    stored = record;
    stored.signalName = limitText(record.signalName);
    stored.unitText = limitText(record.unitText);
    saveSettings();
}

UnitSettingsStore &unitSettings()
{
    static UnitSettingsStore store;
    return store;
}

} // namespace qn
