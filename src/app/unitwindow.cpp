#include "app/unitwindow.h"

#include "graph/graphtab.h"
#include "graph/trendcanvas.h"
#include "pages/devicepages.h"
#include "ui/keyguard.h"
#include "ui/messages.h"

#include "ui_unitwindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QThread>
#include <QUrl>

namespace qn {

namespace {

QString noControlPageText()
{
    return UnitWindow::tr("この機種の制御ページは、このバージョンではまだ使用できません。");
}

QList<UnitWindow *> &windows()
{
    static QList<UnitWindow *> list;
    return list;
}

UnitWindow::FolderOpener &folderOpener()
{
    static UnitWindow::FolderOpener opener;
    return opener;
}

// Words and colour together, so the state is not told by colour alone.
QString linkStateStyle(LinkWatch::State state)
{
    switch (state) {
    case LinkWatch::State::Answering:
        return QStringLiteral("color: rgb(0, 128, 0);");
    case LinkWatch::State::NotAnswering:
        return QStringLiteral("color: rgb(255, 0, 0); font-weight: bold;");
    case LinkWatch::State::Unknown:
        break;
    }
    return {};
}

void setLabel(QLabel *label, const QString &text)
{
    if (label->text() == text)
        return;
    label->setText(text);
    label->setAccessibleName(text);
}

} // namespace

UnitWindow::UnitWindow(const UnitWindowArgs &args, SessionTimeouts timeouts)
    : UnitWindow(args, timeouts, PageStart::Now)
{
}

UnitWindow::UnitWindow(const UnitWindowArgs &args, SessionTimeouts timeouts, PageStart start)
    : QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                           | Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint),
      m_ui(std::make_unique<Ui::UnitWindow>()), m_args(args)
{
    windows().append(this);
    m_ui->setupUi(this);
    QTabWidget *tabs = m_ui->tabWidget;

    // The graph page first: the canvas lives in it and the control page feeds it.
    m_graphTab = new GraphTab(nullptr, m_args.model);
    // Opaque, so the canvas and value labels repaint without the tab frame beneath.
    m_graphTab->setAutoFillBackground(true);
    m_canvas = m_graphTab->createCanvas();

    DevicePageArgs pageArgs;
    pageArgs.ipAddress = m_args.ipAddress.left(255);
    pageArgs.tcpPort = m_args.tcpPort;
    pageArgs.title = m_args.title.left(255);
    pageArgs.macText = m_args.macText.left(255);
    pageArgs.unitId = m_args.unitId;
    pageArgs.loggingEnabled = m_args.loggingEnabled;
    pageArgs.logFolder = m_args.logFolder.left(511);
    pageArgs.canvas = m_canvas;
    pageArgs.graphTab = m_graphTab;
    pageArgs.rowsPerFile = m_args.rowsPerFile;
    pageArgs.timeouts = timeouts;
    m_page = createDevicePage(m_args.model, nullptr, pageArgs);

    if (m_page) {
        tabs->addTab(m_page, QString());
        connect(m_page, &DevicePage::closed, this, &UnitWindow::onPageClosed);
        connect(m_page, &DevicePage::logWriteStateChanged, this, &UnitWindow::onLogWriteStateChanged);
        connect(m_page, &DevicePage::linkStateChanged, this, &UnitWindow::showLinkState);
    } else {
        // This version has no control page for the model: say so plainly rather than
        // show an empty tab; the graph tab still shows the model's layout.
        m_noControlPage = new QLabel(tabs);
        m_noControlPage->setObjectName(QStringLiteral("noControlPageLabel"));
        m_noControlPage->setAlignment(Qt::AlignCenter);
        m_noControlPage->setWordWrap(true);
        tabs->addTab(m_noControlPage, QString());
    }
    tabs->addTab(m_graphTab, QString());
    retranslate();
    if (m_page)
        m_graphTab->setPage(m_page);
    tabs->setCurrentIndex(0);
    connect(tabs, &QTabWidget::currentChanged, this, &UnitWindow::onTabChanged);
    connect(m_ui->disconnectButton, &QPushButton::clicked, this, &UnitWindow::disconnectUnit);
    connect(m_ui->openLogFolderButton, &QPushButton::clicked, this, &UnitWindow::openLogFolder);
    connect(m_ui->outageSeenButton, &QPushButton::clicked, this, &UnitWindow::acknowledgeOutage);
    m_ui->openLogFolderButton->setEnabled(m_args.loggingEnabled);

    setWindowTitle(m_args.title.left(255));
    setMessageSourceName(this, windowTitle());
    if (start == PageStart::Now)
        startPage();
}

void UnitWindow::startPage()
{
    if (m_page) {
        m_page->initialise();
        showLinkState();
    }
    showLogFile();
}

UnitWindow::~UnitWindow()
{
    windows().removeAll(this);
    // The page's session is stopped by now (or stops here); the graph page and its canvas,
    // which the page no longer feeds, go with the tabs.
    delete m_page;
    m_page = nullptr;
    if (m_graphTab)
        m_graphTab->setPage(nullptr);
}

UnitWindow *UnitWindow::open(const UnitWindowArgs &args, SessionTimeouts timeouts)
{
    auto *window = new UnitWindow(args, timeouts, PageStart::Later);
    if (QScreen *screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->show();
    window->startPage();
    return window;
}

UnitWindowOpener UnitWindow::opener()
{
    return [](const UnitWindowArgs &args) { open(args); };
}

UnitWindowFinder UnitWindow::finder()
{
    return [](const QString &ipAddress, int tcpPort) -> QWidget * {
        for (UnitWindow *window : windows()) {
            if (!window->m_closing && window->m_args.ipAddress == ipAddress && window->m_args.tcpPort == tcpPort)
                return window;
        }
        return nullptr;
    };
}

QList<UnitWindow *> UnitWindow::openWindows()
{
    return windows();
}

void UnitWindow::closeAllWindows()
{
    for (UnitWindow *window : windows()) {
        window->disconnectUnit();
        // A close waits for a page's messages; at exit nobody is left to answer them.
        if (window->m_page)
            window->m_page->dismissPendingMessages();
    }
}

bool UnitWindow::waitForAllWindowsClosed(int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!windows().isEmpty() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (!windows().isEmpty())
            QThread::msleep(5);
    }
    return windows().isEmpty();
}

int UnitWindow::currentTab() const
{
    return m_ui->tabWidget->currentIndex();
}

void UnitWindow::selectTab(int index)
{
    m_ui->tabWidget->setCurrentIndex(index);
}

QString UnitWindow::logStateText() const
{
    return m_ui->logStateLabel->isVisibleTo(this) ? m_ui->logStateLabel->text() : QString();
}

QString UnitWindow::linkStateText() const { return m_ui->linkStateLabel->text(); }
QString UnitWindow::lastReadingText() const { return m_ui->lastReadingLabel->text(); }
QString UnitWindow::logFileText() const { return m_ui->logFileLabel->text(); }

void UnitWindow::showLinkState()
{
    // A rotated log file shows with the reading that wrote its first row.
    showLogFile();
    if (!m_page)
        return;
    const LinkWatch &link = m_page->link();
    QLabel *state = m_ui->linkStateLabel;
    const QString style = linkStateStyle(link.state());
    if (state->styleSheet() != style)
        state->setStyleSheet(style);
    setLabel(state, link.stateText());
    setLabel(m_ui->lastReadingLabel, link.lastReadingText());
    // An outage stays on show, beside the state, until the operator says it was seen.
    const bool outage = link.outageUnseen();
    setLabel(m_ui->outageLabel, link.outageText());
    m_ui->outageLabel->setVisible(outage);
    m_ui->outageSeenButton->setVisible(outage);
}

QString UnitWindow::outageText() const
{
    return m_ui->outageLabel->isVisibleTo(this) ? m_ui->outageLabel->text() : QString();
}

void UnitWindow::acknowledgeOutage()
{
    if (m_page)
        m_page->link().outageSeen();
    showLinkState();
}

void UnitWindow::showLogFile()
{
    QString text = tr("ログ記録なし");
    QString path;
    if (m_page && m_args.loggingEnabled) {
        // Logging is off once a file could not be opened.
        const ChannelLog &log = m_page->log();
        path = log.enabled() ? log.currentFileName() : QString();
        text = path.isEmpty() ? tr("ログ: ファイルを開けません") : tr("ログ: %1").arg(QFileInfo(path).fileName());
    }
    setLabel(m_ui->logFileLabel, text);
    m_ui->logFileLabel->setToolTip(path);
    m_ui->logFileLabel->setAccessibleDescription(path);
}

void UnitWindow::setFolderOpener(FolderOpener opener)
{
    folderOpener() = std::move(opener);
}

void UnitWindow::openLogFolder()
{
    const QUrl url = QUrl::fromLocalFile(m_args.logFolder);
    if (folderOpener())
        folderOpener()(url);
    else
        QDesktopServices::openUrl(url);
}

void UnitWindow::onLogWriteStateChanged(bool failing, const QDateTime &firstLostRow)
{
    // Beside "切断", so it shows on both tabs; a box every 100 ms would stop the operator.
    QLabel *label = m_ui->logStateLabel;
    m_firstLostRow = firstLostRow;
    const QString text = failing ? DevicePage::logWriteErrorText(firstLostRow) : QString();
    label->setText(text);
    label->setAccessibleName(text);
    label->setVisible(failing);
}

void UnitWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_ui->retranslateUi(this);
        retranslate();
    }
    QWidget::changeEvent(event);
}

void UnitWindow::retranslate()
{
    QTabWidget *tabs = m_ui->tabWidget;
    tabs->setTabText(0, tr("制御"));
    tabs->setTabText(tabs->indexOf(m_graphTab), tr("グラフ"));
    if (m_noControlPage) {
        m_noControlPage->setText(noControlPageText());
        m_noControlPage->setAccessibleName(noControlPageText());
    }
    if (m_ui->logStateLabel->isVisibleTo(this))
        onLogWriteStateChanged(true, m_firstLostRow);
    showLinkState();
}

void UnitWindow::onTabChanged(int)
{
    // QTabWidget shows the selected page and hides the other; nothing else to do.
}

void UnitWindow::disconnectUnit()
{
    if (m_closing)
        return;
    m_closing = true;
    m_ui->disconnectButton->setEnabled(false);
    if (m_page)
        m_page->requestClose(); // closed() follows, at once or once the page is free
    else
        onPageClosed();
}

void UnitWindow::onPageClosed()
{
    if (m_finished)
        return;
    m_finished = true;
    hide();
    emit finished();
    deleteLater();
}

void UnitWindow::closeEvent(QCloseEvent *event)
{
    // The window goes out of sight at once; the object stays until the page has let go of
    // its session (after its running completion, if any, has returned). Refusing the close
    // instead would also refuse the application's quit, which asks every window first.
    disconnectUnit();
    event->accept();
}

void UnitWindow::keyPressEvent(QKeyEvent *event)
{
    if (!swallowEnterOrEscape(event))
        QWidget::keyPressEvent(event);
}

} // namespace qn
