#include "dialogs/signalnamedialog.h"
#include "dialogs/dialogrunner.h"
#include "dialogtestutil.h"

#include <QLineEdit>

using qn::test::control;

namespace {
struct HandlerScope {
    explicit HandlerScope(qn::DialogHandler h) { qn::setDialogHandler(std::move(h)); }
    ~HandlerScope() { qn::setDialogHandler({}); }
};
} // namespace

TEST(DialogRunner, AHandlerPlaysTheOperatorWithoutAModalLoop)
{
    int calls = 0;
    HandlerScope scope([&](QDialog &d) {
        ++calls;
        EXPECT_TRUE(d.isVisible());
        // The fields are already in the controls when the handler runs.
        auto &dlg = dynamic_cast<qn::SignalNameDialog &>(d);
        QLineEdit *edit = control<QLineEdit>(dlg, "nameEdit");
        EXPECT_EQ(edit->text(), "old");
        edit->setText("new");
        dlg.accept();
    });
    qn::SignalNameDialog dlg("old");
    EXPECT_EQ(qn::runDialog(dlg), QDialog::Accepted);
    EXPECT_EQ(dlg.name(), "new");
    EXPECT_EQ(calls, 1);
}

TEST(DialogRunner, ADialogTheHandlerLeavesOpenIsCancelled)
{
    HandlerScope scope([](QDialog &d) { control<QLineEdit>(d, "nameEdit")->setText("new"); });
    qn::SignalNameDialog dlg("old");
    EXPECT_EQ(qn::runDialog(dlg), QDialog::Rejected);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.name(), "old");
}

TEST(DialogRunner, TheSameDialogCanRunTwice)
{
    int calls = 0;
    HandlerScope scope([&](QDialog &d) {
        ++calls;
        QLineEdit *edit = control<QLineEdit>(d, "nameEdit");
        if (calls == 2) {
            EXPECT_EQ(edit->text(), "second");
        }
        edit->setText("second");
        d.accept();
    });
    qn::SignalNameDialog dlg("first");
    EXPECT_EQ(qn::runDialog(dlg), QDialog::Accepted);
    EXPECT_EQ(qn::runDialog(dlg), QDialog::Accepted);
    EXPECT_EQ(calls, 2);
}

TEST(DialogRunner, SettingsDialogsBlockOnlyTheirOwnWindow)
{
    qn::SignalNameDialog dlg;
    EXPECT_EQ(dlg.windowModality(), Qt::WindowModal);
}
