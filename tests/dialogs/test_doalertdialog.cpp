#include "dialogs/doalertdialog.h"
#include "dialogs/dialogrunner.h"
#include "dialogs/doalertpicture.h"
#include "dialogtestutil.h"
#include "ui/accessibility.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

using qn::DoAlertDialog;
using qn::test::control;

namespace {

struct DoAlertDialogTest : ::testing::Test {
    qn::test::PresenterScope messages;
    qn::DoAlertInputs inputs = {{{0, 0x1000, 0x0800, 2},     // AI1 ±10 V, lit inside
                                 {1, 0x00FA, 0x0064, 6},     // AI2 thermocouple, 25 / 10 ℃, lit outside
                                 {0, 0x7FFF, 0x8000, 0}}};   // AI3 ±100 mV, the whole range
    std::unique_ptr<DoAlertDialog> dlg;
    QComboBox *inputCombo = nullptr;
    QComboBox *conditionCombo = nullptr;
    QComboBox *directionCombo = nullptr;
    QLineEdit *highEdit = nullptr;
    QLineEdit *lowEdit = nullptr;
    QLineEdit *widthEdit = nullptr;
    QLabel *caption = nullptr;
    qn::DoAlertPicture *picture = nullptr;

    DoAlertDialogTest() { open(0); }

    // A new dialog on the given monitored input and width, direction 0, with inputs.
    void open(int monitoredInput, int width = 0x0100)
    {
        qn::DoAlertChoice alert;
        alert.monitoredInput = monitoredInput;
        alert.hysteresisWidth = width;
        dlg = std::make_unique<DoAlertDialog>(alert, inputs);
        inputCombo = control<QComboBox>(*dlg, "monitoredInputCombo");
        conditionCombo = control<QComboBox>(*dlg, "ledConditionCombo");
        directionCombo = control<QComboBox>(*dlg, "directionCombo");
        highEdit = control<QLineEdit>(*dlg, "highEdit");
        lowEdit = control<QLineEdit>(*dlg, "lowEdit");
        widthEdit = control<QLineEdit>(*dlg, "widthEdit");
        caption = control<QLabel>(*dlg, "thresholdCaption");
        picture = control<qn::DoAlertPicture>(*dlg, "picture");
    }
    qn::DoAlertChoice chosen() const { return dlg->choice(); }

    QStringList labels()
    {
        QStringList out;
        for (int i = 1; i <= 7; ++i)
            out << control<QLabel>(*dlg, QStringLiteral("valueLabel%1").arg(i).toLatin1().constData())->text();
        return out;
    }
    static QStringList utf8(std::initializer_list<const char *> texts)
    {
        QStringList out;
        for (const char *t : texts)
            out << QString::fromUtf8(t);
        return out;
    }
    void retype(QLineEdit *edit, const QString &text)
    {
        edit->selectAll();
        edit->del();
        qn::test::typeText(edit, text);
    }
};

} // namespace

TEST_F(DoAlertDialogTest, OpensOnTheMonitoredInputWithItsPictureAndValues)
{
    dlg->show();
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8("DOアラート設定"));
    EXPECT_EQ(dlg->windowModality(), Qt::WindowModal);
    EXPECT_EQ(caption->text(), QString::fromUtf8("アナログ閾値 ( 電圧[±10V] )"));
    EXPECT_EQ(highEdit->text(), "1.250153");
    EXPECT_EQ(lowEdit->text(), "0.625153");
    EXPECT_EQ(widthEdit->text(), "0.078278");
    EXPECT_EQ(conditionCombo->currentText(), QString::fromUtf8("範囲内"));
    EXPECT_EQ(directionCombo->currentText(), QString::fromUtf8("消灯閾値優先"));
    EXPECT_EQ(picture->illustration(), 148);
    EXPECT_EQ(labels(), QStringList({"", " 1.2502 V", " 1.1720 V", "", " 0.7033 V", " 0.6252 V", ""}));
    EXPECT_EQ(qn::accessibleValueText(control<QLabel>(*dlg, "valueLabel2")), " 1.2502 V");
    EXPECT_TRUE(picture->accessibleDescription().contains(QString::fromUtf8("ヒステリシス領域")));
    EXPECT_EQ(chosen().highCode, 0x1000);
    EXPECT_EQ(chosen().lowCode, 0x0800);
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(DoAlertDialogTest, ChoosingAnotherInputReloadsItsConditionAndThresholds)
{
    dlg->show();
    inputCombo->setCurrentIndex(1);
    EXPECT_EQ(conditionCombo->currentIndex(), 1);
    EXPECT_EQ(caption->text(), QString::fromUtf8("アナログ閾値 ( 温度[℃] )"));
    EXPECT_EQ(highEdit->text(), "25.000000");
    EXPECT_EQ(lowEdit->text(), "10.000000");
    EXPECT_EQ(widthEdit->text(), "25.600000"); // the output's width, read on the new range
    EXPECT_EQ(picture->illustration(), 151);
    EXPECT_EQ(labels(), utf8({"  50.60 ℃", "  25.00 ℃", "", "", "", "  10.00 ℃", " -15.60 ℃"}));

    inputCombo->setCurrentIndex(0);
    EXPECT_EQ(conditionCombo->currentIndex(), 0);
    EXPECT_EQ(highEdit->text(), "1.250153");
    EXPECT_EQ(picture->illustration(), 148);
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(DoAlertDialogTest, TheWholeRangeLitInsideWithNoWidthIsAlwaysOn)
{
    open(2);
    dlg->show();
    EXPECT_EQ(highEdit->text(), "0.100000");
    EXPECT_EQ(lowEdit->text(), "-0.100000");
    retype(widthEdit, "0");
    EXPECT_EQ(chosen().hysteresisWidth, 0);
    EXPECT_EQ(picture->illustration(), 172);
    EXPECT_EQ(labels(), QStringList(7, QString()));
    EXPECT_EQ(chosen().highCode, 0x7FFF);
    EXPECT_EQ(chosen().lowCode, 0x8000);
}

TEST_F(DoAlertDialogTest, LowAtOrAboveHighShowsNoLabels)
{
    dlg->show();
    retype(highEdit, "0.5");
    retype(lowEdit, "0.6");
    EXPECT_EQ(picture->illustration(), 174);
    EXPECT_EQ(labels(), QStringList(7, QString()));
    conditionCombo->setCurrentIndex(1);
    EXPECT_EQ(chosen().ledCondition, 1);
    EXPECT_EQ(picture->illustration(), 171);
    EXPECT_EQ(labels(), QStringList(7, QString()));
}

TEST_F(DoAlertDialogTest, DirectionMovesTheBandAndItsLabels)
{
    dlg->show();
    directionCombo->setCurrentIndex(1);
    EXPECT_EQ(chosen().hysteresisDirection, 1);
    EXPECT_EQ(picture->illustration(), 144);
    EXPECT_EQ(labels(), QStringList({" 1.3283 V", " 1.2502 V", "", "", "", " 0.6252 V", " 0.5470 V"}));
}

TEST_F(DoAlertDialogTest, ALetterIsRefusedAndTheNumberBeforeItKept)
{
    dlg->show();
    retype(highEdit, "1a");
    EXPECT_EQ(highEdit->text(), "1");
    ASSERT_EQ(messages.presenter.messages.size(), 1);
    EXPECT_EQ(messages.presenter.messages[0], qn::test::kNotANumber);
    EXPECT_EQ(chosen().highCode, 0x0CCC);
}

TEST_F(DoAlertDialogTest, ValuesAreLimitedToTheRangeAndWrittenBack)
{
    struct Case { int input; const char *edit; const char *typed; const char *shown; };
    const Case cases[] = {
        {0, "highEdit", "12", "10.000000"},
        {0, "lowEdit", "-12", "-10.000000"},
        {0, "widthEdit", "25", "20.000000"},
        {1, "widthEdit", "7000", "6553.500000"},
        {1, "highEdit", "4000", "3276.700000"},
        {2, "highEdit", "1", "0.100000"},
    };
    for (const Case &c : cases) {
        open(c.input, 0);
        dlg->show();
        QLineEdit *edit = control<QLineEdit>(*dlg, c.edit);
        retype(edit, QString::fromLatin1(c.typed));
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.shown)) << c.edit << " " << c.typed;
    }
    inputs[0].range = 4; // current inputs have no negative thresholds
    open(0);
    dlg->show();
    retype(lowEdit, "-5");
    EXPECT_EQ(lowEdit->text(), "0.000000");
    EXPECT_EQ(chosen().lowCode, 0);
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(DoAlertDialogTest, ThermocoupleWidthsReachTheirLimitAndLabelsPrintInDegrees)
{
    open(1);
    dlg->show();
    retype(widthEdit, "6553.5");
    EXPECT_EQ(chosen().hysteresisWidth, 0xFFFF);
    EXPECT_EQ(picture->illustration(), 154); // the bands reach both ends of the range
    EXPECT_EQ(labels(), utf8({"", "  25.00 ℃", "", "", "", "  10.00 ℃", ""}));
    retype(widthEdit, "3000");
    EXPECT_EQ(picture->illustration(), 151);
    EXPECT_EQ(labels(), utf8({"3025.00 ℃", "  25.00 ℃", "", "", "", "  10.00 ℃", "-2990.00 ℃"}));
}

TEST_F(DoAlertDialogTest, OkThroughTheRunnerGivesTheEditedCodes)
{
    qn::setDialogHandler([](QDialog &d) {
        control<QComboBox>(d, "monitoredInputCombo")->setCurrentIndex(1);
        control<QComboBox>(d, "ledConditionCombo")->setCurrentIndex(0);
        control<QComboBox>(d, "directionCombo")->setCurrentIndex(1);
        control<QLineEdit>(d, "highEdit")->setText("30");
        control<QLineEdit>(d, "lowEdit")->setText("20");
        control<QLineEdit>(d, "widthEdit")->setText("1");
        QTest::keyClick(control<QPushButton>(d, "okButton"), Qt::Key_Space);
    });
    EXPECT_EQ(qn::runDialog(*dlg), QDialog::Accepted);
    qn::setDialogHandler({});
    EXPECT_EQ(chosen().monitoredInput, 1);
    EXPECT_EQ(chosen().hysteresisDirection, 1);
    EXPECT_EQ(chosen().ledCondition, 0);
    EXPECT_EQ(chosen().highCode, 300);
    EXPECT_EQ(chosen().lowCode, 200);
    EXPECT_EQ(chosen().hysteresisWidth, 10);
}

TEST_F(DoAlertDialogTest, OpeningAndOkChangeNoCodeNorDoesRetypingTheTextAsWritten)
{
    // Width 0x7FFF reads a hair below the full scale and prints as 0.100000 on the ±100 mV range,
    // which read back would be 0x8000.
    open(2, 0x7FFF);
    dlg->show();
    EXPECT_EQ(widthEdit->text(), "0.100000");
    retype(widthEdit, "0.05");
    EXPECT_NE(chosen().hysteresisWidth, 0x7FFF);
    retype(widthEdit, "0.100000"); // back to what the dialog wrote: back to the unit's code
    const QString highText = highEdit->text();
    retype(highEdit, "0.05");
    retype(highEdit, highText);
    QTest::keyClick(dlg.get(), Qt::Key_Return);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(chosen().hysteresisWidth, 0x7FFF);
    EXPECT_EQ(chosen().highCode, 0x7FFF);
    EXPECT_EQ(chosen().lowCode, 0x8000);
    EXPECT_EQ(chosen().monitoredInput, 2);
}

TEST_F(DoAlertDialogTest, ValuesStandOnTheLinesOfTheirMarks)
{
    dlg->show();
    for (int slot = 1; slot <= 7; ++slot) {
        QLabel *label = control<QLabel>(*dlg, QStringLiteral("valueLabel%1").arg(slot).toLatin1().constData());
        const int labelBottom = label->mapTo(dlg.get(), QPoint(0, label->height())).y();
        const int markY = picture->mapTo(dlg.get(), QPoint(0, qn::DoAlertPicture::slotY(slot))).y();
        EXPECT_NEAR(labelBottom, markY, 2) << slot;
        EXPECT_GE(label->mapTo(dlg.get(), QPoint(0, 0)).x(), picture->mapTo(dlg.get(), QPoint(picture->width(), 0)).x());
    }
}

TEST_F(DoAlertDialogTest, LabelsNameTheirControlsAndTabOrderFollowsTheForm)
{
    EXPECT_EQ(control<QLabel>(*dlg, "monitoredInputLabel")->buddy(), inputCombo);
    EXPECT_EQ(control<QLabel>(*dlg, "ledConditionLabel")->buddy(), conditionCombo);
    EXPECT_EQ(control<QLabel>(*dlg, "lowLabel")->buddy(), lowEdit);
    EXPECT_EQ(control<QLabel>(*dlg, "highLabel")->buddy(), highEdit);
    EXPECT_EQ(control<QLabel>(*dlg, "widthLabel")->buddy(), widthEdit);
    EXPECT_EQ(control<QLabel>(*dlg, "directionLabel")->buddy(), directionCombo);
    EXPECT_EQ(control<QGroupBox>(*dlg, "hysteresisBox")->title(), QString::fromUtf8("ヒステリシス"));
    QWidget *w = inputCombo;
    for (QWidget *next : std::initializer_list<QWidget *>{conditionCombo, lowEdit, highEdit, widthEdit, directionCombo,
                                                         control<QPushButton>(*dlg, "okButton")}) {
        EXPECT_EQ(qn::test::nextTabStop(w), next) << next->objectName().toStdString();
        w = next;
    }
}
