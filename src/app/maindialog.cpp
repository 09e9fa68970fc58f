#include "app/maindialog.h"

#include "app/startup.h"
#include "app/unitsettings.h"
#include "common/numbertext.h"
#include "link/unitlist.h"
#include "ui/fonts.h"
#include "ui/messages.h"
#include "ui_maindialog.h"

#include <QFileDialog>
#include <QBoxLayout>
#include <QKeyEvent>
#include <QStyle>
#include <QMetaObject>
#include <QRegularExpressionValidator>
#include <QDir>

#include <algorithm>
#include <mutex>
#include <thread>

namespace qn {
namespace {

const QString kSearching = QStringLiteral("検索中...");
const QString kCommError = QStringLiteral("通信エラー");
const QString kChooseFolderTitle = QStringLiteral("ログフォルダを選択してください");

// The list and its header use "ＭＳ ゴシック" at 10 points. An even pixel size keeps a
// Japanese character exactly two Latin ones wide, which the header's columns rely on.
constexpr int kListFontPixels = 14;

QString toQt(const std::string &text) { return QString::fromStdString(text); }

bool isSwallowedKey(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

QString systemFolderChooser(QWidget *parent, const QString &title, const QString &start)
{
    return QFileDialog::getExistingDirectory(parent, title, start, QFileDialog::ShowDirsOnly);
}

} // namespace

// The worker side of a background job posts its completion only while the dialog
// lives; the dialog's destructor clears receiver under the same mutex, so a worker
// never posts to a dialog that is gone (and Qt drops what was posted before).
struct MainDialog::JobChannel {
    std::mutex mutex;
    QObject *receiver = nullptr;
};

MainDialog::MainDialog(MainDialogConfig config, UnitWindowOpener opener, QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::MainDialog>())
    , m_config(std::move(config))
    , m_opener(std::move(opener))
    , m_chooseFolder(systemFolderChooser)
    , m_logFolder(m_config.programFolder)
    , m_channel(std::make_shared<JobChannel>())
{
    m_channel->receiver = this;
    m_ui->setupUi(this);
    setWindowIcon(applicationIcon());
    // A dialog of its own with minimise, as the program's only main window.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    const QFont listFont = fixedCjkFont(kListFontPixels);
    m_ui->unitList->setFont(listFont);
    m_ui->listHeaderLabel->setFont(listFont);
    m_ui->listHeaderLabel->setText(toQt(kUnitListHeader));
    alignHeaderWithList();

    if (!m_config.settingsPath.isEmpty())
        unitSettings().loadSettings(m_config.settingsPath);

    m_ui->portEdit->setMaxLength(5);
    // Digits only, as the system's number edit style: other characters are refused.
    m_ui->portEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_ui->portEdit));
    m_ui->addButton->setEnabled(false);
    m_ui->connectButton->setEnabled(false);
    showLogFolder();
    m_ui->statusLabel->setText(m_config.versionText);
    m_ui->rowsCombo->setCurrentIndex(1);

    // Enter and Escape never act in this window: not on the focused control, not as
    // the default button, not as a close.
    for (QWidget *child : findChildren<QWidget *>()) {
        if (!child->isWindow())
            child->installEventFilter(this);
    }

    connect(m_ui->searchButton, &QPushButton::clicked, this, &MainDialog::search);
    connect(m_ui->addButton, &QPushButton::clicked, this, &MainDialog::addByIp);
    connect(m_ui->connectButton, &QPushButton::clicked, this, &MainDialog::connectSelected);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &MainDialog::browse);
    connect(m_ui->exitButton, &QPushButton::clicked, this, [this] { done(0); });
    connect(m_ui->unitList, &QListWidget::itemSelectionChanged, this, &MainDialog::updateConnectButton);
    connect(m_ui->ipEdit, &QLineEdit::textChanged, this, &MainDialog::updateAddButton);
}

MainDialog::~MainDialog()
{
    std::lock_guard lock(m_channel->mutex);
    m_channel->receiver = nullptr;
}

int MainDialog::listTextInset() const
{
    // Where an item view draws its text: inside the frame, after the style's text margin.
    const int textMargin = m_ui->unitList->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_ui->unitList) + 1;
    return m_ui->unitList->frameWidth() + textMargin;
}

void MainDialog::alignHeaderWithList()
{
    const QFontMetrics metrics(m_ui->unitList->font());
    // The header's "機種" column starts one character further right than the model in a
    // list line (the texts are fixed that way), so the header moves left by that much
    // against the list's text, or the list moves right when the header cannot.
    const QString header = toQt(kUnitListHeader);
    const int headerColumn = metrics.horizontalAdvance(header.left(header.indexOf(QStringLiteral("機種"))));
    const int lineColumn = metrics.horizontalAdvance(QString(18, QLatin1Char('0')));  // "00-80-92-00-00-11 "
    const int shift = listTextInset() - (headerColumn - lineColumn);
    m_ui->listHeaderLabel->setIndent(0);
    m_ui->listHeaderLabel->setContentsMargins(std::max(shift, 0), 0, 0, 0);
    if (shift < 0) {
        auto *layout = static_cast<QBoxLayout *>(m_ui->deviceGroup->layout());
        const int at = layout->indexOf(m_ui->unitList);
        layout->removeWidget(m_ui->unitList);
        auto *row = new QHBoxLayout;
        row->setContentsMargins(0, 0, 0, 0);
        row->addSpacing(-shift);
        row->addWidget(m_ui->unitList);
        layout->insertLayout(at, row);
    }
    // Wide enough for a whole line with a long address.
    m_ui->unitList->setMinimumWidth(metrics.horizontalAdvance(QString(50, QLatin1Char('0'))) + 2 * listTextInset()
                                    + m_ui->unitList->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void MainDialog::setFolderChooser(FolderChooser chooser)
{
    m_chooseFolder = chooser ? std::move(chooser) : FolderChooser(systemFolderChooser);
}

int MainDialog::rowsForSelection(int index)
{
    switch (index) {
    case 0: return 1000;
    case 2: return 100000;
    case 3: return 1000000;
    default: return 10000;
    }
}

int MainDialog::rowsPerFile() const
{
    if (!m_ui->autoSwitchCheck->isChecked())
        return -1;
    return rowsForSelection(m_ui->rowsCombo->currentIndex());
}

void MainDialog::keyPressEvent(QKeyEvent *event)
{
    if (isSwallowedKey(event)) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool MainDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (isSwallowedKey(event))
        return true;
    // "デバイスリスト(&D)" leads to the list itself, not to whichever control of the
    // group had the focus last.
    if (watched == m_ui->deviceGroup && event->type() == QEvent::Shortcut) {
        if (m_ui->unitList->isEnabled())
            m_ui->unitList->setFocus(Qt::ShortcutFocusReason);
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void MainDialog::updateConnectButton()
{
    m_ui->connectButton->setEnabled(!m_busy && !m_ui->unitList->selectedItems().isEmpty());
}

void MainDialog::updateAddButton()
{
    m_ui->addButton->setEnabled(!m_busy && !m_ui->ipEdit->text().isEmpty());
}

void MainDialog::setBusy(bool busy)
{
    m_busy = busy;
    // The focused control may be one that gets disabled; it gets the focus back after.
    if (busy)
        m_focusBeforeBusy = focusWidget();
    // Everything that could start another search, an add or a connect, or change the
    // options meanwhile; exit stays usable.
    for (QWidget *w : {static_cast<QWidget *>(m_ui->loggingCheck), static_cast<QWidget *>(m_ui->autoSwitchCheck),
                       static_cast<QWidget *>(m_ui->ipEdit), static_cast<QWidget *>(m_ui->portEdit),
                       static_cast<QWidget *>(m_ui->unitList), static_cast<QWidget *>(m_ui->searchButton),
                       static_cast<QWidget *>(m_ui->browseButton), static_cast<QWidget *>(m_ui->rowsCombo)})
        w->setEnabled(!busy);
    updateAddButton();
    updateConnectButton();
    if (!busy && m_focusBeforeBusy && m_focusBeforeBusy->isEnabled())
        m_focusBeforeBusy->setFocus(Qt::OtherFocusReason);
}

void MainDialog::rebuildList()
{
    m_ui->unitList->clear();
    for (const std::string &line : unitListLines(m_table))
        m_ui->unitList->addItem(toQt(line));
    updateConnectButton();
}

void MainDialog::runInBackground(std::function<std::function<void()>()> work)
{
    std::thread([channel = m_channel, work = std::move(work)] {
        std::function<void()> done = work();
        std::lock_guard lock(channel->mutex);
        if (channel->receiver)
            QMetaObject::invokeMethod(channel->receiver, std::move(done), Qt::QueuedConnection);
    }).detach();
}

void MainDialog::search()
{
    if (m_busy)
        return;
    setBusy(true);
    m_ui->statusLabel->setText(kSearching);
    m_ui->statusLabel->repaint();

    // The worker gets copies of everything it needs; `this` travels only into the
    // completion, which runs on the GUI thread while the dialog lives.
    const int port = parseLenientInt(m_ui->portEdit->text());
    runInBackground([this, config = m_config, port]() -> std::function<void()> {
        auto found = std::make_shared<UnitTable>();
        const bool failed = searchUnits(*found, config.searchTargets, config.discoveryPort, config.searchTiming) < 0;
        if (!failed)
            identifyListedUnits(*found, port, config.identifyTimeoutMs);
        return [this, found, failed] {
            if (failed) {
                // The previous table stays, so the lines still shown match it.
                showMessage(this, kCommError);
            } else {
                m_table = *found;
                rebuildList();
            }
            m_ui->statusLabel->setText(m_config.versionText);
            setBusy(false);
            emit jobFinished();
        };
    });
}

void MainDialog::addByIp()
{
    const QString ip = m_ui->ipEdit->text();
    if (ip.isEmpty() || m_busy)
        return;
    setBusy(true);
    runInBackground([this, config = m_config, table = m_table, ip = ip.toStdString()]() mutable
                    -> std::function<void()> {
        const int result = addUnitByIP(table, ip, config.discoveryPort, config.addTiming);
        auto updated = std::make_shared<UnitTable>(std::move(table));
        return [this, result, updated, ip] {
            if (result == -1) {
                showMessage(this, kCommError);
            } else if (result >= 0) {
                // The add may have dropped units that no longer answer: the whole list
                // is rebuilt so that line positions keep matching table positions.
                const bool wasListed = std::any_of(m_table.entries().begin(), m_table.entries().end(),
                                                   [&](const UnitEntry &e) { return e.ipText == ip; });
                m_table = *updated;
                if (!wasListed) {
                    for (int i = 0; i < m_table.count(); ++i) {
                        if (m_table[i].ipText == ip)
                            m_table[i].unitId = -1;
                    }
                }
                rebuildList();
            }
            setBusy(false);
            emit jobFinished();
        };
    });
}

void MainDialog::connectSelected()
{
    const int row = m_ui->unitList->currentRow();
    if (m_busy || row < 0 || row >= m_table.count() || m_ui->unitList->selectedItems().isEmpty())
        return;
    setBusy(true);
    const UnitEntry entry = m_table[row];
    runInBackground([this, entry, timeoutMs = m_config.identifyTimeoutMs]() -> std::function<void()> {
        int modelId = -1;
        int unitId = -1;
        const int rc = getUnitModelID(entry.ipText, entry.tcpPort, modelId, unitId, timeoutMs);
        return [this, entry, rc, modelId, unitId] { finishConnect(entry, rc, modelId, unitId); };
    });
}

void MainDialog::finishConnect(const UnitEntry &identified, int rc, int modelId, int unitId)
{
    // The table cannot have changed meanwhile (every action that writes it was
    // disabled), but the entry is looked up again by address to be sure.
    const int row = m_table.indexOfIp(identified.address.ip);
    setBusy(false);
    if (rc != 0 || row < 0) {
        showMessage(this, kCommError);
        emit jobFinished();
        return;
    }
    UnitEntry &entry = m_table[row];
    entry.modelId = modelId;
    entry.unitId = unitId;
    if (QListWidgetItem *item = m_ui->unitList->item(row))
        item->setText(toQt(unitListLine(entry)));

    const int modelIndex = modelIndexFromModelId(entry.modelId);
    if (modelIndex >= 0 && m_opener) {
        UnitWindowArgs args;
        args.modelIndex = modelIndex;
        args.ipAddress = toQt(entry.ipText);
        args.tcpPort = entry.tcpPort;
        args.title = toQt(unitWindowTitle(entry));
        args.macText = toQt(macInfoText(entry.mac));
        args.unitId = entry.unitId;
        args.loggingEnabled = m_ui->loggingCheck->isChecked();
        args.logFolder = m_logFolder;
        args.rowsPerFile = rowsPerFile();
        m_opener(args);
    }
    emit jobFinished();
}

void MainDialog::browse()
{
    const QString chosen = m_chooseFolder(this, kChooseFolderTitle, m_logFolder);
    if (chosen.isEmpty())
        return;
    m_logFolder = QDir::cleanPath(chosen);
    showLogFolder();
}

void MainDialog::showLogFolder()
{
    const QString text = QDir::toNativeSeparators(m_logFolder);
    m_ui->folderLabel->setText(text);
    // A long path is cut at the box's edge; the whole of it is one hover away.
    m_ui->folderLabel->setToolTip(text);
}

} // namespace qn
