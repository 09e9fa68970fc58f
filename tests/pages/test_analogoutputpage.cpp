// The QN-110 and QN-120 pages against a simulated unit of their model.
#include "pagetestsupport.h"

#include "common/cp932.h"
#include "dialogs/dialogrunner.h"
#include "dialogs/outputrangedialog.h"
#include "dialogs/sweepdialog.h"
#include "graph/graphtab.h"
#include "graph/trendcanvas.h"
#include "link/protocol.h"
#include "model/model.h"
#include "model/outputmode.h"
#include "pages/analogoutputpage.h"
#include "ui/accessibility.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>

using namespace qn;
using namespace qn::test;

namespace {

using State = AnalogOutputPage::ControlState;

// A SetAO as the unit received it.
struct SetAO {
    int channel, mode, raw;
    bool operator==(const SetAO &) const = default;
};

struct HandlerScope {
    explicit HandlerScope(DialogHandler h) { setDialogHandler(std::move(h)); }
    ~HandlerScope() { setDialogHandler({}); }
};

class AnalogOutputPageTest : public ::testing::TestWithParam<Model> {
protected:
    void SetUp() override
    {
        unitSettings().resetToDefaults();
        unitSettings().setPath(QString());
        setMessagePresenter(&presenter);
        sim::UnitConfig config;
        config.modelId = traits(GetParam()).modelId;
        config.unitId = 2;
        config.discovery.enabled = false;
        unit = simulator.addUnit(config);
        std::string error;
        ASSERT_TRUE(simulator.start(&error)) << error;
        simulator.pinDI(unit, 0b101);
        ASSERT_TRUE(logDir.isValid());
    }

    void TearDown() override
    {
        if (window) {
            window->disconnectUnit();
            waitUntil([this] { return window.isNull(); });
        }
        setMessagePresenter(nullptr);
    }

    // Opens the window, waits for the start-up chain (GetAO and GetADCThreshold per
    // output, the start-up GetDI) and stops the tick: the test steps it on its clock.
    void open(bool logging = false)
    {
        UnitWindowArgs args;
        args.model = GetParam();
        args.ipAddress = QStringLiteral("127.0.0.1");
        args.tcpPort = simulator.tcpPort(unit);
        args.unitId = 2;
        args.loggingEnabled = logging;
        args.logFolder = logDir.path();
        window = new UnitWindow(args, {800, 800, 800});
        page = qobject_cast<AnalogOutputPage *>(window->page());
        ASSERT_NE(page, nullptr);
        page->stopTicking();
        page->setFollowingUnit(false); // this test counts the requests
        page->setSweepClock([this] { return now; });
        ASSERT_TRUE(waitUntil([this] { return page->completionsRun() >= 2 * page->outputs() + 1; }));
        simulator.clearRequestLog(unit);
        mark = page->completionsRun();
    }

    QPushButton *button(const char *name, int channel) const
    {
        return page->findChild<QPushButton *>(QString::fromLatin1(name) + QString::number(channel + 1));
    }
    QLineEdit *valueEdit(int channel) const
    {
        return page->findChild<QLineEdit *>(QStringLiteral("aoValueEdit%1").arg(channel + 1));
    }

    // The SetAO requests among the next n requests the unit receives, once the page has
    // run their completions; n = 0 checks that nothing arrives.
    std::vector<SetAO> sent(std::size_t n)
    {
        if (n == 0) // long enough for a stray SetAO to arrive; the caller sees it in what comes back
            waitUntil([&] { return !setAOs().empty(); }, 150);
        // With the event loop running: the session sends the next request only once the
        // page has run the previous one's completion.
        EXPECT_TRUE(waitUntil([&] { return simulator.requestLog(unit).size() >= n; }, 3000))
            << n << " wanted, got " << ::testing::PrintToString(simulator.requestNames(unit));
        EXPECT_TRUE(waitUntil([&] { return page->completionsRun() >= mark + int(n); }, 3000));
        std::vector<SetAO> out = setAOs();
        simulator.clearRequestLog(unit);
        mark = page->completionsRun();
        return out;
    }
    // The SetAO requests in the unit's log so far.
    std::vector<SetAO> setAOs() const
    {
        std::vector<SetAO> out;
        for (const sim::LoggedRequest &r : simulator.requestLog(unit)) {
            if (r.op != proto::Op::SetAO)
                continue;
            const std::vector<uint8_t> p = r.params();
            out.push_back({(p[0] - 0x20) & 7, (p[0] & 8) ? 1 : 0, int(proto::hexValue(p.data() + 1, 4))});
        }
        return out;
    }
    void tickAt(std::uint64_t ms)
    {
        now = ms;
        page->tickOnce();
    }

    ScriptedPresenter presenter;
    sim::Simulator simulator;
    int unit = 0;
    QTemporaryDir logDir;
    QPointer<UnitWindow> window;
    AnalogOutputPage *page = nullptr;
    std::uint64_t now = 0;
    int mark = 0;
};

TEST_P(AnalogOutputPageTest, StartUpReadsBackEachOutputThenItsThresholds)
{
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.aoRaw = {0xC000, 0, 0x4000};
        s.aoMode = {0, 0, 1};
        s.thresholds[1] = {1, 2, 0x1000, 0x2000};
    });
    open();
    const int n = page->outputs();
    EXPECT_EQ(page->displayText(0), "-5.0000 V");
    EXPECT_EQ(page->valueEditText(0), "-5.0000");
    EXPECT_TRUE(page->aoChannel(0).outputOn);
    EXPECT_EQ(page->aoChannel(0).state, State::On);
    EXPECT_EQ(page->aoChannel(1).state, State::Off);
    EXPECT_EQ(page->aoChannel(1).thresholdMode, 2);
    EXPECT_TRUE(page->aoChannel(1).ledOutside);
    if (n == 3) {
        EXPECT_EQ(page->displayText(2), "10.000 mA");
        EXPECT_EQ(window->canvas()->series(2)->minValue(), 0.0) << "current mode's default range";
    }
    // The start-up reading shows the inputs but feeds neither the graph nor the log.
    EXPECT_TRUE(page->diState(0));
    EXPECT_FALSE(page->diState(1));
    for (int s = 0; s < 5; ++s)
        EXPECT_EQ(window->canvas()->series(s)->count(), 0u);
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST_P(AnalogOutputPageTest, ValuesAreConvertedClampedAndShown)
{
    open();
    // mode, factor, typed -> raw sent, display
    struct Case { int mode; const char *factor; const char *typed; int raw; const char *display; };
    const Case cases[] = {
        {0, "1", "12", 32767, "9.9997 V"}, {1, "1", "-3", 0, "0.000 mA"}, {0, "1", "-", 0, "0.0000 V"},
        {0, "2", "4", 6553, "1.9998 V"},
        {0, "0", "1", 32767, "9.9997 V"}, // a factor of 0: +infinity, the top code
        {0, "0", "0", 0, "0.0000 V"},     // 0 / 0: not a number, code 0
        {0, "1", "-0.0004", 0xFFFF, "-0.0003 V"}, // code -1: its echo is a value like any other
    };
    for (const Case &c : cases) {
        {
            HandlerScope formula([&](QDialog &d) {
                d.findChild<QLineEdit *>("factorEdit")->setText(c.factor);
                d.accept();
            });
            page->onFormulaButton(0);
        }
        {
            HandlerScope range([&](QDialog &d) {
                d.findChild<QComboBox *>("rangeCombo")->setCurrentIndex(c.mode);
                d.accept();
            });
            page->onRangeButton(0);
        }
        valueEdit(0)->setText(c.typed);
        button("aoToggleButton", 0)->click();
        EXPECT_EQ(sent(1), (std::vector<SetAO>{{0, c.mode, c.raw}})) << c.typed;
        EXPECT_EQ(page->displayText(0), c.display) << c.typed;
        button("aoToggleButton", 0)->click(); // off again
        EXPECT_EQ(sent(1), (std::vector<SetAO>{{0, c.mode, 0}}));
    }
    EXPECT_EQ(presenter.messages, QStringList{});
}

TEST_P(AnalogOutputPageTest, ControlStatesFollowEditsButtonsAndSweeps)
{
    open();
    GraphTab *graph = window->graphTab();
    auto expectState = [&](State state) {
        // state -> edit, toggle enabled, toggle text, formula / V/I / Scale enabled
        const bool sweeping = state == State::Sweeping;
        EXPECT_EQ(page->aoChannel(0).state, state);
        EXPECT_EQ(valueEdit(0)->isEnabled(), !sweeping);
        EXPECT_EQ(button("aoToggleButton", 0)->isEnabled(), !sweeping);
        const QString text = state == State::Edited ? AnalogOutputPage::updateText() : AnalogOutputPage::onOffText();
        EXPECT_EQ(button("aoToggleButton", 0)->text(), text);
        // A screen reader announces the action the button now stands for.
        EXPECT_EQ(QAccessible::queryAccessibleInterface(button("aoToggleButton", 0))->text(QAccessible::Name),
                  "AO1 " + text);
        for (const char *name : {"aoFormulaButton", "aoRangeButton"})
            EXPECT_EQ(button(name, 0)->isEnabled(), state == State::Off) << name;
        EXPECT_EQ(graph->findChild<QPushButton *>("scaleButton0")->isEnabled(), state == State::Off);
        for (const char *name : {"aoThresholdButton", "aoSweepSettingsButton", "aoSweepButton"})
            EXPECT_TRUE(button(name, 0)->isEnabled()) << name;
    };
    expectState(State::Off);
    valueEdit(0)->setText("2.5");
    expectState(State::Off); // editing an output that is off
    button("aoToggleButton", 0)->click();
    expectState(State::On);
    valueEdit(0)->setText("3");
    expectState(State::Edited);
    button("aoToggleButton", 0)->click();
    expectState(State::On);
    EXPECT_EQ(sent(2), (std::vector<SetAO>{{0, 0, 8192}, {0, 0, 9830}}));
    button("aoSweepButton", 0)->click();
    expectState(State::Sweeping);
    EXPECT_TRUE(button("aoSweepButton", 0)->isChecked()) << "stays down while sweeping";
    EXPECT_TRUE(sent(0).empty()) << "nothing is sent before the next tick";
    button("aoSweepButton", 0)->click(); // stop: the ON/OFF action switches it off
    expectState(State::Off);
    EXPECT_EQ(sent(1), (std::vector<SetAO>{{0, 0, 0}}));
    EXPECT_EQ(page->valueEditText(0), "0.0000");
}

TEST_P(AnalogOutputPageTest, SweepRisesFallsAndRestartsOnTheTestClock)
{
    open();
    HandlerScope settings([](QDialog &d) {
        auto &dlg = static_cast<SweepDialog &>(d);
        for (auto [name, text] : {std::pair{"lowEdit", "0"}, {"highEdit", "1"}, {"riseEdit", "10"}, {"fallEdit", "10"}})
            dlg.findChild<QLineEdit *>(name)->setText(text);
        dlg.accept();
    });
    page->onSweepSettingsButton(0);
    now = 5000;
    button("aoSweepButton", 0)->click();
    QStringList shown;
    std::vector<int> raws;
    for (int i = 1; i <= 22; ++i) {
        tickAt(5000 + std::uint64_t(i) * 100);
        const std::vector<SetAO> step = sent(i == 21 ? 0 : 1);
        raws.push_back(step.empty() ? -1 : step[0].raw);
        shown << page->valueEditText(0);
    }
    EXPECT_EQ(shown.mid(0, 3), (QStringList{"0.1000", "0.2000", "0.3000"}));
    EXPECT_EQ(shown[9], "1.0000") << "the peak";
    EXPECT_EQ(shown[19], "0.0000");
    EXPECT_EQ(raws[20], -1) << "the turn sends nothing";
    EXPECT_EQ(shown[21], "0.1000");
    EXPECT_EQ(raws[0], 327);
    EXPECT_EQ(raws[9], 3276);
}

TEST_P(AnalogOutputPageTest, ASweepThroughCodeMinusOneGoesOnWithoutAMessage)
{
    open();
    HandlerScope settings([](QDialog &d) {
        for (auto [name, text] :
             {std::pair{"lowEdit", "-0.0005"}, {"highEdit", "0.0005"}, {"riseEdit", "10"}, {"fallEdit", "10"}})
            d.findChild<QLineEdit *>(name)->setText(text);
        d.accept();
    });
    page->onSweepSettingsButton(0);
    page->findChild<QCheckBox *>("diAutoCheck")->click();
    button("aoSweepButton", 0)->click();
    std::vector<int> raws;
    for (int i = 1; i <= 3; ++i) {
        tickAt(std::uint64_t(i) * 100);
        for (const SetAO &step : sent(1))
            raws.push_back(step.raw);
    }
    EXPECT_EQ(raws.front(), 0xFFFF);
    EXPECT_TRUE(page->aoChannel(0).sweeping);
    EXPECT_TRUE(page->diAuto());
    EXPECT_EQ(presenter.messages, QStringList{});
}

TEST_P(AnalogOutputPageTest, FailedStepOfASweepStopsEverySweepAndAutomaticReading)
{
    open();
    const int n = page->outputs();
    page->findChild<QCheckBox *>("diAutoCheck")->click();
    ASSERT_TRUE(page->diAuto());
    for (int c = 0; c < n; ++c)
        button("aoSweepButton", c)->click();
    // The step of AO2 (the second request of the tick) gets no answer.
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, 1, 1});
    tickAt(100);
    ASSERT_TRUE(waitUntil([this] { return !presenter.messages.isEmpty(); }, 5000));
    // Every channel stopped, in one state on the lamp, the display and the graph's value
    // alike: at once what the unit last confirmed, in control state 0 whether the output
    // is still on or not ("換算式", "V/I" and Scale enabled); and once the link is back
    // (idle, the page asks the unit after a while, then reads the outputs again) what the
    // unit holds: a channel whose output the read finds changed takes the state a start-up
    // read gives it, the others stay in state 0.
    std::vector<int> shownRaw(std::size_t(n), 0);
    const auto expectOneState = [&](bool afterReread) {
        for (int c = 0; c < n; ++c) {
            SCOPED_TRACE(c);
            const AnalogOutputPage::AoChannel &ch = page->aoChannel(c);
            EXPECT_FALSE(ch.sweeping);
            EXPECT_FALSE(button("aoSweepButton", c)->isChecked());
            const bool found = afterReread && ch.raw != shownRaw[std::size_t(c)];
            const State state = found && ch.outputOn ? State::On : State::Off;
            EXPECT_EQ(ch.state, state);
            EXPECT_EQ(accessibleValueText(page->findChild<QLabel *>(QStringLiteral("aoLamp%1").arg(c + 1))),
                      ch.outputOn ? "ON" : "OFF");
            EXPECT_EQ(button("aoFormulaButton", c)->isEnabled(), state == State::Off);
            EXPECT_EQ(button("aoRangeButton", c)->isEnabled(), state == State::Off);
            EXPECT_EQ(window->graphTab()->findChild<QPushButton *>(QStringLiteral("scaleButton%1").arg(c))->isEnabled(),
                      state == State::Off);
            EXPECT_TRUE(valueEdit(c)->isEnabled());
            EXPECT_EQ(window->graphTab()->valueLabelText(c).split(' ').first(),
                      QString::fromStdString(ao::graphValueText(ch.value)));
        }
    };
    expectOneState(false);
    for (int c = 0; c < n; ++c)
        shownRaw[std::size_t(c)] = page->aoChannel(c).raw;
    EXPECT_EQ(presenter.messages, QStringList{DevicePage::timeoutMessage()});
    for (int t = 0; t < LinkWatch::kIdleProbeTicks; ++t)
        tickAt(100);
    ASSERT_TRUE(waitUntil([this] { return page->link().answering() && page->link().inFlight() == 0; }, 5000));
    expectOneState(true);
    const sim::UnitState unitNow = simulator.state(unit);
    for (int c = 0; c < n; ++c)
        EXPECT_EQ(page->aoChannel(c).raw, unitNow.aoRaw[c]) << c;
    EXPECT_FALSE(page->diAuto());
    EXPECT_FALSE(page->findChild<QCheckBox *>("diAutoCheck")->isChecked());
}

TEST_P(AnalogOutputPageTest, FailedReadingWhileSweepingStopsTheSweeps)
{
    open();
    button("aoSweepButton", 1)->click();
    simulator.setFault(unit, {sim::FaultKind::DropConnection, 0, 0, 1});
    page->readInputs();
    ASSERT_TRUE(waitUntil([this] { return !presenter.messages.isEmpty(); }, 5000));
    EXPECT_FALSE(page->aoChannel(1).sweeping);
    EXPECT_EQ(page->aoChannel(1).state, State::Off);
}

TEST_P(AnalogOutputPageTest, RangeDialogActsOnlyOnAChange)
{
    open();
    valueEdit(0)->setText("5");
    button("aoToggleButton", 0)->click();
    sent(1);
    int mode = 0;
    HandlerScope range([&](QDialog &d) {
        d.findChild<QComboBox *>("rangeCombo")->setCurrentIndex(mode);
        d.accept();
    });
    window->canvas()->series(0)->addSample(1.0, 5.0);
    // The button is disabled while the output is on; after a failure it may be on in state 0.
    page->onRangeButton(0);
    EXPECT_TRUE(sent(0).empty());
    button("aoToggleButton", 0)->click(); // off
    sent(1);
    page->onRangeButton(0);
    EXPECT_TRUE(sent(0).empty()) << "unchanged";
    EXPECT_EQ(window->canvas()->series(0)->count(), 1u);
    mode = 1;
    page->onRangeButton(0);
    EXPECT_EQ(page->aoChannel(0).mode, 1);
    EXPECT_EQ(window->canvas()->series(0)->count(), 0u) << "trace cleared";
    EXPECT_EQ(window->canvas()->series(0)->maxValue(), 20.0);
    EXPECT_EQ(QString::fromStdString(window->canvas()->series(0)->unit()), "mA");
    EXPECT_EQ(page->displayText(0), "0.000 mA");
}

TEST_P(AnalogOutputPageTest, AutomaticReadingsFeedTheGraphAndTheLog)
{
    open(true);
    valueEdit(0)->setText("1.5");
    button("aoToggleButton", 0)->click();
    sent(1);
    page->findChild<QLineEdit *>("diPeriodEdit")->setText("2");
    page->findChild<QCheckBox *>("diAutoCheck")->click();
    for (int i = 1; i <= 4; ++i) {
        tickAt(100 * std::uint64_t(i));
        if (i % 2 == 0)
            sent(1);
    }
    const bool qn110 = GetParam() == Model::QN110;
    const QString file = logDir.path() + (qn110 ? "/QN-110_2_127.0.0.1.csv" : "/QN-120_2_127.0.0.1.csv");
    const QList<QByteArray> lines = fileLines(file);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(fromCp932(lines[0]), qn110 ? "日付,時刻,DI1,DI2,DI3,AO1,単位1,AO2,単位2"
                                                 : "日付,時刻,DI1,DI2,AO1,単位1,AO2,単位2,AO3,単位3");
    const QByteArray fields = lines[1].split(',').mid(2).join(',');
    // The row holds what the unit was set to, as the display shows it: 1.5 typed is code
    // 4915, 1.4999 V.
    EXPECT_EQ(page->displayText(0), "1.4999 V");
    EXPECT_EQ(fields, qn110 ? "1,0,1,1.4999,V,0.0000,V" : "1,0,1.4999,V,0.0000,V,0.0000,V");
    EXPECT_EQ(window->canvas()->series(0)->count(), 2u);
    EXPECT_EQ(window->graphTab()->valueLabelText(0), "1.50000 V");
    EXPECT_EQ(window->graphTab()->valueLabelText(page->outputs()).trimmed(), "ON");
}

TEST_P(AnalogOutputPageTest, FailedSwitchOffOnlyTellsAndClosingEndsSweepsSilently)
{
    open();
    valueEdit(0)->setText("1");
    button("aoToggleButton", 0)->click();
    sent(1);
    simulator.setFault(unit, {sim::FaultKind::DropConnection, 0, 0, 1});
    button("aoToggleButton", 0)->click(); // off: the unit does not confirm
    ASSERT_TRUE(waitUntil([this] { return !presenter.messages.isEmpty(); }, 5000));
    // The unit still outputs 1: the page says so.
    EXPECT_TRUE(page->aoChannel(0).outputOn);
    EXPECT_EQ(page->aoChannel(0).state, State::On);

    simulator.clearRequestLog(unit);
    button("aoSweepButton", 1)->click();
    window->disconnectUnit();
    ASSERT_TRUE(waitUntil([this] { return window.isNull(); }));
    EXPECT_FALSE(waitUntil([this] { return !simulator.requestLog(unit).empty(); }, 150)) << "no final value";
}

TEST_P(AnalogOutputPageTest, ThresholdsInTheModesUnitAndNamesOnLegendAndLog)
{
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.aoMode[0] = 1;
        s.thresholds[0] = {0, 1, 0x1000, 0x2000};
    });
    open(true);
    QStringList shown;
    HandlerScope dialogs([&](QDialog &d) {
        if (auto *low = d.findChild<QLineEdit *>("lowEdit")) {
            shown << low->text() << d.findChild<QLineEdit *>("highEdit")->text();
            low->setText("10");
        } else {
            d.findChild<QLineEdit *>("nameEdit")->setText("あいうえおかきくけ"); // 18 bytes
        }
        d.accept();
    });
    page->onThresholdButton(0);
    // 0x1000xx and 0x2000FF of a 20 mA full scale; OK sends the low value typed, the high one kept.
    EXPECT_EQ(shown, (QStringList{"2.500000", "5.000608"}));
    ASSERT_TRUE(waitUntil([this] { return page->aoChannel(0).thresholdLow == 0x4000; }));
    EXPECT_EQ(page->aoChannel(0).thresholdHigh, 0x2000);
    EXPECT_EQ(page->aoChannel(0).thresholdMode, 1) << "sent back as read";

    page->onSignalNameButton(AnalogOutputPage::kOutputKind, 0);
    page->onSignalNameButton(AnalogOutputPage::kInputKind, 1);
    EXPECT_EQ(window->graphTab()->legendText(0), "AO1: あいうえおかきくけ");
    EXPECT_EQ(window->graphTab()->legendText(page->outputs() + 1), "DI2: あいうえおかきくけ");
    page->readInputs();
    page->findChild<QCheckBox *>("diAutoCheck")->click();
    tickAt(1000);
    sent(2);
    const QString file = logDir.path() + QStringLiteral("/%1_2_127.0.0.1.csv").arg(traits(GetParam()).logPrefix.data());
    const QList<QByteArray> lines = fileLines(file);
    ASSERT_EQ(lines.size(), 2);
    // An input's name is cut to 16 bytes, an output's kept whole.
    EXPECT_TRUE(fromCp932(lines[0]).startsWith("日付,時刻,DI1,あいうえおかきく,")) << fromCp932(lines[0]).toStdString();
    EXPECT_TRUE(fromCp932(lines[0]).contains(",あいうえおかきくけ,単位1,AO2,単位2"));
}

INSTANTIATE_TEST_SUITE_P(Models, AnalogOutputPageTest, ::testing::Values(Model::QN110, Model::QN120),
                         [](const auto &info) { return std::string(info.param == Model::QN110 ? "QN110" : "QN120"); });

// QN-120 only: three channels sweeping independently.
using Qn120SweepTest = AnalogOutputPageTest;

TEST_P(Qn120SweepTest, SweepsOnAO1AndAO3RunIndependently)
{
    open();
    const char *rise = "10";
    HandlerScope settings([&](QDialog &d) {
        d.findChild<QLineEdit *>("riseEdit")->setText(rise);
        d.accept();
    });
    page->onSweepSettingsButton(0);
    rise = "20";
    page->onSweepSettingsButton(2);
    button("aoSweepButton", 0)->click();
    now = 500;
    button("aoSweepButton", 2)->click();
    tickAt(1000);
    std::vector<SetAO> step = sent(2);
    ASSERT_EQ(step.size(), 2u);
    EXPECT_EQ(page->valueEditText(0), "9.0000") << "AO1 at its peak after T1";
    EXPECT_EQ(page->valueEditText(2), "3.0000") << "AO3 a quarter of the way up: 1 + 8 * 500 / 2000";
    button("aoSweepButton", 0)->click();
    sent(1);
    tickAt(1100);
    step = sent(1);
    ASSERT_EQ(step.size(), 1u);
    EXPECT_EQ(step[0].channel, 2);
    EXPECT_TRUE(page->aoChannel(2).sweeping);
}

INSTANTIATE_TEST_SUITE_P(Models, Qn120SweepTest, ::testing::Values(Model::QN120),
                         [](const auto &) { return std::string("QN120"); });

} // namespace
