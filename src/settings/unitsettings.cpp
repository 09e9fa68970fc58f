#include "settings/unitsettings.h"

#include "common/cp932.h"
#include "settings/inplacewrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <limits>
#include <span>

namespace qn {
namespace {

const QByteArray kHeaderPrefix = QByteArrayLiteral("QNVIEW_");

// Texts live in the file as code page 932 of at most 31 bytes, one per line: a line
// break inside one would shift every later record, so breaks are dropped.
QByteArray textToFile(QStringEncoder &encoder, const QString &text)
{
    QString flat = text;
    flat.remove(QLatin1Char('\r'));
    flat.remove(QLatin1Char('\n'));
    return cutCp932(toCp932(encoder, flat), UnitSettingsStore::MaxTextBytes);
}

// textToFile appended to out. Most texts are short printable ASCII ("1", "mV"), which
// code page 932 keeps as it is: those go in without a converter or a copy.
void appendText(QByteArray &out, QStringEncoder &encoder, const QString &text)
{
    if (text.size() <= UnitSettingsStore::MaxTextBytes
        && std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() < 0x7F; })) {
        for (QChar c : text)
            out += char(c.unicode());
        return;
    }
    out += textToFile(encoder, text);
}

QString textFromFile(QStringDecoder &decoder, const QByteArray &line)
{
    return fromCp932(decoder, cutCp932(line, UnitSettingsStore::MaxTextBytes));
}

QString limitText(const QString &text)
{
    QStringEncoder encoder = cp932Encoder();
    return fromCp932(textToFile(encoder, text));
}

// "%f": fixed with six decimals, whatever the C locale says about the decimal point.
void appendNumber(QByteArray &out, double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (result.ec != std::errc())
        out += "0.000000";
    else
        out.append(buffer, qsizetype(result.ptr - buffer));
}

} // namespace

// What atof gives in the C locale (files written under any locale use a point):
// leading blanks, one optional sign, then the longest decimal or 0x-hexadecimal
// number, "inf" or "nan"; 0 without one ("+-1" gives 0). A number too large for a
// double gives an infinity, one too small 0, as strtod's range errors do.
double numberFromSettingsText(const QByteArray &line)
{
    const char *p = line.constData();
    const char *end = p + line.size();
    while (p < end && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
        ++p;
    bool negative = false;
    if (p < end && (*p == '+' || *p == '-'))
        negative = *p++ == '-';
    // from_chars would take a sign of its own; strtod takes only one. No number at all
    // gives a plain 0, whatever sign came before.
    if (p == end || *p == '+' || *p == '-')
        return 0.0;
    std::chars_format format = std::chars_format::general;
    // After "0x" a number has been read already: without hexadecimal digits it is 0.
    double noNumber = 0.0;
    if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) {
        p += 2;
        format = std::chars_format::hex;
        noNumber = negative ? -0.0 : 0.0;
        // Hexadecimal digits must follow (from_chars would also take a sign, "inf" or "nan").
        const auto hexDigitAt = [&](const char *q) {
            return q < end && std::isxdigit(static_cast<unsigned char>(*q));
        };
        if (!hexDigitAt(p) && !(p < end && *p == '.' && hexDigitAt(p + 1)))
            return noNumber;
    }
    double value = 0.0;
    auto result = std::from_chars(p, end, value, format);
    if (result.ec == std::errc::invalid_argument)
        return noNumber;
    if (result.ec == std::errc::result_out_of_range) {
        // A wider type tells an overflow (infinity) from an underflow (0 or a denormal).
        long double wide = 0.0L;
        if (std::from_chars(p, end, wide, format).ec == std::errc()) {
            value = double(wide);
        } else {
            // Beyond even that: a negative exponent is tiny, anything else huge.
            const char mark = format == std::chars_format::hex ? 'p' : 'e';
            const char *e = p;
            while (e < result.ptr && std::tolower(static_cast<unsigned char>(*e)) != mark)
                ++e;
            const bool tiny = e + 1 < result.ptr && e[1] == '-';
            value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
        }
    }
    return negative ? -value : value;
}

namespace {

// A stored number that is no finite number would flow into every converted value, the
// graph and the log: such a field keeps its default instead.
double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
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

// The file's lines the way a line reader sees them: LF ends a line, a CR before it
// belongs to the line break, and a last line without a break still counts. The lines
// point into the bytes (no copies: a load reads 4033 of them).
class LineReader final {
public:
    explicit LineReader(const QByteArray &bytes) : m_bytes(bytes) {}
    bool next(QByteArray *line)
    {
        if (m_pos >= m_bytes.size())
            return false;
        qsizetype end = m_bytes.indexOf('\n', m_pos);
        const qsizetype after = end < 0 ? m_bytes.size() : end + 1;
        if (end < 0)
            end = m_bytes.size();
        if (end > m_pos && m_bytes[end - 1] == '\r')
            --end;
        *line = QByteArray::fromRawData(m_bytes.constData() + m_pos, end - m_pos);
        m_pos = after;
        return true;
    }

private:
    const QByteArray &m_bytes;
    qsizetype m_pos = 0;
};

bool validKey(int modelCode, int unitId, RecordKind kind, int channel)
{
    return modelCode >= 0 && modelCode < UnitSettingsStore::ModelCodes && unitId >= 0
        && unitId < UnitSettingsStore::UnitIds && int(kind) >= 0 && int(kind) < UnitSettingsStore::Kinds
        && channel >= 0 && channel < UnitSettingsStore::Channels;
}

} // namespace

UnitSettingsStore::UnitSettingsStore() { resetToDefaults(); }

ChannelSettings UnitSettingsStore::defaultRecord(int channel)
{
    // Shared texts: resetting the store's 672 records allocates nothing.
    static const QString names[Channels] = {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                            QStringLiteral("4"), QStringLiteral("5"), QStringLiteral("6"),
                                            QStringLiteral("7")};
    ChannelSettings record;
    record.signalName = channel >= 0 && channel < Channels ? names[channel] : QString::number(channel + 1);
    return record;
}

void UnitSettingsStore::resetToDefaults()
{
    for (int i = 0; i < Records; ++i)
        m_records[i] = defaultRecord(i % Channels);
}

int UnitSettingsStore::index(int modelCode, int unitId, RecordKind kind, int channel)
{
    return ((modelCode * UnitIds + unitId) * Kinds + int(kind)) * Channels + channel;
}

void UnitSettingsStore::loadSettings(const QString &path)
{
    m_path = path;
    // Loaded once at start, while no save of this program can be under way.
    removeStaleSaveFiles(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    deserialize(file.readAll());
}

void UnitSettingsStore::deserialize(const QByteArray &bytes)
{
    LineReader lines(bytes);
    QByteArray header;
    if (!lines.next(&header) || !header.startsWith(kHeaderPrefix))
        return;
    const int version = versionFromHeader(header);
    if (version != 1 && version != 2)
        return;
    const int linesPerRecord = version == 1 ? 4 : 6;
    QStringDecoder decoder = cp932Decoder();
    auto next = [&](QByteArray *out) { return lines.next(out); };
    for (int i = 0; i < Records; ++i) {
        ChannelSettings &record = m_records[i];
        QByteArray text;
        if (!next(&text))
            return;
        record.signalName = textFromFile(decoder, text);
        if (!next(&text))
            return;
        record.a = finiteOr(numberFromSettingsText(text), 1.0);
        if (!next(&text))
            return;
        record.b = finiteOr(numberFromSettingsText(text), 0.0);
        if (!next(&text))
            return;
        record.unitText = textFromFile(decoder, text);
        if (linesPerRecord == 4) {
            record.graphMin = 0.0;
            record.graphMax = 0.0;
            continue;
        }
        if (!next(&text))
            return;
        record.graphMin = finiteOr(numberFromSettingsText(text), 0.0);
        if (!next(&text))
            return;
        record.graphMax = finiteOr(numberFromSettingsText(text), 0.0);
    }
}

QByteArray UnitSettingsStore::serialize() const { return serializeRecords(Records); }

QByteArray UnitSettingsStore::serializeRecords(int count) const
{
    static const QByteArray crlf = QByteArrayLiteral("\r\n");
    // One encoder for all 1,344 texts: building one per text made a save cost tens of ms.
    QStringEncoder encoder = cp932Encoder();
    QByteArray out;
    count = std::clamp(count, 0, int(Records));
    out.reserve(count * 64 + 16);
    out += kHeaderPrefix + QByteArray::number(FileVersion).rightJustified(2, '0') + crlf;
    for (const ChannelSettings &record : std::span(m_records).first(size_t(count))) {
        appendText(out, encoder, record.signalName);
        out += crlf;
        for (double number : {record.a, record.b}) {
            appendNumber(out, number);
            out += crlf;
        }
        appendText(out, encoder, record.unitText);
        out += crlf;
        for (double number : {record.graphMin, record.graphMax}) {
            appendNumber(out, number);
            out += crlf;
        }
    }
    return out;
}

int removeStaleSaveFiles(const QString &path)
{
    // A save writes "<file>.XXXXXX" (six letters or digits) and renames it over the file;
    // one killed in between leaves it behind.
    const QFileInfo settings(path);
    const QString prefix = settings.fileName() + QLatin1Char('.');
    QDir dir = settings.absoluteDir();
    int removed = 0;
    const QStringList candidates = dir.entryList({prefix + QStringLiteral("??????")}, QDir::Files | QDir::Hidden);
    for (const QString &name : candidates) {
        const QStringView tail = QStringView(name).mid(prefix.size());
        const bool temporary = tail.size() == 6 && std::all_of(tail.begin(), tail.end(), [](QChar c) {
            return c.unicode() < 128 && std::isalnum(static_cast<unsigned char>(c.unicode()));
        });
        if (temporary && name.startsWith(prefix) && dir.remove(name))
            ++removed;
    }
    return removed;
}

bool UnitSettingsStore::saveSettings() { return save(m_path); }

bool UnitSettingsStore::save(const QString &path) const
{
    if (path.isEmpty())
        return false;
    const QByteArray bytes = serialize();
    // The new contents replace the old file only once they are completely on disk, so a
    // full disk or a failing write never costs the operator the settings already stored.
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly)) {
        if (file.write(bytes) != bytes.size()) {
            file.cancelWriting();
            return false;
        }
        return file.commit();
    }
    // The folder takes no new file (locked down by an administrator) but the settings
    // file may be written: a save that always failed would lose every change, so the
    // file is written in place, never emptied before the new bytes are in it.
    return overwriteInPlace(path, bytes);
}

QString UnitSettingsStore::getSignalName(int modelCode, int unitId, RecordKind kind, int channel) const
{
    return getConversion(modelCode, unitId, kind, channel).signalName;
}

void UnitSettingsStore::setSignalName(int modelCode, int unitId, RecordKind kind, int channel, const QString &name)
{
    if (!validKey(modelCode, unitId, kind, channel))
        return;
    m_records[index(modelCode, unitId, kind, channel)].signalName = limitText(name);
    saveSettings();
}

ChannelSettings UnitSettingsStore::getConversion(int modelCode, int unitId, RecordKind kind, int channel) const
{
    if (!validKey(modelCode, unitId, kind, channel))
        return defaultRecord(channel >= 0 && channel < Channels ? channel : 0);
    return m_records[index(modelCode, unitId, kind, channel)];
}

void UnitSettingsStore::setConversion(int modelCode, int unitId, RecordKind kind, int channel, double a, double b,
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

void UnitSettingsStore::setRecord(int modelCode, int unitId, RecordKind kind, int channel, const ChannelSettings &record)
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
