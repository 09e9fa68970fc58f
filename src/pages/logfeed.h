#pragma once
// What a page hands its CSV log: rows with their header, and what becomes of them. An
// open failure is reported once per failure (openFailed); rows that stop reaching the
// file, and their coming back, go out as stateChanged with the time of the first lost
// row. Readings go on either way. GUI thread only.
#include "csvlog/channellog.h"

#include <QDateTime>

#include <functional>

namespace qn {

class LogFeed final {
public:
    using StateChanged = std::function<void(bool failing, const QDateTime &firstLostRow)>;

    LogFeed(ChannelLogOptions options, std::function<void()> openFailed, StateChanged stateChanged)
        : m_log(std::move(options)), m_openFailed(std::move(openFailed)), m_stateChanged(std::move(stateChanged))
    {
    }

    ChannelLog &log() { return m_log; }
    void open();
    // One row (header first when due).
    void writeRow(const std::function<QString()> &header, const QStringList &fields);

    // What the unit window shows while rows are being lost: "ログ書き込みエラー" with the
    // time of the first lost row, in the log's own date and time format.
    static QString writeErrorText(const QDateTime &firstLostRow);

private:
    ChannelLog m_log;
    std::function<void()> m_openFailed;
    StateChanged m_stateChanged;
};

} // namespace qn
