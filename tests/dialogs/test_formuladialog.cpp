#include "dialogs/formuladialog.h"
#include "dialogtestutil.h"
#include "../support/commalocale.h"
#include "common/numbertext.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using qn::FormulaDialog;
using qn::test::control;

namespace {

struct FormulaDialogTest : ::testing::Test {
    qn::test::PresenterScope messages;
    FormulaDialog dlg;
    QLineEdit *factorEdit = control<QLineEdit>(dlg, "factorEdit");
    QLineEdit *offsetEdit = control<QLineEdit>(dlg, "offsetEdit");
    QLineEdit *unitEdit = control<QLineEdit>(dlg, "unitEdit");
    QLineEdit *graphMinEdit = control<QLineEdit>(dlg, "graphMinEdit");
    QLineEdit *graphMaxEdit = control<QLineEdit>(dlg, "graphMaxEdit");

    void openForInputPage()
    {
        dlg.factorLabel = FormulaDialog::InputFactorLabel;
        dlg.resultLabel = FormulaDialog::InputResultLabel;
        dlg.unitLabel = FormulaDialog::InputUnitLabel;
        dlg.show();
    }
    // As a paste: the whole text arrives in one change.
    static void paste(QLineEdit *edit, const QString &text)
    {
        edit->selectAll();
        edit->insert(text);
    }
};

} // namespace

TEST_F(FormulaDialogTest, NewUnitShowsTheDefaultsWithSixDecimals)
{
    dlg.factor = 1.0;
    dlg.offset = 0.0;
    dlg.unit.clear();
    dlg.graphMin = 0.0;
    dlg.graphMax = 0.0;
    openForInputPage();
    EXPECT_EQ(factorEdit->text(), "1.000000");
    EXPECT_EQ(offsetEdit->text(), "0.000000");
    EXPECT_EQ(unitEdit->text(), "");
    EXPECT_EQ(graphMinEdit->text(), "0.000000");
    EXPECT_EQ(graphMaxEdit->text(), "0.000000");
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("換算式と単位の設定"));
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, LabelsFollowThePageKind)
{
    struct Case { QString factor, result, unit; };
    const Case cases[] = {
        {FormulaDialog::InputFactorLabel, FormulaDialog::InputResultLabel, FormulaDialog::InputUnitLabel},
        {FormulaDialog::OutputFactorLabel, FormulaDialog::OutputResultLabel, FormulaDialog::OutputUnitLabel},
    };
    EXPECT_EQ(FormulaDialog::InputFactorLabel, QString::fromUtf8("測定値 ×"));
    EXPECT_EQ(FormulaDialog::InputResultLabel, QString::fromUtf8("＝ 表示値"));
    EXPECT_EQ(FormulaDialog::InputUnitLabel, QString::fromUtf8("表示値の単位:"));
    EXPECT_EQ(FormulaDialog::OutputFactorLabel, QString::fromUtf8("出力設定値 ×"));
    EXPECT_EQ(FormulaDialog::OutputResultLabel, QString::fromUtf8("＝ 換算出力値"));
    EXPECT_EQ(FormulaDialog::OutputUnitLabel, QString::fromUtf8("換算出力値の単位:"));
    for (const Case &c : cases) {
        FormulaDialog d;
        d.factorLabel = c.factor;
        d.resultLabel = c.result;
        d.unitLabel = c.unit;
        d.show();
        EXPECT_EQ(control<QLabel>(d, "factorLabel")->text(), c.factor);
        EXPECT_EQ(control<QLabel>(d, "resultLabel")->text(), c.result);
        EXPECT_EQ(control<QLabel>(d, "unitLabel")->text(), c.unit);
        d.accept();
        EXPECT_EQ(d.factorLabel, c.factor);
    }
    EXPECT_EQ(control<QLabel>(dlg, "plusLabel")->text(), QString::fromUtf8("＋"));
    EXPECT_EQ(control<QLabel>(dlg, "graphRangeLabel")->text(), QString::fromUtf8("グラフ表示範囲"));
    EXPECT_EQ(control<QLabel>(dlg, "tildeLabel")->text(), QString::fromUtf8("～"));
}

TEST_F(FormulaDialogTest, OkReadsEveryFieldIncludingNegatives)
{
    openForInputPage();
    paste(factorEdit, "-2.5");
    paste(offsetEdit, "-0.125");
    paste(unitEdit, QString::fromUtf8("℃"));
    paste(graphMinEdit, "-50");
    paste(graphMaxEdit, "150.5");
    control<QPushButton>(dlg, "okButton")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(dlg.factor, -2.5);
    EXPECT_DOUBLE_EQ(dlg.offset, -0.125);
    EXPECT_EQ(dlg.unit, QString::fromUtf8("℃"));
    EXPECT_DOUBLE_EQ(dlg.graphMin, -50.0);
    EXPECT_DOUBLE_EQ(dlg.graphMax, 150.5);
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, FilterCutsAtTheFirstOtherCharacterWithOneMessage)
{
    struct Case { const char *typed; const char *kept; };
    const Case cases[] = {{"1.5e3", "1.5"}, {"12a34", "12"}, {"-3.5V", "-3.5"}, {"abc", ""}};
    openForInputPage();
    for (QLineEdit *edit : {factorEdit, offsetEdit, graphMinEdit, graphMaxEdit}) {
        for (const Case &c : cases) {
            messages.presenter.messages.clear();
            paste(edit, QString::fromLatin1(c.typed));
            EXPECT_EQ(edit->text(), QString::fromLatin1(c.kept)) << edit->objectName().toStdString() << " " << c.typed;
            ASSERT_EQ(messages.presenter.messages.size(), 1) << c.typed;
            EXPECT_EQ(messages.presenter.messages[0], qn::test::kNotANumber);
        }
    }
    // The unit is free text.
    messages.presenter.messages.clear();
    paste(unitEdit, "mA/s");
    EXPECT_EQ(unitEdit->text(), "mA/s");
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, TypingALetterKeepsWhatCameBefore)
{
    openForInputPage();
    factorEdit->clear();
    messages.presenter.messages.clear();
    QTest::keyClicks(factorEdit, "1.2x");
    EXPECT_EQ(factorEdit->text(), "1.2");
    EXPECT_EQ(messages.presenter.messages.size(), 1);
}

TEST_F(FormulaDialogTest, TextThatIsNoNumberReadsAsItsNumericPrefix)
{
    struct Case { const char *text; double value; };
    const Case cases[] = {{"1-2", 1.0}, {".", 0.0}, {"-", 0.0}, {"", 0.0}, {"--1", 0.0}, {"1..5", 1.0}, {"0", 0.0}};
    for (const Case &c : cases) {
        FormulaDialog d;
        d.show();
        paste(control<QLineEdit>(d, "factorEdit"), QString::fromLatin1(c.text));
        paste(control<QLineEdit>(d, "graphMaxEdit"), QString::fromLatin1(c.text));
        d.accept();
        EXPECT_DOUBLE_EQ(d.factor, c.value) << c.text;
        EXPECT_DOUBLE_EQ(d.graphMax, c.value) << c.text;
    }
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, TheDialogLeavesTheRangeCheckToThePage)
{
    dlg.graphMin = 5.0;
    dlg.graphMax = 5.0;
    openForInputPage();
    dlg.accept();
    EXPECT_DOUBLE_EQ(dlg.graphMin, 5.0);
    EXPECT_DOUBLE_EQ(dlg.graphMax, 5.0);
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, EscapeAndTheCloseBoxChangeNothing)
{
    for (bool escape : {true, false}) {
        FormulaDialog d;
        d.factor = 2.0;
        d.unit = "V";
        d.show();
        paste(control<QLineEdit>(d, "factorEdit"), "7");
        paste(control<QLineEdit>(d, "unitEdit"), "kPa");
        if (escape)
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_FALSE(d.isVisible());
        EXPECT_DOUBLE_EQ(d.factor, 2.0);
        EXPECT_EQ(d.unit, "V");
    }
}

TEST_F(FormulaDialogTest, EnterPressesOk)
{
    dlg.factor = 3.0;
    openForInputPage();
    QTest::keyClick(factorEdit, Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(dlg.factor, 3.0);
}

TEST_F(FormulaDialogTest, UnitAcceptsEightTypedCharacters)
{
    openForInputPage();
    unitEdit->clear();
    QTest::keyClicks(unitEdit, "abcdefghij");
    EXPECT_EQ(unitEdit->text(), "abcdefgh");
    unitEdit->clear();
    qn::test::typeText(unitEdit, QString::fromUtf8("キロパスカル毎秒毎分"));
    EXPECT_EQ(unitEdit->text(), QString::fromUtf8("キロパスカル毎秒"));
}

TEST_F(FormulaDialogTest, AStoredUnitLongerThanTheLimitSurvivesOk)
{
    // The settings file holds up to 31 characters; opening and confirming must not cut it.
    dlg.unit = "0123456789AB";
    openForInputPage();
    EXPECT_EQ(unitEdit->text(), "0123456789AB");
    QTest::keyClick(unitEdit, Qt::Key_End);
    QTest::keyClicks(unitEdit, "C");
    EXPECT_EQ(unitEdit->text(), "0123456789AB");
    dlg.accept();
    EXPECT_EQ(dlg.unit, "0123456789AB");

    // Shortening it brings the limit back down to eight.
    FormulaDialog d;
    d.unit = "0123456789";
    d.show();
    QLineEdit *edit = control<QLineEdit>(d, "unitEdit");
    QTest::keyClick(edit, Qt::Key_End);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, "xyz");
    EXPECT_EQ(edit->text(), "012345xy");
}

TEST_F(FormulaDialogTest, ValuesThatAreNotFiniteOpenAsZero)
{
    dlg.factor = std::numeric_limits<double>::quiet_NaN();
    dlg.graphMax = std::numeric_limits<double>::infinity();
    openForInputPage();
    EXPECT_EQ(factorEdit->text(), "0.000000");
    EXPECT_EQ(graphMaxEdit->text(), "0.000000");
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, EveryControlIsNamedAndReachableByTab)
{
    openForInputPage();
    for (QLineEdit *edit : {factorEdit, offsetEdit, unitEdit, graphMinEdit, graphMaxEdit})
        EXPECT_FALSE(edit->accessibleName().isEmpty()) << edit->objectName().toStdString();
    EXPECT_EQ(control<QLabel>(dlg, "factorLabel")->buddy(), factorEdit);
    EXPECT_EQ(control<QLabel>(dlg, "unitLabel")->buddy(), unitEdit);
    EXPECT_EQ(control<QLabel>(dlg, "graphRangeLabel")->buddy(), graphMinEdit);
    const QWidget *order[] = {factorEdit, offsetEdit, unitEdit, graphMinEdit, graphMaxEdit,
                              control<QPushButton>(dlg, "okButton")};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_EQ(qn::test::nextTabStop(const_cast<QWidget *>(order[i])), order[i + 1]) << i;
}

TEST_F(FormulaDialogTest, NumbersLeftAsShownKeepTheirPrecision)
{
    dlg.factor = 1.23456789;
    dlg.offset = -0.0000004;
    dlg.graphMin = 0.1234567;
    dlg.graphMax = 2.0;
    openForInputPage();
    EXPECT_EQ(factorEdit->text(), "1.234568");
    EXPECT_EQ(offsetEdit->text(), "-0.000000");
    paste(graphMaxEdit, "2.5");
    dlg.accept();
    EXPECT_EQ(dlg.factor, 1.23456789);
    EXPECT_EQ(dlg.offset, -0.0000004);
    EXPECT_EQ(dlg.graphMin, 0.1234567);
    EXPECT_EQ(dlg.graphMax, 2.5);

    // Edited and typed back to the same text still counts as unchanged; another text does not.
    FormulaDialog d;
    d.factor = 1.23456789;
    d.show();
    QLineEdit *edit = control<QLineEdit>(d, "factorEdit");
    paste(edit, "1.2345680");
    d.accept();
    EXPECT_DOUBLE_EQ(d.factor, 1.234568);
}

TEST(FormulaDialogLocale, DecimalPointsCountUnderADecimalCommaLocale)
{
    qn::test::CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no locale with a decimal comma can be made here";
    FormulaDialog d;
    d.factor = 0.25;
    d.show();
    EXPECT_EQ(control<QLineEdit>(d, "factorEdit")->text(), "0.250000");
    control<QLineEdit>(d, "offsetEdit")->setText("-1.5");
    control<QLineEdit>(d, "graphMaxEdit")->setText("12.75");
    d.accept();
    EXPECT_DOUBLE_EQ(d.factor, 0.25);
    EXPECT_DOUBLE_EQ(d.offset, -1.5);
    EXPECT_DOUBLE_EQ(d.graphMax, 12.75);
    EXPECT_DOUBLE_EQ(qn::parseLenient("1.5e3"), 1500.0);
}
