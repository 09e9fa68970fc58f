#include "dialogs/adcratedialog.h"
#include "dialogtestutil.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>

using qn::AdcRateDialog;
using qn::test::control;

TEST(AdcRateDialog, ListsTheEightRatesInCodeOrder)
{
    AdcRateDialog dlg;
    EXPECT_EQ(dlg.windowTitle(), "ADC sps");
    EXPECT_EQ(dlg.rateCode(), -1);
    QComboBox *list = control<QComboBox>(dlg, "rateList");
    const QStringList expected = {"10sps", "16.6sps", "50sps", "60sps", "400sps", "1200sps", "3600sps", "14400sps"};
    EXPECT_EQ(AdcRateDialog::rateTexts(), expected);
    ASSERT_EQ(list->count(), expected.size());
    for (int i = 0; i < list->count(); ++i)
        EXPECT_EQ(list->itemText(i), expected[i]);
    EXPECT_FALSE(list->accessibleName().isEmpty());
}

TEST(AdcRateDialog, CodeToRowAndBack)
{
    // Row shown on opening for a stored code, and what OK returns without a new choice.
    struct Case { int code; int row; };
    const Case cases[] = {{-5, -1}, {-1, -1}, {0, 0}, {3, 3}, {7, 7}, {8, -1}, {255, -1}};
    for (const Case &c : cases) {
        EXPECT_EQ(AdcRateDialog::rowForCode(c.code), c.row) << c.code;
        AdcRateDialog dlg(c.code);
        dlg.show();
        EXPECT_EQ(control<QComboBox>(dlg, "rateList")->currentIndex(), c.row) << c.code;
        if (c.row < 0) {
            EXPECT_TRUE(control<QComboBox>(dlg, "rateList")->currentText().isEmpty());
        }
        dlg.accept();
        EXPECT_EQ(dlg.rateCode(), c.row) << c.code;
    }
}

TEST(AdcRateDialog, ChoosingARateReturnsItsCode)
{
    AdcRateDialog dlg(3);
    dlg.show();
    QComboBox *list = control<QComboBox>(dlg, "rateList");
    EXPECT_EQ(list->currentText(), "60sps");
    list->setCurrentIndex(list->findText("14400sps"));
    control<QPushButton>(dlg, "okButton")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.rateCode(), 7);
}

TEST(AdcRateDialog, KeyboardChoosesAndEscapeCancels)
{
    AdcRateDialog dlg(0);
    dlg.show();
    QComboBox *list = control<QComboBox>(dlg, "rateList");
    QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Down);
    EXPECT_EQ(list->currentIndex(), 2);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.rateCode(), 0);

    AdcRateDialog closed(4);
    closed.show();
    control<QComboBox>(closed, "rateList")->setCurrentIndex(1);
    closed.close();
    EXPECT_EQ(closed.result(), QDialog::Rejected);
    EXPECT_EQ(closed.rateCode(), 4);
}
