#pragma once
// Every message box and question of the program goes through here, so tests can
// answer them without a modal loop. GUI thread only.
//
// inform and confirm run nested event loops on the one GUI thread, and nested loops return
// last-opened first. A unit window's completions therefore use informAsync: the box opens
// without a loop of its own, so each window goes on as soon as its own box is dismissed,
// whatever the order.
#include <QString>

#include <concepts>
#include <functional>
#include <utility>

class QWidget;

namespace qn {

// What a message says. Made from the function that translates it, a box says it again in
// the new language when the language changes while the box is up; a plain text (one that
// carries nothing translated) stays as it is.
class MessageText {
public:
    MessageText(QString fixed) : m_fixed(std::move(fixed)) {}
    template <std::invocable F>
        requires std::convertible_to<std::invoke_result_t<F>, QString>
    MessageText(F make) : m_make(std::move(make))
    {
    }
    // In the current language.
    QString text() const { return m_make ? m_make() : m_fixed; }

private:
    QString m_fixed;
    std::function<QString()> m_make;
};

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    // A message with an OK button; returns when it is dismissed.
    virtual void inform(QWidget *parent, const MessageText &text) = 0;
    // A question with OK and Cancel; true for OK.
    virtual bool confirm(QWidget *parent, const MessageText &text) = 0;
    // A message with an OK button that returns at once; `dismissed` runs exactly once, when
    // the operator has dismissed it or its box has gone unanswered (closeAsync, or the
    // parent destroyed). The default answers at once through inform.
    virtual void informAsync(QWidget *parent, const MessageText &text, std::function<void()> dismissed)
    {
        inform(parent, text);
        if (dismissed)
            dismissed();
    }
    // Dismisses the informAsync messages of `parent` still up (their `dismissed` runs).
    virtual void closeAsync(QWidget *parent) { (void)parent; }
};

// The program's name, "QN-VIEW": the caption of every message box.
QString applicationTitle();
// Marks window as the window of one unit, named as in its title
// ("QN-210(ID:3) - 127.0.0.11"): messages raised inside it, or in dialogs opened from it,
// name that unit in their caption, so boxes from several windows can be told apart.
void setMessageSourceName(QWidget *window, const QString &unitName);
// The caption of a message shown over parent: "QN-VIEW", or "QN-VIEW - <unit>" inside
// a unit's window.
QString messageTitle(const QWidget *parent);

// Replace the presenter (tests); nullptr puts the message boxes back.
void setMessagePresenter(MessagePresenter *presenter);
MessagePresenter &messagePresenter();

inline void showMessage(QWidget *parent, const MessageText &text) { messagePresenter().inform(parent, text); }
inline void showMessageAsync(QWidget *parent, const MessageText &text, std::function<void()> dismissed)
{
    messagePresenter().informAsync(parent, text, std::move(dismissed));
}
inline bool askOkCancel(QWidget *parent, const MessageText &text) { return messagePresenter().confirm(parent, text); }

} // namespace qn
