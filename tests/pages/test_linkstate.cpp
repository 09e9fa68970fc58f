// A unit that stops answering and comes back changed, as every model's window shows it:
// the link's state beside "切断", values greyed out until a reading, the unit's state read
// again after the reconnect; and where the page logs.
#include "pagetestsupport.h"

#include "graph/graphtab.h"
#include "model/inputrange.h"
#include "pages/analoginputpage.h"
#include "pages/analogoutputpage.h"
#include "pages/qn220page.h"
#include "ui/accessibility.h"

#include "ui_analoginputpage.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>

using namespace qn;
using namespace qn::test;

namespace {

constexpr int kVolts3_9 = 12780; // about 3.9 V on an output in voltage mode

class LinkStateTest : public UnitWindowFixture<::testing::TestWithParam<Model>> {
protected:
    void SetUp() override
    {
        model = GetParam();
        simulatedModelId = traits(model).modelId;
        UnitWindowFixture::SetUp();
        UnitWindow::setFolderOpener([this](const QUrl &url) {
            opened << url;
            return true;
        });
    }

    void TearDown() override
    {
        UnitWindowFixture::TearDown();
        UnitWindow::setFolderOpener({});
    }

    void open(bool logging)
    {
        window = new UnitWindow(windowArgs(logging), timeouts);
        devicePage = window->page();
        ASSERT_NE(devicePage, nullptr);
        devicePage->stopTicking();
        devicePage->setFollowingUnit(false); // this test counts the requests
        ASSERT_TRUE(settled());
    }

    // The unit answers and nothing is on its way (a chain has read to its end).
    bool settled()
    {
        return waitUntil([this] { return devicePage->link().answering() && devicePage->link().inFlight() == 0; });
    }
    // Idle ticks until the page asks the unit whether it is there.
    void idleUntilProbe()
    {
        for (int t = 0; t < LinkWatch::kIdleProbeTicks; ++t)
            devicePage->tickOnce();
    }
    bool unitValuesEnabled() const
    {
        const QList<QProgressBar *> bars = devicePage->findChildren<QProgressBar *>();
        return std::all_of(bars.begin(), bars.end(), [](QProgressBar *b) { return b->isEnabled(); });
    }
    bool unitValuesDisabled() const
    {
        const QList<QProgressBar *> bars = devicePage->findChildren<QProgressBar *>();
        return !bars.isEmpty() && std::none_of(bars.begin(), bars.end(), [](QProgressBar *b) { return b->isEnabled(); });
    }
    QString accessibleName(const char *name) const
    {
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(window->findChild<QWidget *>(name));
        return a ? a->text(QAccessible::Name) : QString();
    }

    DevicePage *devicePage = nullptr;
    QList<QUrl> opened;
};

TEST_P(LinkStateTest, AUnitSwitchedOffAndOnWithOtherSettingsIsShownAsItIsNow)
{
    const bool inputs = traits(GetParam()).analogOutputs == 0;
    const int rangeBefore = GetParam() == Model::QN220 ? ai::kThermocoupleRange : 5;
    simulator.updateState(unit, [&](sim::UnitState &s) {
        s.aiRange[0] = rangeBefore;
        s.aoRaw[0] = kVolts3_9;
    });
    open(false);
    EXPECT_EQ(window->linkStateText(), "接続中");
    EXPECT_FALSE(window->lastReadingText().isEmpty());
    auto *inputPage = qobject_cast<AnalogInputPage *>(devicePage);
    auto *outputPage = qobject_cast<AnalogOutputPage *>(devicePage);
    ASSERT_TRUE(inputs ? inputPage != nullptr : outputPage != nullptr);
    if (inputs)
        ASSERT_EQ(inputPage->aiChannel(0).range, rangeBefore);
    else
        ASSERT_TRUE(outputPage->aoChannel(0).outputOn);
    // A value being typed for AO1, not yet sent, outlasts the reconnect.
    auto *aoEdit = devicePage->findChild<QLineEdit *>("aoValueEdit1");
    if (!inputs)
        aoEdit->setText("2.5");

    // Switched off: a page that reads nothing on a timer finds out by itself, says so
    // beside "切断" without a message box, and greys out what it showed.
    simulator.setOnline(unit, false);
    idleUntilProbe();
    ASSERT_TRUE(waitUntil([this] { return window->linkStateText().startsWith("応答なし ("); }));
    EXPECT_TRUE(accessibleName("linkStateLabel").startsWith("応答なし ("));
    EXPECT_TRUE(unitValuesDisabled());
    EXPECT_FALSE(window->graphTab()->findChild<QLabel *>("valueLabel0")->isEnabled());
    EXPECT_TRUE(presenter.messages.isEmpty());

    // Restarted with its defaults: the range back at ±10V, the output at 0.
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.aiRange[0] = ai::kInitialRange;
        s.aoRaw[0] = 0;
    });
    simulator.setOnline(unit, true);
    simulator.clearRequestLog(unit);
    idleUntilProbe();
    ASSERT_TRUE(settled());
    EXPECT_EQ(window->linkStateText(), "接続中");
    EXPECT_EQ(simulator.requestNames(unit).at(0), "GetUnitModelID");
    EXPECT_EQ(countOf(simulator.requestNames(unit), "SetAO") + countOf(simulator.requestNames(unit), "SetAIRange")
                  + countOf(simulator.requestNames(unit), "SetDO"),
              0)
        << "the page's old state is never written back";
    if (inputs) {
        EXPECT_EQ(inputPage->aiChannel(0).range, ai::kInitialRange);
        EXPECT_EQ(inputPage->ui().rangeCombo1->currentIndex(), ai::kInitialRange);
        EXPECT_TRUE(inputPage->measuredText(0).isEmpty()) << "a reading of the old range is not shown";
        if (auto *qn220 = qobject_cast<Qn220Page *>(devicePage))
            EXPECT_FALSE(qn220->thermocoupleButton(0)->isEnabled());
        // The inputs are greyed out until they are read again.
        EXPECT_TRUE(unitValuesDisabled());
        inputPage->readInputs();
        ASSERT_TRUE(waitUntil([&] { return unitValuesEnabled(); }));
    } else {
        EXPECT_FALSE(outputPage->aoChannel(0).outputOn);
        EXPECT_EQ(aoEdit->text(), "2.5");
        EXPECT_EQ(accessibleValueText(devicePage->findChild<QLabel *>("aoLamp1")), "OFF");
        EXPECT_TRUE(unitValuesEnabled()) << "the outputs just read are current";
    }
    EXPECT_TRUE(presenter.messages.isEmpty());

    // The outage stays on show, from when to when, until the operator says it was seen.
    EXPECT_TRUE(window->outageText().startsWith("応答なし ")) << window->outageText().toStdString();
    EXPECT_TRUE(window->outageText().contains(" – "));
    auto *seen = window->findChild<QPushButton *>("outageSeenButton");
    ASSERT_TRUE(seen && seen->isVisibleTo(window));
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(seen);
    ASSERT_TRUE(a && a->actionInterface());
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(waitUntil([&] { return window->outageText().isEmpty(); }));
    EXPECT_FALSE(seen->isVisibleTo(window));
}

TEST_P(LinkStateTest, TheWindowShowsWhereItLogsAndOpensThatFolder)
{
    open(true);
    EXPECT_TRUE(window->logFileText().startsWith("ログ: " + QString::fromUtf8(traits(GetParam()).logPrefix.data())));
    EXPECT_TRUE(window->logFileText().endsWith(".csv"));
    auto *button = window->findChild<QPushButton *>("openLogFolderButton");
    ASSERT_TRUE(button && button->isEnabled());
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(button);
    ASSERT_TRUE(a && a->actionInterface());
    a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(waitUntil([this] { return !opened.isEmpty(); }));
    EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(logDir.path())});
}

TEST_P(LinkStateTest, AWindowThatDoesNotLogSaysSo)
{
    open(false);
    EXPECT_EQ(window->logFileText(), "ログ記録なし");
    EXPECT_FALSE(window->findChild<QPushButton *>("openLogFolderButton")->isEnabled());
}

INSTANTIATE_TEST_SUITE_P(Models, LinkStateTest,
                         ::testing::Values(Model::QN210, Model::QN220, Model::QN110, Model::QN120),
                         [](const auto &info) {
                             std::string name(traits(info.param).name);
                             std::erase(name, '-');
                             return name;
                         });

} // namespace
