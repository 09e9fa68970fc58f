#include "app/maindialog.h"

#include "app/startup.h"
#include "settings/unitsettings.h"
#include "common/numbertext.h"
#include "link/unitlist.h"
#include "ui/accessibility.h"
#include "ui/folderchooser.h"
#include "ui/fonts.h"
#include "ui/keyguard.h"
#include "ui/language.h"
#include "ui/showntext.h"
#include "ui/messages.h"
#include "ui/windowfront.h"
#include "ui_maindialog.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QMetaObject>
#include <QRegularExpressionValidator>
#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QSignalBlocker>

#include <algorithm>
#include <mutex>
#include <optional>
#include <thread>

namespace qn {
namespace {

QString searchingText() { return MainDialog::tr("検索中..."); }
QString commErrorText() { return MainDialog::tr("通信エラー"); }
QString loggingNoteText() { return MainDialog::tr("ログの設定は、これから接続するウィンドウに適用されます"); }
QString noAnswerFromText() { return MainDialog::tr("%1 から応答がありません"); }
QString chooseFolderTitle() { return MainDialog::tr("ログフォルダを選択してください"); }

const char kLanguageKey[] = "language";

// The list and its header use "ＭＳ ゴシック" at 10 points. An even pixel size keeps a
// Japanese character exactly two Latin ones wide, which the header's columns rely on.
constexpr int kListFontPixels = 14;

QString toQt(const std::string &text) { return QString::fromStdString(text); }

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
    , m_chooseFolder(chooseFolder)
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
    // What these show is read out as their value, under names that say what they are.
    for (QLabel *display : {m_ui->listHeaderLabel, m_ui->folderLabel, m_ui->statusLabel})
        exposeAsValueDisplay(display);
    // The rows list is named by its current item where combo boxes are read that way.
    linkAccessibleLabel(m_ui->rowsCombo);
    // A unit window takes the log options when it connects and keeps them: a change here
    // leaves the windows already open as they are, and this says so where it is changed.
    for (Language language : {Language::Japanese, Language::English})
        m_ui->languageCombo->addItem(languageName(language), languageCode(language));
    retranslate();
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
    setStatus(Status::Version);
    m_ui->rowsCombo->setCurrentIndex(1);
    restoreOptions();

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
    connect(m_ui->unitList, &QListWidget::itemDoubleClicked, this, &MainDialog::connectSelected);
    connect(m_ui->ipEdit, &QLineEdit::textChanged, this, &MainDialog::updateAddButton);
    // Each change is remembered at once, so no way of ending the program loses it.
    connect(m_ui->portEdit, &QLineEdit::textChanged, this, &MainDialog::saveOptions);
    connect(m_ui->loggingCheck, &QCheckBox::toggled, this, &MainDialog::saveOptions);
    connect(m_ui->autoSwitchCheck, &QCheckBox::toggled, this, &MainDialog::saveOptions);
    connect(m_ui->rowsCombo, &QComboBox::currentIndexChanged, this, &MainDialog::saveOptions);
    // The whole program changes language at once; the unit windows stay connected.
    connect(m_ui->languageCombo, &QComboBox::activated, this, [this](int index) {
        const std::optional<Language> chosen = languageFromCode(m_ui->languageCombo->itemData(index).toString());
        if (!chosen)
            return;
        setLanguage(*chosen);
        if (!m_config.optionsPath.isEmpty())
            QSettings(m_config.optionsPath, QSettings::IniFormat).setValue(QLatin1String(kLanguageKey), languageCode(*chosen));
    });
}

std::optional<Language> MainDialog::rememberedLanguage(const QString &optionsPath)
{
    if (optionsPath.isEmpty())
        return std::nullopt;
    const QSettings options(optionsPath, QSettings::IniFormat);
    return languageFromCode(options.value(QLatin1String(kLanguageKey)).toString());
}

void MainDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_ui->retranslateUi(this);
        retranslate();
    }
    QDialog::changeEvent(event);
}

void MainDialog::retranslate()
{
    // A unit window takes the log options when it connects and keeps them: a change here
    // leaves the windows already open as they are, and this says so where it is changed.
    const QString note = loggingNoteText();
    m_ui->loggingNoteLabel->setText(note);
    m_ui->loggingCheck->setToolTip(note);
    m_ui->loggingCheck->setAccessibleDescription(note);
    setDisplayText(m_ui->listHeaderLabel, shownText(kUnitListHeader));
    renameAccessibleLabels(this);
    const QSignalBlocker block(m_ui->languageCombo);
    m_ui->languageCombo->setCurrentIndex(m_ui->languageCombo->findData(languageCode(currentLanguage())));
    showStatus();
}

void MainDialog::showStatus()
{
    switch (m_status) {
    case Status::Searching: setDisplayText(m_ui->statusLabel, searchingText()); break;
    case Status::NoAnswer: setDisplayText(m_ui->statusLabel, noAnswerFromText().arg(m_noAnswerFrom)); break;
    case Status::Version: setDisplayText(m_ui->statusLabel, m_config.versionText); break;
    }
}

void MainDialog::setStatus(Status status, const QString &address)
{
    m_status = status;
    m_noAnswerFrom = address;
    showStatus();
}

void MainDialog::restoreOptions()
{
    if (m_config.optionsPath.isEmpty())
        return;
    const QSettings options(m_config.optionsPath, QSettings::IniFormat);
    m_ui->portEdit->setText(options.value(QStringLiteral("port")).toString());
    m_ui->loggingCheck->setChecked(options.value(QStringLiteral("logging"), false).toBool());
    m_ui->autoSwitchCheck->setChecked(options.value(QStringLiteral("autoSwitch"), false).toBool());
    const int rows = options.value(QStringLiteral("rowsIndex"), 1).toInt();
    if (rows >= 0 && rows < m_ui->rowsCombo->count())
        m_ui->rowsCombo->setCurrentIndex(rows);
    // A folder removed since the last run silently gives way to the default one.
    const QString folder = options.value(QStringLiteral("logFolder")).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) {
        m_logFolder = folder;
        showLogFolder();
    }
}

void MainDialog::saveOptions() const
{
    if (m_config.optionsPath.isEmpty())
        return;
    QSettings options(m_config.optionsPath, QSettings::IniFormat);
    options.setValue(QStringLiteral("port"), m_ui->portEdit->text());
    options.setValue(QStringLiteral("logging"), m_ui->loggingCheck->isChecked());
    options.setValue(QStringLiteral("autoSwitch"), m_ui->autoSwitchCheck->isChecked());
    options.setValue(QStringLiteral("rowsIndex"), m_ui->rowsCombo->currentIndex());
    options.setValue(QStringLiteral("logFolder"), m_logFolder);
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
    // The model column is the second, after the first run of spaces (in either language;
    // both headers put it at the same place).
    const QString header = shownText(kUnitListHeader);
    const QRegularExpressionMatch gap = QRegularExpression(QStringLiteral(" +")).match(header);
    const int headerColumn = metrics.horizontalAdvance(header.left(gap.capturedEnd()));
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

QString MainDialog::alreadyConnectedQuestion(const QString &unitTitle)
{
    return tr("%1 には既に接続しています。\n"
              "もう一つ接続すると、ユニットとの通信とログが二重になります。接続しますか？")
        .arg(unitTitle);
}

void MainDialog::setFolderChooser(FolderChooser chooser)
{
    m_chooseFolder = chooser ? std::move(chooser) : FolderChooser(chooseFolder);
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
    if (!swallowEnterOrEscape(event))
        QDialog::keyPressEvent(event);
}

bool MainDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (isEnterOrEscape(event))
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
    setStatus(Status::Searching);
    m_ui->statusLabel->repaint();

    // The worker gets copies of everything it needs; `this` travels only into the
    // completion, which runs on the GUI thread while the dialog lives.
    const int port = parseLenientInt(m_ui->portEdit->text());
    runInBackground([this, config = m_config, port]() -> std::function<void()> {
        auto found = std::make_shared<UnitTable>();
        const bool failed = !searchUnits(*found, config.searchTargets, config.discoveryPort, config.searchTiming).done();
        if (!failed)
            identifyListedUnits(*found, port, config.identifyTimeoutMs);
        return [this, found, failed] {
            if (failed) {
                // The previous table stays, so the lines still shown match it.
                showMessage(this, commErrorText);
            } else {
                m_table = *found;
                rebuildList();
            }
            // Usable again before the status line says the search is over.
            setBusy(false);
            setStatus(Status::Version);
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
        const SearchOutcome result = addUnitByIP(table, ip, config.discoveryPort, config.addTiming);
        auto updated = std::make_shared<UnitTable>(std::move(table));
        return [this, result, updated, ip] {
            if (result.status == SearchOutcome::Status::NotSent)
                showMessage(this, commErrorText);
            else if (result.done())
                showAddResult(ip, *updated);
            setBusy(false);
            emit jobFinished();
        };
    });
}

void MainDialog::showAddResult(const std::string &ip, const UnitTable &updated)
{
    // An address where nothing answers adds nothing, which the list alone does not show.
    bool answered = false;
    for (int i = 0; i < updated.count() && !answered; ++i)
        answered = updated[i].ipText == ip;
    setStatus(answered ? Status::Version : Status::NoAnswer, toQt(ip));
    // New entries come last, with model and ID unknown until they are identified.
    // While every listed unit is still there in its place, only their lines are
    // appended and the selection stays as it is.
    const int listed = m_table.count();
    bool kept = updated.count() >= listed;
    for (int i = 0; kept && i < listed; ++i)
        kept = updated[i].mac == m_table[i].mac && updated[i].ipText == m_table[i].ipText;
    if (kept) {
        m_table = updated;
        for (int i = listed; i < m_table.count(); ++i)
            m_ui->unitList->addItem(toQt(unitListLine(m_table[i])));
        return;
    }
    // The add dropped units that no longer answer: lines are rebuilt so that each
    // stands for the entry at its position, and the selected unit stays selected
    // if it is still listed.
    const int row = selectedRow();
    const std::optional<UnitEntry> selected = row >= 0 ? std::optional(m_table[row]) : std::nullopt;
    m_table = updated;
    rebuildList();
    if (selected) {
        const int at = m_table.indexOf(selected->address, selected->mac);
        if (at >= 0)
            m_ui->unitList->setCurrentRow(at);
    }
}

int MainDialog::selectedRow() const
{
    const QList<QListWidgetItem *> selected = m_ui->unitList->selectedItems();
    return selected.isEmpty() ? -1 : m_ui->unitList->row(selected.first());
}

void MainDialog::connectSelected()
{
    // The selection, not the list's current row: a selection made through the
    // accessibility interface sets no current row.
    const int row = selectedRow();
    if (m_busy || row < 0 || row >= m_table.count())
        return;
    setBusy(true);
    const UnitEntry entry = m_table[row];
    runInBackground([this, row, entry, timeoutMs = m_config.identifyTimeoutMs]() -> std::function<void()> {
        const Result<UnitModelId> id = getUnitModelID(entry.ipText, entry.tcpPort, timeoutMs);
        const int rc = id ? 0 : 1;
        const int modelId = id ? id->modelId : -1;
        const int unitId = id ? id->unitId : -1;
        return [this, row, entry, rc, modelId, unitId] { finishConnect(row, entry, rc, modelId, unitId); };
    });
}

void MainDialog::finishConnect(int row, const UnitEntry &identified, int rc, int modelId, int unitId)
{
    // The table cannot have changed meanwhile (every action that writes it was
    // disabled); the entry at row is checked to be the same unit all the same.
    // Two units may share an address, so the row is what tells them apart.
    const bool same = row < m_table.count() && m_table[row].address == identified.address
        && m_table[row].mac == identified.mac;
    setBusy(false);
    if (rc != 0 || !same) {
        showMessage(this, commErrorText);
        emit jobFinished();
        return;
    }
    UnitEntry &entry = m_table[row];
    entry.modelId = modelId;
    entry.unitId = unitId;
    if (QListWidgetItem *item = m_ui->unitList->item(row))
        item->setText(toQt(unitListLine(entry)));

    const std::optional<Model> model = modelFromId(entry.modelId);
    if (model && m_opener) {
        UnitWindowArgs args;
        args.model = *model;
        args.ipAddress = toQt(entry.ipText);
        args.tcpPort = entry.tcpPort;
        args.title = toQt(unitWindowTitle(entry));
        args.macText = toQt(macInfoText(entry.mac));
        args.unitId = entry.unitId;
        args.loggingEnabled = m_ui->loggingCheck->isChecked();
        args.logFolder = m_logFolder;
        // The default folder in the documents folder is made when first used.
        if (args.loggingEnabled && m_logFolder == m_config.programFolder)
            QDir().mkpath(m_logFolder);
        args.rowsPerFile = rowsPerFile();
        // Two windows on one unit double its load and its log: the open one comes forward
        // and the operator decides.
        if (m_findWindow) {
            if (QWidget *open = m_findWindow(args.ipAddress, args.tcpPort)) {
                bringToFront(open);
                if (!askOkCancel(this, [title = args.title] { return alreadyConnectedQuestion(title); })) {
                    emit jobFinished();
                    return;
                }
            }
        }
        m_opener(args);
    }
    emit jobFinished();
}

void MainDialog::browse()
{
    const QString chosen = m_chooseFolder(this, chooseFolderTitle(), m_logFolder);
    if (chosen.isEmpty())
        return;
    m_logFolder = QDir::cleanPath(chosen);
    showLogFolder();
    saveOptions();
}

void MainDialog::showLogFolder()
{
    const QString text = QDir::toNativeSeparators(m_logFolder);
    setDisplayText(m_ui->folderLabel, text);
    // A long path is cut at the box's edge; the whole of it is one hover away.
    m_ui->folderLabel->setToolTip(text);
}

} // namespace qn
