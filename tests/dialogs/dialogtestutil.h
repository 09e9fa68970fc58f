#pragma once
// Shared by the dialog tests: a presenter that records messages instead of showing
// boxes, and lookup of a dialog's controls by object name.
#include "ui/messages.h"

#include <QDialog>
#include <QKeyEvent>
#include <QApplication>
#include <QStringList>
#include <gtest/gtest.h>

namespace qn::test {

struct RecordingPresenter final : MessagePresenter {
    QStringList messages;
    void inform(QWidget *, const qn::MessageText &text) override { messages << text.text(); }
    bool confirm(QWidget *, const qn::MessageText &text) override { messages << text.text(); return true; }
};

// Installs a recording presenter for the life of a test.
class PresenterScope {
public:
    PresenterScope() { setMessagePresenter(&presenter); }
    ~PresenterScope() { setMessagePresenter(nullptr); }
    RecordingPresenter presenter;
};

template <typename T>
T *control(QWidget &dialog, const char *name)
{
    T *w = dialog.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

// Types text one character at a time, as key presses (any script, unlike QTest::keyClicks).
inline void typeText(QWidget *widget, const QString &text)
{
    for (const QChar ch : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(ch));
        QApplication::sendEvent(widget, &release);
    }
}

// Where Tab goes from w: the next widget in the focus chain that takes focus by Tab.
inline QWidget *nextTabStop(QWidget *w)
{
    QWidget *next = w->nextInFocusChain();
    while (next != w && !((next->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && next->isEnabled()))
        next = next->nextInFocusChain();
    return next;
}

inline const QString kNotANumber = QStringLiteral("数字以外は入力できません");

} // namespace qn::test
