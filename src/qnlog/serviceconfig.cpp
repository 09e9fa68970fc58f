#include "qnlog/serviceconfig.h"

#include "qnlog/mqttconfig.h"

#include <QFile>
#include <QLocale>

namespace qn::logsvc {

QString ConfigError::text() const
{
    if (line > 0)
        return path + QLatin1Char(':') + QString::number(line) + QStringLiteral(": ") + message;
    return path + QStringLiteral(": ") + message;
}

namespace {

// The longest period the window offers is far below this; it only keeps sums in range.
constexpr int kMaxPeriod = 864000; // a day in tenths of a second

enum class Section { None, Service, Unit, Search, Mqtt };

std::optional<int> wholeNumber(const QString &text, int min, int max)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < min || n > max)
        return std::nullopt;
    return n;
}

bool dottedIpv4(const QString &text)
{
    // Four numbers, nothing else: QHostAddress alone would take "10" or "0x7f.1".
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &p : parts)
        if (p.isEmpty() || p.size() > 3 || !wholeNumber(p, 0, 255)
            || std::any_of(p.begin(), p.end(), [](QChar c) { return !c.isDigit(); }))
            return false;
    return true;
}

class ConfigReader {
public:
    ConfigReader(const QString &fileName, ConfigError *error) : m_error(error) { m_config.path = fileName; }

    bool line(int number, QString text);
    bool finish();
    ServiceConfig take() { return std::move(m_config); }

private:
    bool fail(const QString &message)
    {
        if (m_error)
            *m_error = {m_config.path, m_line, message};
        return false;
    }
    bool number(const QString &key, const QString &value, int min, int max, int &out);
    bool period(const QString &key, const QString &value, int &out);
    bool sectionPeriod(const QString &key, const QString &value);
    bool serviceKey(const QString &key, const QString &value);
    bool unitKey(const QString &key, const QString &value);
    bool searchKey(const QString &key, const QString &value);
    bool closeSection();

    ConfigError *m_error;
    ServiceConfig m_config;
    int m_line = 0;
    Section m_section = Section::None;
    int m_sectionLine = 0;
    QStringList m_keysSeen;
    bool m_serviceSeen = false;
    std::optional<int> m_sectionPeriod;
    UnitTarget m_unit;
    SearchTarget m_search;
};

bool ConfigReader::number(const QString &key, const QString &value, int min, int max, int &out)
{
    const std::optional<int> n = wholeNumber(value, min, max);
    if (!n)
        return fail(QStringLiteral("%1 must be a whole number from %2 to %3, not '%4'").arg(key).arg(min).arg(max).arg(value));
    out = *n;
    return true;
}

bool ConfigReader::period(const QString &key, const QString &value, int &out)
{
    return number(key, value, 1, kMaxPeriod, out);
}

// A [unit]'s or [search]'s own period; the service's holds where it has none.
bool ConfigReader::sectionPeriod(const QString &key, const QString &value)
{
    int p = 0;
    if (!period(key, value, p))
        return false;
    m_sectionPeriod = p;
    return true;
}

bool ConfigReader::serviceKey(const QString &key, const QString &value)
{
    if (key == QLatin1String("log-folder")) {
        if (value.isEmpty())
            return fail(QStringLiteral("log-folder is empty"));
        m_config.logFolder = value;
        return true;
    }
    if (key == QLatin1String("rows-per-file")) {
        if (!number(key, value, 0, 100000000, m_config.rowsPerFile))
            return false;
        if (m_config.rowsPerFile == 1)
            return fail(QStringLiteral("rows-per-file must be 0 (no change of file) or at least 2"));
        return true;
    }
    if (key == QLatin1String("locale")) {
        const QLocale locale(value);
        if (value != QLatin1String("C") && locale.language() == QLocale::C)
            return fail(QStringLiteral("unknown locale '%1'").arg(value));
        m_config.locale = value;
        return true;
    }
    if (key == QLatin1String("settings-file")) {
        if (value.isEmpty())
            return fail(QStringLiteral("settings-file is empty"));
        m_config.settingsFile = value;
        return true;
    }
    if (key == QLatin1String("period"))
        return period(key, value, m_config.period);
    return fail(QStringLiteral("unknown key '%1' in [service]").arg(key));
}

bool ConfigReader::unitKey(const QString &key, const QString &value)
{
    if (key == QLatin1String("address")) {
        const qsizetype colon = value.indexOf(QLatin1Char(':'));
        const QString host = colon < 0 ? value : value.left(colon);
        if (!dottedIpv4(host))
            return fail(QStringLiteral("bad address '%1' (a dotted IPv4 address, then :port if not 10001)").arg(value));
        if (colon >= 0 && !number(QStringLiteral("the port"), value.mid(colon + 1), 1, 65535, m_unit.tcpPort))
            return false;
        m_unit.address = host;
        return true;
    }
    if (key == QLatin1String("period"))
        return sectionPeriod(key, value);
    if (key == QLatin1String("commands")) {
        const std::optional<bool> on = yesNo(value);
        if (!on)
            return fail(QStringLiteral("commands must be yes or no, not '%1'").arg(value));
        m_unit.commands = *on;
        return true;
    }
    return fail(QStringLiteral("unknown key '%1' in [unit]").arg(key));
}

bool ConfigReader::searchKey(const QString &key, const QString &value)
{
    if (key == QLatin1String("broadcast")) {
        if (!dottedIpv4(value))
            return fail(QStringLiteral("bad broadcast address '%1'").arg(value));
        m_search.broadcast = value;
        return true;
    }
    if (key == QLatin1String("udp-port"))
        return number(key, value, 1, 65535, m_search.udpPort);
    if (key == QLatin1String("tcp-port"))
        return number(key, value, 1, 65535, m_search.tcpPort);
    if (key == QLatin1String("interval"))
        return number(key, value, 0, 86400, m_search.intervalSeconds);
    if (key == QLatin1String("period"))
        return sectionPeriod(key, value);
    return fail(QStringLiteral("unknown key '%1' in [search]").arg(key));
}

// A section is checked when the next one starts or the file ends; its errors name its
// first line.
bool ConfigReader::closeSection()
{
    const int line = m_line;
    m_line = m_sectionLine;
    bool ok = true;
    if (m_section == Section::Unit) {
        if (m_unit.address.isEmpty())
            ok = fail(QStringLiteral("[unit] without an address"));
        m_unit.period = m_sectionPeriod.value_or(-1);
        m_config.units.push_back(m_unit);
    } else if (m_section == Section::Search) {
        if (m_search.broadcast.isEmpty())
            ok = fail(QStringLiteral("[search] without a broadcast address"));
        m_search.period = m_sectionPeriod.value_or(-1);
        m_config.searches.push_back(m_search);
    } else if (m_section == Section::Mqtt) {
        if (const std::optional<QString> error = checkMqttConfig(*m_config.mqtt))
            ok = fail(*error);
    }
    m_line = line;
    return ok;
}

bool ConfigReader::line(int number, QString text)
{
    m_line = number;
    const qsizetype hash = text.indexOf(QLatin1Char('#'));
    if (hash >= 0)
        text.truncate(hash);
    text = text.trimmed();
    if (text.isEmpty())
        return true;
    if (text.startsWith(QLatin1Char('['))) {
        if (!text.endsWith(QLatin1Char(']')))
            return fail(QStringLiteral("a section name needs its closing ']'"));
        if (!closeSection())
            return false;
        const QString name = text.mid(1, text.size() - 2).trimmed();
        m_sectionLine = number;
        m_keysSeen.clear();
        m_sectionPeriod.reset();
        if (name == QLatin1String("service")) {
            if (m_serviceSeen)
                return fail(QStringLiteral("a second [service] section"));
            m_serviceSeen = true;
            m_section = Section::Service;
        } else if (name == QLatin1String("unit")) {
            m_section = Section::Unit;
            m_unit = UnitTarget{};
        } else if (name == QLatin1String("search")) {
            m_section = Section::Search;
            m_search = SearchTarget{};
        } else if (name == QLatin1String("mqtt")) {
            if (m_config.mqtt)
                return fail(QStringLiteral("a second [mqtt] section"));
            m_section = Section::Mqtt;
            m_config.mqtt.emplace();
        } else {
            return fail(QStringLiteral("unknown section [%1] (service, unit, search or mqtt)").arg(name));
        }
        return true;
    }
    const qsizetype equals = text.indexOf(QLatin1Char('='));
    if (equals < 0)
        return fail(QStringLiteral("expected key = value or [section], not '%1'").arg(text));
    const QString key = text.left(equals).trimmed();
    const QString value = text.mid(equals + 1).trimmed();
    if (m_section == Section::None)
        return fail(QStringLiteral("'%1' before the first [section]").arg(key));
    if (m_keysSeen.contains(key))
        return fail(QStringLiteral("'%1' given twice in one section").arg(key));
    m_keysSeen << key;
    switch (m_section) {
    case Section::Service:
        return serviceKey(key, value);
    case Section::Unit:
        return unitKey(key, value);
    case Section::Search:
        return searchKey(key, value);
    case Section::Mqtt:
        if (const std::optional<QString> error = mqttConfigKey(key, value, *m_config.mqtt))
            return fail(*error);
        return true;
    case Section::None:
        break;
    }
    return false;
}

bool ConfigReader::finish()
{
    if (!closeSection())
        return false;
    for (UnitTarget &u : m_config.units)
        if (u.period < 0)
            u.period = m_config.period;
    for (SearchTarget &s : m_config.searches)
        if (s.period < 0)
            s.period = m_config.period;
    m_line = 0;
    if (m_config.units.empty() && m_config.searches.empty())
        return fail(QStringLiteral("no [unit] and no [search]: nothing to log"));
    for (std::size_t i = 0; i < m_config.units.size(); ++i)
        for (std::size_t j = 0; j < i; ++j)
            if (m_config.units[i].address == m_config.units[j].address
                && m_config.units[i].tcpPort == m_config.units[j].tcpPort)
                return fail(QStringLiteral("unit %1:%2 listed twice").arg(m_config.units[i].address).arg(m_config.units[i].tcpPort));
    return true;
}

} // namespace

std::optional<ServiceConfig> parseServiceConfig(const QByteArray &text, const QString &fileName, ConfigError *error)
{
    ConfigReader reader(fileName, error);
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QByteArray bytes = lines[i];
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        // The file is UTF-8 (paths may hold Japanese); bytes that are not get a clear error.
        const QString text = QString::fromUtf8(bytes);
        if (text.contains(QChar::ReplacementCharacter) && !bytes.contains("\xEF\xBF\xBD")) {
            if (error)
                *error = {fileName, int(i + 1), QStringLiteral("the line is not UTF-8 text")};
            return std::nullopt;
        }
        if (!reader.line(int(i + 1), text))
            return std::nullopt;
    }
    if (!reader.finish())
        return std::nullopt;
    return reader.take();
}

std::optional<ServiceConfig> readServiceConfig(const QString &path, ConfigError *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = {path, 0, QStringLiteral("cannot read: %1").arg(file.errorString())};
        return std::nullopt;
    }
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = {path, 0, QStringLiteral("cannot read: %1").arg(file.errorString())};
        return std::nullopt;
    }
    return parseServiceConfig(text, path, error);
}

} // namespace qn::logsvc
