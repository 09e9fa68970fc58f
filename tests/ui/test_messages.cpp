// The message boxes themselves: caption, icon and text, as the operator sees them.
#include "ui/messages.h"

#include <QDialog>
#include <QMessageBox>
#include <QWidget>

#include <gtest/gtest.h>

namespace qn {
namespace {

// Opens the message without a modal loop and returns the box that came up over parent.
QMessageBox *shownBox(QWidget *parent, const QString &text, bool *dismissed)
{
    showMessageAsync(parent, text, [dismissed] { *dismissed = true; });
    return parent->findChild<QMessageBox *>(QString(), Qt::FindDirectChildrenOnly);
}

TEST(Messages, CaptionNamesTheProgramAndTheUnitWhoseWindowRaisedIt)
{
    QWidget mainWindow;
    QWidget unitWindow;
    setMessageSourceName(&unitWindow, QStringLiteral("QN-210(ID:3) - 127.0.0.11"));
    auto *page = new QWidget(&unitWindow);
    // A dialog opened from the page is a window of its own, still that unit's.
    auto *dialog = new QDialog(page);
    const QString text = QStringLiteral("タイムアウトしました。");
    struct Case {
        QWidget *parent;
        QString title;
    } const cases[] = {
        {&mainWindow, QStringLiteral("QN-VIEW")},
        {page, QStringLiteral("QN-VIEW - QN-210(ID:3) - 127.0.0.11")},
        {dialog, QStringLiteral("QN-VIEW - QN-210(ID:3) - 127.0.0.11")},
    };
    for (const Case &c : cases) {
        bool dismissed = false;
        QMessageBox *box = shownBox(c.parent, text, &dismissed);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->windowTitle(), c.title);
        EXPECT_EQ(box->text(), text);
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_FALSE(box->iconPixmap().isNull());
        messagePresenter().closeAsync(box->parentWidget());
        EXPECT_TRUE(dismissed);
    }
}

} // namespace
} // namespace qn
