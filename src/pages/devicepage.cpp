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

// A message of a completion that is up: it holds the session's queue, pauses the page and
// holds a close until the operator dismisses it. `page` is cleared once it is over, or
// when the page goes first (its box may outlive the page's own destructor by a moment).
struct DevicePage::PendingMessage {
    DevicePage *page = nullptr;
    CompletionHold hold;
    std::unique_ptr<ModalScope> scope;
    bool timeout = false;
};

namespace {

ChannelLogOptions logOptions(Model model, const DevicePageArgs &args)
{
    ChannelLogOptions log;
    log.enabled = args.loggingEnabled;
    log.folder = args.logFolder;
    log.rowsPerFile = args.rowsPerFile;
    log.modelPrefix = QString::fromUtf8(traits(model).logPrefix.data(), qsizetype(traits(model).logPrefix.size()));
    log.unitId = args.unitId;
    log.ipAddress = args.ipAddress;
    log.pageStart = QDateTime::currentDateTime();
    return log;
}

} // namespace

DevicePage::DevicePage(QWidget *parent, Model model, DevicePageArgs args)
    : QWidget(parent), m_model(model), m_args(std::move(args)),
      m_dispatcher(std::make_unique<GuiDispatcher>()),
      m_logFeed(logOptions(model, m_args), [this] { showPausedMessage(logOpenFailedMessage()); },
                [this](bool failing, const QDateTime &firstLost) { emit logWriteStateChanged(failing, firstLost); }),
      m_trend(model, m_args.canvas, m_args.graphTab), m_clock(this, [this] { onTick(); }),
      m_chain([this] { showTimeoutMessage(); })
{
    m_session = std::make_unique<UnitSession>(m_dispatcher.get(), m_args.timeouts);

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
    m_logFeed.open();
    if (!m_closing)
        m_clock.join();
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

void DevicePage::attachAutoMode(AutoMode &mode, QCheckBox *check, QLineEdit *periodEdit, QWidget *manualButton,
                                std::function<void(bool)> changed)
{
    mode.attach(*this, [this](const QLineEdit *edit) { return readPeriod(edit); }, check, periodEdit, manualButton,
                std::move(changed));
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

void DevicePage::setDisplayPeriod(int index)
{
    m_trend.setDisplayPeriod(index);
}

void DevicePage::refreshGraph()
{
    m_trend.refresh();
}

} // namespace qn
