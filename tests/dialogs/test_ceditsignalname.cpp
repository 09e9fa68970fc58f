#include "dialogs/ceditsignalname.h"
#include "dialogtestutil.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using qn::CEditSignalName;
using qn::test::control;

TEST(SignalNameDialog, ShowsTheNameAndReturnsTheEditedOne)
{
    CEditSignalName dlg;
    EXPECT_TRUE(dlg.name.isEmpty());
    dlg.name = QString::fromUtf8("温度");
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("信号名の編集"));
    QLineEdit *edit = control<QLineEdit>(dlg, "nameEdit");
    EXPECT_EQ(edit->text(), QString::fromUtf8("温度"));
    edit->selectAll();
    qn::test::typeText(edit, QString::fromUtf8("炉内温度"));
    control<QPushButton>(dlg, "okButton")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.name, QString::fromUtf8("炉内温度"));
}

TEST(SignalNameDialog, AcceptsSixteenTypedCharactersAndAnEmptyName)
{
    CEditSignalName dlg;
    dlg.show();
    QLineEdit *edit = control<QLineEdit>(dlg, "nameEdit");
    qn::test::typeText(edit, QString::fromUtf8("一二三四五六七八九十一二三四五六七"));
    EXPECT_EQ(edit->text(), QString::fromUtf8("一二三四五六七八九十一二三四五六"));
    dlg.accept();
    EXPECT_EQ(dlg.name.size(), 16);

    CEditSignalName empty;
    empty.name = "AI";
    empty.show();
    control<QLineEdit>(empty, "nameEdit")->clear();
    QTest::keyClick(control<QLineEdit>(empty, "nameEdit"), Qt::Key_Return);
    EXPECT_EQ(empty.result(), QDialog::Accepted);
    EXPECT_TRUE(empty.name.isEmpty());
}

TEST(SignalNameDialog, EscapeAndTheCloseBoxKeepTheOldName)
{
    for (bool escape : {true, false}) {
        CEditSignalName dlg;
        dlg.name = "pump";
        dlg.show();
        control<QLineEdit>(dlg, "nameEdit")->setText("fan");
        if (escape)
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(dlg.name, "pump");
    }
}

TEST(SignalNameDialog, TheEditHasAnAccessibleName)
{
    CEditSignalName dlg;
    EXPECT_FALSE(control<QLineEdit>(dlg, "nameEdit")->accessibleName().isEmpty());
}
