#include "qnlog/csvlogsink.h"

#include "csvlog/csvrow.h"

#include "link/protocol.h"
#include "model/model.h"

#include <cstdio>

namespace qn::logsvc {

namespace {

QString text(const std::string &utf8)
{
    return QString::fromStdString(utf8);
}

std::string unitKey(const UnitIdentity &unit)
{
    return unit.address + ':' + std::to_string(unit.tcpPort);
}

// "QN-210" for the QN-220 too, as its window names its files.
QString logPrefix(const std::string &modelName)
{
    const std::optional<int> id = proto::modelIdFromName(modelName);
    const std::optional<Model> model = id ? modelFromId(*id) : std::nullopt;
    if (!model)
        return text(modelName);
    const std::string_view prefix = traits(*model).logPrefix;
    return QString::fromUtf8(prefix.data(), qsizetype(prefix.size()));
}

void report(const QString &line)
{
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

void reportOpenFailed(const ChannelLog &log)
{
    report(QStringLiteral("qnlog: cannot open the log file %1; its rows are lost until it can be opened")
               .arg(log.currentFileName()));
}

} // namespace

CsvLogSink::CsvLogSink(CsvLogSettings settings) : m_settings(std::move(settings)) {}

CsvLogSink::~CsvLogSink() = default;

CsvLogSink::UnitLog &CsvLogSink::logFor(const Reading &reading)
{
    UnitLog &entry = m_logs[unitKey(reading.unit)];
    // A unit replaced by another model or ID at the same address gets files of its own.
    if (entry.log && (entry.unit.model != reading.unit.model || entry.unit.unitId != reading.unit.unitId))
        entry.log.reset();
    if (!entry.log) {
        entry.unit = reading.unit;
        ChannelLogOptions options;
        options.enabled = true;
        options.folder = m_settings.folder;
        options.rowsPerFile = m_settings.rowsPerFile < 2 ? -1 : m_settings.rowsPerFile;
        options.modelPrefix = logPrefix(reading.unit.model);
        options.unitId = reading.unit.unitId;
        options.ipAddress = text(reading.unit.address);
        options.pageStart = localTimeOfSecond(
            std::chrono::duration_cast<std::chrono::seconds>(reading.time.time_since_epoch()).count());
        entry.log = std::make_unique<ChannelLog>(std::move(options), m_settings.locale);
        entry.header.clear();
        entry.names.clear();
        if (entry.log->open() == ChannelLog::Result::OpenFailed) {
            reportOpenFailed(*entry.log);
        }
    }
    return entry;
}

void CsvLogSink::take(const Reading &reading)
{
    UnitLog &entry = logFor(reading);
    ChannelLog &log = *entry.log;
    if (!log.enabled()) {
        // Open failed before (at start, at a change of file or after SIGHUP): try again.
        if (log.reopen() != ChannelLog::Result::Written)
            return;
        report(QStringLiteral("qnlog: writing to %1 again").arg(log.currentFileName()));
    }
    // The header is made again only when a signal was renamed in the settings file.
    std::vector<std::string> names;
    names.reserve(reading.channels.size() + reading.digitalInputs.size() + reading.digitalOutputs.size());
    for (const ChannelValue &ch : reading.channels)
        names.push_back(ch.signalName);
    for (const auto *states : {&reading.digitalInputs, &reading.digitalOutputs})
        for (const DigitalValue &d : *states)
            names.push_back(d.signalName);
    if (names != entry.names) {
        QString header = csvRowHeader(reading);
        if (header != entry.header && !entry.header.isEmpty())
            log.requestHeader();
        entry.header = std::move(header);
        entry.names = std::move(names);
    }
    const QString &header = entry.header;
    const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(reading.time.time_since_epoch()).count();
    const QDateTime time = localTimeOfSecond(ms >= 0 ? ms / 1000 : (ms - 999) / 1000);
    const bool wasFailing = log.writeFailing();
    const QString fileName = log.currentFileName();
    const ChannelLog::Result result = log.writeRowAt(time, [&] { return header; }, csvRowFields(reading));
    if (result == ChannelLog::Result::OpenFailed) {
        reportOpenFailed(log);
    } else if (log.writeFailing() && !wasFailing) {
        report(QStringLiteral("qnlog: cannot write to %1 (disk full?); rows are lost from %2 until writing works again")
                   .arg(fileName, time.toString(Qt::ISODate)));
    } else if (!log.writeFailing() && wasFailing) {
        report(QStringLiteral("qnlog: writing to %1 again").arg(fileName));
    }
}

void CsvLogSink::reopen()
{
    for (auto &[key, entry] : m_logs)
        if (entry.log && entry.log->reopen() == ChannelLog::Result::OpenFailed) {
            reportOpenFailed(*entry.log);
        }
}

void CsvLogSink::close()
{
    m_logs.clear();
}

void CsvLogSink::setSettings(CsvLogSettings settings)
{
    const bool same = settings.folder == m_settings.folder && settings.rowsPerFile == m_settings.rowsPerFile
        && settings.locale == m_settings.locale;
    m_settings = std::move(settings);
    if (!same)
        m_logs.clear();
}

QString CsvLogSink::currentFileName(const UnitIdentity &unit) const
{
    const auto it = m_logs.find(unitKey(unit));
    return it == m_logs.end() || !it->second.log ? QString() : it->second.log->currentFileName();
}

} // namespace qn::logsvc
