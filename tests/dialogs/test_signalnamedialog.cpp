#include "dialogs/signalnamedialog.h"
#include "dialogtestutil.h"

#include "common/cp932.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using qn::SignalNameDialog;
using qn::test::control;

TEST(SignalNameDialog, ShowsTheNameAndReturnsTheEditedOne)
{
    EXPECT_TRUE(SignalNameDialog().name().isEmpty());
    SignalNameDialog dlg(QString::fromUtf8("温度"));
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("信号名の編集"));
    QLineEdit *edit = control<QLineEdit>(dlg, "nameEdit");
    EXPECT_EQ(edit->text(), QString::fromUtf8("温度"));
    edit->selectAll();
    qn::test::typeText(edit, QString::fromUtf8("炉内温度"));
    control<QPushButton>(dlg, "okButton")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.name(), QString::fromUtf8("炉内温度"));
}

TEST(SignalNameDialog, AcceptsSixteenTypedCharactersAndAnEmptyName)
{
    SignalNameDialog dlg;
    dlg.show();
    QLineEdit *edit = control<QLineEdit>(dlg, "nameEdit");
    qn::test::typeText(edit, "ABCDEFGHIJKLMNOPQ");
    EXPECT_EQ(edit->text(), "ABCDEFGHIJKLMNOP");
    dlg.accept();
    EXPECT_EQ(dlg.name().size(), 16);

    SignalNameDialog empty("AI");
    empty.show();
    control<QLineEdit>(empty, "nameEdit")->clear();
    QTest::keyClick(control<QLineEdit>(empty, "nameEdit"), Qt::Key_Return);
    EXPECT_EQ(empty.result(), QDialog::Accepted);
    EXPECT_TRUE(empty.name().isEmpty());
}

TEST(SignalNameDialog, EscapeAndTheCloseBoxKeepTheOldName)
{
    for (bool escape : {true, false}) {
        SignalNameDialog dlg("pump");
        dlg.show();
        control<QLineEdit>(dlg, "nameEdit")->setText("fan");
        if (escape)
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        EXPECT_EQ(dlg.name(), "pump");
    }
}

TEST(SignalNameDialog, TheEditHasAnAccessibleName)
{
    SignalNameDialog dlg;
    EXPECT_FALSE(control<QLineEdit>(dlg, "nameEdit")->accessibleName().isEmpty());
}

TEST(SignalNameDialog, StopsWhereTheSettingsFileWouldCutTheName)
{
    // The file keeps 31 bytes: fifteen double-byte characters, or one more single-byte one.
    struct Case { const char *typed; const char *kept; };
    const Case cases[] = {
        {"一二三四五六七八九十一二三四五六七", "一二三四五六七八九十一二三四五"},
        {"一二三四五六七八九十一二三四五AB", "一二三四五六七八九十一二三四五A"},
        {"ｱｲｳｴｵｶｷｸｹｺｱｲｳｴｵｶｷ", "ｱｲｳｴｵｶｷｸｹｺｱｲｳｴｵｶ"}, // half-width kana are one byte
    };
    for (const Case &c : cases) {
        SignalNameDialog dlg;
        dlg.show();
        QLineEdit *edit = control<QLineEdit>(dlg, "nameEdit");
        qn::test::typeText(edit, QString::fromUtf8(c.typed));
        EXPECT_EQ(edit->text(), QString::fromUtf8(c.kept)) << c.typed;
        EXPECT_LE(qn::toCp932(edit->text()).size(), SignalNameDialog::NameMaxBytes);
        dlg.accept();
        EXPECT_EQ(dlg.name(), QString::fromUtf8(c.kept));
    }
    // A pasted name that does not fit is refused as a whole, the old one stays.
    SignalNameDialog pasted("pump");
    pasted.show();
    QLineEdit *edit = control<QLineEdit>(pasted, "nameEdit");
    edit->selectAll();
    edit->insert(QString::fromUtf8("一二三四五六七八九十一二三四五六"));
    EXPECT_EQ(edit->text(), "pump");
}

TEST(SignalNameDialog, ANameLongerThanTheLimitIsKeptWhole)
{
    SignalNameDialog dlg(QString::fromUtf8("一二三四五六七八九十一二三四五六"));
    dlg.show();
    QLineEdit *edit = control<QLineEdit>(dlg, "nameEdit");
    EXPECT_EQ(edit->text(), dlg.name());
    QTest::keyClick(edit, Qt::Key_End);
    qn::test::typeText(edit, "x");
    EXPECT_EQ(edit->text(), dlg.name());
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text().size(), 15);
    dlg.accept();
    EXPECT_EQ(dlg.name().size(), 15);
}
