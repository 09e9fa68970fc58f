// The QN-210 page's settings buttons driven as the operator would: each opens its dialog,
// the test fills it in through a dialog handler, and the effects on the unit, the
// settings file, the CSV log and the graph are checked.
#include "pagetestsupport.h"

#include "../support/commalocale.h"

#include "common/cp932.h"
#include "dialogs/adcratedialog.h"
#include "dialogs/formuladialog.h"
#include "dialogs/signalnamedialog.h"
#include "dialogs/thresholddialog.h"
#include "dialogs/dialogrunner.h"
#include "graph/graphtab.h"
#include "graph/trendcanvas.h"

#include "ui_analoginputpage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <deque>

using namespace qn;
using namespace qn::test;

namespace {

template <typename T>
T *control(QWidget &dialog, const char *name)
{
    T *w = dialog.findChild<T *>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void paste(QLineEdit *edit, const QString &text)
{
    edit->selectAll();
    edit->insert(text);
}

// Plays the operator in the dialogs the page opens, one scripted step per dialog.
class DialogScript {
public:
    DialogScript()
    {
        setDialogHandler([this](QDialog &dialog) {
            ++runs;
            if (m_steps.empty()) {
                ADD_FAILURE() << "unexpected dialog " << dialog.windowTitle().toStdString();
                return;
            }
            const std::function<void(QDialog &)> step = m_steps.front();
            m_steps.pop_front();
            step(dialog);
        });
    }
    ~DialogScript() { setDialogHandler({}); }

    template <typename D>
    void then(std::function<void(D &)> step)
    {
        m_steps.push_back([step](QDialog &dialog) {
            auto *d = dynamic_cast<D *>(&dialog);
            ASSERT_NE(d, nullptr) << "another dialog: " << dialog.windowTitle().toStdString();
            step(*d);
        });
    }
    bool done() const { return m_steps.empty(); }

    int runs = 0;

private:
    std::deque<std::function<void(QDialog &)>> m_steps;
};

class Qn210Settings : public UnitWindowTest {
protected:
    void SetUp() override
    {
        UnitWindowTest::SetUp();
        settingsPath = logDir.path() + QStringLiteral("/qnview.ini");
        unitSettings().setPath(settingsPath);
    }

    // One automatic reading (logged) and its completion.
    void readOnce()
    {
        if (!page->aiAuto()) {
            page->ui().aiPeriodEdit->setText("1");
            page->setAiAuto(true);
        }
        const int before = page->completionsRun();
        page->tickOnce();
        ASSERT_TRUE(settle(before, 1));
    }

    // What the settings file holds now, read back from the disk.
    ChannelSettings saved(RecordKind kind, int channel) const
    {
        UnitSettingsStore fresh;
        fresh.loadSettings(settingsPath);
        return fresh.getConversion(Qn210Page::kModelCode, 3, kind, channel);
    }
    QString savedName(RecordKind kind, int channel) const
    {
        UnitSettingsStore fresh;
        fresh.loadSettings(settingsPath);
        return fresh.getSignalName(Qn210Page::kModelCode, 3, kind, channel);
    }

    QString settingsPath;
    DialogScript script;
};

// ---- conversion formula ------------------------------------------------------------

TEST_F(Qn210Settings, FormulaReachesTheSettingsFileTheLogAndTheGraph)
{
    simulator.pinAI(unit, 1, 0x400000); // 5 V on the ±10 V range
    openWindow();
    readOnce();

    script.then<FormulaDialog>([](FormulaDialog &d) {
        EXPECT_EQ(control<QLabel>(d, "factorLabel")->text(), "測定値 ×");
        EXPECT_EQ(control<QLabel>(d, "resultLabel")->text(), "＝ 表示値");
        EXPECT_EQ(control<QLabel>(d, "unitLabel")->text(), "表示値の単位:");
        EXPECT_EQ(control<QLineEdit>(d, "factorEdit")->text(), "1.000000");
        EXPECT_EQ(control<QLineEdit>(d, "offsetEdit")->text(), "0.000000");
        EXPECT_EQ(control<QLineEdit>(d, "unitEdit")->text(), "");
        // The range the series shows: the ±10 V range's default.
        EXPECT_EQ(control<QLineEdit>(d, "graphMinEdit")->text(), "-10.000000");
        EXPECT_EQ(control<QLineEdit>(d, "graphMaxEdit")->text(), "10.000000");
        paste(control<QLineEdit>(d, "factorEdit"), "2");
        paste(control<QLineEdit>(d, "offsetEdit"), "0.5");
        paste(control<QLineEdit>(d, "unitEdit"), "kPa");
        paste(control<QLineEdit>(d, "graphMinEdit"), "0");
        paste(control<QLineEdit>(d, "graphMaxEdit"), "20");
        control<QPushButton>(d, "okButton")->click();
    });
    page->ui().formulaButton2->click();
    EXPECT_EQ(script.runs, 1);

    const Qn210Page::AiChannel &ch = page->aiChannel(1);
    EXPECT_EQ(ch.scaling.factor, 2.0);
    EXPECT_EQ(ch.scaling.offset, 0.5);
    EXPECT_EQ(ch.scaling.unit, "kPa");
    EXPECT_EQ(ch.scaling.graphMin, 0.0);
    EXPECT_EQ(ch.scaling.graphMax, 20.0);
    const ChannelSettings file = saved(Qn210Page::kInputKind, 1);
    EXPECT_EQ(file.a, 2.0);
    EXPECT_EQ(file.b, 0.5);
    EXPECT_EQ(file.unitText, "kPa");
    EXPECT_EQ(file.graphMin, 0.0);
    EXPECT_EQ(file.graphMax, 20.0);
    // Shown at once, before the next reading.
    EXPECT_EQ(page->convertedText(1), "10.5000 kPa");
    TrendSeries *series = window->canvas()->series(1);
    EXPECT_EQ(series->minValue(), 0.0);
    EXPECT_EQ(series->maxValue(), 20.0);
    EXPECT_EQ(series->unit(), "kPa");

    readOnce();
    const QList<QByteArray> lines = fileLines(logFile());
    ASSERT_EQ(lines.size(), 3);
    const QList<QByteArray> before = lines[1].split(',');
    const QList<QByteArray> after = lines[2].split(',');
    ASSERT_EQ(after.size(), 10);
    EXPECT_EQ(before[4], "5.00000");
    EXPECT_EQ(before[5], "V");
    EXPECT_EQ(after[4], "10.5000");
    EXPECT_EQ(after[5], "kPa");
    EXPECT_EQ(window->graphTab()->valueLabelText(1), "10.5000 kPa");
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST_F(Qn210Settings, InvalidGraphRangeFallsBackToTheRangesDefaultWhilePaused)
{
    simulator.updateState(unit, [](sim::UnitState &s) { s.aiRange = {0, 2, 2}; });
    openWindow(false);
    bool pausedDuringMessage = false;
    presenter.onInform = [&](const QString &) { pausedDuringMessage = page->paused(); };

    script.then<FormulaDialog>([](FormulaDialog &d) {
        paste(control<QLineEdit>(d, "factorEdit"), "3");
        paste(control<QLineEdit>(d, "graphMinEdit"), "5");
        paste(control<QLineEdit>(d, "graphMaxEdit"), "5");
        d.accept();
    });
    page->ui().formulaButton1->click();

    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0], "グラフ表示範囲が不正なため、デフォルト値に設定します");
    EXPECT_TRUE(pausedDuringMessage);
    EXPECT_FALSE(page->paused());
    // The ±100 mV range's default on the graph, 0..0 ("default") in the file.
    EXPECT_EQ(window->canvas()->series(0)->minValue(), -100.0);
    EXPECT_EQ(window->canvas()->series(0)->maxValue(), 100.0);
    const ChannelSettings file = saved(Qn210Page::kInputKind, 0);
    EXPECT_EQ(file.a, 3.0);
    EXPECT_EQ(file.graphMin, 0.0);
    EXPECT_EQ(file.graphMax, 0.0);
}

TEST_F(Qn210Settings, CancelledFormulaChangesNothing)
{
    unitSettings().setConversion(0, 3, RecordKind::Input, 2, 4.0, 1.0, "rpm", -5.0, 5.0);
    openWindow(false);
    script.then<FormulaDialog>([](FormulaDialog &d) {
        EXPECT_EQ(control<QLineEdit>(d, "factorEdit")->text(), "4.000000");
        EXPECT_EQ(control<QLineEdit>(d, "unitEdit")->text(), "rpm");
        EXPECT_EQ(control<QLineEdit>(d, "graphMinEdit")->text(), "-5.000000");
        paste(control<QLineEdit>(d, "factorEdit"), "9");
        d.reject();
    });
    page->ui().formulaButton3->click();
    EXPECT_EQ(page->aiChannel(2).scaling.factor, 4.0);
    EXPECT_EQ(saved(Qn210Page::kInputKind, 2).a, 4.0);
    EXPECT_EQ(window->canvas()->series(2)->maxValue(), 5.0);
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST_F(Qn210Settings, ScaleButtonsOfTheGraphTabOpenTheChannelsFormula)
{
    unitSettings().setConversion(0, 3, RecordKind::Input, 1, 3.0, 0.0, "", 0.0, 0.0);
    openWindow(false);
    script.then<FormulaDialog>([](FormulaDialog &d) {
        EXPECT_EQ(control<QLineEdit>(d, "factorEdit")->text(), "3.000000");
        paste(control<QLineEdit>(d, "unitEdit"), "L/min");
        d.accept();
    });
    QPushButton *scale = window->graphTab()->findChild<QPushButton *>("scaleButton1");
    ASSERT_NE(scale, nullptr);
    scale->click();
    EXPECT_EQ(script.runs, 1);
    EXPECT_EQ(page->aiChannel(1).scaling.unit, "L/min");
    EXPECT_EQ(saved(Qn210Page::kInputKind, 1).unitText, "L/min");
}

// ---- signal names ------------------------------------------------------------------

TEST_F(Qn210Settings, EveryNameButtonRenamesItsChannelEverywhere)
{
    struct Case { const char *button; RecordKind kind; int channel; int series; const char *legend; const char *oldName; };
    const Case cases[] = {
        {"aiNameButton1", RecordKind::Input, 0, 0, "AI1: ", "1"},
        {"aiNameButton2", RecordKind::Input, 1, 1, "AI2: ", "2"},
        {"aiNameButton3", RecordKind::Input, 2, 2, "AI3: ", "3"},
        {"doNameButton1", RecordKind::Output, 0, 3, "DO1: ", "1"},
        {"doNameButton2", RecordKind::Output, 1, 4, "DO2: ", "2"},
    };
    openWindow();
    readOnce();
    int n = 0;
    for (const Case &c : cases) {
        // The first a full 16 bytes: 8 full-width characters, wider than its display.
        const QString name = ++n == 1 ? QStringLiteral("温度センサー１２") : QStringLiteral("信号%1").arg(n);
        script.then<SignalNameDialog>([&](SignalNameDialog &d) {
            EXPECT_EQ(d.windowTitle(), "信号名の編集");
            EXPECT_EQ(control<QLineEdit>(d, "nameEdit")->text(), QString::fromLatin1(c.oldName));
            paste(control<QLineEdit>(d, "nameEdit"), name);
            d.accept();
        });
        QPushButton *button = page->findChild<QPushButton *>(QString::fromLatin1(c.button));
        ASSERT_NE(button, nullptr) << c.button;
        button->click();
        EXPECT_EQ(page->signalName(c.kind, c.channel), name) << c.button;
        EXPECT_EQ(savedName(c.kind, c.channel), name) << c.button;
        EXPECT_EQ(window->graphTab()->legendText(c.series), QString::fromLatin1(c.legend) + name);
        EXPECT_EQ(QString::fromStdString(window->canvas()->series(c.series)->name()),
                  QString::fromLatin1(c.legend) + name);
        // The display shows what fits (cut with "…") and a reader hears the whole name.
        auto *display = page->findChild<QLabel *>(QString::fromLatin1(c.button).remove(QStringLiteral("Button")));
        ASSERT_NE(display, nullptr) << c.button;
        EXPECT_TRUE(display->text() == name || display->text().endsWith(QChar(0x2026))) << c.button;
        EXPECT_GE(display->width(), display->minimumWidth()) << c.button;
        EXPECT_LT(display->geometry().right(), button->geometry().left()) << c.button;
        EXPECT_EQ(QAccessible::queryAccessibleInterface(display)->text(QAccessible::Description), name);
    }
    EXPECT_EQ(script.runs, 5);
    // The next row comes after a header with the new names, in the same file.
    readOnce();
    const QList<QByteArray> lines = fileLines(logFile());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(fromCp932(lines[2]), "日付,時刻,温度センサー１２,単位1,信号2,単位2,信号3,単位3,信号4,信号5");
}

TEST_F(Qn210Settings, NameDialogGetsSixteenCharactersAndCancelKeepsTheName)
{
    openWindow(false);
    page->ui().aiName1->setText("ABCDEFGHIJKLMNOPQRST");
    script.then<SignalNameDialog>([](SignalNameDialog &d) {
        EXPECT_EQ(control<QLineEdit>(d, "nameEdit")->text(), "ABCDEFGHIJKLMNOP");
        d.reject();
    });
    page->ui().aiNameButton1->click();
    EXPECT_EQ(page->signalName(RecordKind::Input, 0), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(unitSettings().getSignalName(0, 3, RecordKind::Input, 0), "1");

    // An empty name is a name too.
    script.then<SignalNameDialog>([](SignalNameDialog &d) {
        control<QLineEdit>(d, "nameEdit")->clear();
        d.accept();
    });
    page->ui().doNameButton2->click();
    EXPECT_EQ(page->signalName(RecordKind::Output, 1), "");
    EXPECT_EQ(savedName(RecordKind::Output, 1), "");
    EXPECT_EQ(window->graphTab()->legendText(4), "DO2: ");
}

// ---- ADC rate ----------------------------------------------------------------------

TEST_F(Qn210Settings, AdcRateIsSentOnOkAndStoredOnConfirmation)
{
    simulator.updateState(unit, [](sim::UnitState &s) { s.adcSps = 5; });
    openWindow(false);
    ASSERT_EQ(page->adcRate(), 5);
    script.then<AdcRateDialog>([](AdcRateDialog &d) {
        QComboBox *list = control<QComboBox>(d, "rateList");
        EXPECT_EQ(list->currentText(), "1200sps");
        list->setCurrentIndex(7);
        d.accept();
    });
    const int before = page->completionsRun();
    page->ui().adcRateButton->click();
    ASSERT_TRUE(settle(before, 1));
    EXPECT_EQ(simulator.requestNames(unit), std::vector<std::string>{"SetADCsps"});
    EXPECT_EQ(simulator.state(unit).adcSps, 7);
    EXPECT_EQ(page->adcRate(), 7);
}

TEST_F(Qn210Settings, AdcRateCancelOrNoChoiceSendsNothing)
{
    simulator.updateState(unit, [](sim::UnitState &s) { s.adcSps = 9; }); // not in the list
    openWindow(false);
    script.then<AdcRateDialog>([](AdcRateDialog &d) {
        EXPECT_EQ(control<QComboBox>(d, "rateList")->currentIndex(), -1);
        d.accept();
    });
    script.then<AdcRateDialog>([](AdcRateDialog &d) {
        control<QComboBox>(d, "rateList")->setCurrentIndex(2);
        d.reject();
    });
    page->ui().adcRateButton->click();
    page->ui().adcRateButton->click();
    EXPECT_EQ(script.runs, 2);
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(simulator.requestNames(unit).empty());
    EXPECT_EQ(page->adcRate(), 9);
}

// ---- LED thresholds ----------------------------------------------------------------

TEST_F(Qn210Settings, ThresholdsOpenInTheMeasuredUnitAndOkUnchangedKeepsTheCodes)
{
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.aiRange = {0, 1, 4};
        s.thresholds[0] = {1, 2, 0x1235, 0x2345};
        s.thresholds[1] = {0, 3, 0xF001, 0x0FFF};
        s.thresholds[2] = {1, 1, 0x0001, 0x7FFE};
    });
    openWindow(false);
    for (int c = 0; c < 3; ++c) {
        const Qn210Page::AiChannel ch = page->aiChannel(c);
        script.then<ThresholdDialog>([&](ThresholdDialog &d) {
            EXPECT_EQ(d.windowTitle(), "LED点灯閾値設定(生値)");
            EXPECT_EQ(control<QLineEdit>(d, "lowEdit")->text(),
                      QString::asprintf("%f", ai::thresholdLowValue(ch.lowThreshold, ch.range)));
            EXPECT_EQ(control<QLineEdit>(d, "highEdit")->text(),
                      QString::asprintf("%f", ai::thresholdHighValue(ch.highThreshold, ch.range)));
            EXPECT_EQ(control<QCheckBox>(d, "outsideCheck")->isChecked(), ch.ledOutside);
            d.accept();
        });
        const int before = page->completionsRun();
        page->findChild<QPushButton *>(QStringLiteral("thresholdButton%1").arg(c + 1))->click();
        ASSERT_TRUE(settle(before, 1));
    }
    // Range 0 shows volts: 0x1235 is 14.2 mV, shown as 0.014224.
    EXPECT_EQ(QString::asprintf("%f", ai::thresholdLowValue(0x1235, 0)), "0.014224");
    EXPECT_EQ(countOf(simulator.requestNames(unit), "SetADCThreshold"), 3);
    const sim::UnitState state = simulator.state(unit);
    EXPECT_EQ(state.thresholds[0].low, 0x1235);
    EXPECT_EQ(state.thresholds[0].high, 0x2345);
    EXPECT_EQ(state.thresholds[0].mode, 2);
    EXPECT_EQ(state.thresholds[0].outside, 1);
    EXPECT_EQ(state.thresholds[1].low, 0xF001);
    EXPECT_EQ(state.thresholds[1].high, 0x0FFF);
    EXPECT_EQ(state.thresholds[1].mode, 3);
    EXPECT_EQ(state.thresholds[2].low, 0x0001);
    EXPECT_EQ(state.thresholds[2].high, 0x7FFE);
}

TEST_F(Qn210Settings, TypedThresholdsAreClampedSentAndRecolourTheBar)
{
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.aiRange = {2, 4, 2};
        s.thresholds[1] = {1, 2, 0x1000, 0x2000};
    });
    simulator.pinAI(unit, 2, 0x100000); // 1.25 V
    openWindow(false);
    int before = page->completionsRun();
    page->readInputs();
    ASSERT_TRUE(settle(before, 1));
    // Default thresholds: lit inside the whole range, so red.
    EXPECT_EQ(page->ui().bar3->palette().color(QPalette::Highlight), QColor(255, 0, 0));

    // Current range: a negative low counts as 0, a high above 20 mA clamps to the top.
    script.then<ThresholdDialog>([](ThresholdDialog &d) {
        control<QLineEdit>(d, "lowEdit")->setText("-3");
        control<QLineEdit>(d, "highEdit")->setText("25");
        control<QCheckBox>(d, "outsideCheck")->setChecked(false);
        d.accept();
    });
    // ±10 V: 2 .. 3 V no longer holds 1.25 V, so blue.
    script.then<ThresholdDialog>([](ThresholdDialog &d) {
        control<QLineEdit>(d, "lowEdit")->setText("2");
        control<QLineEdit>(d, "highEdit")->setText("3");
        d.accept();
    });
    before = page->completionsRun();
    page->ui().thresholdButton2->click();
    page->ui().thresholdButton3->click();
    ASSERT_TRUE(settle(before, 2));
    const sim::UnitState state = simulator.state(unit);
    EXPECT_EQ(state.thresholds[1].low, 0x0000);
    EXPECT_EQ(state.thresholds[1].high, 0x7FFF);
    EXPECT_EQ(state.thresholds[1].outside, 0);
    EXPECT_EQ(state.thresholds[1].mode, 2);
    EXPECT_FALSE(page->aiChannel(1).ledOutside);
    EXPECT_EQ(page->aiChannel(1).highThreshold, 0x7FFF);
    EXPECT_EQ(state.thresholds[2].low, 0x1999);
    EXPECT_EQ(state.thresholds[2].high, 0x2666);
    EXPECT_EQ(page->ui().bar3->palette().color(QPalette::Highlight), QColor(0, 0, 255));
}

TEST_F(Qn210Settings, CancelledThresholdSendsNothing)
{
    openWindow(false);
    script.then<ThresholdDialog>([](ThresholdDialog &d) {
        control<QLineEdit>(d, "lowEdit")->setText("1");
        d.reject();
    });
    page->ui().thresholdButton1->click();
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(simulator.requestNames(unit).empty());
}

// Every 16-bit threshold of every range code comes back as itself through the values
// the dialog shows; values beyond the ends clamp; negative currents count as 0.
TEST(Qn210ThresholdValues, RoundTripEveryCodeOfEveryRange)
{
    for (int range = 0; range <= 7; ++range) {
        const bool current = ai::isCurrentRange(range);
        int wrong = 0;
        for (int code = 0; code <= 0xFFFF; ++code) {
            const int expected = current && code >= 0x8000 ? 0 : code;
            wrong += ai::thresholdCode(ai::thresholdLowValue(code, range), range) != expected;
            wrong += ai::thresholdCode(ai::thresholdHighValue(code, range), range) != expected;
        }
        EXPECT_EQ(wrong, 0) << "range " << range;

        // Full scale in the range's value unit (the thermocouple range counts 2560 per °C).
        const double fs = range == ai::kThermocoupleRange ? 8388608.0 / 2560.0 : ai::rangeInfo(range).fullScale;
        EXPECT_EQ(ai::thresholdCode(fs, range), 0x7FFF) << range;
        EXPECT_EQ(ai::thresholdCode(fs * 3, range), 0x7FFF) << range;
        EXPECT_EQ(ai::thresholdCode(1e300, range), 0x7FFF) << range;
        EXPECT_EQ(ai::thresholdCode(-fs, range), current ? 0 : 0x8000) << range;
        EXPECT_EQ(ai::thresholdCode(-fs * 3, range), current ? 0 : 0x8000) << range;
        EXPECT_EQ(ai::thresholdCode(-1e300, range), current ? 0 : 0x8000) << range;
        EXPECT_EQ(ai::thresholdCode(0.0, range), 0) << range;
    }
}

TEST_F(Qn210Settings, ValuesKeepTheirDecimalPointUnderADecimalCommaLocale)
{
    CommaLocale comma;
    if (!comma.active())
        GTEST_SKIP() << "no locale with a decimal comma can be made here";
    EXPECT_EQ(ai::measuredText(0x400000, 2), " 5.0000 V");
    EXPECT_EQ(ai::trimmedValue(1.5), "1.50000");
    EXPECT_EQ(ai::trimmedValue(-1.5), "-1.50000");

    simulator.pinAI(unit, 1, 0x400000);
    openWindow();
    script.then<FormulaDialog>([](FormulaDialog &d) {
        paste(control<QLineEdit>(d, "factorEdit"), "1.5");
        d.accept();
    });
    page->ui().formulaButton2->click();
    EXPECT_EQ(page->aiChannel(1).scaling.factor, 1.5);
    readOnce();
    const QList<QByteArray> lines = fileLines(logFile());
    ASSERT_EQ(lines.size(), 2);
    const QList<QByteArray> fields = lines[1].split(',');
    ASSERT_EQ(fields.size(), 10);
    EXPECT_EQ(fields[4], "7.50000");
    EXPECT_EQ(page->measuredText(1), " 5.0000 V");
}

// ---- dialogs and the rest of the page ----------------------------------------------

TEST_F(Qn210Settings, AutomaticReadingGoesOnWhileADialogIsOpen)
{
    openWindow();
    readOnce();
    script.then<SignalNameDialog>([&](SignalNameDialog &) {
        EXPECT_FALSE(page->paused());
        const int before = page->completionsRun();
        page->tickOnce();
        EXPECT_TRUE(settle(before, 1));
    });
    page->ui().aiNameButton1->click();
    EXPECT_EQ(fileLines(logFile()).size(), 3);
}

TEST_F(Qn210Settings, ClosingTheWindowWhileADialogIsOpenWaitsAndPostsNothing)
{
    openWindow(false);
    script.then<ThresholdDialog>([&](ThresholdDialog &d) {
        window->disconnectUnit();
        // The page is still there while its dialog is.
        EXPECT_FALSE(window.isNull());
        control<QLineEdit>(d, "lowEdit")->setText("1");
        d.accept();
    });
    page->ui().thresholdButton1->click();
    ASSERT_TRUE(waitUntil([this] { return window.isNull(); }));
    EXPECT_EQ(countOf(simulator.requestNames(unit), "SetADCThreshold"), 0);
}

TEST_F(Qn210Settings, ClosingTheWindowCancelsTheOpenDialog)
{
    openWindow(false);
    bool dialogClosedByItself = false;
    script.then<FormulaDialog>([&](FormulaDialog &d) {
        paste(control<QLineEdit>(d, "factorEdit"), "5");
        window->disconnectUnit();
        // The operator does nothing: the close takes the dialog away.
        dialogClosedByItself = waitUntil([&] { return !d.isVisible(); }, 5000);
        EXPECT_EQ(d.result(), QDialog::Rejected);
    });
    page->ui().formulaButton1->click();
    EXPECT_TRUE(dialogClosedByItself);
    ASSERT_TRUE(waitUntil([this] { return window.isNull(); }));
    EXPECT_EQ(unitSettings().getConversion(0, 3, RecordKind::Input, 0).a, 1.0);
}

} // namespace
