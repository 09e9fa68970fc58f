#include "pages/linkwatch.h"

#include <QCoreApplication>

namespace qn {

namespace {

QString clockText(const QDateTime &t) { return t.toString(QStringLiteral("HH:mm:ss")); }

} // namespace

QString LinkWatch::stateText() const
{
    switch (m_state) {
    case State::Unknown:
        return QCoreApplication::translate("qn::LinkWatch", "応答待ち");
    case State::Answering:
        return QCoreApplication::translate("qn::LinkWatch", "接続中");
    case State::NotAnswering:
        break;
    }
    return QCoreApplication::translate("qn::LinkWatch", "応答なし (%1 から)").arg(clockText(m_since));
}

QString LinkWatch::lastReadingText() const
{
    if (!m_lastReading.isValid())
        return {};
    return QCoreApplication::translate("qn::LinkWatch", "最終読み取り %1").arg(clockText(m_lastReading));
}

QString LinkWatch::outageText() const
{
    if (!outageUnseen())
        return {};
    return QCoreApplication::translate("qn::LinkWatch", "応答なし %1 – %2").arg(clockText(m_outageFrom), clockText(m_outageTo));
}

void LinkWatch::outageSeen()
{
    if (!outageUnseen())
        return;
    m_outageFrom = {};
    m_outageTo = {};
    if (m_hooks.changed)
        m_hooks.changed();
}

void LinkWatch::finished(bool ok, const QDateTime &now)
{
    m_inFlight = m_inFlight > 0 ? m_inFlight - 1 : 0;
    m_idleTicks = 0;
    const State was = m_state;
    if (ok) {
        m_state = State::Answering;
        if (was == State::Answering)
            return;
        if (was == State::NotAnswering) {
            if (!m_outageFrom.isValid())
                m_outageFrom = m_since;
            m_outageTo = now;
        }
        if (m_hooks.changed)
            m_hooks.changed();
        if (was == State::NotAnswering && m_hooks.reconnected)
            m_hooks.reconnected();
        return;
    }
    if (was == State::NotAnswering)
        return;
    m_state = State::NotAnswering;
    m_since = now;
    if (m_hooks.changed)
        m_hooks.changed();
}

void LinkWatch::readingArrived(const QDateTime &now)
{
    // The window shows the time to the second: tell it only when that changes, not with
    // every reading of a page that reads ten times a second.
    const bool newSecond =
        !m_lastReading.isValid() || m_lastReading.toSecsSinceEpoch() != now.toSecsSinceEpoch();
    m_lastReading = now;
    if (newSecond && m_hooks.changed)
        m_hooks.changed();
}

bool LinkWatch::tickWantsProbe()
{
    if (m_inFlight > 0) {
        m_idleTicks = 0;
        return false;
    }
    if (++m_idleTicks < kIdleProbeTicks)
        return false;
    m_idleTicks = 0;
    return true;
}

} // namespace qn
