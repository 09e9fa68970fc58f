// The logging service's configuration reader over any bytes: it either gives a
// configuration whose every unit and search can be started (dotted addresses, ports and
// periods in range) or an error that names this file and a line the text has.
#include "qnlog/serviceconfig.h"

#include <cstdlib>

using namespace qn::logsvc;

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

bool dotted(const QString &address)
{
    const QStringList parts = address.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return false;
    for (const QString &p : parts) {
        bool ok = false;
        const int n = p.toInt(&ok);
        if (!ok || n < 0 || n > 255)
            return false;
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    ConfigError error;
    const std::optional<ServiceConfig> config = parseServiceConfig(text, QStringLiteral("f.conf"), &error);
    if (!config) {
        check(error.line >= 0 && error.line <= text.count('\n') + 1);
        check(error.text().startsWith(QStringLiteral("f.conf:")));
        check(!error.message.isEmpty());
        return 0;
    }
    check(!config->units.empty() || !config->searches.empty());
    check(config->rowsPerFile == 0 || config->rowsPerFile >= 2);
    check(!config->logFolder.isEmpty() && !config->settingsFile.isEmpty());
    for (const UnitTarget &u : config->units)
        check(dotted(u.address) && u.tcpPort >= 1 && u.tcpPort <= 65535 && u.period >= 1);
    for (const SearchTarget &s : config->searches)
        check(dotted(s.broadcast) && s.udpPort >= 1 && s.tcpPort <= 65535 && s.period >= 1 && s.intervalSeconds >= 0);
    return 0;
}
