// The parts a page is made of, each at its own seam: the shared clock, the start-up
// chain, an automatic mode, the trend feed and the log feed.
#include "pages/automode.h"
#include "pages/logfeed.h"
#include "pages/outputchannelrow.h"
#include "pages/pageclock.h"
#include "pages/pagelifecycle.h"
#include "pages/startupchain.h"
#include "pages/trendfeed.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>

namespace qn {
namespace {

TEST(PageLifecycle, ACloseWaitsUntilTheBusyPartIsOverAndStopsOnce)
{
    QWidget page;
    int stopped = 0;
    PageLifecycle life(page, [&] { ++stopped; });
    {
        PageLifecycle::CallbackScope completion(life);
        life.requestClose();
        life.requestClose();
        EXPECT_TRUE(life.isClosing());
        EXPECT_EQ(stopped, 0);
    }
    EXPECT_EQ(stopped, 0); // not from inside the completion's call chain
    while (!life.isClosed())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(stopped, 1);
    EXPECT_EQ(life.completionsRun(), 1);
    life.requestClose();
    EXPECT_EQ(stopped, 1);
}

TEST(PageClock, OneTimerRunsWhileAnyPageHasJoinedAndTicksEachOfThem)
{
    QObject a, b;
    int ticksA = 0, ticksB = 0;
    PageClock clockA(&a, [&] { ++ticksA; });
    PageClock clockB(&b, [&] { ++ticksB; });
    const int before = PageClock::joinedCount();
    clockA.join();
    clockB.join();
    clockA.join(); // once only
    EXPECT_EQ(PageClock::joinedCount(), before + 2);
    QSignalSpy beat(PageClock::shared(), &QTimer::timeout);
    ASSERT_TRUE(beat.wait(2000));
    EXPECT_EQ(ticksA, ticksB);
    EXPECT_GE(ticksA, 1);
    clockA.leave();
    EXPECT_TRUE(PageClock::shared()->isActive());
    clockB.leave();
    EXPECT_EQ(PageClock::joinedCount(), before);
    if (before == 0) {
        EXPECT_FALSE(PageClock::shared()->isActive());
    }
}

TEST(StartupChain, StepsRunInTurnAndAFailureDropsTheRest)
{
    for (const int failing : {-1, 0, 1, 2}) {
        int failures = 0;
        std::vector<int> ran;
        StartupChain chain([&] { ++failures; });
        std::vector<StartupChain::Step> steps;
        for (int i = 0; i < 3; ++i)
            steps.push_back([&, i](const StartupChain::Done &done) {
                ran.push_back(i);
                done(i != failing); // a completion that came back at once
            });
        chain.run(std::move(steps));
        const size_t expected = failing < 0 ? 3 : size_t(failing + 1);
        EXPECT_EQ(ran.size(), expected) << failing;
        EXPECT_EQ(failures, failing < 0 ? 0 : 1) << failing;
        EXPECT_FALSE(chain.running());
    }
}

struct AutoModeTest : ::testing::Test {
    QObject context;
    QCheckBox box;
    QLineEdit period;
    QPushButton manual;
    int refused = 0;
    AutoMode mode;

    AutoModeTest()
    {
        mode.attach(
            context,
            [this](const QLineEdit *edit) -> std::optional<int> {
                const int n = edit->text().toInt();
                if (n >= 1 && n <= 9999)
                    return n;
                ++refused;
                return std::nullopt;
            },
            &box, &period, &manual);
    }
};

TEST_F(AutoModeTest, ATickedBoxRunsThePeriodAndLocksTheManualControls)
{
    period.setText("3");
    box.setChecked(true);
    EXPECT_TRUE(mode.isOn());
    EXPECT_FALSE(period.isEnabled());
    EXPECT_FALSE(manual.isEnabled());
    EXPECT_FALSE(mode.advance());
    EXPECT_FALSE(mode.advance());
    EXPECT_TRUE(mode.dueNext());
    EXPECT_TRUE(mode.advance());
    box.setChecked(false);
    EXPECT_FALSE(mode.isOn());
    EXPECT_TRUE(manual.isEnabled());
}

TEST_F(AutoModeTest, AnInvalidPeriodUnticksTheBox)
{
    period.setText("0");
    box.setChecked(true);
    EXPECT_EQ(refused, 1);
    EXPECT_FALSE(mode.isOn());
    EXPECT_FALSE(box.isChecked());
    EXPECT_TRUE(period.isEnabled());
}

TEST(TrendFeed, APageWithoutAGraphFeedsNothing)
{
    TrendFeed feed(Model::QN210, nullptr, nullptr);
    feed.setUp();
    feed.setLegend(0, "AI1: x");
    feed.feed(TrendFeed::now(), {1.0, 2.0}, {"1", "2"});
    EXPECT_EQ(feed.series(0), nullptr);
}

TEST(LogFeed, AFolderThatCannotBeOpenedIsReportedOnceAtOpen)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString notAFolder = dir.filePath("file");
    QFile file(notAFolder);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    for (const bool enabled : {false, true}) {
        ChannelLogOptions options;
        options.enabled = enabled;
        options.folder = notAFolder;
        int openFailures = 0, stateChanges = 0;
        LogFeed feed(options, [&] { ++openFailures; }, [&](bool, const QDateTime &) { ++stateChanges; });
        feed.open();
        EXPECT_EQ(openFailures, enabled ? 1 : 0);
        EXPECT_EQ(stateChanges, 0);
    }
    EXPECT_TRUE(LogFeed::writeErrorText(QDateTime::currentDateTime()).startsWith(QString::fromUtf8("ログ書き込みエラー (")));
}

TEST(OutputChannelRow, EveryControlIsNamedForItsChannelAndLaidInTwoGridRows)
{
    QWidget page;
    auto *grid = new QGridLayout(&page);
    const OutputChannelRow row(&page, *grid, 3, 2);
    const QWidget *controls[] = {row.name, row.nameButton, row.lamp, row.valueEdit, row.unit,
                                 row.toggleButton, row.display, row.bar, row.formulaButton, row.thresholdButton,
                                 row.rangeButton, row.sweepSettingsButton, row.sweepButton};
    for (const QWidget *w : controls) {
        EXPECT_TRUE(w->accessibleName().startsWith("AO2 ")) << w->objectName().toStdString();
        EXPECT_TRUE(w->objectName().endsWith('2')) << w->objectName().toStdString();
    }
    EXPECT_EQ(row.toggleButton->text(), "ON/OFF");
    int r = 0, c = 0, rs = 0, cs = 0;
    grid->getItemPosition(grid->indexOf(row.valueEdit), &r, &c, &rs, &cs);
    EXPECT_EQ(r, 3);
    grid->getItemPosition(grid->indexOf(row.bar), &r, &c, &rs, &cs);
    EXPECT_EQ(r, 4);
}

} // namespace
} // namespace qn
