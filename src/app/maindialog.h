#pragma once
// The program's main window: finds units (search, add by IP address), lists them,
// identifies the selected one and opens its window, and holds the logging options
// handed to every unit window opened afterwards.
#include "app/unitwindowargs.h"
#include "link/discovery.h"
#include "ui/language.h"

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Ui {
class MainDialog;
}

namespace qn {

struct MainDialogConfig {
    QString programFolder;  // the log folder offered when none is remembered
    // Where the dialog remembers its port, logging options and log folder between runs
    // (an ini file of this user's); empty: nothing is remembered.
    QString optionsPath;
    QString settingsPath;   // per-unit settings loaded at start; empty: none
    QString versionText;    // shown in the status line when idle
    // Where searches are sent: every network this machine is on unless addresses
    // are named (see searchUnits).
    SearchTargets searchTargets = kEveryNetwork;
    uint16_t discoveryPort = kDiscoveryPort;
    DiscoveryTiming searchTiming = kSearchTiming;
    DiscoveryTiming addTiming = kAddTiming;
    int identifyTimeoutMs = kIdentifyTimeoutMs;
};

// Asks the operator for a folder: (parent, title, folder to preselect) -> chosen
// folder, empty on cancel.
using FolderChooser = std::function<QString(QWidget *, const QString &, const QString &)>;

class MainDialog final : public QDialog {
    Q_OBJECT
public:
    explicit MainDialog(MainDialogConfig config, UnitWindowOpener opener, QWidget *parent = nullptr);
    ~MainDialog() override;

    // How a connect finds the window already open for its unit; none set: every connect
    // opens a window.
    void setOpenWindowFinder(UnitWindowFinder finder) { m_findWindow = std::move(finder); }

    // Replaces the system folder chooser (tests).
    void setFolderChooser(FolderChooser chooser);

    // Where later searches are sent (loopback targets in tests and the demo).
    void setSearchTargets(SearchTargets targets) { m_config.searchTargets = std::move(targets); }

    const UnitTable &unitTable() const { return m_table; }
    QString logFolder() const { return m_logFolder; }
    // True while a search, add or identification runs on its worker thread.
    bool busy() const { return m_busy; }

    // -1 when files are not changed automatically, else the rows of the chosen list entry.
    int rowsPerFile() const;
    // 1000, 10000, 100000 or 1000000 for a rows list position (10000 for any other).
    static int rowsForSelection(int index);

    // The language last chosen in the main window (kept in the options file at
    // optionsPath); nullopt before any choice.
    static std::optional<Language> rememberedLanguage(const QString &optionsPath);

    // What a connect asks when the unit titled unitTitle already has a window.
    static QString alreadyConnectedQuestion(const QString &unitTitle);

signals:
    // A search, add or connect has finished on the GUI thread (after its messages).
    void jobFinished();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    struct JobChannel;
    enum class Status { Version, Searching, NoAnswer };

    // The texts set here rather than by the form, in the current language.
    void retranslate();
    void setStatus(Status status, const QString &address = {});
    void showStatus();

    void search();
    void addByIp();
    void connectSelected();
    void finishConnect(int row, const UnitEntry &identified, int rc, int modelId, int unitId);
    void showAddResult(const std::string &ip, const UnitTable &updated);
    // The selected line's position, however it was selected (mouse, keys, a
    // screen reader); -1 when none is.
    int selectedRow() const;
    void browse();
    void showLogFolder();
    void alignHeaderWithList();
    int listTextInset() const;
    void updateConnectButton();
    void updateAddButton();
    void restoreOptions();
    void saveOptions() const;

    // Runs work on a thread of its own; the callable it returns runs on the GUI thread,
    // unless this dialog is gone by then.
    void runInBackground(std::function<std::function<void()>()> work);
    void setBusy(bool busy);
    void rebuildList();

    std::unique_ptr<Ui::MainDialog> m_ui;
    MainDialogConfig m_config;
    UnitWindowOpener m_opener;
    UnitWindowFinder m_findWindow;
    FolderChooser m_chooseFolder;
    UnitTable m_table;
    QString m_logFolder;
    bool m_busy = false;
    Status m_status = Status::Version;
    QString m_noAnswerFrom;
    QPointer<QWidget> m_focusBeforeBusy;
    std::shared_ptr<JobChannel> m_channel;
};

} // namespace qn
