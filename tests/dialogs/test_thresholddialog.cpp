#include "dialogs/thresholddialog.h"
#include "dialogtestutil.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using qn::LedThresholds;
using qn::ThresholdDialog;
using qn::test::control;

namespace {

struct ThresholdDialogTest : ::testing::Test {
    qn::test::PresenterScope messages;
    std::unique_ptr<ThresholdDialog> shown;
    QLineEdit *lowEdit = nullptr, *highEdit = nullptr;
    QCheckBox *outsideCheck = nullptr;

    ThresholdDialog &open(const LedThresholds &thresholds = {})
    {
        shown = std::make_unique<ThresholdDialog>(thresholds);
        lowEdit = control<QLineEdit>(*shown, "lowEdit");
        highEdit = control<QLineEdit>(*shown, "highEdit");
        outsideCheck = control<QCheckBox>(*shown, "outsideCheck");
        shown->show();
        return *shown;
    }
};

} // namespace

TEST_F(ThresholdDialogTest, OpensWithTheValuesInSixDecimalsAndTheFlag)
{
    ThresholdDialog &dlg = open({1.5, 2.5, true});
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
    open({-10.0, -0.0001, false});
    EXPECT_EQ(lowEdit->text(), "-10.000000");
    EXPECT_EQ(highEdit->text(), "-0.000100");
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(ThresholdDialogTest, ALetterAfterTheNumberShowsOneMessageAndIsDropped)
{
    open();
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
    open();
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
        ThresholdDialog &d = open({0.0, 0.0, !c.outside}); // the tick box is changed in the dialog
        control<QLineEdit>(d, "lowEdit")->setText(QString::fromLatin1(c.low));
        control<QLineEdit>(d, "highEdit")->setText(QString::fromLatin1(c.high));
        control<QCheckBox>(d, "outsideCheck")->setChecked(c.outside);
        control<QPushButton>(d, "okButton")->click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_DOUBLE_EQ(d.thresholds().low, c.lowValue) << c.low;
        EXPECT_DOUBLE_EQ(d.thresholds().high, c.highValue) << c.high;
        EXPECT_EQ(d.thresholds().ledOutside, c.flag != 0);
    }
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(ThresholdDialogTest, TheCheckBoxTogglesFromTheKeyboard)
{
    ThresholdDialog &dlg = open({0.0, 0.0, true});
    QTest::keyClick(outsideCheck, Qt::Key_Space);
    dlg.accept();
    EXPECT_FALSE(dlg.thresholds().ledOutside);
}

TEST_F(ThresholdDialogTest, CancelLeavesTheFields)
{
    ThresholdDialog &dlg = open({1.0, 2.0, false});
    lowEdit->setText("9");
    outsideCheck->setChecked(true);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_DOUBLE_EQ(dlg.thresholds().low, 1.0);
    EXPECT_DOUBLE_EQ(dlg.thresholds().high, 2.0);
    EXPECT_FALSE(dlg.thresholds().ledOutside);
}

TEST_F(ThresholdDialogTest, LabelsNameTheirEditsAndTabOrderFollowsTheForm)
{
    ThresholdDialog &dlg = open();
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
    ThresholdDialog &dlg = open({0.0000030517578125, -0.0999969482421875, false});
    EXPECT_EQ(lowEdit->text(), "0.000003");
    dlg.accept();
    EXPECT_EQ(dlg.thresholds().low, 0.0000030517578125);
    EXPECT_EQ(dlg.thresholds().high, -0.0999969482421875);

    ThresholdDialog &d = open({0.0000030517578125, 0.0, false});
    lowEdit->setText("0.000004");
    d.accept();
    EXPECT_DOUBLE_EQ(d.thresholds().low, 0.000004);
}
