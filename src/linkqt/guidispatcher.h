#pragma once
// Runs a unit session's completions on the GUI thread. The worker posts each completion
// as an event to this object and waits until it has run and released any hold it took
// (holdCurrentCompletion): a page's message from a completion keeps one until the operator
// dismisses it, which holds the session's queue meanwhile. Deleting this
// object deletes the events still pending, which releases their workers unrun.
//
// Threads: dispatch() on a session worker; everything else on the GUI thread. Create it
// on the GUI thread and let it outlive the sessions that use it.
#include "link/unitsession.h"

#include <QObject>

namespace qn {

class GuiDispatcher final : public QObject, public CompletionDispatcher {
    Q_OBJECT
public:
    explicit GuiDispatcher(QObject *parent = nullptr);
    ~GuiDispatcher() override;

    void dispatch(Completion completion) override;

protected:
    bool event(QEvent *event) override;
};

} // namespace qn
