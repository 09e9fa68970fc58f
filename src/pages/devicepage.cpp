#include "pages/devicepage.h"

#include "common/numbertext.h"
#include "graph/graphtab.h"
#include "graph/trendcanvas.h"
#include "linkqt/guidispatcher.h"
#include "dialogs/dialogrunner.h"
#include "dialogs/signalnamedialog.h"
#include "ui/keyguard.h"
#include "ui/messages.h"
#include "ui/numericedit.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QSignalBlocker>
#include <QTimer>

namespace qn {

namespace {

// Every page ticks on one clock: the windows' ticks then cost the program one wake-up
// instead of one each, and waking up is most of what a tick costs.
int g_tickingPages = 0;
QPointer<QTimer> g_pageClock; // goes with the application

QTimer *pageClock()
{
    if (!g_pageClock) {
        g_pageClock = new QTimer(QCoreApplication::instance());
        g_pageClock->setTimerType(Qt::PreciseTimer);
        g_pageClock->setInterval(DevicePage::kTickMs);
    }
    return g_pageClock;
}

} // namespace

// A message of a completion that is up: it holds the session's queue, pauses the page and
// holds a close until the operator dismisses it. `page` is cleared once it is over, or
// when the page goes first (its box may outlive the page's own destructor by a moment).
struct DevicePage::PendingMessage {
    DevicePage *page = nullptr;
    CompletionHold hold;
    std::unique_ptr<ModalScope> scope;
    bool timeout = false;
};

DevicePage::DevicePage(QWidget *parent, Model model, DevicePageArgs args)
    : QWidget(parent), m_model(model), m_args(std::move(args)),
      m_dispatcher(std::make_unique<GuiDispatcher>())
{
    m_session = std::make_unique<UnitSession>(m_dispatcher.get(), m_args.timeouts);
    ChannelLogOptions log;
    log.enabled = m_args.loggingEnabled;
    log.folder = m_args.logFolder;
    log.rowsPerFile = m_args.rowsPerFile;
    log.modelPrefix = QString::fromUtf8(traits(model).logPrefix.data(), qsizetype(traits(model).logPrefix.size()));
    log.unitId = m_args.unitId;
    log.ipAddress = m_args.ipAddress;
    log.pageStart = QDateTime::currentDateTime();
    m_log = std::make_unique<ChannelLog>(std::move(log));

    // Opaque: a reading repaints the page's own controls, not the tab frame under it
    // (whose long frame lines cost more to paint than the controls themselves).
    setAutoFillBackground(true);
}

DevicePage::~DevicePage()
{
    m_lifetime.end();
    m_closing = true;
    m_closePending = false;
    stopTicking();
    // Stop the worker (its waiting completion is released) before the dispatcher that
    // would deliver it goes.
    m_session.reset();
    m_dispatcher.reset();
    // Boxes still up go with the page's children, after this body: they must find the
    // page gone and their holds released already.
    for (const std::shared_ptr<PendingMessage> &message : std::exchange(m_pendingMessages, {})) {
        message->page = nullptr;
        message->scope.reset();
        message->hold.reset();
    }
}

void DevicePage::initialise()
{
    // A unit that cannot be reached shows itself through the first request's failure.
    m_session->connect(m_args.ipAddress.toStdString(), m_args.tcpPort);
    initialisePage();
    if (m_log->open() == ChannelLog::Result::OpenFailed)
        reportLogOpenFailed();
    if (!m_closing)
        startTicking();
}

void DevicePage::startTicking()
{
    if (m_ticking)
        return;
    m_ticking = true;
    QTimer *clock = pageClock();
    connect(clock, &QTimer::timeout, this, &DevicePage::onTick);
    if (++g_tickingPages == 1)
        clock->start();
}

void DevicePage::stopTicking()
{
    if (!m_ticking)
        return;
    m_ticking = false;
    --g_tickingPages;
    if (!g_pageClock)
        return; // gone with the application, and its connections with it
    disconnect(g_pageClock, &QTimer::timeout, this, &DevicePage::onTick);
    if (g_tickingPages == 0)
        g_pageClock->stop();
}

void DevicePage::requestClose()
{
    m_closing = true;
    stopTicking();
    if (m_closed)
        return;
    if (m_busyDepth > 0) {
        // A completion or a message box of this page is still on the stack; finish
        // once it has returned (leaveBusy).
        m_closePending = true;
        return;
    }
    finishClose();
}

void DevicePage::leaveBusy()
{
    if (--m_busyDepth == 0 && m_closePending) {
        m_closePending = false;
        // Still inside the completion's call chain: stop the session from the event loop.
        QMetaObject::invokeMethod(this, &DevicePage::finishClose, Qt::QueuedConnection);
    }
}

void DevicePage::finishClose()
{
    if (m_closed)
        return;
    if (m_busyDepth > 0) {
        m_closePending = true;
        return;
    }
    m_closed = true;
    m_session.reset();
    emit closed();
}

void DevicePage::onTick()
{
    if (paused() || m_closing)
        return;
    tick();
}

DevicePage::ModalScope::ModalScope(DevicePage &page) : m_page(page)
{
    ++m_page.m_pauseDepth;
    m_page.enterBusy();
}

DevicePage::ModalScope::~ModalScope()
{
    --m_page.m_pauseDepth;
    m_page.leaveBusy();
}

void DevicePage::showPausedMessage(const QString &text)
{
    showMessageOf(text, false);
}

void DevicePage::showTimeoutMessage()
{
    if (m_timeoutMessagesUp > 0)
        return;
    showMessageOf(timeoutMessage(), true);
}

void DevicePage::showMessageOf(const QString &text, bool timeout)
{
    // Only this page's own completion may be held: a handler of the page that runs inside
    // some other completion's call chain is not one.
    CompletionHold hold = m_callbackDepth > 0 ? holdCurrentCompletion() : CompletionHold();
    if (!hold) {
        ModalScope scope(*this);
        m_timeoutMessagesUp += timeout ? 1 : 0;
        showMessage(this, text);
        m_timeoutMessagesUp -= timeout ? 1 : 0;
        return;
    }
    auto message = std::make_shared<PendingMessage>();
    message->page = this;
    message->hold = std::move(hold);
    message->scope = std::make_unique<ModalScope>(*this);
    message->timeout = timeout;
    m_timeoutMessagesUp += timeout ? 1 : 0;
    m_pendingMessages.push_back(message);
    showMessageAsync(this, text, [message] {
        if (DevicePage *page = message->page)
            page->messageDismissed(message);
    });
}

void DevicePage::messageDismissed(const std::shared_ptr<PendingMessage> &message)
{
    message->page = nullptr;
    std::erase(m_pendingMessages, message);
    m_timeoutMessagesUp -= message->timeout ? 1 : 0;
    // The page first (a close waiting for the message is queued), then the worker.
    message->scope.reset();
    message->hold.reset();
}

void DevicePage::dismissPendingMessages()
{
    messagePresenter().closeAsync(this);
    // Whatever the presenter did not answer is answered here.
    for (const std::shared_ptr<PendingMessage> &message : std::vector(m_pendingMessages)) {
        if (message->page)
            messageDismissed(message);
    }
}

bool DevicePage::askPaused(const QString &text)
{
    ModalScope scope(*this);
    return askOkCancel(this, text);
}

std::optional<int> DevicePage::readPeriod(const QLineEdit *edit)
{
    const int period = parseLenientInt(edit->text());
    if (period < 1 || period > kMaxPeriod) {
        showPausedMessage(invalidPeriodMessage());
        return std::nullopt;
    }
    return period;
}

bool DevicePage::runSettingsDialog(QDialog &dialog)
{
    // A close of the unit window (disconnect, or the program ending) takes the open dialog
    // with it as if cancelled, so the close need not wait for the operator.
    QTimer closeWatch;
    closeWatch.setInterval(50);
    connect(&closeWatch, &QTimer::timeout, &dialog, [this, &dialog] {
        if (isClosing() && dialog.isVisible())
            dialog.reject();
    });
    closeWatch.start();
    int result = QDialog::Rejected;
    {
        BusyScope busy(*this);
        result = runDialog(dialog);
    }
    // Once the page is closing nothing may be posted any more.
    return result == QDialog::Accepted && !isClosing();
}

std::optional<QString> DevicePage::askSignalName(const QString &shown)
{
    SignalNameDialog dialog(this);
    dialog.name = shown.left(SignalNameDialog::NameMaxLength);
    if (!runSettingsDialog(dialog))
        return std::nullopt;
    return dialog.name;
}

void DevicePage::keyPressEvent(QKeyEvent *event)
{
    if (!swallowEnterOrEscape(event))
        QWidget::keyPressEvent(event);
}

void DevicePage::runChain(std::vector<ChainStep> steps)
{
    m_chain = std::move(steps);
    m_chainNext = 0;
    chainStepDone(true);
}

void DevicePage::chainStepDone(bool ok)
{
    if (!ok) {
        m_chain.clear();
        m_chainNext = 0;
        showTimeoutMessage();
        return;
    }
    if (m_chainNext >= m_chain.size())
        return;
    // The step may start another chain; take it out first.
    const ChainStep step = m_chain[m_chainNext++];
    step();
}

void DevicePage::attachDigitsFilter(QLineEdit *edit, int maxLength)
{
    edit->setMaxLength(maxLength);
    attachNumberFilter(edit, NumberChars::Digits);
}

void DevicePage::attachNumberFilter(QLineEdit *edit, NumberChars allowed)
{
    // The message of the filter is a nested loop like any other: pause and hold closes.
    auto scope = std::make_shared<std::unique_ptr<ModalScope>>();
    attachNumericFilter(
        edit, allowed, [this, scope] { *scope = std::make_unique<ModalScope>(*this); },
        [scope] { scope->reset(); });
}

TrendSeries *DevicePage::series(int index) const
{
    return m_args.canvas ? m_args.canvas->series(index) : nullptr;
}

double DevicePage::nowSeconds()
{
    // With the milliseconds: readings ten times a second would otherwise share one instant
    // and draw as steps of a second.
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}

void DevicePage::setUpGraph()
{
    if (m_args.canvas)
        setUpModelSeries(*m_args.canvas, m_model, nowSeconds());
}

void DevicePage::setSeriesLegend(int index, const QString &text)
{
    if (m_args.graphTab)
        m_args.graphTab->setLegendText(index, text);
    if (TrendSeries *s = series(index))
        s->setName(text.toStdString());
}

void DevicePage::feedGraph(double t, const std::vector<double> &values, const QStringList &labels)
{
    for (int i = 0; i < int(values.size()); ++i) {
        if (m_args.graphTab && i < labels.size())
            m_args.graphTab->setValueLabel(i, labels[i]);
        if (TrendSeries *s = series(i))
            s->addSample(t, values[size_t(i)]);
    }
    refreshGraph();
}

void DevicePage::setDisplayPeriod(int index)
{
    if (m_args.canvas)
        applyDisplayPeriod(*m_args.canvas, index);
}

void DevicePage::refreshGraph()
{
    if (m_args.canvas)
        m_args.canvas->setTimeRange(0, 0);
}

void DevicePage::writeLogRow(const std::function<QString()> &header, const QStringList &fields)
{
    const bool wasFailing = m_log->writeFailing();
    if (m_log->writeRow(header, fields) == ChannelLog::Result::OpenFailed)
        reportLogOpenFailed();
    if (m_log->writeFailing() != wasFailing)
        emit logWriteStateChanged(m_log->writeFailing(), m_log->firstLostRow());
}

QString DevicePage::logWriteErrorText(const QDateTime &firstLostRow)
{
    const QLocale locale = QLocale::system();
    return QStringLiteral("ログ書き込みエラー (%1 %2 ～)")
        .arg(logDateText(firstLostRow.date(), locale), logTimeText(firstLostRow.time(), locale));
}

void DevicePage::reportLogOpenFailed()
{
    showPausedMessage(logOpenFailedMessage());
}

// ---- automatic modes ------------------------------------------------------------

void AutoMode::attach(DevicePage &page, QCheckBox *check, QLineEdit *periodEdit, QWidget *manualButton,
                      std::function<void(bool)> changed)
{
    m_page = &page;
    m_check = check;
    m_edit = periodEdit;
    m_manual = manualButton;
    m_changed = std::move(changed);
    // toggled, not clicked: a box ticked by keyboard, an assistive tool or the program
    // must start and stop the mode just as a click does.
    QObject::connect(check, &QCheckBox::toggled, &page, [this](bool on) { set(on); });
}

bool AutoMode::set(bool on)
{
    bool active = false;
    if (on) {
        m_count = 0;
        // The box shows the tick while an invalid period is being reported.
        {
            QSignalBlocker block(m_check);
            m_check->setChecked(true);
        }
        if (const std::optional<int> typed = m_page->readPeriod(m_edit)) {
            m_period = *typed;
            active = true;
        }
    }
    {
        QSignalBlocker block(m_check);
        m_check->setChecked(active);
    }
    m_on = active;
    showEnabled();
    if (m_changed)
        m_changed(active);
    return active;
}

bool AutoMode::advance()
{
    if (!m_on)
        return false;
    if (++m_count < m_period)
        return false;
    m_count = 0;
    return true;
}

void AutoMode::setBlocked(bool blocked)
{
    m_blocked = blocked;
    showEnabled();
}

void AutoMode::showEnabled()
{
    m_check->setEnabled(!m_blocked);
    m_edit->setEnabled(!m_blocked && !m_on);
    m_manual->setEnabled(!m_blocked && !m_on);
}

} // namespace qn
