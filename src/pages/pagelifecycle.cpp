#include "pages/pagelifecycle.h"

#include "ui/messages.h"

#include <QWidget>

namespace qn {

// A message of a completion that is up: it holds the session's queue, pauses the page and
// holds a close until the operator dismisses it. `life` is cleared once it is over, or
// when the page goes first (its box may outlive the page's own destructor by a moment).
struct PageLifecycle::PendingMessage {
    PageLifecycle *life = nullptr;
    CompletionHold hold;
    std::unique_ptr<ModalScope> scope;
    bool timeout = false;
};

PageLifecycle::PageLifecycle(QWidget &page, std::function<void()> stopped)
    : m_page(page), m_stopped(std::move(stopped))
{
}

PageLifecycle::~PageLifecycle() { abandon(); }

void PageLifecycle::abandon()
{
    teardown();
    // Boxes still up go with the page's children: they must find the page gone and
    // their holds released already.
    for (const std::shared_ptr<PendingMessage> &message : std::exchange(m_pendingMessages, {})) {
        message->life = nullptr;
        message->scope.reset();
        message->hold.reset();
    }
}

void PageLifecycle::requestClose()
{
    m_closing = true;
    if (m_closed)
        return;
    if (m_busyDepth > 0) {
        // A completion or a message box of this page is still on the stack; finish
        // once it has returned (leaveBusy).
        m_closePending = true;
        return;
    }
    finishClose();
}

void PageLifecycle::leaveBusy()
{
    if (--m_busyDepth == 0 && m_closePending) {
        m_closePending = false;
        // Still inside the completion's call chain: stop the session from the event loop.
        QMetaObject::invokeMethod(&m_page, [this] { finishClose(); }, Qt::QueuedConnection);
    }
}

void PageLifecycle::finishClose()
{
    if (m_closed)
        return;
    if (m_busyDepth > 0) {
        m_closePending = true;
        return;
    }
    m_closed = true;
    m_stopped();
}

void PageLifecycle::showTimeoutMessage(const MessageText &text)
{
    if (m_timeoutMessagesUp > 0)
        return;
    showMessageOf(text, true);
}

void PageLifecycle::showMessageOf(const MessageText &text, bool timeout)
{
    // Only this page's own completion may be held: a handler of the page that runs inside
    // some other completion's call chain is not one.
    CompletionHold hold = m_callbackDepth > 0 ? holdCurrentCompletion() : CompletionHold();
    if (!hold) {
        ModalScope scope(*this);
        m_timeoutMessagesUp += timeout ? 1 : 0;
        qn::showMessage(&m_page, text);
        m_timeoutMessagesUp -= timeout ? 1 : 0;
        return;
    }
    auto message = std::make_shared<PendingMessage>();
    message->life = this;
    message->hold = std::move(hold);
    message->scope = std::make_unique<ModalScope>(*this);
    message->timeout = timeout;
    m_timeoutMessagesUp += timeout ? 1 : 0;
    m_pendingMessages.push_back(message);
    showMessageAsync(&m_page, text, [message] {
        if (PageLifecycle *life = message->life)
            life->messageDismissed(message);
    });
}

void PageLifecycle::messageDismissed(const std::shared_ptr<PendingMessage> &message)
{
    message->life = nullptr;
    std::erase(m_pendingMessages, message);
    m_timeoutMessagesUp -= message->timeout ? 1 : 0;
    // The page first (a close waiting for the message is queued), then the worker.
    message->scope.reset();
    message->hold.reset();
}

void PageLifecycle::dismissPendingMessages()
{
    messagePresenter().closeAsync(&m_page);
    // Whatever the presenter did not answer is answered here.
    for (const std::shared_ptr<PendingMessage> &message : std::vector(m_pendingMessages)) {
        if (message->life)
            messageDismissed(message);
    }
}

bool PageLifecycle::ask(const MessageText &text)
{
    ModalScope scope(*this);
    return askOkCancel(&m_page, text);
}

} // namespace qn
