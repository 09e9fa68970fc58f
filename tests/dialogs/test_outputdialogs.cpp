// The two dialogs of the analog-output pages: "V/I" and "スイープ設定" with its picture.
#include "dialogs/outputrangedialog.h"
#include "dialogs/sweepdialog.h"
#include "dialogs/sweeppicture.h"
#include "dialogtestutil.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>

using qn::test::control;

TEST(OutputRangeDialog, TheItemIndexIsTheMode)
{
    for (int mode : {-1, 0, 1}) {
        qn::OutputRangeDialog dlg(mode);
        dlg.show();
        auto *combo = control<QComboBox>(dlg, "rangeCombo");
        EXPECT_EQ(dlg.windowTitle(), "V/I");
        ASSERT_EQ(combo->count(), 2);
        EXPECT_EQ(combo->itemText(0), QString::fromUtf8("±10V"));
        EXPECT_EQ(combo->itemText(1), "0-20mA");
        EXPECT_EQ(combo->currentIndex(), mode);
        combo->setCurrentIndex(1 - std::max(mode, 0));
        control<QPushButton>(dlg, "okButton")->click();
        EXPECT_EQ(dlg.mode(), 1 - std::max(mode, 0));
    }
    qn::OutputRangeDialog cancelled(1);
    cancelled.show();
    control<QComboBox>(cancelled, "rangeCombo")->setCurrentIndex(0);
    QTest::keyClick(&cancelled, Qt::Key_Escape);
    EXPECT_EQ(cancelled.result(), QDialog::Rejected);
    EXPECT_EQ(cancelled.mode(), 1);
}

namespace {
struct SweepDialogTest : ::testing::Test {
    qn::test::PresenterScope messages;
    qn::SweepDialog dlg{qn::SweepSettings{30, 15, 9.0, 1.0}, "mA"};
    QLineEdit *low = control<QLineEdit>(dlg, "lowEdit");
    QLineEdit *high = control<QLineEdit>(dlg, "highEdit");
    QLineEdit *rise = control<QLineEdit>(dlg, "riseEdit");
    QLineEdit *fall = control<QLineEdit>(dlg, "fallEdit");
    void SetUp() override
    {
        dlg.show();
    }
};
} // namespace

TEST_F(SweepDialogTest, OpensWithItsFormatsAndTheUnitBesideBothValues)
{
    EXPECT_EQ(dlg.windowTitle(), QString::fromUtf8("スイープ設定"));
    EXPECT_EQ(low->text(), "1.00000");
    EXPECT_EQ(high->text(), "9.00000");
    EXPECT_EQ(rise->text(), "30");
    EXPECT_EQ(fall->text(), "15");
    EXPECT_EQ(control<QLabel>(dlg, "lowUnitLabel")->text(), "mA");
    EXPECT_EQ(control<QLabel>(dlg, "highUnitLabel")->text(), "mA");
    EXPECT_EQ(rise->maxLength(), 6);
    EXPECT_EQ(control<QLabel>(dlg, "lowLabel")->buddy(), low);
    EXPECT_EQ(qn::test::nextTabStop(low), high);
    EXPECT_EQ(qn::test::nextTabStop(high), rise);
    EXPECT_EQ(qn::test::nextTabStop(rise), fall);
    EXPECT_TRUE(messages.presenter.messages.isEmpty());
}

TEST_F(SweepDialogTest, FiltersTimesToDigitsAndValuesToDecimals)
{
    // edit, typed, kept, message
    struct Case { QLineEdit *edit; const char *typed; const char *kept; bool message; };
    const Case cases[] = {{rise, "-", "", true}, {fall, "12x", "12", true}, {low, "-0.5", "-0.5", false},
                          {high, "2V", "2", true}};
    for (const Case &c : cases) {
        messages.presenter.messages.clear();
        c.edit->clear();
        QTest::keyClicks(c.edit, c.typed);
        EXPECT_EQ(c.edit->text(), c.kept) << c.typed;
        EXPECT_EQ(messages.presenter.messages, c.message ? QStringList{qn::test::kNotANumber} : QStringList{});
    }
}

TEST_F(SweepDialogTest, OkNeedsLowBelowHighAndStaysOpenOtherwise)
{
    for (auto [v1, v2] : {std::pair{"2", "1"}, std::pair{"1", "1"}}) {
        messages.presenter.messages.clear();
        low->setText(v1);
        high->setText(v2);
        control<QPushButton>(dlg, "okButton")->click();
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_EQ(messages.presenter.messages, QStringList{qn::SweepDialog::lowNotBelowHighMessage()});
        EXPECT_EQ(low->text(), v1);
        EXPECT_EQ(dlg.settings().low, 1.0) << "nothing taken over";
    }
    low->setText("-0.25");
    high->setText("0");
    rise->setText("");
    fall->setText("7");
    control<QPushButton>(dlg, "okButton")->click();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.settings().low, -0.25);
    EXPECT_EQ(dlg.settings().high, 0.0);
    EXPECT_EQ(dlg.settings().t1, 0) << "an empty time is 0";
    EXPECT_EQ(dlg.settings().t2, 7);
}

TEST(SweepPicture, DrawsTheTriangleOnWhite)
{
    const QSize size = qn::SweepPicture::kSize;
    QImage image(size, QImage::Format_RGB32);
    image.setDevicePixelRatio(1);
    {
        QPainter p(&image);
        qn::SweepPicture::paint(p, size);
    }
    const auto [start, peak, end] = qn::SweepPicture::wavePoints(size);
    auto isWave = [&](QPoint at) {
        // Some pixel within one of the point is the wave's colour.
        for (int dx = -1; dx <= 1; ++dx)
            for (int dy = -1; dy <= 1; ++dy)
                if (image.pixelColor(at + QPoint(dx, dy)) == qn::SweepPicture::kWaveColour)
                    return true;
        return false;
    };
    EXPECT_TRUE(isWave((start + peak) / 2)) << "rising edge";
    EXPECT_TRUE(isWave((peak + end) / 2)) << "falling edge";
    EXPECT_TRUE(peak.y() < start.y() && start.y() == end.y() && start.x() < peak.x() && peak.x() < end.x());
    EXPECT_EQ(image.pixelColor(QPoint((start.x() + peak.x()) / 2, start.y() - 4)), QColor(Qt::white))
        << "under the rising edge";
    EXPECT_EQ(image.pixelColor(1, 1), QColor(Qt::white));
}
