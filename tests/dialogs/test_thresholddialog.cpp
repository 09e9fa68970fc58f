#include "dialogs/thresholddialog.h"
#include "dialogtestutil.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using qn::ThresholdDialog;
using qn::test::control;

namespace {

struct ThresholdDialogTest : ::testing::Test {
    qn::test::PresenterScope messages;
    ThresholdDialog dlg;
    QLineEdit *lowEdit = control<QLineEdit>(dlg, "lowEdit");
    QLineEdit *highEdit = control<QLineEdit>(dlg, "highEdit");
    QCheckBox *outsideCheck = control<QCheckBox>(dlg, "outsideCheck");
};

} // namespace

TEST_F(ThresholdDialogTest, OpensWithTheValuesInSixDecimalsAndTheFlag)
{
    dlg.low = 1.5;
    dlg.high = 2.5;
    dlg.ledOutside = 1;
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("LED点灯閾値設定(生値)"));
    EXPECT_EQ(lowEdit->text(), "1.500000");
    EXPECT_EQ(highEdit->text(), "2.500000");
    EXPECT_TRUE(outsideCheck->isChecked());
    EXPECT_EQ(outsideCheck->text(), QString::fromUtf8("範囲外にあるときにLED点灯"));
    EXPECT_EQ(control<QLabel>(dlg, "lowLabel")->text(), QString::fromUtf8("ロー"));
    EXPECT_EQ(control<QLabel>(dlg, "highLabel")->text(), QString::fromUtf8("ハイ"));
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(ThresholdDialogTest, NegativeValuesOpenWithoutAMessage)
{
    dlg.low = -10.0;
    dlg.high = -0.0001;
    dlg.show();
    EXPECT_EQ(lowEdit->text(), "-10.000000");
    EXPECT_EQ(highEdit->text(), "-0.000100");
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(ThresholdDialogTest, ALetterAfterTheNumberShowsOneMessageAndIsDropped)
{
    dlg.show();
    for (QLineEdit *edit : {lowEdit, highEdit}) {
        messages.presenter.messages.clear();
        edit->setText("1.2");
        edit->end(false);
        QTest::keyClicks(edit, "k");
        EXPECT_EQ(edit->text(), "1.2");
        ASSERT_EQ(messages.presenter.messages.size(), 1);
        EXPECT_EQ(messages.presenter.messages[0], qn::test::kNotANumber);
    }
}

TEST_F(ThresholdDialogTest, PastedTextKeepsItsNumericPrefix)
{
    dlg.show();
    lowEdit->selectAll();
    lowEdit->insert("-3.5V");
    EXPECT_EQ(lowEdit->text(), "-3.5");
    EXPECT_EQ(messages.presenter.messages.size(), 1);
}

TEST_F(ThresholdDialogTest, OkReadsValuesLenientlyAndTheFlag)
{
    struct Case { const char *low; const char *high; bool outside; double lowValue; double highValue; int flag; };
    const Case cases[] = {
        {"1-2", "3", false, 1.0, 3.0, 0},
        {".", "-", true, 0.0, 0.0, 1},
        {"5", "-5", false, 5.0, -5.0, 0}, // inverted bands are the page's business
        {"", "0.0039", true, 0.0, 0.0039, 1},
    };
    for (const Case &c : cases) {
        ThresholdDialog d;
        d.ledOutside = c.outside ? 0 : 1; // the tick box is changed in the dialog
        d.show();
        control<QLineEdit>(d, "lowEdit")->setText(QString::fromLatin1(c.low));
        control<QLineEdit>(d, "highEdit")->setText(QString::fromLatin1(c.high));
        control<QCheckBox>(d, "outsideCheck")->setChecked(c.outside);
        control<QPushButton>(d, "okButton")->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_DOUBLE_EQ(d.low, c.lowValue) << c.low;
        EXPECT_DOUBLE_EQ(d.high, c.highValue) << c.high;
        EXPECT_EQ(d.ledOutside, c.flag);
    }
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(ThresholdDialogTest, TheCheckBoxTogglesFromTheKeyboard)
{
    dlg.ledOutside = 1;
    dlg.show();
    QTest::keyClick(outsideCheck, Qt::Key_Space);
    dlg.accept();
    EXPECT_EQ(dlg.ledOutside, 0);
}

TEST_F(ThresholdDialogTest, CancelLeavesTheFields)
{
    dlg.low = 1.0;
    dlg.high = 2.0;
    dlg.ledOutside = 0;
    dlg.show();
    lowEdit->setText("9");
    outsideCheck->setChecked(true);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_DOUBLE_EQ(dlg.low, 1.0);
    EXPECT_DOUBLE_EQ(dlg.high, 2.0);
    EXPECT_EQ(dlg.ledOutside, 0);
}

TEST_F(ThresholdDialogTest, LabelsNameTheirEditsAndTabOrderFollowsTheForm)
{
    EXPECT_EQ(control<QLabel>(dlg, "lowLabel")->buddy(), lowEdit);
    EXPECT_EQ(control<QLabel>(dlg, "highLabel")->buddy(), highEdit);
    EXPECT_EQ(qn::test::nextTabStop(lowEdit), highEdit);
    EXPECT_EQ(qn::test::nextTabStop(highEdit), outsideCheck);
    EXPECT_EQ(qn::test::nextTabStop(outsideCheck), control<QPushButton>(dlg, "okButton"));
}

TEST_F(ThresholdDialogTest, ValuesLeftAsShownComeBackUnrounded)
{
    // One threshold step on the 100 mV range is about 3 microvolts: six decimals would
    // move it. Untouched values must come back exactly.
    dlg.low = 0.0000030517578125;
    dlg.high = -0.0999969482421875;
    dlg.show();
    EXPECT_EQ(lowEdit->text(), "0.000003");
    dlg.accept();
    EXPECT_EQ(dlg.low, 0.0000030517578125);
    EXPECT_EQ(dlg.high, -0.0999969482421875);

    ThresholdDialog d;
    d.low = 0.0000030517578125;
    d.show();
    control<QLineEdit>(d, "lowEdit")->setText("0.000004");
    d.accept();
    EXPECT_DOUBLE_EQ(d.low, 0.000004);
}
