#include "dialogs/thermocoupledialog.h"
#include "dialogtestutil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

using qn::ThermocoupleDialog;
using qn::test::control;

TEST(ThermocoupleDialog, ListsAndBoxesShowTheFields)
{
    ThermocoupleDialog dlg;
    EXPECT_EQ(dlg.windowTitle(), "熱電対測定設定");
    QComboBox *types = control<QComboBox>(dlg, "typeList");
    const QStringList expected{"K熱電対", "J熱電対", "T熱電対", "E熱電対", "N熱電対", "R熱電対", "S熱電対", "B熱電対"};
    ASSERT_EQ(types->count(), expected.size());
    for (int i = 0; i < types->count(); ++i)
        EXPECT_EQ(types->itemText(i), expected[i]);
    QComboBox *burnout = control<QComboBox>(dlg, "burnoutOutputList");
    ASSERT_EQ(burnout->count(), 2);
    EXPECT_EQ(burnout->itemText(0), "最低値");
    EXPECT_EQ(burnout->itemText(1), "最高値");

    struct Case { int type, flags, burnoutOutput; const char *typeText; bool cold, detect; };
    const Case cases[] = {{7, 3, 1, "B熱電対", true, true},
                          {0, 1, 0, "K熱電対", true, false},
                          {1, 6, 0, "J熱電対", false, true}}; // bit 2 is not the dialog's
    for (const Case &c : cases) {
        ThermocoupleDialog shown({c.type, c.flags, c.burnoutOutput});
        shown.show();
        EXPECT_EQ(control<QComboBox>(shown, "typeList")->currentText(), c.typeText);
        EXPECT_EQ(control<QComboBox>(shown, "burnoutOutputList")->currentIndex(), c.burnoutOutput);
        EXPECT_EQ(control<QCheckBox>(shown, "coldJunctionCheck")->isChecked(), c.cold) << c.flags;
        EXPECT_EQ(control<QCheckBox>(shown, "burnoutCheck")->isChecked(), c.detect) << c.flags;
    }
}

TEST(ThermocoupleDialog, OkReturnsTheChoicesAndOnlyTheTwoFlagBits)
{
    struct Case { bool cold, detect; int flags; };
    const Case cases[] = {{false, false, 0}, {true, false, 1}, {false, true, 2}, {true, true, 3}};
    for (const Case &c : cases) {
        ThermocoupleDialog dlg({0, 7, 0});
        dlg.show();
        control<QCheckBox>(dlg, "coldJunctionCheck")->setChecked(c.cold);
        control<QCheckBox>(dlg, "burnoutCheck")->setChecked(c.detect);
        control<QComboBox>(dlg, "typeList")->setCurrentIndex(5);
        control<QComboBox>(dlg, "burnoutOutputList")->setCurrentIndex(1);
        control<QPushButton>(dlg, "okButton")->click();
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        const qn::ThermocoupleChoice chosen = dlg.choice();
        EXPECT_EQ(chosen.flags, c.flags);
        EXPECT_EQ(chosen.type, 5);
        EXPECT_EQ(chosen.burnoutOutput, 1);
    }
}

TEST(ThermocoupleDialog, EscapeAndTheCloseBoxLeaveTheFields)
{
    for (bool byEscape : {true, false}) {
        ThermocoupleDialog dlg({2, 3, 1});
        dlg.show();
        control<QCheckBox>(dlg, "coldJunctionCheck")->setChecked(false);
        control<QComboBox>(dlg, "typeList")->setCurrentIndex(4);
        if (byEscape)
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            dlg.close();
        EXPECT_EQ(dlg.result(), QDialog::Rejected);
        const qn::ThermocoupleChoice kept = dlg.choice();
        EXPECT_EQ(kept.type, 2);
        EXPECT_EQ(kept.flags, 3);
        EXPECT_EQ(kept.burnoutOutput, 1);
    }
}
