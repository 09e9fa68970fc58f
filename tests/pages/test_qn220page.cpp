// The QN-220 page: what it adds to the analog-input page (start-up chain, thermocouple
// range and settings, DO alerts) against a simulated QN-220.
#include "pagetestsupport.h"

#include "common/cp932.h"
#include "dialogs/dialogrunner.h"
#include "graph/trendcanvas.h"
#include "pages/qn220page.h"

#include "ui_analoginputpage.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

using namespace qn;
using namespace qn::test;

namespace {

// Requests of a QN-220's start-up, in the order the unit sees them.
const std::vector<std::string> kStartup{"GetDO",           "GetADCsps",       "GetAIRange",      "GetAIRange",
                                        "GetAIRange",      "GetADCThreshold", "GetADCThreshold", "GetADCThreshold",
                                        "GetTCSetting",    "GetTCSetting",    "GetTCSetting",    "GetDOAlert",
                                        "GetDOAlert"};

class Qn220PageTest : public UnitWindowTest {
protected:
    Qn220PageTest()
    {
        simulatedModelId = proto::kModelQN220;
        simulatedUnitId = 5;
    }
    void TearDown() override
    {
        setDialogHandler({});
        UnitWindowTest::TearDown();
    }

    // Opens the window and waits for `requests` start-up completions (all of them by default).
    void open(int requests = int(kStartup.size()), bool logging = false)
    {
        UnitWindowArgs args = windowArgs(logging);
        args.model = Model::QN220;
        args.unitId = 5;
        window = new UnitWindow(args, timeouts);
        page220 = qobject_cast<Qn220Page *>(window->page());
        ASSERT_NE(page220, nullptr);
        page220->stopTicking();
        page220->setFollowingUnit(false); // this test counts the requests
        ASSERT_TRUE(waitUntil([&] { return page220->completionsRun() >= requests && !page220->busy(); }, 15000));
    }

    // Runs events until the page has run n more completions.
    bool settle220(int n)
    {
        const int since = page220->completionsRun();
        return waitUntil([&] { return page220->completionsRun() >= since + n; });
    }

    static void toggleByAccessibility(QWidget *box)
    {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(box);
        ASSERT_TRUE(a && a->actionInterface());
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    }

    Qn220Page *page220 = nullptr;
};

TEST_F(Qn220PageTest, StartUpChainStopsAtTheFirstFailureOfEachStage)
{
    // failAt: the 1-based request that fails. The outputs' GetDO stands apart: its failure
    // ends no chain. Later stages keep their previous values: DO1's alert, on in the unit,
    // shows only when the chain gets that far.
    struct Case {
        int failAt;
        size_t requests;
        bool alertShown;
    };
    const Case cases[] = {{0, 13, true}, {1, 13, true}, {2, 2, false}, {4, 4, false},
                          {7, 7, false}, {10, 10, false}, {12, 12, false}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.failAt);
        presenter.messages.clear();
        simulator.clearRequestLog(unit);
        simulator.updateState(unit, [](sim::UnitState &s) { s.doAlerts[0].enabled = 1; });
        if (c.failAt > 0)
            simulator.setFault(unit, {sim::FaultKind::DropConnection, 0, 0, 1, c.failAt - 1});
        open(int(c.requests));
        std::vector<std::string> expected(kStartup.begin(), kStartup.begin() + std::ptrdiff_t(c.requests));
        EXPECT_EQ(simulator.requestNames(unit), expected);
        EXPECT_EQ(presenter.messages.size(), c.failAt > 0 ? 1 : 0);
        EXPECT_EQ(page220->doAlertCheck(0)->isChecked(), c.alertShown);
        EXPECT_EQ(page220->doAlert(0).enabled, c.alertShown);
        window->disconnectUnit();
        ASSERT_TRUE(waitUntil([this] { return window.isNull(); }));
    }
}

TEST_F(Qn220PageTest, AFailedStartUpDOSwitchesAutomaticModesOff)
{
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, 1});
    UnitWindowArgs args = windowArgs(false);
    args.model = Model::QN220;
    window = new UnitWindow(args, timeouts);
    page220 = qobject_cast<Qn220Page *>(window->page());
    page220->stopTicking();
    page220->setFollowingUnit(false); // this test counts the requests
    // The operator is quicker than the unit's answer.
    page220->ui().aiPeriodEdit->setText("1");
    page220->ui().aiAutoCheck->setChecked(true);
    ASSERT_TRUE(page220->aiAuto());
    ASSERT_TRUE(waitUntil([&] { return !presenter.messages.isEmpty(); }, 15000));
    EXPECT_FALSE(page220->aiAuto());
    EXPECT_FALSE(page220->ui().aiAutoCheck->isChecked());
}

TEST_F(Qn220PageTest, ThermocoupleChannelReadsDegreesAndOnlyItHasThermocoupleSettings)
{
    simulator.updateState(unit, [](sim::UnitState &s) { s.aiRange = {6, 0, 4}; });
    simulator.pinAI(unit, 0, 25 * 2560);
    open(int(kStartup.size()), true);
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(page220->thermocoupleButton(c)->isEnabled(), c == 0) << c;
    QComboBox *combo = page220->ui().rangeCombo1;
    ASSERT_EQ(combo->count(), 7);
    EXPECT_EQ(combo->itemText(6), "熱電対");
    EXPECT_EQ(combo->currentIndex(), 6);
    EXPECT_EQ(page220->aiChannel(0).scaling.graphMin, 0.0);
    EXPECT_EQ(page220->aiChannel(0).scaling.graphMax, 100.0);
    EXPECT_EQ(window->canvas()->series(0)->maxValue(), 100.0);

    page220->setAiAuto(true);
    const int since = page220->completionsRun();
    for (int i = 0; i < 10; ++i)
        page220->tickOnce();
    ASSERT_TRUE(waitUntil([&] { return page220->completionsRun() > since; }));
    EXPECT_EQ(page220->measuredText(0), "  25.00 ℃");
    EXPECT_EQ(page220->convertedText(0), "25.0000 ");
    // Logged under the QN-210's name, with the range's own unit.
    const QList<QByteArray> lines = fileLines(logDir.path() + "/QN-210_5_127.0.0.1.csv");
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains(",25.0000," + toCp932(QStringLiteral("℃")) + ",")) << lines[1].toStdString();

    // Every range change re-decides the button.
    presenter.answer = true;
    for (int range = 0; range <= 6; ++range) {
        page220->changeRange(1, range);
        ASSERT_TRUE(settle220(1));
        EXPECT_EQ(page220->thermocoupleButton(1)->isEnabled(), range == 6) << range;
    }
}

TEST_F(Qn220PageTest, ThermocoupleDialogSendsTypeAndFlags)
{
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.aiRange[2] = 6;
        s.tcType[2] = 4;
        s.tcOptions[2] = 3;
    });
    open();
    ASSERT_EQ(page220->thermocouple(2).type, 4);
    // J, cold-junction compensation on, burn-out detection off, "最高値" on burn-out.
    setDialogHandler([](QDialog &d) {
        EXPECT_EQ(d.findChild<QComboBox *>("typeList")->currentIndex(), 4);
        EXPECT_TRUE(d.findChild<QCheckBox *>("burnoutCheck")->isChecked());
        d.findChild<QComboBox *>("typeList")->setCurrentIndex(1);
        d.findChild<QCheckBox *>("coldJunctionCheck")->setChecked(true);
        d.findChild<QCheckBox *>("burnoutCheck")->setChecked(false);
        d.findChild<QComboBox *>("burnoutOutputList")->setCurrentIndex(1);
        d.accept();
    });
    page220->thermocoupleButton(2)->click();
    ASSERT_TRUE(settle220(1));
    EXPECT_EQ(simulator.state(unit).tcType[2], 1);
    EXPECT_EQ(simulator.state(unit).tcOptions[2], 5);
    EXPECT_EQ(page220->thermocouple(2).type, 1);
    EXPECT_EQ(page220->thermocouple(2).flags, 5);
}

TEST_F(Qn220PageTest, AnOutputDrivenByItsAlertLeavesTheOtherUsable)
{
    simulator.updateState(unit, [](sim::UnitState &s) { s.doAlerts[0].enabled = 1; });
    open();
    Ui::AnalogInputPage &form = page220->ui();
    struct Controls { QWidget *toggle, *autoCheck, *period; };
    const Controls outputs[] = {{form.doToggleButton1, form.doAutoCheck1, form.doPeriodEdit1},
                                {form.doToggleButton2, form.doAutoCheck2, form.doPeriodEdit2}};
    const auto usable = [&](int o) {
        const Controls &c = outputs[o];
        return c.toggle->isEnabled() + c.autoCheck->isEnabled() + c.period->isEnabled();
    };
    EXPECT_TRUE(page220->doAlertCheck(0)->isChecked());
    EXPECT_EQ(usable(0), 0);
    EXPECT_EQ(usable(1), 3);

    // DO2's alert on through the accessibility interface, as a click would.
    simulator.clearRequestLog(unit);
    toggleByAccessibility(page220->doAlertCheck(1));
    EXPECT_EQ(usable(1), 0);
    ASSERT_TRUE(settle220(2));
    EXPECT_EQ(simulator.requestNames(unit), (std::vector<std::string>{"SetDOAlertEnable", "GetDO"}));
    EXPECT_EQ(simulator.state(unit).doAlerts[1].enabled, 1);
    EXPECT_TRUE(page220->doAlert(1).enabled);

    // Cleared: DO1 is the operator's again. A failed switch leaves the controls as set.
    page220->doAlertCheck(0)->setChecked(false);
    EXPECT_EQ(usable(0), 3);
    ASSERT_TRUE(settle220(2));
    simulator.setFault(unit, {sim::FaultKind::DropConnection, 0, 0, 1});
    page220->doAlertCheck(0)->setChecked(true);
    ASSERT_TRUE(waitUntil([&] { return !presenter.messages.isEmpty(); }));
    EXPECT_TRUE(page220->doAlertCheck(0)->isChecked());
    EXPECT_EQ(usable(0), 0);
    EXPECT_FALSE(page220->doAlert(0).enabled);
}

TEST_F(Qn220PageTest, DoAlertSettingsChangeTheMonitoredInputsThresholds)
{
    open();
    simulator.clearRequestLog(unit);
    page220->postDoAlert(0, {true, 1, 0x0100, 1}, true, 0x1000, 0x2000);
    ASSERT_TRUE(settle220(2));
    EXPECT_EQ(simulator.requestNames(unit), (std::vector<std::string>{"SetDOAlert", "SetADCThreshold"}));
    const sim::UnitState state = simulator.state(unit);
    EXPECT_EQ(state.doAlerts[0].monitoredAi, 1);
    EXPECT_EQ(state.doAlerts[0].hysteresis, 0x0100);
    EXPECT_EQ(state.doAlerts[0].direction, 1);
    EXPECT_EQ(state.thresholds[1].low, 0x1000);
    EXPECT_EQ(state.thresholds[1].high, 0x2000);
    EXPECT_EQ(page220->doAlert(0).monitoredInput, 1);
    EXPECT_EQ(page220->doAlert(0).hysteresis, 0x0100);
    EXPECT_TRUE(page220->aiChannel(1).ledOutside);
    EXPECT_EQ(page220->aiChannel(1).lowThreshold, 0x1000);
    EXPECT_EQ(page220->aiChannel(1).highThreshold, 0x2000);
}

TEST_F(Qn220PageTest, AutomaticBoxesActOnAnyToggle)
{
    open();
    page220->ui().aiPeriodEdit->setText("1");
    toggleByAccessibility(page220->ui().aiAutoCheck);
    EXPECT_TRUE(page220->aiAuto());
    EXPECT_FALSE(page220->ui().readButton->isEnabled());
    toggleByAccessibility(page220->ui().aiAutoCheck);
    EXPECT_FALSE(page220->aiAuto());
    EXPECT_TRUE(page220->ui().readButton->isEnabled());
}

// DO1 follows AI1 until its "設定" moves it to AI2 with a window of 2 .. 3 V: SetDOAlert,
// then AI2's thresholds with its own mode kept; AI2 at 1.25 V then lies outside, so blue.
TEST_F(Qn220PageTest, DoAlertOkSendsTheAlertThenTheMonitoredInputsThresholds)
{
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.thresholds[1] = {0, 2, 0x0000, 0x7FFF};
        s.doAlerts[0] = {1, 0, 0x0010, 0};
    });
    simulator.pinAI(unit, 1, 0x100000);
    open();
    page220->readInputs();
    ASSERT_TRUE(settle220(1));
    EXPECT_EQ(page220->ui().bar2->palette().color(QPalette::Highlight), QColor(255, 0, 0));

    simulator.clearRequestLog(unit);
    setDialogHandler([this](QDialog &d) {
        EXPECT_EQ(d.windowModality(), Qt::WindowModal);
        EXPECT_EQ(d.parentWidget()->window(), window.data());
        EXPECT_EQ(d.findChild<QComboBox *>("monitoredInputCombo")->currentIndex(), 0);
        EXPECT_EQ(d.findChild<QLineEdit *>("widthEdit")->text(), "0.005035"); // code 0x10 on ±10 V
        d.findChild<QComboBox *>("monitoredInputCombo")->setCurrentIndex(1);
        d.findChild<QComboBox *>("directionCombo")->setCurrentIndex(1);
        d.findChild<QLineEdit *>("lowEdit")->setText("2");
        d.findChild<QLineEdit *>("highEdit")->setText("3");
        d.findChild<QLineEdit *>("widthEdit")->setText("0.5");
        d.findChild<QPushButton *>("okButton")->click();
    });
    page220->doAlertButton(0)->click();
    ASSERT_TRUE(settle220(2));
    EXPECT_EQ(simulator.requestNames(unit), (std::vector<std::string>{"SetDOAlert", "SetADCThreshold"}));
    const sim::UnitState state = simulator.state(unit);
    EXPECT_EQ(state.doAlerts[0].monitoredAi, 1);
    EXPECT_EQ(state.doAlerts[0].hysteresis, 0x0666);
    EXPECT_EQ(state.doAlerts[0].direction, 1);
    EXPECT_EQ(state.doAlerts[0].enabled, 1);
    EXPECT_EQ(state.thresholds[1].outside, 0);
    EXPECT_EQ(state.thresholds[1].mode, 2);
    EXPECT_EQ(state.thresholds[1].low, 0x1999);
    EXPECT_EQ(state.thresholds[1].high, 0x2666);
    EXPECT_EQ(state.thresholds[0].high, 0x7FFF); // the input it followed before is untouched

    const Qn220Page::DoAlert &alert = page220->doAlert(0);
    EXPECT_EQ(alert.monitoredInput, 1);
    EXPECT_EQ(alert.hysteresis, 0x0666);
    EXPECT_EQ(alert.direction, 1);
    EXPECT_TRUE(alert.enabled);
    EXPECT_EQ(page220->aiChannel(1).lowThreshold, 0x1999);
    EXPECT_EQ(page220->aiChannel(1).highThreshold, 0x2666);
    EXPECT_EQ(page220->ui().bar2->palette().color(QPalette::Highlight), QColor(0, 0, 255));
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST_F(Qn220PageTest, AFailedDoAlertShowsTheTimeOutAndChangesNothing)
{
    simulator.updateState(unit, [](sim::UnitState &s) { s.doAlerts[1] = {0, 2, 0x0100, 1}; });
    open();
    const Qn220Page::DoAlert before = page220->doAlert(1);
    ASSERT_EQ(before.monitoredInput, 2);
    const Qn220Page::AiChannel input = page220->aiChannel(0);
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, 2});
    setDialogHandler([](QDialog &d) {
        d.findChild<QComboBox *>("monitoredInputCombo")->setCurrentIndex(0);
        d.findChild<QComboBox *>("ledConditionCombo")->setCurrentIndex(1);
        d.findChild<QLineEdit *>("highEdit")->setText("5");
        d.findChild<QLineEdit *>("widthEdit")->setText("1");
        d.findChild<QPushButton *>("okButton")->click();
    });
    page220->doAlertButton(1)->click();
    ASSERT_TRUE(settle220(2));
    ASSERT_FALSE(presenter.messages.isEmpty());
    EXPECT_EQ(presenter.messages[0], DevicePage::timeoutMessage());
    EXPECT_EQ(page220->doAlert(1).monitoredInput, before.monitoredInput);
    EXPECT_EQ(page220->doAlert(1).hysteresis, before.hysteresis);
    EXPECT_EQ(page220->doAlert(1).direction, before.direction);
    EXPECT_EQ(page220->aiChannel(0).ledOutside, input.ledOutside);
    EXPECT_EQ(page220->aiChannel(0).highThreshold, input.highThreshold);
}

TEST_F(Qn220PageTest, ACancelledDoAlertSendsNothing)
{
    open();
    simulator.clearRequestLog(unit);
    setDialogHandler([](QDialog &d) {
        d.findChild<QLineEdit *>("highEdit")->setText("5");
        d.reject();
    });
    page220->doAlertButton(0)->click();
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(simulator.requestNames(unit).empty());
}

TEST_F(UnitWindowTest, TheQn210PageHasNoneOfTheQn220Controls)
{
    openWindow(false);
    EXPECT_EQ(page->ui().rangeCombo1->count(), 6);
    for (const char *name : {"thermocoupleButton1", "doAlertCheck1", "doAlertButton1"})
        EXPECT_EQ(page->findChild<QWidget *>(name), nullptr) << name;
}

} // namespace
