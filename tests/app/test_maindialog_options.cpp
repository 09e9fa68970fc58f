// The main dialog's options: the per-unit settings it loads, the log options it hands
// to the windows it opens, and what it remembers between runs.
#include "maindialogtest.h"

namespace qn::test {
namespace {

// Opening the main dialog loads the per-unit settings the pages read later.
TEST_F(MainDialogTest, LoadsThePerUnitSettingsFileOnOpening)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("qnview.ini"));
    {
        UnitSettingsStore written;
        written.setPath(path);
        written.setSignalName(1, 4, RecordKind::Input, 2, QStringLiteral("流量"));
    }
    MainDialogConfig c = config();
    c.settingsPath = path;
    m_dialog = std::make_unique<MainDialog>(c, [](const UnitWindowArgs &) {});
    EXPECT_EQ(unitSettings().path(), path);
    EXPECT_EQ(unitSettings().getSignalName(1, 4, RecordKind::Input, 2), QStringLiteral("流量"));
    unitSettings().resetToDefaults();
    unitSettings().setPath(QString());
}

TEST_F(MainDialogTest, RowsPerFileForEveryListChoice)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    struct Case {
        int index;
        bool autoSwitch;
        int rows;
    };
    const Case cases[] = {{0, true, 1000},  {1, true, 10000},  {2, true, 100000},  {3, true, 1000000},
                          {0, false, -1},   {1, false, -1},    {2, false, -1},     {3, false, -1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.index << (c.autoSwitch ? " auto" : " fixed"));
        child<QComboBox>("rowsCombo")->setCurrentIndex(c.index);
        child<QCheckBox>("autoSwitchCheck")->setChecked(c.autoSwitch);
        m_opened.clear();
        ASSERT_TRUE(connectRow(0));
        ASSERT_EQ(m_opened.size(), 1u);
        EXPECT_EQ(m_opened[0].rowsPerFile, c.rows);
    }
    EXPECT_EQ(MainDialog::rowsForSelection(-1), 10000);
}

// A log file that cannot be opened is reported over the unit's window, not before it.
TEST_F(MainDialogTest, LogOpenFailureIsShownOverTheOpenedWindow)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile notAFolder(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    m_dialog = std::make_unique<MainDialog>(config(), UnitWindow::opener());
    m_dialog->show();
    m_dialog->setFolderChooser([&](QWidget *, const QString &, const QString &) { return notAFolder.fileName(); });
    child<QPushButton>("browseButton")->click();
    child<QCheckBox>("loggingCheck")->setChecked(true);
    QList<bool> windowShown;
    m_presenter.onInform = [&](const QString &) {
        const QList<UnitWindow *> windows = UnitWindow::openWindows();
        windowShown << (windows.size() == 1 && windows[0]->isVisible());
    };
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    ASSERT_TRUE(connectRow(0));
    EXPECT_EQ(m_presenter.messages, QStringList{QStringLiteral("ログファイルをオープンできません。")});
    EXPECT_EQ(windowShown, QList<bool>{true});
    UnitWindow::closeAllWindows();
    EXPECT_TRUE(UnitWindow::waitForAllWindowsClosed());
}

TEST_F(MainDialogTest, BrowseChoosesTheLogFolderHandedToLaterWindows)
{
    QStringList asked;
    QString answer = QStringLiteral("/var/log/qn");
    dialog().setFolderChooser([&](QWidget *, const QString &title, const QString &start) {
        asked << title << start;
        return answer;
    });
    child<QPushButton>("browseButton")->click();
    EXPECT_EQ(asked, (QStringList{QStringLiteral("ログフォルダを選択してください"), QStringLiteral("/opt/qnview")}));
    EXPECT_EQ(dialog().logFolder(), QStringLiteral("/var/log/qn"));
    EXPECT_EQ(child<QLabel>("folderLabel")->text(), QStringLiteral("/var/log/qn"));
    EXPECT_EQ(child<QLabel>("folderLabel")->toolTip(), QStringLiteral("/var/log/qn"));  // a cut path in full

    answer.clear();  // cancelled
    child<QPushButton>("browseButton")->click();
    EXPECT_EQ(dialog().logFolder(), QStringLiteral("/var/log/qn"));

    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    ASSERT_TRUE(connectRow(0));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].logFolder, QStringLiteral("/var/log/qn"));
}

TEST_F(MainDialogTest, RemembersItsOptionsBetweenRuns)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    m_optionsPath = dir.filePath(QStringLiteral("options.ini"));
    const QString folder = dir.filePath(QStringLiteral("logs"));
    ASSERT_TRUE(QDir().mkpath(folder));
    dialog().setFolderChooser([&](QWidget *, const QString &, const QString &) { return folder; });
    child<QLineEdit>("portEdit")->setText(QStringLiteral("10001"));
    child<QCheckBox>("loggingCheck")->setChecked(true);
    child<QCheckBox>("autoSwitchCheck")->setChecked(true);
    child<QComboBox>("rowsCombo")->setCurrentIndex(3);
    child<QPushButton>("browseButton")->click();

    m_dialog.reset();  // the program ends ...
    EXPECT_EQ(child<QLineEdit>("portEdit")->text(), QStringLiteral("10001"));  // ... and starts again
    EXPECT_TRUE(child<QCheckBox>("loggingCheck")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("autoSwitchCheck")->isChecked());
    EXPECT_EQ(dialog().rowsPerFile(), 1000000);
    EXPECT_EQ(dialog().logFolder(), folder);

    // A remembered folder that is gone gives way to the default, without a message.
    m_dialog.reset();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    EXPECT_EQ(dialog().logFolder(), QStringLiteral("/opt/qnview"));
    EXPECT_TRUE(child<QCheckBox>("loggingCheck")->isChecked());
    EXPECT_TRUE(m_presenter.messages.isEmpty());
}

} // namespace
} // namespace qn::test
