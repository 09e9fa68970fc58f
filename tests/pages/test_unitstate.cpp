// What the unit holds, as every model's window shows and logs it: a range code the list
// lacks but the conversion knows, and changes made by another client (outputs, ranges,
// modes), followed within the bound while nothing the operator is setting is overwritten.
#include "pagetestsupport.h"

#include "graph/trendcanvas.h"
#include "history/trendseries.h"
#include "model/inputrange.h"
#include "model/outputmode.h"
#include "pages/analoginputpage.h"
#include "pages/analogoutputpage.h"
#include "ui/accessibility.h"

#include "ui_analoginputpage.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>

#include <optional>

using namespace qn;
using namespace qn::test;

namespace {

// A change made elsewhere is shown and logged within 2 s: 20 of the page's 100 ms ticks.
constexpr int kBoundTicks = 20;
constexpr int kVolts3 = 9830;   // 2.9999 V on an output in voltage mode
constexpr int kVolts3_9 = 12780; // 3.9 V

std::string modelName(Model model)
{
    std::string name(traits(model).name);
    std::erase(name, '-');
    return name;
}

class UnitStateTest : public UnitWindowFixture<::testing::TestWithParam<Model>> {
protected:
    void SetUp() override
    {
        model = GetParam();
        simulatedModelId = traits(model).modelId;
        UnitWindowFixture::SetUp();
    }

    // Opens the window with its ticks stepped by the test; the page follows the unit.
    void open(bool logging = true)
    {
        window = new UnitWindow(windowArgs(logging), timeouts);
        devicePage = window->page();
        ASSERT_NE(devicePage, nullptr);
        devicePage->stopTicking();
        ASSERT_TRUE(waitUntil([this] { return devicePage->link().answering() && devicePage->link().inFlight() == 0; }));
        inputPage = qobject_cast<AnalogInputPage *>(devicePage);
        outputPage = qobject_cast<AnalogOutputPage *>(devicePage);
    }
    bool inputs() const { return traits(model).analogOutputs == 0; }

    // Steps ticks, each once what the one before posted has come back, until done holds:
    // the ticks it took, or -1 past the bound.
    int ticksUntil(const std::function<bool()> &done)
    {
        for (int t = 1; t <= kBoundTicks; ++t) {
            devicePage->tickOnce();
            if (!waitUntil([this] { return devicePage->link().inFlight() == 0; }))
                return -1;
            if (done())
                return t;
        }
        return -1;
    }
    // Field i of the log's last row ("" before a row).
    QString lastRowField(int i) const
    {
        const QString file = logDir.path() + "/" + QString::fromUtf8(traits(model).logPrefix.data()) + "_3_127.0.0.1.csv";
        const QList<QByteArray> lines = fileLines(file);
        return lines.size() < 2 ? QString() : QString::fromLatin1(lines.last().split(',').value(i));
    }
    TrendSeries *series(int i) const { return window->canvas()->series(i); }

    DevicePage *devicePage = nullptr;
    AnalogInputPage *inputPage = nullptr;
    AnalogOutputPage *outputPage = nullptr;
};

// ---- a code the list lacks -----------------------------------------------------------

struct UnlistedCode {
    Model model;
    int code;
    int pinned;        // AI1's raw reading
    const char *shown; // its measured text
    const char *item;  // what the range list shows
};

class UnlistedRangeTest : public UnitStateTest {};

TEST_P(UnlistedRangeTest, IsTakenWithEveryStartUpReadAndItsConversion)
{
    const UnlistedCode cases[] = {
        {Model::QN210, ai::kThermocoupleRange, 25 * 2560, "  25.00 ℃", "熱電対"},
        {Model::QN210, ai::kHighestRange, 0x400000, "15.0000 V", "±30V"},
        {Model::QN220, ai::kHighestRange, 0x400000, "15.0000 V", "±30V"},
    };
    for (const UnlistedCode &c : cases) {
        if (c.model != model)
            continue;
        SCOPED_TRACE(c.code);
        simulator.updateState(unit, [&](sim::UnitState &s) {
            s.aiRange = {c.code, 0, 4};
            s.thresholds[2] = {1, 0, 0x1000, 0x2000};
        });
        simulator.pinAI(unit, 0, c.pinned);
        simulator.clearRequestLog(unit);
        open(false);
        EXPECT_TRUE(presenter.messages.isEmpty());
        EXPECT_EQ(window->linkStateText(), "接続中");
        const std::vector<std::string> names = simulator.requestNames(unit);
        EXPECT_EQ(countOf(names, "GetAIRange"), 3);
        EXPECT_EQ(countOf(names, "GetADCThreshold"), 3);
        if (model == Model::QN220) {
            EXPECT_EQ(countOf(names, "GetTCSetting"), 3);
            EXPECT_EQ(countOf(names, "GetDOAlert"), 2);
        }
        EXPECT_EQ(inputPage->aiChannel(0).range, c.code);
        EXPECT_EQ(inputPage->aiChannel(1).range, 0);
        EXPECT_EQ(inputPage->aiChannel(2).range, 4);
        EXPECT_EQ(inputPage->aiChannel(2).highThreshold, 0x2000);
        // The list shows the unit's range by name, greyed: the operator cannot choose it.
        QComboBox *combo = inputPage->ui().rangeCombo1;
        EXPECT_EQ(combo->currentText(), c.item);
        auto *items = qobject_cast<QStandardItemModel *>(combo->model());
        ASSERT_NE(items, nullptr);
        EXPECT_FALSE(items->item(combo->currentIndex())->isEnabled());
        inputPage->readInputs();
        ASSERT_TRUE(waitUntil([&] { return !inputPage->measuredText(0).isEmpty(); }));
        EXPECT_EQ(inputPage->measuredText(0), c.shown);
        // A range of the list chosen afterwards takes the greyed item away.
        combo->setCurrentIndex(ai::kInitialRange);
        ASSERT_TRUE(waitUntil([&] { return inputPage->aiChannel(0).range == ai::kInitialRange; }));
        EXPECT_EQ(combo->count(), int(ai::rangeItems(traits(model).thermocouple).size()));
        EXPECT_TRUE(presenter.messages.isEmpty());
        window->disconnectUnit();
        ASSERT_TRUE(waitUntil([this] { return window.isNull(); }));
    }
}

INSTANTIATE_TEST_SUITE_P(Models, UnlistedRangeTest, ::testing::Values(Model::QN210, Model::QN220),
                         [](const auto &info) { return modelName(info.param); });

// ---- changes made elsewhere ------------------------------------------------------------

TEST_P(UnitStateTest, ChangesMadeElsewhereAreShownAndLoggedWithinTheBound)
{
    open();
    if (inputs()) {
        inputPage->ui().aiPeriodEdit->setText("1");
        inputPage->setAiAuto(true);
    } else {
        outputPage->findChild<QLineEdit *>("diPeriodEdit")->setText("1");
        outputPage->findChild<QCheckBox *>("diAutoCheck")->click();
    }
    // Some rounds of readings and reads, so the change lands anywhere in a round.
    ASSERT_EQ(ticksUntil([this] { return series(0)->count() >= 5; }), 5);

    // Another client switches DO1 on and AI1 to ±100mV; or sets AO1 to 3 V and AO2 to
    // current mode.
    const int modeChannel = 1;
    simulator.updateState(unit, [&](sim::UnitState &s) {
        s.doPattern = 1;
        s.aiRange[0] = 0;
        s.aoRaw[0] = kVolts3;
        s.aoMode[modeChannel] = 1;
    });
    const int changedSeries = inputs() ? 0 : modeChannel;
    const int keptSeries = inputs() ? 1 : 0;
    const std::size_t keptBefore = series(keptSeries)->count();
    std::optional<bool> clearedWhenFound;
    const auto shown = [&] {
        const bool found = inputs() ? inputPage->aiChannel(0).range == 0 : outputPage->aoChannel(modeChannel).mode == 1;
        if (found && !clearedWhenFound)
            clearedWhenFound = series(changedSeries)->count() == 0;
        return found && (inputs() ? inputPage->doState(0) == 1 : outputPage->aoChannel(0).raw == kVolts3);
    };
    const int shownAfter = ticksUntil(shown);
    ASSERT_GT(shownAfter, 0) << "not shown within " << kBoundTicks << " ticks";
    EXPECT_LE(shownAfter, devicePage->refresh().roundLength() + 1);
    EXPECT_TRUE(clearedWhenFound.value_or(false)) << "the trace of the old range or mode";
    EXPECT_GT(series(keptSeries)->count(), keptBefore) << "other traces go on";
    const int ao1Field = 2 + traits(model).digitalInputs;
    const int loggedAfter = ticksUntil([&] {
        return inputs() ? lastRowField(8) == "1" && lastRowField(3) == "mV" : lastRowField(ao1Field) == "2.9999";
    });
    ASSERT_GT(loggedAfter, 0);
    EXPECT_LE(shownAfter + loggedAfter, kBoundTicks);

    if (inputs()) {
        EXPECT_EQ(accessibleValueText(devicePage->findChild<QLabel *>("doLamp1")), "ON");
        EXPECT_EQ(inputPage->ui().rangeCombo1->currentIndex(), 0);
    } else {
        EXPECT_EQ(outputPage->displayText(0), "2.9999 V");
        EXPECT_EQ(accessibleValueText(devicePage->findChild<QLabel *>("aoLamp1")), "ON");
        EXPECT_EQ(outputPage->displayText(modeChannel), "0.000 mA");
        EXPECT_EQ(series(modeChannel)->maxValue(), 20.0);
    }
    EXPECT_EQ(countOf(simulator.requestNames(unit), "SetAO") + countOf(simulator.requestNames(unit), "SetDO")
                  + countOf(simulator.requestNames(unit), "SetAIRange"),
              0)
        << "the page only reads";
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST_P(UnitStateTest, WhatTheOperatorIsSettingIsNotOverwrittenByARead)
{
    if (!inputs())
        simulator.updateState(unit, [](sim::UnitState &s) { s.aoRaw[1] = kVolts3_9; });
    open(false);
    if (inputs()) {
        // DO1 toggled by the operator while a read of the outputs is on its way.
        simulator.setFault(unit, {sim::FaultKind::ReplyLate, 100, 0, 1});
        devicePage->tickOnce(); // posts the read of the outputs, answered late
        inputPage->toggleOutput(0);
        ASSERT_TRUE(waitUntil([this] { return devicePage->link().inFlight() == 0; }));
        EXPECT_EQ(inputPage->doState(0), 1);
    } else {
        // AO2 is on and the operator is typing a new value for it.
        outputPage->findChild<QLineEdit *>("aoValueEdit2")->setText("2.5");
        ASSERT_EQ(outputPage->aoChannel(1).state, AnalogOutputPage::ControlState::Edited);
        outputPage->findChild<QLineEdit *>("aoValueEdit1")->setText("1");
        simulator.setFault(unit, {sim::FaultKind::ReplyLate, 100, 0, 1});
        devicePage->tickOnce(); // posts the read of AO1, answered late
        outputPage->toggleOutput(0);
        ASSERT_TRUE(waitUntil([this] { return devicePage->link().inFlight() == 0; }));
        EXPECT_EQ(outputPage->displayText(0), "0.9998 V");
        EXPECT_EQ(outputPage->aoChannel(0).state, AnalogOutputPage::ControlState::On);
        // A whole round of reads later the typed value is still there, to go with "更新".
        const int round = devicePage->refresh().readsDone() + devicePage->refresh().roundLength();
        ASSERT_GT(ticksUntil([&] { return devicePage->refresh().readsDone() >= round; }), 0);
        EXPECT_EQ(outputPage->valueEditText(1), "2.5");
        EXPECT_EQ(outputPage->aoChannel(1).state, AnalogOutputPage::ControlState::Edited);
    }
    EXPECT_TRUE(presenter.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Models, UnitStateTest,
                         ::testing::Values(Model::QN210, Model::QN220, Model::QN110, Model::QN120),
                         [](const auto &info) { return modelName(info.param); });

// ---- what the log holds of an output ------------------------------------------------

class OutputLogTest : public UnitStateTest {};

TEST_P(OutputLogTest, TheLoggedOutputIsWhatTheUnitWasSetToAsTheDisplayShows)
{
    // mode, typed -> display and logged value (clamped and truncated)
    struct Case { int mode; const char *typed; const char *display; const char *logged; };
    const Case cases[] = {{0, "12", "9.9997 V", "9.9997"}, {1, "25", "19.999 mA", "19.999"}, {0, "-3", "-2.9999 V", "-2.9999"}};
    simulator.pinDI(unit, 0);
    open();
    outputPage->findChild<QLineEdit *>("diPeriodEdit")->setText("1");
    outputPage->findChild<QCheckBox *>("diAutoCheck")->click();
    const int ao1Field = 2 + traits(model).digitalInputs;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.typed);
        simulator.updateState(unit, [&](sim::UnitState &s) {
            s.aoMode[0] = c.mode;
            s.aoRaw[0] = 0;
        });
        ASSERT_GT(ticksUntil([&] { return outputPage->aoChannel(0).mode == c.mode; }), 0);
        outputPage->findChild<QLineEdit *>("aoValueEdit1")->setText(c.typed);
        outputPage->findChild<QPushButton *>("aoToggleButton1")->click();
        ASSERT_GT(ticksUntil([&] { return lastRowField(ao1Field) == c.logged; }), 0);
        EXPECT_EQ(outputPage->displayText(0), c.display);
        outputPage->findChild<QPushButton *>("aoToggleButton1")->click(); // off
        ASSERT_TRUE(waitUntil([this] { return devicePage->link().inFlight() == 0; }));
    }
    EXPECT_TRUE(presenter.messages.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Models, OutputLogTest, ::testing::Values(Model::QN110, Model::QN120),
                         [](const auto &info) { return modelName(info.param); });

} // namespace
