#include "pagetestsupport.h"
#include "../support/filesizelimit.h"

#include "common/cp932.h"
#include "graph/graphtab.h"
#include "graph/trendcanvas.h"

#include "ui_analoginputpage.h"

#include <QAccessible>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

using namespace qn;
using namespace qn::test;

namespace {

using Qn210PageTest = UnitWindowTest;

TEST_F(Qn210PageTest, StartUpChainReadsTheUnitInOrder)
{
    simulator.updateState(unit, [](sim::UnitState &s) {
        s.doPattern = 2;
        s.adcSps = 5;
        s.aiRange = {0, 4, 3};
        s.thresholds[1] = {1, 2, 0x1000, 0x2000};
    });
    window = new UnitWindow(windowArgs(false), timeouts);
    page = qobject_cast<Qn210Page *>(window->page());
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitUntil([this] { return page->completionsRun() >= 8; }));
    const std::vector<std::string> expected{"GetDO", "GetADCsps", "GetAIRange", "GetAIRange", "GetAIRange",
                                            "GetADCThreshold", "GetADCThreshold", "GetADCThreshold"};
    std::vector<std::string> names = simulator.requestNames(unit);
    names.resize(std::min(names.size(), expected.size()));
    EXPECT_EQ(names, expected);

    EXPECT_EQ(page->doState(0), 0);
    EXPECT_EQ(page->doState(1), 1);
    EXPECT_EQ(page->adcRate(), 5);
    EXPECT_EQ(page->aiChannel(0).range, 0);
    EXPECT_EQ(page->ui().rangeCombo2->currentIndex(), 4);
    EXPECT_EQ(page->ui().bar2->maximum(), 8388607);
    EXPECT_EQ(page->ui().bar1->maximum(), 16777215);
    EXPECT_TRUE(page->aiChannel(1).ledOutside);
    EXPECT_EQ(page->aiChannel(1).thresholdMode, 2);
    EXPECT_EQ(page->aiChannel(1).lowThreshold, 0x1000);
    EXPECT_EQ(page->aiChannel(1).highThreshold, 0x2000);
    // Default graph ranges of the reported ranges.
    TrendCanvas *canvas = window->canvas();
    ASSERT_NE(canvas, nullptr);
    EXPECT_EQ(canvas->series(0)->minValue(), -100.0);
    EXPECT_EQ(canvas->series(1)->maxValue(), 20.0);
    EXPECT_EQ(canvas->series(2)->maxValue(), 30.0);
    EXPECT_EQ(QString::fromStdString(canvas->series(0)->unit()), "mV");
    EXPECT_EQ(page->ui().infoLabel->text(), "MACアドレス: 00-80-92-00-00-01");
    EXPECT_EQ(window->windowTitle(), "QN-210(ID:3) - 127.0.0.1");
    EXPECT_TRUE(presenter.messages.isEmpty());
}

TEST_F(Qn210PageTest, StartUpChainStopsAtAFailure)
{
    // The unit drops the connection on the first step: the step fails at once (no time-out
    // to race against a loaded machine), one message, and the chain goes no further.
    // Long time-outs: the reconnect below must not fail merely because the machine is slow.
    timeouts = {5000, 5000, 5000};
    simulator.setFault(unit, {sim::FaultKind::DropConnection, 0, 0, 1});
    window = new UnitWindow(windowArgs(false), timeouts);
    page = qobject_cast<Qn210Page *>(window->page());
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(waitUntil([this] { return page->completionsRun() >= 1 && !page->busy(); }, 15000));
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0], "QNNET通信タイムアウトエラー");
    EXPECT_EQ(page->aiChannel(0).range, ai::kInitialRange);
    EXPECT_EQ(page->ui().rangeCombo1->currentIndex(), ai::kInitialRange);
    EXPECT_EQ(page->aiChannel(0).scaling.graphMax, 10.0);
    // The next request reconnects and goes through. Requests run in posting order, so had
    // the chain gone on, its next step would stand before this one in the unit's log.
    // Back, the page reads the unit's state again from the start.
    const int before = page->completionsRun();
    page->readInputs();
    ASSERT_TRUE(waitUntil([&] { return page->completionsRun() >= before + 9; }, 15000));
    EXPECT_EQ(presenter.messages.size(), 1);
    const std::vector<std::string> names = simulator.requestNames(unit);
    ASSERT_EQ(names.size(), 10u);
    EXPECT_EQ((std::vector<std::string>(names.begin(), names.begin() + 3)),
              (std::vector<std::string>{"GetDO", "GetAllAI", "GetDO"}));
}

TEST_F(Qn210PageTest, AutomaticReadingEveryPeriodWritesRows)
{
    openWindow();
    simulator.pinAI(unit, 0, 0x400000);
    page->ui().aiPeriodEdit->setText("3");
    page->setAiAuto(true);
    EXPECT_FALSE(page->ui().readButton->isEnabled());
    EXPECT_FALSE(page->ui().aiPeriodEdit->isEnabled());
    for (int reading = 0; reading < 4; ++reading) {
        const int before = page->completionsRun();
        page->tickOnce();
        page->tickOnce();
        waitUntil([] { return false; }, 50);
        EXPECT_EQ(countOf(simulator.requestNames(unit), "GetAllAI"), reading);
        page->tickOnce(); // the third tick reads
        ASSERT_TRUE(settle(before, 1));
    }
    EXPECT_EQ(countOf(simulator.requestNames(unit), "GetAllAI"), 4);

    const QList<QByteArray> lines = fileLines(logFile());
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(fromCp932(lines[0]), "日付,時刻,AI1,単位1,AI2,単位2,AI3,単位3,DO1,DO2");
    const QList<QByteArray> fields = lines[1].split(',');
    ASSERT_EQ(fields.size(), 10);
    EXPECT_EQ(fields[2], "5.00000");
    EXPECT_EQ(fields[3], "V");
    EXPECT_EQ(page->measuredText(0), " 5.0000 V");
    EXPECT_EQ(page->convertedText(0), "5.00000 ");
    EXPECT_EQ(window->graphTab()->valueLabelText(0), "5.00000 V");
    EXPECT_EQ(window->canvas()->series(0)->count(), 4u);
    EXPECT_EQ(window->canvas()->series(3)->count(), 4u);
}

TEST_F(Qn210PageTest, ASlowUnitGetsOneAutomaticReadingAtATime)
{
    openWindow(false);
    simulator.setFault(unit, {sim::FaultKind::ReplyLate, 150, 0, -1});
    page->ui().aiPeriodEdit->setText("1");
    page->setAiAuto(true);
    page->ui().doPeriodEdit1->setText("1");
    page->setDoAuto(0, true);
    const int before = page->completionsRun();
    for (int t = 0; t < 10; ++t)
        page->tickOnce(); // all within one reply time
    ASSERT_TRUE(settle(before, 2));
    waitUntil([] { return false; }, 400);
    const std::vector<std::string> names = simulator.requestNames(unit);
    EXPECT_EQ(countOf(names, "GetAllAI"), 1);
    EXPECT_EQ(countOf(names, "SetDO"), 1);
    EXPECT_TRUE(presenter.messages.isEmpty());
    // Once answered, the next due tick reads again (after the toggle it may queue first).
    page->tickOnce();
    EXPECT_TRUE(waitUntil([&] { return countOf(simulator.requestNames(unit), "GetAllAI") == 2; }, 5000));
}

TEST_F(Qn210PageTest, ALogFolderThatCannotBeOpenedSwitchesLoggingOff)
{
    UnitWindowArgs args = windowArgs(true);
    args.logFolder = logDir.path() + "/does/not/exist";
    window = new UnitWindow(args, timeouts);
    page = qobject_cast<Qn210Page *>(window->page());
    ASSERT_NE(page, nullptr);
    page->stopTicking();
    page->setFollowingUnit(false); // this test counts the requests
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0], "ログファイルをオープンできません。");
    EXPECT_FALSE(page->log().enabled());
    ASSERT_TRUE(waitUntil([this] { return page->completionsRun() >= 8; }));
    page->ui().aiPeriodEdit->setText("1");
    page->setAiAuto(true);
    const int before = page->completionsRun();
    page->tickOnce();
    ASSERT_TRUE(settle(before, 1));
    EXPECT_EQ(presenter.messages.size(), 1); // said once, for the page's life
}

TEST_F(Qn210PageTest, ManualReadingWritesNoRow)
{
    openWindow();
    const int before = page->completionsRun();
    page->readInputs();
    ASSERT_TRUE(settle(before, 1));
    EXPECT_FALSE(page->measuredText(0).isEmpty());
    EXPECT_EQ(window->canvas()->series(0)->count(), 1u);
    EXPECT_TRUE(fileLines(logFile()).isEmpty());
}

TEST_F(Qn210PageTest, PageRotatesItsLogFiles)
{
    openWindow(true, 2);
    page->ui().aiPeriodEdit->setText("1");
    page->setAiAuto(true);
    for (int t = 0; t < 3; ++t) {
        const int before = page->completionsRun();
        page->tickOnce();
        ASSERT_TRUE(settle(before, 1));
    }
    const QString base = page->log().baseName();
    EXPECT_TRUE(base.startsWith(logDir.path() + "/QN-210_3_127.0.0.1_"));
    EXPECT_EQ(fileLines(base + "_000.csv").size(), 3);
    EXPECT_EQ(fileLines(base + "_001.csv").size(), 2);
}

#ifndef _WIN32
TEST_F(Qn210PageTest, AFullDiskShowsInTheWindowWhileReadingsGoOn)
{
    openWindow();
    page->ui().aiPeriodEdit->setText("1");
    page->setAiAuto(true);
    const auto read = [this] {
        const int before = page->completionsRun();
        page->tickOnce();
        ASSERT_TRUE(settle(before, 1));
    };
    read();
    {
        test::FileSizeLimit full(rlim_t(QFileInfo(logFile()).size()));
        read();
        read();
        EXPECT_TRUE(window->logStateText().startsWith("ログ書き込みエラー ("));
        EXPECT_TRUE(presenter.messages.isEmpty());
        EXPECT_EQ(window->canvas()->series(0)->count(), 3u);
        EXPECT_TRUE(page->aiAuto());
    }
    read();
    EXPECT_EQ(window->logStateText(), "");
    const QList<QByteArray> lines = fileLines(logFile());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[2], lines[0]); // the gap: a header before the first row after it
    for (const QByteArray &line : lines)
        EXPECT_EQ(line.count(','), 9);
}
#endif

TEST_F(Qn210PageTest, RenamePutsANewHeaderIntoTheRunningFile)
{
    openWindow();
    page->ui().aiPeriodEdit->setText("1");
    page->setAiAuto(true);
    int before = page->completionsRun();
    page->tickOnce();
    ASSERT_TRUE(settle(before, 1));
    page->applySignalName(Qn210Page::kInputKind, 1, QStringLiteral("温度"));
    EXPECT_EQ(unitSettings().getSignalName(0, 3, RecordKind::Input, 1), "温度");
    EXPECT_EQ(window->graphTab()->legendText(1), "AI2: 温度");
    before = page->completionsRun();
    page->tickOnce();
    ASSERT_TRUE(settle(before, 1));
    const QList<QByteArray> lines = fileLines(logFile());
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(fromCp932(lines[2]), "日付,時刻,AI1,単位1,温度,単位2,AI3,単位3,DO1,DO2");
}

TEST_F(Qn210PageTest, BothOutputsDueTogetherSendOneSetDO)
{
    openWindow(false);
    page->ui().doPeriodEdit1->setText("2");
    page->ui().doPeriodEdit2->setText("2");
    page->setDoAuto(0, true);
    page->setDoAuto(1, true);
    EXPECT_FALSE(page->ui().doToggleButton1->isEnabled());
    const int before = page->completionsRun();
    page->tickOnce();
    page->tickOnce();
    ASSERT_TRUE(settle(before, 1));
    const std::vector<sim::LoggedRequest> log = simulator.requestLog(unit);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name(), "SetDO");
    EXPECT_EQ(simulator.state(unit).doPattern, 3);
    EXPECT_EQ(page->doState(0), 1);
    EXPECT_EQ(page->doState(1), 1);
}

TEST_F(Qn210PageTest, OutputStatesChangeOnlyOnTheUnitsConfirmation)
{
    openWindow(false);
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, 1});
    page->ui().doPeriodEdit1->setText("1");
    page->setDoAuto(0, true);
    int before = page->completionsRun();
    page->tickOnce();
    ASSERT_TRUE(settle(before, 1));
    EXPECT_EQ(page->doState(0), 0);
    EXPECT_FALSE(page->doAuto(0)); // a failed SetDO switches the automatic modes off
    EXPECT_FALSE(page->ui().doAutoCheck1->isChecked());
    EXPECT_TRUE(page->ui().doToggleButton1->isEnabled());
    ASSERT_EQ(presenter.messages.size(), 1);
    before = page->completionsRun();
    page->toggleOutput(0);
    ASSERT_TRUE(settle(before, 1));
    EXPECT_EQ(page->doState(0), 1);
    EXPECT_EQ(simulator.state(unit).doPattern, 1);
}

TEST_F(Qn210PageTest, OfflineUnitGivesOneMessageAtATimeAndReconnectsWhenBack)
{
    openWindow(false);
    page->ui().aiPeriodEdit->setText("1");
    page->setAiAuto(true);
    page->ui().doPeriodEdit2->setText("5");
    page->setDoAuto(1, true);
    simulator.setOnline(unit, false);
    int ticksDuringMessage = 0;
    std::size_t requestsDuringMessage = 0;
    presenter.onInform = [&](const QString &) {
        // While the message is up the tick does nothing at all.
        const std::size_t requests = simulator.requestLog(unit).size();
        for (int t = 0; t < 20; ++t, ++ticksDuringMessage)
            page->tickOnce();
        waitUntil([] { return false; }, 200);
        requestsDuringMessage += simulator.requestLog(unit).size() - requests;
    };
    const int before = page->completionsRun();
    page->tickOnce(); // posts GetAllAI
    page->tickOnce();
    ASSERT_TRUE(waitUntil([&] { return page->completionsRun() >= before + 1 && !page->busy(); }, 8000));
    waitUntil([&] { return page->busy(); }, 800); // a second failure, if one was queued
    ASSERT_TRUE(waitUntil([&] { return !page->busy(); }, 8000));
    EXPECT_GE(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.maxDepth, 1);
    EXPECT_EQ(ticksDuringMessage, 20 * presenter.messages.size());
    EXPECT_EQ(requestsDuringMessage, 0u);
    EXPECT_FALSE(page->aiAuto());
    EXPECT_FALSE(page->doAuto(1));
    EXPECT_FALSE(page->ui().aiAutoCheck->isChecked());
    EXPECT_TRUE(page->ui().readButton->isEnabled());

    presenter.onInform = nullptr;
    presenter.messages.clear();
    simulator.setOnline(unit, true);
    const int connections = simulator.connectionCount(unit);
    const int now = page->completionsRun();
    page->readInputs();
    ASSERT_TRUE(settle(now, 1));
    EXPECT_TRUE(presenter.messages.isEmpty());
    EXPECT_EQ(simulator.connectionCount(unit), connections + 1);
    EXPECT_FALSE(page->measuredText(0).isEmpty());
}

TEST_F(Qn210PageTest, DisconnectWhileTheTimeoutMessageIsOpen)
{
    openWindow(false);
    presenter.leaveUp = true;
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, -1});
    page->readInputs();
    page->readInputs();
    ASSERT_TRUE(waitUntil([&] { return presenter.up.size() == 1; }, 8000));
    const std::size_t requests = simulator.requestLog(unit).size();
    window->disconnectUnit();
    // Nothing is torn down, and the queue stays held, while the message is up.
    waitUntil([] { return false; }, 300);
    ASSERT_FALSE(window.isNull());
    EXPECT_FALSE(window->page()->isClosed());
    EXPECT_TRUE(page->paused());
    EXPECT_TRUE(page->busy());
    EXPECT_EQ(page->pendingMessages(), 1);
    EXPECT_EQ(simulator.requestLog(unit).size(), requests);
    presenter.dismiss();
    ASSERT_TRUE(waitUntil([this] { return window.isNull(); }, 8000));
    EXPECT_EQ(presenter.messages.size(), 1);
}

TEST_F(Qn210PageTest, EachWindowGoesOnWhenItsOwnMessageIsDismissed)
{
    openWindow(false);
    QPointer<UnitWindow> second = new UnitWindow(windowArgs(false), timeouts);
    auto *other = qobject_cast<Qn210Page *>(second->page());
    ASSERT_NE(other, nullptr);
    other->stopTicking();
    other->setFollowingUnit(false); // this test counts the requests
    ASSERT_TRUE(waitUntil([&] { return other->completionsRun() >= 8; }));
    presenter.leaveUp = true;
    simulator.setOnline(unit, false);
    page->readInputs();
    other->readInputs();
    ASSERT_TRUE(waitUntil([&] { return presenter.up.size() == 2; }, 8000));
    // One more request behind each message.
    page->readInputs();
    other->readInputs();
    // The window whose message came up first is the one the operator answers first; the
    // nested loops of old let it go on only once the later box was gone too.
    Qn210Page *firstPage = presenter.up[0].parent == page ? page : other;
    Qn210Page *secondPage = firstPage == page ? other : page;
    ASSERT_EQ(presenter.up[1].parent, secondPage);
    const int firstRun = firstPage->completionsRun();
    const int secondRun = secondPage->completionsRun();
    presenter.dismiss(0);
    EXPECT_TRUE(waitUntil([&] { return firstPage->completionsRun() > firstRun; }, 8000));
    EXPECT_EQ(secondPage->completionsRun(), secondRun);
    EXPECT_TRUE(secondPage->paused());
    EXPECT_EQ(secondPage->pendingMessages(), 1);
    ASSERT_EQ(presenter.up[0].parent, secondPage);

    presenter.dismiss(0);
    EXPECT_TRUE(waitUntil([&] { return secondPage->completionsRun() > secondRun; }, 8000));
    presenter.leaveUp = false;
    while (!presenter.up.empty())
        presenter.dismiss();
    second->disconnectUnit();
    EXPECT_TRUE(waitUntil([&] { return second.isNull(); }, 8000));
}

// The windows' pages tick on one clock: one that stops leaves the others ticking.
TEST_F(Qn210PageTest, APageThatStopsTickingLeavesTheOthersTicking)
{
    QPointer<UnitWindow> second = new UnitWindow(windowArgs(false), timeouts);
    auto *other = qobject_cast<Qn210Page *>(second->page());
    ASSERT_NE(other, nullptr);
    openWindow(false); // stops its own page's ticking
    ASSERT_TRUE(waitUntil([&] { return other->completionsRun() >= 8; }));
    for (Qn210Page *p : {page, other}) {
        p->ui().aiPeriodEdit->setText("1");
        p->setAiAuto(true);
    }
    const int stopped = page->completionsRun();
    const int going = other->completionsRun();
    EXPECT_TRUE(waitUntil([&] { return other->completionsRun() >= going + 3; }));
    EXPECT_EQ(page->completionsRun(), stopped);
    second->disconnectUnit();
    EXPECT_TRUE(waitUntil([&] { return second.isNull(); }, 8000));
}

TEST_F(Qn210PageTest, TheMessageBoxOfACompletionOpensWithoutALoopAndGoesWithItsWindow)
{
    openWindow(false);
    setMessagePresenter(nullptr); // the real boxes: open() never blocks, even offscreen
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, -1});
    page->readInputs();
    ASSERT_TRUE(waitUntil([&] { return page->pendingMessages() == 1; }, 8000));
    const auto boxes = page->findChildren<QMessageBox *>();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), DevicePage::timeoutMessage());
    EXPECT_TRUE(page->paused());
    boxes[0]->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(waitUntil([&] { return page->pendingMessages() == 0 && !page->paused(); }, 8000));

    // A box left up when the window is deleted outright: released, nothing touched later.
    page->readInputs();
    ASSERT_TRUE(waitUntil([&] { return page->pendingMessages() == 1; }, 8000));
    delete window.data();
    EXPECT_TRUE(window.isNull());
    waitUntil([] { return false; }, 100);
    setMessagePresenter(&presenter);
}

TEST_F(Qn210PageTest, CloseBoxWhileTheTimeoutMessageIsOpen)
{
    openWindow(false);
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, -1});
    bool accepted = false;
    bool aliveInside = false;
    presenter.onInform = [&](const QString &) {
        // What the application's quit does too: it asks every window to close.
        accepted = window->close();
        waitUntil([] { return false; }, 200);
        aliveInside = !window.isNull() && !window->isVisible() && !window->page()->isClosed();
    };
    page->readInputs();
    ASSERT_TRUE(waitUntil([this] { return window.isNull(); }, 8000));
    EXPECT_TRUE(accepted);
    EXPECT_TRUE(aliveInside);
}

TEST_F(Qn210PageTest, ExitWithWindowsOpenAndAMessageUp)
{
    openWindow(false);
    // A second window of the same unit.
    QPointer<UnitWindow> second = new UnitWindow(windowArgs(false), timeouts);
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, -1});
    presenter.leaveUp = true; // nobody answers it: the exit has to
    page->readInputs();
    ASSERT_TRUE(waitUntil([&] { return !presenter.up.empty(); }, 8000));
    UnitWindow::closeAllWindows();
    EXPECT_TRUE(UnitWindow::waitForAllWindowsClosed(8000));
    EXPECT_TRUE(window.isNull());
    EXPECT_TRUE(second.isNull());
    EXPECT_TRUE(UnitWindow::openWindows().isEmpty());
}

TEST_F(Qn210PageTest, InvalidPeriodsAreRefused)
{
    openWindow(false);
    for (const char *text : {"0", "10000", ""}) {
        presenter.messages.clear();
        page->ui().aiPeriodEdit->setText(QString::fromLatin1(text));
        page->setAiAuto(true);
        EXPECT_FALSE(page->aiAuto()) << text;
        EXPECT_FALSE(page->ui().aiAutoCheck->isChecked()) << text;
        ASSERT_EQ(presenter.messages.size(), 1) << text;
        EXPECT_EQ(presenter.messages[0], "時間設定が不正です。");
        EXPECT_FALSE(page->paused());
    }
    page->ui().aiPeriodEdit->setText("9999");
    page->setAiAuto(true);
    EXPECT_TRUE(page->aiAuto());
    page->setAiAuto(false);
    EXPECT_TRUE(page->ui().aiPeriodEdit->isEnabled());
}

TEST_F(Qn210PageTest, PeriodEditsTakeDigitsOnly)
{
    openWindow(false);
    QTest::keyClicks(page->ui().doPeriodEdit1, "x");
    EXPECT_EQ(page->ui().doPeriodEdit1->text(), "10");
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0], "数字以外は入力できません");
    EXPECT_EQ(page->ui().doPeriodEdit1->maxLength(), 6);
}

TEST_F(Qn210PageTest, RangeChangeCancelLeavesEverythingAsItWas)
{
    openWindow(false);
    page->applyConversion(0, {2.0, 1.0, "kPa", 0.0, 50.0});
    presenter.answer = false;
    page->ui().rangeCombo1->setCurrentIndex(0);
    ASSERT_EQ(presenter.questions.size(), 1);
    EXPECT_EQ(presenter.questions[0], "設定を変更すると、換算式と単位の設定も初期化されます。よろしいですか？");
    EXPECT_EQ(page->ui().rangeCombo1->currentIndex(), 2);
    waitUntil([] { return false; }, 200);
    EXPECT_TRUE(simulator.requestLog(unit).empty());
    EXPECT_EQ(page->aiChannel(0).scaling.factor, 2.0);
    EXPECT_FALSE(page->paused());
}

TEST_F(Qn210PageTest, RangeChangeOkResetsTheChannel)
{
    openWindow(false);
    page->applyConversion(0, {2.0, 1.0, "kPa", 0.0, 50.0});
    int before = page->completionsRun();
    page->readInputs();
    ASSERT_TRUE(settle(before, 1));
    ASSERT_EQ(window->canvas()->series(0)->count(), 1u);
    before = page->completionsRun();
    page->ui().rangeCombo1->setCurrentIndex(0);
    ASSERT_TRUE(settle(before, 1));
    EXPECT_EQ(simulator.state(unit).aiRange[0], 0);
    const Qn210Page::AiChannel &ch = page->aiChannel(0);
    EXPECT_EQ(ch.range, 0);
    EXPECT_EQ(ch.scaling.factor, 1.0);
    EXPECT_EQ(ch.scaling.offset, 0.0);
    EXPECT_TRUE(ch.scaling.unit.isEmpty());
    EXPECT_EQ(ch.scaling.graphMin, -100.0);
    EXPECT_TRUE(page->measuredText(0).isEmpty());
    EXPECT_EQ(window->canvas()->series(0)->count(), 0u);
    const ChannelSettings saved = unitSettings().getConversion(0, 3, RecordKind::Input, 0);
    EXPECT_EQ(saved.a, 1.0);
    EXPECT_EQ(saved.graphMax, 0.0);

    // Range 0 shows millivolts; a = 1, b = 0 converts to the same millivolts.
    simulator.pinAI(unit, 0, 0x400000);
    before = page->completionsRun();
    page->readInputs();
    ASSERT_TRUE(settle(before, 1));
    EXPECT_EQ(page->measuredText(0), " 50.000 mV");
    EXPECT_EQ(page->convertedText(0), "50.0000 ");
}

TEST_F(Qn210PageTest, FailedRangeChangePutsTheComboBack)
{
    openWindow(false);
    simulator.setFault(unit, {sim::FaultKind::NoReply, 0, 0, 1});
    const int before = page->completionsRun();
    page->ui().rangeCombo3->setCurrentIndex(4);
    ASSERT_TRUE(settle(before, 1));
    EXPECT_EQ(page->ui().rangeCombo3->currentIndex(), 2);
    EXPECT_EQ(page->aiChannel(2).range, 2);
    EXPECT_EQ(presenter.messages.size(), 1);
}

TEST_F(Qn210PageTest, InvalidGraphRangeFromTheFormulaTakesTheDefault)
{
    openWindow(false);
    page->applyConversion(1, {1.0, 0.0, "", 5.0, 5.0});
    ASSERT_EQ(presenter.messages.size(), 1);
    EXPECT_EQ(presenter.messages[0], "グラフ表示範囲が不正なため、デフォルト値に設定します");
    EXPECT_EQ(page->aiChannel(1).scaling.graphMin, -10.0);
    EXPECT_EQ(page->aiChannel(1).scaling.savedGraphMax, 0.0);
}

TEST_F(Qn210PageTest, ConvertedValueWithALongUnitStaysWhole)
{
    // An 8-character unit beside a value: the whole text fits the fixed-size label, so no
    // leading digit is cut off.
    openWindow(false);
    simulator.pinAI(unit, 1, 0xEDCBAA); // -0x123456
    page->applyConversion(1, {1.0, 0.0, "kgf/cm2X", -10.0, 10.0});
    const int before = page->completionsRun();
    page->readInputs();
    ASSERT_TRUE(settle(before, 1));
    const QLabel *label = page->ui().convertedValue2;
    EXPECT_EQ(label->text(), "-1.42222 kgf/cm2X");
    EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->contentsRect().width());
    // A channel without a unit keeps the full-size font.
    EXPECT_EQ(page->ui().convertedValue1->font().pointSize(), 16);
}

TEST_F(Qn210PageTest, ThresholdAndAdcRateTakeEffectOnConfirmation)
{
    openWindow(false);
    simulator.pinAI(unit, 0, 0x100000);
    int before = page->completionsRun();
    page->postThreshold(0, false, 1.0, 2.0);
    page->postAdcRate(6);
    page->readInputs();
    ASSERT_TRUE(settle(before, 3));
    const sim::UnitState state = simulator.state(unit);
    EXPECT_EQ(state.thresholds[0].low, 0x0CCC);
    EXPECT_EQ(state.thresholds[0].high, 0x1999);
    EXPECT_EQ(state.adcSps, 6);
    EXPECT_EQ(page->adcRate(), 6);
    EXPECT_EQ(page->aiChannel(0).lowThreshold, 0x0CCC);
    // 0x100000 is 1.25 V: inside 1 .. 2 V, lit when lit-inside: red bar.
    EXPECT_EQ(page->ui().bar1->palette().color(QPalette::Highlight), QColor(255, 0, 0));
}

TEST_F(Qn210PageTest, TabsAndKeysLeaveTheWindowOpen)
{
    openWindow(false);
    page->ui().aiPeriodEdit->setText("1");
    page->setAiAuto(true);
    window->selectTab(1);
    EXPECT_TRUE(window->graphTab()->isVisible());
    EXPECT_FALSE(page->isVisible());
    const int before = page->completionsRun();
    page->tickOnce();
    ASSERT_TRUE(settle(before, 1)); // polling goes on behind the graph tab
    window->selectTab(0);
    EXPECT_TRUE(page->isVisible());
    QTest::keyClick(window, Qt::Key_Escape);
    QTest::keyClick(window, Qt::Key_Return);
    QTest::keyClick(page->ui().readButton, Qt::Key_Escape);
    waitUntil([] { return false; }, 100);
    EXPECT_FALSE(window.isNull());
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isClosing());
}

// Behind the graph tab the readings go on; back on its tab the page shows the latest one.
TEST_F(Qn210PageTest, ThePageShowsTheLatestReadingWhenItsTabIsBack)
{
    openWindow(false);
    const auto readAs = [&](int raw) {
        simulator.pinAI(unit, 0, raw);
        const int before = page->completionsRun();
        page->readInputs();
        return settle(before, 1);
    };
    const auto shown = [&] {
        return QStringList{page->ui().measuredValue1->text(), page->ui().convertedValue1->text(),
                           QString::number(page->ui().bar1->value())};
    };
    ASSERT_TRUE(readAs(0x400000));
    const QStringList first = shown();
    ASSERT_TRUE(readAs(0x200000));
    ASSERT_NE(shown(), first);
    window->selectTab(1);
    ASSERT_TRUE(readAs(0x400000));
    window->selectTab(0);
    EXPECT_EQ(shown(), first);
}

TEST_F(Qn210PageTest, LampsAndBarsPaintTheirColours)
{
    openWindow(false);
    simulator.pinAI(unit, 0, 0x7FFFFF); // full bar
    page->postThreshold(0, false, -10.0, 10.0); // lit inside: red
    int before = page->completionsRun();
    page->toggleOutput(0);
    page->readInputs();
    ASSERT_TRUE(settle(before, 3));
    page->resize(840, 460);
    const QImage image = page->grab().toImage();
    const auto colourAt = [&](QWidget *w) {
        return QColor(image.pixel(w->mapTo(page, w->rect().center())));
    };
    EXPECT_EQ(colourAt(page->ui().doLamp1), QColor(255, 0, 0));
    EXPECT_EQ(colourAt(page->ui().doLamp2), QColor(0, 0, 0));
    const QColor bar = colourAt(page->ui().bar1);
    EXPECT_GT(bar.red(), 200);
    EXPECT_LT(bar.blue(), 80);
    EXPECT_EQ(page->measuredText(0), "10.0000 V");
}

// A current input just below 0 mA once left its bar at the previous reading: the bar
// refuses a value outside its range.
TEST_F(Qn210PageTest, ANegativeCurrentEmptiesTheBar)
{
    openWindow(false);
    int before = page->completionsRun();
    page->ui().rangeCombo1->setCurrentIndex(4); // 0-20mA (外付け250Ω), confirmed
    ASSERT_TRUE(settle(before, 1));
    for (const int raw : {0x200000, 0xFFFC18}) { // 5 mA, then a little below 0 mA
        simulator.pinAI(unit, 0, raw);
        before = page->completionsRun();
        page->readInputs();
        ASSERT_TRUE(settle(before, 1));
    }
    EXPECT_EQ(page->ui().bar1->value(), 0);
}

// What a screen reader reads follows the readings: each display's name says what it is,
// its value is what it shows; lamps say their state in words; range lists have a label.
TEST_F(Qn210PageTest, AssistiveToolsReadTheReadingsAndLamps)
{
    openWindow(false);
    const auto read = [](QWidget *w) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(w);
        return iface->text(QAccessible::Name) + QStringLiteral(" = ") + iface->text(QAccessible::Value);
    };
    for (const int raw : {0x400000, 0x200000}) {
        simulator.pinAI(unit, 1, raw);
        const int before = page->completionsRun();
        page->readInputs();
        ASSERT_TRUE(settle(before, 1));
        EXPECT_EQ(read(page->ui().measuredValue2), QStringLiteral("AI2 測定値 = ") + page->measuredText(1));
        EXPECT_EQ(read(page->ui().convertedValue2), QStringLiteral("AI2 換算値 = ") + page->convertedText(1));
    }
    EXPECT_EQ(read(page->ui().aiName2), QStringLiteral("AI2 信号名 = 2"));
    const int before = page->completionsRun();
    page->toggleOutput(0);
    ASSERT_TRUE(settle(before, 1));
    EXPECT_EQ(read(page->ui().doLamp1), QStringLiteral("DO1 出力状態 = ON"));
    EXPECT_EQ(read(page->ui().doLamp2), QStringLiteral("DO2 出力状態 = OFF"));
    QStringList labels;
    for (const auto &[label, relation] :
         QAccessible::queryAccessibleInterface(page->ui().rangeCombo3)->relations(QAccessible::Label))
        labels << label->text(QAccessible::Name);
    EXPECT_TRUE(labels.contains(QStringLiteral("AI3 測定レンジ"))) << labels.join(',').toStdString();
}

TEST_F(Qn210PageTest, CloseBoxClosesThePageThenTheWindow)
{
    openWindow(false);
    const QPointer<TrendCanvas> canvas = window->canvas();
    window->close();
    ASSERT_TRUE(waitUntil([this] { return window.isNull(); }));
    EXPECT_TRUE(canvas.isNull());
}

} // namespace
