#include "pages/pageclock.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace qn {

namespace {

int g_joined = 0;
QPointer<QTimer> g_clock; // goes with the application

} // namespace

QTimer *PageClock::shared()
{
    if (!g_clock) {
        g_clock = new QTimer(QCoreApplication::instance());
        g_clock->setTimerType(Qt::PreciseTimer);
        g_clock->setInterval(kTickMs);
    }
    return g_clock;
}

int PageClock::joinedCount() { return g_joined; }

PageClock::PageClock(QObject *receiver, std::function<void()> tick)
    : m_receiver(receiver), m_tick(std::move(tick))
{
}

void PageClock::join()
{
    if (m_joined)
        return;
    m_joined = true;
    QTimer *clock = shared();
    m_connection = QObject::connect(clock, &QTimer::timeout, m_receiver, [this] { m_tick(); });
    if (++g_joined == 1)
        clock->start();
}

void PageClock::leave()
{
    if (!m_joined)
        return;
    m_joined = false;
    --g_joined;
    if (!g_clock)
        return; // gone with the application, and its connections with it
    QObject::disconnect(m_connection);
    if (g_joined == 0)
        g_clock->stop();
}

} // namespace qn
