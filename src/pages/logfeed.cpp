#include "pages/logfeed.h"

#include <QCoreApplication>
#include <QLocale>

namespace qn {

void LogFeed::open()
{
    if (m_log.open() == ChannelLog::Result::OpenFailed && m_openFailed)
        m_openFailed();
}

void LogFeed::writeRow(const std::function<QString()> &header, const QStringList &fields)
{
    const bool wasFailing = m_log.writeFailing();
    if (m_log.writeRow(header, fields) == ChannelLog::Result::OpenFailed && m_openFailed)
        m_openFailed();
    if (m_log.writeFailing() != wasFailing && m_stateChanged)
        m_stateChanged(m_log.writeFailing(), m_log.firstLostRow());
}

QString LogFeed::writeErrorText(const QDateTime &firstLostRow)
{
    const QLocale locale = QLocale::system();
    return QCoreApplication::translate("qn::LogFeed", "ログ書き込みエラー (%1 %2 ～)")
        .arg(logDateText(firstLostRow.date(), locale), logTimeText(firstLostRow.time(), locale));
}

} // namespace qn
