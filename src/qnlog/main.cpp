// qnlog: logs many units unattended into the unit window's CSV files.
//
//   qnlog [--config FILE]     (default /etc/qnlog/qnlog.conf)
//   qnlog --version           its version and whether it was built with MQTT
//
// Standard error carries what an operator needs to know (the journal stamps it).
// SIGTERM and SIGINT: rows in flight are finished, files closed, exit 0. SIGHUP: log files
// reopened, configuration and settings file read again. Exit 2: bad configuration.
#include "qnlog/csvlogsink.h"
#include "qnlog/logservice.h"
#include "qnlog/signalpipe.h"
#ifdef QN_HAVE_MQTT
#include "qnlog/mqttsink.h"
#endif

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <sys/resource.h>

#ifdef __linux__
#include <sched.h>
#endif

using namespace qn::logsvc;

namespace {

constexpr int kConfigError = 2;
const char *const kDefaultConfig = "/etc/qnlog/qnlog.conf";

void usage(FILE *out)
{
    std::fprintf(out, "usage: qnlog [--config FILE] | --version\n"
                      "  Logs the units that FILE names (default %s) into CSV files.\n"
                      "  SIGHUP reopens the log files and reads FILE again; SIGTERM ends.\n",
                 kDefaultConfig);
}

// A socket and a log file for each unit: hundreds of units need more descriptors than the
// usual soft limit of 1024. As many as the hard limit allows; where that fails, the units
// beyond report that they cannot be reached or logged.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

// Every reading wakes a unit's session thread, and with MQTT the library's sending thread:
// under the default policy each of those wakings preempts the thread that caused it, a
// switch and a switch back for every message. As a batch task (inherited by every thread
// started later) a woken thread waits for the running one to block, a few milliseconds at
// most, which a period of 100 ms does not notice, and the sending thread takes several
// messages in one go. Where it cannot be set, the default serves as before.
void preferThroughputScheduling()
{
#ifdef __linux__
    sched_param param{};
    sched_setscheduler(0, SCHED_BATCH, &param);
#endif
}

// Every answer of a unit is handed to the main thread as a posted event. Qt's GLib event
// loop writes its wake-up descriptor for each one; its own loop writes once until it has
// woken. The service uses nothing of GLib, so unless the environment chose already it runs
// on Qt's own loop: a system call less for every reading.
void preferPlainEventLoop()
{
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
}

CsvLogSettings csvSettings(const ServiceConfig &config)
{
    CsvLogSettings s;
    s.folder = config.logFolder;
    s.rowsPerFile = config.rowsPerFile;
    s.locale = config.locale.isEmpty() ? QLocale::system() : QLocale(config.locale);
    return s;
}

void printVersion()
{
#ifdef QN_HAVE_MQTT
    const std::string mqtt = "MQTT: " + qn::mqtt::mqttLibraryVersion();
#else
    const std::string mqtt = "MQTT: not built in (no Eclipse Paho MQTT C at build time)";
#endif
    std::printf("qnlog %s\n%s\n", QN_VERSION_STRING, mqtt.c_str());
}

} // namespace

int main(int argc, char **argv)
{
    preferThroughputScheduling();
    preferPlainEventLoop();
    QCoreApplication app(argc, argv);
    QString configPath = QString::fromLocal8Bit(kDefaultConfig);
    const QStringList args = app.arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--config") && i + 1 < args.size()) {
            configPath = args[++i];
        } else if (args[i] == QLatin1String("--version")) {
            printVersion();
            return 0;
        } else if (args[i] == QLatin1String("--help") || args[i] == QLatin1String("-h")) {
            usage(stdout);
            return 0;
        } else {
            std::fprintf(stderr, "qnlog: unknown argument '%s'\n", qPrintable(args[i]));
            usage(stderr);
            return kConfigError;
        }
    }

    ConfigError error;
    std::optional<ServiceConfig> config = readServiceConfig(configPath, &error);
    if (!config) {
        std::fprintf(stderr, "qnlog: %s\n", qPrintable(error.text()));
        return kConfigError;
    }

    raiseDescriptorLimit();
    SignalPipe signalPipe;
    if (!signalPipe.install()) {
        std::fprintf(stderr, "qnlog: cannot catch signals: %s\n", qPrintable(signalPipe.errorText()));
        return EXIT_FAILURE;
    }
    CsvLogSink csv(csvSettings(*config));
    LogService service(*config);
    service.addSink(&csv);
#ifdef QN_HAVE_MQTT
    std::unique_ptr<MqttSink> mqtt;
    if (config->mqtt) {
        // Commands come on the publisher's thread; the service takes them on its own.
        mqtt = std::make_unique<MqttSink>(*config->mqtt, [&service](const UnitIdentity &unit, const qn::mqtt::Command &c,
                                                                    std::function<void(std::string)> done) {
            QMetaObject::invokeMethod(&service, [&service, unit, c, done] { service.runCommand(unit, c, done); },
                                      Qt::QueuedConnection);
        });
        mqtt->setCommandUnits(config->units);
        if (!mqtt->start())
            return kConfigError;
        service.addSink(mqtt.get());
    }
#else
    if (config->mqtt) {
        std::fprintf(stderr, "qnlog: %s: [mqtt]: this qnlog was built without MQTT (see qnlog --version)\n",
                     qPrintable(configPath));
        return kConfigError;
    }
#endif
    QObject::connect(&signalPipe, &SignalPipe::terminate, &service, [&] { service.stop(); });
    QObject::connect(&signalPipe, &SignalPipe::hangUp, &service, [&] {
        ConfigError reloadError;
        std::optional<ServiceConfig> reloaded = readServiceConfig(configPath, &reloadError);
        if (!reloaded) {
            // A running service keeps going with what it had.
            std::fprintf(stderr, "qnlog: %s; the configuration stays as it was\n", qPrintable(reloadError.text()));
            service.reload(service.config());
            return;
        }
        csv.setSettings(csvSettings(*reloaded));
#ifdef QN_HAVE_MQTT
        // The broker's options hold until the next start; which units take commands follows now.
        if (mqtt)
            mqtt->setCommandUnits(reloaded->units);
#endif
        service.reload(*reloaded);
        std::fprintf(stderr, "qnlog: configuration read again, log files reopened\n");
    });
    QObject::connect(&service, &LogService::finished, &app, [&service] {
        std::fprintf(stderr, "qnlog: stopped after %llu readings; %llu periods were skipped (a unit late or away)\n",
                     static_cast<unsigned long long>(service.readings()),
                     static_cast<unsigned long long>(service.skippedPeriods()));
        QCoreApplication::exit(0);
    });
    service.start();
    const int status = app.exec();
    std::fflush(stderr);
    // The rows are written and the files closed. A session may still wait for a unit that
    // does not answer, a search for its replies: nothing of theirs needs keeping, so the
    // program ends without waiting for them.
    std::_Exit(status);
}
