#include "qnlog/serviceconfig.h"

#include <gtest/gtest.h>

using namespace qn::logsvc;

namespace {

TEST(ServiceConfig, ReadsEveryKeyAndGivesUnitsTheServicePeriod)
{
    const QByteArray text = "# units of line 3\r\n"
                            "[service]\n"
                            "log-folder = /srv/logs   # trailing comment\n"
                            "rows-per-file = 1000\n"
                            "locale = ja_JP\n"
                            "settings-file = /srv/qnview.ini\n"
                            "period = 5\n"
                            "[unit]\n"
                            "address = 127.0.0.2\n"
                            "[unit]\n"
                            "address = 127.0.0.3:10002\n"
                            "period = 1\n"
                            "[search]\n"
                            "broadcast = 127.255.255.255\n"
                            "udp-port = 40000\n"
                            "interval = 0\n";
    ConfigError error;
    const std::optional<ServiceConfig> c = parseServiceConfig(text, "qnlog.conf", &error);
    ASSERT_TRUE(c) << error.text().toStdString();
    EXPECT_EQ(c->logFolder, "/srv/logs");
    EXPECT_EQ(c->rowsPerFile, 1000);
    EXPECT_EQ(c->locale, "ja_JP");
    EXPECT_EQ(c->settingsFile, "/srv/qnview.ini");
    ASSERT_EQ(c->units.size(), 2u);
    EXPECT_EQ(c->units[0].address, "127.0.0.2");
    EXPECT_EQ(c->units[0].tcpPort, 10001);
    EXPECT_EQ(c->units[0].period, 5);
    EXPECT_EQ(c->units[1].tcpPort, 10002);
    EXPECT_EQ(c->units[1].period, 1);
    ASSERT_EQ(c->searches.size(), 1u);
    EXPECT_EQ(c->searches[0].udpPort, 40000);
    EXPECT_EQ(c->searches[0].intervalSeconds, 0);
    EXPECT_EQ(c->searches[0].period, 5);
}

struct BadConfig {
    const char *text;
    int line;
    const char *message;
};

// Each mistake names its line; the lines before it are fine.
const BadConfig kBadConfigs[] = {
    {"[unit]\naddress = 127.0.0.2\nperod = 3\n", 3, "unknown key 'perod' in [unit]"},
    {"[unit]\naddress = 127.0.0.256\n", 2, "bad address '127.0.0.256'"},
    {"[unit]\naddress = 127.0.0.2:0\n", 2, "the port must be a whole number from 1 to 65535"},
    {"[unit]\naddress = host.example\n", 2, "bad address"},
    {"[unit]\naddress = 127.0.0.2\nperiod = 0\n", 3, "period must be a whole number from 1"},
    {"[unit]\naddress = 127.0.0.2\nperiod = 1.5\n", 3, "period must be a whole number"},
    {"[unit]\naddress = 127.0.0.2\naddress = 127.0.0.3\n", 3, "'address' given twice"},
    {"log-folder = /tmp\n", 1, "before the first [section]"},
    {"[units]\n", 1, "unknown section [units]"},
    {"[unit\n", 1, "closing ']'"},
    {"[unit]\naddress\n", 2, "expected key = value"},
    {"[service]\nrows-per-file = 1\n[unit]\naddress = 127.0.0.2\n", 2, "rows-per-file must be 0"},
    {"[service]\nlocale = xx_nowhere\n", 2, "unknown locale"},
    {"[service]\n[service]\n", 2, "a second [service]"},
    {"[service]\nperiod = 3\n[unit]\nperiod = 1\n", 3, "[unit] without an address"},
    {"[search]\nudp-port = 1\n", 1, "[search] without a broadcast address"},
    {"[service]\nperiod = 3\n", 0, "nothing to log"},
    {"[unit]\naddress = 127.0.0.2\n[unit]\naddress = 127.0.0.2:10001\n", 0, "listed twice"},
    {"[service]\nlog-folder = /tmp/\xff\xfe\n", 2, "not UTF-8"},
};

TEST(ServiceConfig, AMistakeNamesFileLineAndWhat)
{
    for (const BadConfig &bad : kBadConfigs) {
        SCOPED_TRACE(bad.text);
        ConfigError error;
        EXPECT_FALSE(parseServiceConfig(bad.text, "/etc/qnlog/qnlog.conf", &error));
        EXPECT_EQ(error.line, bad.line);
        EXPECT_TRUE(error.text().contains(QString::fromUtf8(bad.message))) << error.text().toStdString();
        const QString where = bad.line ? QStringLiteral("/etc/qnlog/qnlog.conf:%1: ").arg(bad.line)
                                       : QStringLiteral("/etc/qnlog/qnlog.conf: ");
        EXPECT_TRUE(error.text().startsWith(where)) << error.text().toStdString();
    }
}

} // namespace
