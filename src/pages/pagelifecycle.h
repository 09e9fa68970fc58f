#pragma once
// A page's life from open to closed: the closing / busy / paused state and the operator
// messages that hold it. A close while the page is busy (a completion of the page on the
// stack, a message of a completion up holding the session's queue, a dialog or message
// box open) waits until the busy part is over; then stopped runs once (the page stops its
// session and says it is closed).
//
// Messages go through the program's presenter with the page paused meanwhile. Inside a
// completion a message returns at once and holds the session's queue (and the pause and
// any close) until the operator dismisses it: no nested event loop, so the other units'
// windows are not tied to it. Elsewhere it returns once dismissed. GUI thread only.
#include "link/unitsession.h"
#include "ui/messages.h"

#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace qn {

class PageLifecycle final {
public:
    PageLifecycle(QWidget &page, std::function<void()> stopped);
    ~PageLifecycle();
    PageLifecycle(const PageLifecycle &) = delete;
    PageLifecycle &operator=(const PageLifecycle &) = delete;

    // Marks the page closing; stops at once unless busy, otherwise once the busy part is
    // over. Safe to call more than once.
    void requestClose();
    // The page is going: first nothing may wait for it any more (teardown), then, once its
    // session has stopped, messages still up find it gone (abandon).
    void teardown()
    {
        m_closing = true;
        m_closePending = false;
    }
    void abandon();
    bool isClosing() const { return m_closing; }
    bool isClosed() const { return m_closed; }
    bool paused() const { return m_pauseDepth > 0; }
    bool busy() const { return m_busyDepth > 0; }
    int completionsRun() const { return m_completionsRun; }

    void showMessage(const MessageText &text) { showMessageOf(text, false); }
    // At most one time-out message of the page is up at a time.
    void showTimeoutMessage(const MessageText &text);
    bool ask(const MessageText &text);
    // Messages of completions now up, and the program-exit way of answering them all.
    int pendingMessages() const { return int(m_pendingMessages.size()); }
    void dismissPendingMessages();

    // Held around anything that runs a nested event loop or leaves a message up: the page
    // is paused and a close waits. Scopes may end in any order.
    class ModalScope final {
    public:
        explicit ModalScope(PageLifecycle &life) : m_life(life)
        {
            ++m_life.m_pauseDepth;
            m_life.enterBusy();
        }
        ~ModalScope()
        {
            --m_life.m_pauseDepth;
            m_life.leaveBusy();
        }
        ModalScope(const ModalScope &) = delete;
        ModalScope &operator=(const ModalScope &) = delete;

    private:
        PageLifecycle &m_life;
    };

    // Held around a settings dialog: a close waits, but the page is not paused.
    class BusyScope final {
    public:
        explicit BusyScope(PageLifecycle &life) : m_life(life) { m_life.enterBusy(); }
        ~BusyScope() { m_life.leaveBusy(); }
        BusyScope(const BusyScope &) = delete;
        BusyScope &operator=(const BusyScope &) = delete;

    private:
        PageLifecycle &m_life;
    };

    // Held around one completion of the page: busy, and its messages hold the session.
    class CallbackScope final {
    public:
        explicit CallbackScope(PageLifecycle &life) : m_life(life)
        {
            ++m_life.m_completionsRun;
            ++m_life.m_callbackDepth;
            m_life.enterBusy();
        }
        ~CallbackScope()
        {
            --m_life.m_callbackDepth;
            m_life.leaveBusy();
        }
        CallbackScope(const CallbackScope &) = delete;
        CallbackScope &operator=(const CallbackScope &) = delete;

    private:
        PageLifecycle &m_life;
    };

private:
    struct PendingMessage;
    void enterBusy() { ++m_busyDepth; }
    void leaveBusy();
    void finishClose();
    void showMessageOf(const MessageText &text, bool timeout);
    void messageDismissed(const std::shared_ptr<PendingMessage> &message);

    QWidget &m_page;
    std::function<void()> m_stopped;
    bool m_closing = false;
    bool m_closed = false;
    bool m_closePending = false;
    int m_pauseDepth = 0;
    int m_busyDepth = 0;
    int m_callbackDepth = 0;
    int m_timeoutMessagesUp = 0;
    int m_completionsRun = 0;
    std::vector<std::shared_ptr<PendingMessage>> m_pendingMessages;
};

} // namespace qn
