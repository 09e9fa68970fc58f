#include "linkqt/guidispatcher.h"

#include <QCoreApplication>
#include <QEvent>

namespace qn {

namespace {

const QEvent::Type kCompletionEvent = QEvent::Type(QEvent::registerEventType());

// Owns the completion; Qt deletes it with the receiver if it never gets delivered,
// and the completion's destructor then opens the worker's gate.
class CompletionEvent final : public QEvent {
public:
    explicit CompletionEvent(Completion completion)
        : QEvent(kCompletionEvent), m_completion(std::move(completion)) {}
    void run() { m_completion.run(); }

private:
    Completion m_completion;
};

} // namespace

GuiDispatcher::GuiDispatcher(QObject *parent) : QObject(parent) {}

GuiDispatcher::~GuiDispatcher()
{
    // Pending completion events are deleted by QObject's destructor; doing it here
    // already keeps a worker from waiting on a half-destroyed receiver.
    QCoreApplication::removePostedEvents(this, kCompletionEvent);
}

void GuiDispatcher::dispatch(Completion completion)
{
    QCoreApplication::postEvent(this, new CompletionEvent(std::move(completion)));
}

bool GuiDispatcher::event(QEvent *event)
{
    if (event->type() == kCompletionEvent) {
        static_cast<CompletionEvent *>(event)->run();
        return true;
    }
    return QObject::event(event);
}

} // namespace qn
