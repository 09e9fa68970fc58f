#include "dialogs/formuladialog.h"
#include "dialogtestutil.h"
#include "../support/commalocale.h"
#include "common/numbertext.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <limits>
#include <memory>

using qn::Formula;
using qn::FormulaDialog;
using qn::test::control;

namespace {

struct FormulaDialogTest : ::testing::Test {
    qn::test::PresenterScope messages;
    std::unique_ptr<FormulaDialog> shown;
    QLineEdit *factorEdit = nullptr, *offsetEdit = nullptr, *unitEdit = nullptr, *graphMinEdit = nullptr,
              *graphMaxEdit = nullptr;

    FormulaDialog &open(const Formula &formula = {}, FormulaDialog::Side side = FormulaDialog::Side::Input)
    {
        shown = std::make_unique<FormulaDialog>(formula, side);
        factorEdit = control<QLineEdit>(*shown, "factorEdit");
        offsetEdit = control<QLineEdit>(*shown, "offsetEdit");
        unitEdit = control<QLineEdit>(*shown, "unitEdit");
        graphMinEdit = control<QLineEdit>(*shown, "graphMinEdit");
        graphMaxEdit = control<QLineEdit>(*shown, "graphMaxEdit");
        shown->show();
        return *shown;
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
    FormulaDialog &dlg = open();
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
    struct Case { FormulaDialog::Side side; const char *factor, *result, *unit; };
    const Case cases[] = {
        {FormulaDialog::Side::Input, "測定値 ×", "＝ 表示値", "表示値の単位:"},
        {FormulaDialog::Side::Output, "出力設定値 ×", "＝ 換算出力値", "換算出力値の単位:"},
    };
    for (const Case &c : cases) {
        FormulaDialog &d = open({}, c.side);
        EXPECT_EQ(control<QLabel>(d, "factorLabel")->text(), QString::fromUtf8(c.factor));
        EXPECT_EQ(control<QLabel>(d, "resultLabel")->text(), QString::fromUtf8(c.result));
        EXPECT_EQ(control<QLabel>(d, "unitLabel")->text(), QString::fromUtf8(c.unit));
        EXPECT_EQ(control<QLabel>(d, "plusLabel")->text(), QString::fromUtf8("＋"));
        EXPECT_EQ(control<QLabel>(d, "graphRangeLabel")->text(), QString::fromUtf8("グラフ表示範囲"));
        EXPECT_EQ(control<QLabel>(d, "tildeLabel")->text(), QString::fromUtf8("～"));
    }
}

TEST_F(FormulaDialogTest, OkReadsEveryFieldIncludingNegatives)
{
    FormulaDialog &dlg = open();
    paste(factorEdit, "-2.5");
    paste(offsetEdit, "-0.125");
    paste(unitEdit, QString::fromUtf8("℃"));
    paste(graphMinEdit, "-50");
    paste(graphMaxEdit, "150.5");
    control<QPushButton>(dlg, "okButton")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    const Formula f = dlg.formula();
    EXPECT_DOUBLE_EQ(f.factor, -2.5);
    EXPECT_DOUBLE_EQ(f.offset, -0.125);
    EXPECT_EQ(f.unit, QString::fromUtf8("℃"));
    EXPECT_DOUBLE_EQ(f.graphMin, -50.0);
    EXPECT_DOUBLE_EQ(f.graphMax, 150.5);
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, FilterCutsAtTheFirstOtherCharacterWithOneMessage)
{
    struct Case { const char *typed; const char *kept; };
    const Case cases[] = {{"1.5e3", "1.5"}, {"12a34", "12"}, {"-3.5V", "-3.5"}, {"abc", ""}};
    open();
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
    open();
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
        FormulaDialog &d = open();
        paste(factorEdit, QString::fromLatin1(c.text));
        paste(graphMaxEdit, QString::fromLatin1(c.text));
        d.accept();
        EXPECT_DOUBLE_EQ(d.formula().factor, c.value) << c.text;
        EXPECT_DOUBLE_EQ(d.formula().graphMax, c.value) << c.text;
    }
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, TheDialogLeavesTheRangeCheckToThePage)
{
    FormulaDialog &dlg = open({1.0, 0.0, "", 5.0, 5.0});
    dlg.accept();
    EXPECT_DOUBLE_EQ(dlg.formula().graphMin, 5.0);
    EXPECT_DOUBLE_EQ(dlg.formula().graphMax, 5.0);
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, EscapeAndTheCloseBoxChangeNothing)
{
    for (bool escape : {true, false}) {
        FormulaDialog &d = open({2.0, 0.0, "V", 0.0, 0.0});
        paste(factorEdit, "7");
        paste(unitEdit, "kPa");
        if (escape)
            QTest::keyClick(&d, Qt::Key_Escape);
        else
            d.close();
        EXPECT_EQ(d.result(), QDialog::Rejected);
        EXPECT_FALSE(d.isVisible());
        EXPECT_DOUBLE_EQ(d.formula().factor, 2.0);
        EXPECT_EQ(d.formula().unit, "V");
    }
}

TEST_F(FormulaDialogTest, EnterPressesOk)
{
    FormulaDialog &dlg = open({3.0, 0.0, "", 0.0, 0.0});
    QTest::keyClick(factorEdit, Qt::Key_Return);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_DOUBLE_EQ(dlg.formula().factor, 3.0);
}

TEST_F(FormulaDialogTest, UnitAcceptsEightTypedCharacters)
{
    open();
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
    FormulaDialog &dlg = open({1.0, 0.0, "0123456789AB", 0.0, 0.0});
    EXPECT_EQ(unitEdit->text(), "0123456789AB");
    QTest::keyClick(unitEdit, Qt::Key_End);
    QTest::keyClicks(unitEdit, "C");
    EXPECT_EQ(unitEdit->text(), "0123456789AB");
    dlg.accept();
    EXPECT_EQ(dlg.formula().unit, "0123456789AB");

    // Shortening it brings the limit back down to eight.
    open({1.0, 0.0, "0123456789", 0.0, 0.0});
    QTest::keyClick(unitEdit, Qt::Key_End);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(unitEdit, Qt::Key_Backspace);
    QTest::keyClicks(unitEdit, "xyz");
    EXPECT_EQ(unitEdit->text(), "012345xy");
}

TEST_F(FormulaDialogTest, ValuesThatAreNotFiniteOpenAsZero)
{
    open({std::numeric_limits<double>::quiet_NaN(), 0.0, "", 0.0, std::numeric_limits<double>::infinity()});
    EXPECT_EQ(factorEdit->text(), "0.000000");
    EXPECT_EQ(graphMaxEdit->text(), "0.000000");
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(FormulaDialogTest, EveryControlIsNamedAndReachableByTab)
{
    FormulaDialog &dlg = open();
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
    FormulaDialog &dlg = open({1.23456789, -0.0000004, "", 0.1234567, 2.0});
    EXPECT_EQ(factorEdit->text(), "1.234568");
    EXPECT_EQ(offsetEdit->text(), "-0.000000");
    paste(graphMaxEdit, "2.5");
    dlg.accept();
    EXPECT_EQ(dlg.formula().factor, 1.23456789);
    EXPECT_EQ(dlg.formula().offset, -0.0000004);
    EXPECT_EQ(dlg.formula().graphMin, 0.1234567);
    EXPECT_EQ(dlg.formula().graphMax, 2.5);

    // Edited and typed back to the same text still counts as unchanged; another text does not.
    FormulaDialog &d = open({1.23456789, 0.0, "", 0.0, 0.0});
    paste(factorEdit, "1.2345680");
    d.accept();
    EXPECT_DOUBLE_EQ(d.formula().factor, 1.234568);
}

TEST(FormulaDialogLocale, DecimalPointsCountUnderADecimalCommaLocale)
{
    qn::test::CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no locale with a decimal comma can be made here";
    FormulaDialog d({0.25, 0.0, "", 0.0, 0.0});
    d.show();
    EXPECT_EQ(control<QLineEdit>(d, "factorEdit")->text(), "0.250000");
    control<QLineEdit>(d, "offsetEdit")->setText("-1.5");
    control<QLineEdit>(d, "graphMaxEdit")->setText("12.75");
    d.accept();
    EXPECT_DOUBLE_EQ(d.formula().factor, 0.25);
    EXPECT_DOUBLE_EQ(d.formula().offset, -1.5);
    EXPECT_DOUBLE_EQ(d.formula().graphMax, 12.75);
    EXPECT_DOUBLE_EQ(qn::parseLenient("1.5e3"), 1500.0);
}
