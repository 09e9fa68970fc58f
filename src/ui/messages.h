#pragma once
// Every message box and question of the program goes through here, so tests can
// answer them without a modal loop. GUI thread only.
//
// A known limit: the boxes run nested event loops on the one GUI thread, so they return
// last-opened first. When unit window A shows a message and window B then opens its own,
// A's box can be dismissed, but A's call returns (and A's page goes on) only once B's box
// is gone too. Each window stays paused meanwhile; nothing is lost and nothing hangs
// while the operator answers the boxes.
#include <QString>

class QWidget;

namespace qn {

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // A message with an OK button; returns when it is dismissed.
    virtual void inform(QWidget *parent, const QString &text) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool confirm(QWidget *parent, const QString &text) = 0;
};

// The caption of every message box: the application's title.
QString applicationTitle();

// Replace the presenter (tests); nullptr puts the message boxes back.
void setMessagePresenter(MessagePresenter *presenter);
MessagePresenter &messagePresenter();

inline void showMessage(QWidget *parent, const QString &text) { messagePresenter().inform(parent, text); }
inline bool askOkCancel(QWidget *parent, const QString &text) { return messagePresenter().confirm(parent, text); }

} // namespace qn
