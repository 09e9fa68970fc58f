#pragma once
// The clock every page ticks on, every 100 ms. The windows' ticks then cost the program
// one wake-up instead of one each, and waking up is most of what a tick costs. The clock
// runs while at least one page has joined it. GUI thread only.
#include <QMetaObject>

#include <functional>

class QObject;
class QTimer;

namespace qn {

class PageClock final {
public:
    static constexpr int kTickMs = 100;

    // tick runs on every beat while joined; the connection goes with receiver.
    PageClock(QObject *receiver, std::function<void()> tick);
    ~PageClock() { leave(); }
    PageClock(const PageClock &) = delete;
    PageClock &operator=(const PageClock &) = delete;

    void join();
    void leave();
    bool joined() const { return m_joined; }

    // The shared timer (made on first use; it goes with the application).
    static QTimer *shared();
    static int joinedCount();

private:
    QObject *m_receiver;
    std::function<void()> m_tick;
    QMetaObject::Connection m_connection;
    bool m_joined = false;
};

} // namespace qn
