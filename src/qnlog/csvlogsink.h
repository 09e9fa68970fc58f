#pragma once
// The CSV logs of the logging service: one file (or one rotation of files) per unit, in the
// unit window's format, written by the same writer and the same row builder (csvlog/csvrow.h). A file that cannot be opened or written
// is reported once on standard error and tried again with the next reading; writing resumes
// with a header line.
#include "csvlog/channellog.h"
#include "qnlog/reading.h"

#include <QLocale>

#include <map>
#include <memory>

namespace qn::logsvc {

struct CsvLogSettings {
    QString folder;
    int rowsPerFile = 0;  // below 2: one file per unit
    QLocale locale = QLocale::system();
};

class CsvLogSink final : public ReadingSink {
public:
    explicit CsvLogSink(CsvLogSettings settings);
    ~CsvLogSink() override;

    void take(const Reading &reading) override;
    void unitStateChanged(const UnitIdentity &, bool) override {}
    void reopen() override;
    void close() override;
    // A new folder, rotation or locale (the configuration was read again): files are
    // started afresh with the next readings.
    void setSettings(CsvLogSettings settings);

    // The file the unit's next row goes to (empty before its first reading).
    QString currentFileName(const UnitIdentity &unit) const;

private:
    struct UnitLog {
        UnitIdentity unit;
        std::unique_ptr<ChannelLog> log;
        QString header;                 // the last header line written or due
        std::vector<std::string> names; // the signal names it was made from
    };
    UnitLog &logFor(const Reading &reading);

    CsvLogSettings m_settings;
    std::map<std::string, UnitLog> m_logs; // by "address:port"
};

} // namespace qn::logsvc
