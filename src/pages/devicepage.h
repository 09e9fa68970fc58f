#pragma once
// What the four device pages (QN-210, QN-220, QN-110, QN-120) share: the unit session
// with its completions on the GUI thread, the numeric edits and the settings dialogs,
// and the parts it is composed of, each in its own file: the page's life from open to
// closed with the messages that hold it (PageLifecycle), the shared clock (PageClock),
// the start-up chain (StartupChain), the automatic modes (AutoMode), the trend feed
// (TrendFeed) and the log feed (LogFeed).
//
// Threads: GUI thread only. Completion callbacks of the session run on the GUI thread
// (through GuiDispatcher); the tick comes from one QTimer on the GUI thread that every page
// shares.
#include "graph/graphpagehost.h"
#include "link/unitsession.h"
#include "common/numbertext.h"
#include "model/model.h"
#include "csvlog/channellog.h"
#include "pages/automode.h"
#include "pages/linkwatch.h"
#include "pages/logfeed.h"
#include "pages/pageclock.h"
#include "pages/pagelifecycle.h"
#include "pages/startupchain.h"
#include "pages/trendfeed.h"
#include "pages/unitstaterefresh.h"
#include "unit/reading.h"

#include <QDateTime>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QDialog;
class QLineEdit;

namespace qn {

class GraphTab;
class GuiDispatcher;
class TrendCanvas;
class TrendSeries;

// The page's construction values, in the order the unit window hands them over.
struct DevicePageArgs {
    QString ipAddress;
    int tcpPort = 0;
    QString title;
    QString macText;
    int unitId = 0;
    bool loggingEnabled = false;
    QString logFolder;
    TrendCanvas *canvas = nullptr;   // not owned; may be null (no graph)
    GraphTab *graphTab = nullptr; // not owned; may be null
    int rowsPerFile = -1;            // below 2: one log file, no rotation
    SessionTimeouts timeouts{};      // shortened by tests
};

class DevicePage : public QWidget, public GraphPageHost {
    Q_OBJECT
public:
    static constexpr int kTickMs = PageClock::kTickMs;
    static constexpr int kMaxPeriod = 9999;

    static QString timeoutMessage() { return tr("QNNET通信タイムアウトエラー"); }
    static QString invalidPeriodMessage() { return tr("時間設定が不正です。"); }
    static QString logOpenFailedMessage() { return tr("ログファイルをオープンできません。"); }
    static QString invalidGraphRangeMessage()
    {
        return tr("グラフ表示範囲が不正なため、デフォルト値に設定します");
    }

    ~DevicePage() override;

    // Connects the session, then the model's own start-up (initialisePage), opens the log
    // and starts the tick. Called once by the unit window right after construction.
    void initialise();

    // Close routine of the page: marks it closing and stops the tick; unless the page is
    // busy (a completion of the page is on the stack or holds the session's queue with its
    // message up, or a message box of the page is open) it stops the session at once and
    // emits closed(); when busy, that happens as soon as the busy part is over. Safe to
    // call more than once.
    void requestClose();
    // Program exit: dismisses the messages of completions still up, so that a close
    // waiting for them goes ahead.
    void dismissPendingMessages() { m_life.dismissPendingMessages(); }
    // Messages of completions now up (each holds the session's queue until dismissed).
    int pendingMessages() const { return m_life.pendingMessages(); }
    bool isClosing() const { return m_life.isClosing(); }
    bool isClosed() const { return m_life.isClosed(); }

    // GraphPageHost
    void setDisplayPeriod(int index) override;
    void refreshGraph() override;

    // Flags and parts the settings dialogs work with.
    bool paused() const { return m_life.paused(); }
    bool busy() const { return m_life.busy(); }
    // Completions this page has run (tests wait on it).
    int completionsRun() const { return m_life.completionsRun(); }
    UnitSession *session() const { return m_session.get(); }
    ChannelLog &log() { return m_logFeed.log(); }
    const DevicePageArgs &args() const { return m_args; }
    int unitId() const { return m_args.unitId; }
    TrendCanvas *canvas() const { return m_args.canvas; }
    GraphTab *graphTab() const { return m_args.graphTab; }
    TrendSeries *series(int index) const { return m_trend.series(index); }
    // The page leaves the clock that ticks it every 100 ms (it joins at start-up).
    void stopTicking() { m_clock.leave(); }
    // One tick as the clock runs it (nothing while paused or closing). Tests stop the
    // ticking and step the page with this.
    void tickOnce() { onTick(); }

    // Messages through the program's presenter, with the page paused meanwhile. Inside a
    // completion a message returns at once and holds the session's queue (and the page's
    // pause and any close) until the operator dismisses it; no nested event loop, so the
    // other units' windows are not tied to it. Elsewhere it returns once dismissed.
    void showPausedMessage(const MessageText &text) { m_life.showMessage(text); }
    bool askPaused(const MessageText &text) { return m_life.ask(text); }
    // At most one time-out message of the page is up at a time.
    void showTimeoutMessage() { m_life.showTimeoutMessage(timeoutMessage); }

    // The period of an automatic mode from its edit: 1..9999, or nullopt after telling
    // the operator "時間設定が不正です。".
    std::optional<int> readPeriod(const QLineEdit *edit);

    // Runs one of the channel settings dialogs (through the dialog runner); true after OK.
    // While it is open the page counts as busy, so a close of the unit window waits for it
    // and cancels it; the tick goes on (only message boxes pause the page).
    bool runSettingsDialog(QDialog &dialog);
    // The signal-name dialog on the name shown now (cut to what the dialog takes); the
    // new name after OK.
    std::optional<QString> askSignalName(const QString &shown);

    Model model() const { return m_model; }

    // What the unit window shows while log rows are being lost: "ログ書き込みエラー" with
    // the time of the first lost row, in the log's own date and time format.
    static QString logWriteErrorText(const QDateTime &firstLostRow) { return LogFeed::writeErrorText(firstLostRow); }

    // Whether the unit answers the page's requests, since when not, and the last reading.
    const LinkWatch &link() const { return m_link; }
    LinkWatch &link() { return m_link; }

    // The page reads what another client may change on the unit (readUnitStateSteps), one
    // request per tick in turn, unless switched off (tests that count requests do).
    void setFollowingUnit(bool on) { m_refresh.setEnabled(on); }
    const UnitStateRefresh &refresh() const { return m_refresh; }

signals:
    // The page has stopped its session and may be destroyed (deleteLater) now.
    void closed();
    // Rows stopped reaching the log file (a full disk, say), or reach it again. Readings
    // and the graph go on either way; the window shows the state, no message box.
    void logWriteStateChanged(bool failing, const QDateTime &firstLostRow);
    // The link's state or the time of the last reading changed (see link()).
    void linkStateChanged();

protected:
    DevicePage(QWidget *parent, Model model, DevicePageArgs args);

    // Model start-up after the session is connected: controls, graph, first requests.
    virtual void initialisePage() = 0;
    // Every 100 ms unless paused: move counters, post requests; nothing else.
    virtual void tick() = 0;
    // Reads what the unit holds (ranges, thresholds, outputs ...) and shows it, as the
    // start-up does after the controls are made. Runs again when the link comes back
    // after failures: the unit may have been restarted with other settings. Only reads:
    // the page's own idea of the unit is never written back to it.
    virtual void readUnitState() = 0;
    // The reads of what another client may change, each posting one request whose
    // completion shows what came back and calls done; never what the operator is setting
    // (an output on its way, a value typed and not yet sent). The page runs them in turn
    // on its ticks, and the model pages build their start-up chains from them.
    using StepDone = StartupChain::Done;
    using ReadStep = StartupChain::Step;
    virtual std::vector<ReadStep> unitStateReads() = 0;

    // The completion of one of the page's requests, as in
    //   session()->getDO(completion([this](const Result<DigitalOutputs> &r) { onGetDO(r); }));
    // The handler gets the request's result; it does not run once the page is gone or
    // closing, and runs inside the lifecycle's CallbackScope.
    // Every result also tells the page's link watch whether the unit answered.
    template <typename Handler>
    auto completion(Handler handler)
    {
        m_link.posted();
        return [watch = m_lifetime.watch(), page = this, handler = std::move(handler)](auto result) {
            if (!watch.alive() || page->isClosing())
                return;
            const bool ok = result.ok();
            {
                PageLifecycle::CallbackScope scope(page->m_life);
                handler(std::move(result));
            }
            if (!page->isClosing())
                page->m_link.finished(ok, QDateTime::currentDateTime());
        };
    }

    // The displays that show what the unit holds (values, lamps, bars): greyed out while
    // what they show is older than the link, from a failure until a reading of theirs.
    void markAsUnitValue(QWidget *display) { m_unitValueDisplays.push_back(display); }
    // A reading has come from the unit: the displays it fills are current again.
    void readingArrived(std::initializer_list<QWidget *> fresh);
    // The same for the graph's value of one series (an output the unit just confirmed).
    void graphValueArrived(int series)
    {
        if (series >= 0 && series < int(m_graphValueLabels.size()))
            m_graphValueLabels[size_t(series)]->setEnabled(true);
    }

    // Start-up chain: requests run one after another, each step posted from the completion
    // of the one before. A step posts one request; its completion calls the step's done
    // with whether the request succeeded. A failure shows the time-out message and drops
    // the rest of the chain, so what the later steps would have read keeps its value.
    void runChain(std::vector<ReadStep> steps) { m_chain.run(std::move(steps)); }
    bool chainRunning() const { return m_chain.running(); }

    // Wires an automatic mode to its box, period edit and manual button.
    void attachAutoMode(AutoMode &mode, QCheckBox *check, QLineEdit *periodEdit, QWidget *manualButton,
                        std::function<void(bool on)> changed = {});

    void keyPressEvent(QKeyEvent *event) override;

    // Filter the edit to digits (periods) or decimals (output values), pausing the page
    // and holding a close while the filter's message is up.
    void attachDigitsFilter(QLineEdit *edit, int maxLength = 6);
    void attachNumberFilter(QLineEdit *edit, NumberChars allowed);

    // The trend feed's, by the names the pages read best.
    void setUpGraph() { m_trend.setUp(); }
    void setSeriesLegend(int index, const QString &text) { m_trend.setLegend(index, text); }
    // The graph's values beside its legends are current again with each sample.
    void feedGraph(double t, const std::vector<double> &values, const QStringList &labels)
    {
        m_trend.feed(t, values, labels);
        for (QWidget *label : m_graphValueLabels)
            label->setEnabled(true);
    }
    static double nowSeconds() { return TrendFeed::now(); }

    // One log row (header first when due); an open failure tells the operator once, a
    // write failure and the recovery from it go out as logWriteStateChanged.
    void writeLogRow(const std::function<QString()> &header, const QStringList &fields)
    {
        m_logFeed.writeRow(header, fields);
    }
    // The same for what the page holds of its unit, named with the channels' settings: the
    // row is made by the row builder the logging service writes with, so the same state
    // gives the same bytes (an output's value is the code the unit was set to, through its
    // formula).
    void writeUnitRow(const unit::UnitState &state, const unit::ChannelSetups &setups);

private:
    void onTick();
    void onLinkChanged();
    void onReconnected();

    // Ended first thing in the destructor: the page's completions check it.
    Lifetime m_lifetime;
    const Model m_model;
    DevicePageArgs m_args;
    // Declared before the session: it must outlive it.
    std::unique_ptr<GuiDispatcher> m_dispatcher;
    std::unique_ptr<UnitSession> m_session;
    LogFeed m_logFeed;
    TrendFeed m_trend;
    PageClock m_clock;
    StartupChain m_chain;
    UnitStateRefresh m_refresh;
    PageLifecycle m_life;
    LinkWatch m_link;
    std::vector<QWidget *> m_unitValueDisplays;
    std::vector<QWidget *> m_graphValueLabels;
    bool m_outageShown = false;
};

} // namespace qn
