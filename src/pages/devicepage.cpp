#include "pages/devicepage.h"

#include "common/numbertext.h"
#include "csvlog/csvrow.h"
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
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QTimer>

namespace qn {

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
      m_logFeed(logOptions(model, m_args), [this] { showPausedMessage(logOpenFailedMessage); },
                [this](bool failing, const QDateTime &firstLost) { emit logWriteStateChanged(failing, firstLost); }),
      m_trend(model, m_args.canvas, m_args.graphTab), m_clock(this, [this] { onTick(); }),
      m_chain([this] { showTimeoutMessage(); }),
      m_life(*this,
             [this] {
                 m_session.reset();
                 emit closed();
             }),
      m_link({[this] { onLinkChanged(); }, [this] { onReconnected(); }})
{
    m_session = std::make_unique<UnitSession>(m_dispatcher.get(), m_args.timeouts);
    // The graph page's values beside its legends go grey with the page's own.
    if (m_args.graphTab) {
        for (QLabel *label : m_args.graphTab->findChildren<QLabel *>(QRegularExpression(QStringLiteral("^valueLabel\\d$"))))
            m_graphValueLabels.push_back(label);
        m_unitValueDisplays = m_graphValueLabels;
    }

    // Opaque: a reading repaints the page's own controls, not the tab frame under it
    // (whose long frame lines cost more to paint than the controls themselves).
    setAutoFillBackground(true);
}

DevicePage::~DevicePage()
{
    m_lifetime.end();
    m_life.teardown();
    stopTicking();
    // Stop the worker (its waiting completion is released) before the dispatcher that
    // would deliver it goes.
    m_session.reset();
    m_dispatcher.reset();
    // Boxes still up go with the page's children, after this body: they must find the
    // page gone and their holds released already.
    m_life.abandon();
}

void DevicePage::initialise()
{
    // A unit that cannot be reached shows itself through the first request's failure.
    m_session->connect(m_args.ipAddress.toStdString(), m_args.tcpPort);
    initialisePage();
    m_refresh.setSteps(unitStateReads());
    m_logFeed.open();
    if (!isClosing())
        m_clock.join();
}

void DevicePage::requestClose()
{
    stopTicking();
    m_life.requestClose();
}

void DevicePage::onTick()
{
    if (paused() || isClosing())
        return;
    tick();
    // What another client may have changed, read in turn with the page's own requests
    // (after a start-up or a reconnect, once its chain has read everything).
    if (!chainRunning() && !isClosing())
        m_refresh.tick();
    // A page that reads nothing on a timer (a QN-120 with nothing automatic) would never
    // find out that its unit went away, nor that it came back. When nothing has been on
    // its way for a while it asks the unit for its model ID: a read that changes nothing
    // on the unit, costs one short reply, writes no log row and shows nothing but the
    // link's state. Its failure shows no message either; the window's link state says it.
    if (m_link.tickWantsProbe())
        m_session->getUnitModelID(completion([](const Result<UnitModelId> &) {}));
}

void DevicePage::onLinkChanged()
{
    if (m_link.answering()) {
        m_outageShown = false;
    } else if (!m_outageShown) {
        m_outageShown = true;
        for (QWidget *display : m_unitValueDisplays)
            display->setEnabled(false);
    }
    emit linkStateChanged();
}

void DevicePage::readingArrived(std::initializer_list<QWidget *> fresh)
{
    for (QWidget *display : fresh)
        display->setEnabled(true);
    m_link.readingArrived(QDateTime::currentDateTime());
}

void DevicePage::onReconnected()
{
    // Queued behind whatever the operator has already sent, so a value just set is read
    // back rather than overwritten. A chain still running reads on after the reconnect
    // (a failure would have dropped it), so it is left to finish.
    if (!chainRunning())
        readUnitState();
}

std::optional<int> DevicePage::readPeriod(const QLineEdit *edit)
{
    const int period = parseLenientInt(edit->text());
    if (period < 1 || period > kMaxPeriod) {
        showPausedMessage(invalidPeriodMessage);
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
        PageLifecycle::BusyScope busy(m_life);
        result = runDialog(dialog);
    }
    // Once the page is closing nothing may be posted any more.
    return result == QDialog::Accepted && !isClosing();
}

std::optional<QString> DevicePage::askSignalName(const QString &shown)
{
    SignalNameDialog dialog(shown.left(SignalNameDialog::NameMaxLength), this);
    if (!runSettingsDialog(dialog))
        return std::nullopt;
    return dialog.name();
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
    auto scope = std::make_shared<std::unique_ptr<PageLifecycle::ModalScope>>();
    attachNumericFilter(
        edit, allowed, [this, scope] { *scope = std::make_unique<PageLifecycle::ModalScope>(m_life); },
        [scope] { scope->reset(); });
}

void DevicePage::writeUnitRow(const unit::UnitState &state, const unit::ChannelSetups &setups)
{
    if (!m_logFeed.log().enabled())
        return;
    unit::Reading reading;
    reading.state = state;
    const unit::NamedReading named = unit::named(reading, setups);
    writeLogRow([&named] { return csvRowHeader(named); }, csvRowFields(named));
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
