#pragma once
// The window of one connected unit: tabs "制御" (the model's control page) and "グラフ"
// (the graph page with its trend canvas), and "切断". Each connect opens one as an
// independent top-level window; it deletes itself once closed.
//
// Threads: GUI thread only.
#include "app/unitwindowargs.h"
#include "link/unitsession.h"

#include <QDateTime>
#include <QList>
#include <QWidget>

#include <functional>
#include <memory>

class QUrl;

namespace Ui {
class UnitWindow;
}

class QLabel;

namespace qn {

class DevicePage;
class GraphTab;
class TrendCanvas;

class UnitWindow final : public QWidget {
    Q_OBJECT
public:
    // Builds the window, its graph page, canvas and control page, and starts the page
    // (which connects to the unit: up to the connect time-out on this thread).
    explicit UnitWindow(const UnitWindowArgs &args, SessionTimeouts timeouts = {});
    ~UnitWindow() override;

    // What main.cpp hands the main dialog: a new shown window per connect. The page
    // starts once the window is on screen, so what it reports at start (a log file that
    // cannot be opened) appears over its window.
    static UnitWindow *open(const UnitWindowArgs &args, SessionTimeouts timeouts = {});
    static UnitWindowOpener opener();
    // Finds the window still connected (not closing) to a unit's address and port.
    static UnitWindowFinder finder();

    // Windows open now (not yet destroyed).
    static QList<UnitWindow *> openWindows();
    // Program exit: asks every window to close, dismissing the messages its page's
    // completions have up (each window finishes once its page is free); then waits,
    // running events, until they are all gone or timeoutMs has passed. Returns whether
    // all are gone. Do not call it from inside a page's modal message box.
    static void closeAllWindows();
    static bool waitForAllWindowsClosed(int timeoutMs = 15000);

    DevicePage *page() const { return m_page; }
    GraphTab *graphTab() const { return m_graphTab; }
    TrendCanvas *canvas() const { return m_canvas; }
    const UnitWindowArgs &args() const { return m_args; }
    int currentTab() const;
    void selectTab(int index);
    // The log state shown beside "切断": empty while rows reach the log file.
    QString logStateText() const;
    // The link's state beside "切断" ("接続中", "応答なし (HH:MM:SS から)") and the time of
    // the last reading; where the page logs to ("ログ: name.csv", "ログ記録なし").
    QString linkStateText() const;
    QString lastReadingText() const;
    QString logFileText() const;
    // An outage of the link the operator has not yet seen ("応答なし HH:MM:SS – HH:MM:SS",
    // shown with a "確認" button until pressed); empty when there is none.
    QString outageText() const;
    void acknowledgeOutage();

    // Opens the log folder in the desktop's file manager (QDesktopServices by default;
    // tests put in their own so that nothing is launched). Null restores the default.
    using FolderOpener = std::function<bool(const QUrl &)>;
    static void setFolderOpener(FolderOpener opener);
    void openLogFolder();

    // "切断": close the page, then the window. The window goes (deleteLater) as soon as
    // the page has stopped its session; while a completion of the page is running (its
    // time-out message is open, say) that waits for the completion to return.
    void disconnectUnit();
    bool isClosing() const { return m_closing; }

signals:
    // The page has stopped and the window is about to be deleted.
    void finished();

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    enum class PageStart { Now, Later };
    UnitWindow(const UnitWindowArgs &args, SessionTimeouts timeouts, PageStart start);
    void onTabChanged(int index);
    void onPageClosed();
    void onLogWriteStateChanged(bool failing, const QDateTime &firstLostRow);
    void startPage();
    void showLinkState();
    void showLogFile();
    // The texts set here rather than by the form, in the current language.
    void retranslate();

    std::unique_ptr<Ui::UnitWindow> m_ui;
    UnitWindowArgs m_args;
    GraphTab *m_graphTab = nullptr;
    TrendCanvas *m_canvas = nullptr;
    DevicePage *m_page = nullptr;
    QLabel *m_noControlPage = nullptr;
    QDateTime m_firstLostRow;
    bool m_closing = false;
    bool m_finished = false;
};

} // namespace qn
