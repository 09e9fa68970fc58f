// The main dialog's own texts and keys, its search and its list, and adding by address.
#include "maindialogtest.h"

namespace qn::test {
namespace {

TEST_F(MainDialogTest, StartsWithItsTextsAndInitialStates)
{
    MainDialog &d = dialog();
    EXPECT_EQ(d.windowTitle(), QStringLiteral("QN-VIEW"));
    EXPECT_EQ(child<QGroupBox>("deviceGroup")->title(), QStringLiteral("デバイスリスト(&D)"));
    EXPECT_EQ(child<QLabel>("listHeaderLabel")->text(), QStringLiteral("MACアドレス        機種      ID    IPアドレス"));
    EXPECT_EQ(child<QLabel>("portLabel")->text(), QStringLiteral("QNNETポート(&P) :"));
    EXPECT_EQ(child<QLabel>("portLabel")->buddy(), child<QLineEdit>("portEdit"));
    EXPECT_EQ(child<QLabel>("ipLabel")->text(), QStringLiteral("IPアドレス(&I) :"));
    EXPECT_EQ(child<QLabel>("ipLabel")->buddy(), child<QLineEdit>("ipEdit"));
    EXPECT_EQ(child<QPushButton>("searchButton")->text(), QStringLiteral("検索(&S)"));
    EXPECT_TRUE(child<QPushButton>("searchButton")->isDefault());
    EXPECT_EQ(child<QPushButton>("addButton")->text(), QStringLiteral("追加(&A)"));
    EXPECT_EQ(child<QPushButton>("connectButton")->text(), QStringLiteral("接続(&C)"));
    EXPECT_EQ(child<QGroupBox>("logGroup")->title(), QStringLiteral("ログ"));
    EXPECT_EQ(child<QCheckBox>("loggingCheck")->text(), QStringLiteral("ロギング有効(&E)"));
    EXPECT_EQ(child<QCheckBox>("autoSwitchCheck")->text(), QStringLiteral("ファイル自動切換(&F)"));
    EXPECT_EQ(child<QLabel>("folderCaptionLabel")->text(), QStringLiteral("フォルダ :"));
    EXPECT_EQ(child<QPushButton>("browseButton")->text(), QStringLiteral("参照(&R)..."));
    EXPECT_EQ(child<QPushButton>("exitButton")->text(), QStringLiteral("終了(&X)"));

    auto *rows = child<QComboBox>("rowsCombo");
    ASSERT_EQ(rows->count(), 4);
    EXPECT_EQ(rows->itemText(0), QStringLiteral("1000行"));
    EXPECT_EQ(rows->itemText(1), QStringLiteral("1万行"));
    EXPECT_EQ(rows->itemText(2), QStringLiteral("10万行"));
    EXPECT_EQ(rows->itemText(3), QStringLiteral("100万行"));
    EXPECT_EQ(rows->currentIndex(), 1);

    EXPECT_TRUE(child<QLineEdit>("portEdit")->text().isEmpty());
    EXPECT_EQ(child<QLineEdit>("portEdit")->maxLength(), 5);
    EXPECT_FALSE(child<QPushButton>("addButton")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("connectButton")->isEnabled());
    EXPECT_FALSE(child<QCheckBox>("loggingCheck")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("autoSwitchCheck")->isChecked());
    EXPECT_EQ(child<QLabel>("folderLabel")->text(), QStringLiteral("/opt/qnview"));
    EXPECT_EQ(d.logFolder(), QStringLiteral("/opt/qnview"));
    EXPECT_EQ(child<QLabel>("statusLabel")->text(), QStringLiteral("Version 1.13"));
    EXPECT_EQ(child<QListWidget>("unitList")->selectionMode(), QAbstractItemView::SingleSelection);
    EXPECT_FALSE(child<QListWidget>("unitList")->isSortingEnabled());

    // List and header share the fixed-pitch face that has Japanese glyphs.
    const QFont listFont = child<QListWidget>("unitList")->font();
    EXPECT_EQ(listFont.family(), fixedCjkFont().family());
    EXPECT_EQ(child<QLabel>("listHeaderLabel")->font().family(), listFont.family());
    // Controls without a label of their own still have a name to read out.
    for (const char *name : {"unitList", "rowsCombo", "folderLabel", "statusLabel"})
        EXPECT_FALSE(child<QWidget>(name)->accessibleName().isEmpty()) << name;
}

TEST_F(MainDialogTest, PortBoxTakesDigitsOnly)
{
    auto *port = child<QLineEdit>("portEdit");
    port->setFocus();
    QTest::keyClicks(port, QStringLiteral("10a0-01x99"));
    EXPECT_EQ(port->text(), QStringLiteral("10001"));
}

TEST_F(MainDialogTest, SearchWithTheUnitsPortListsModelsAndIdsInAnswerOrder)
{
    MainDialog &d = dialog();
    child<QLineEdit>("portEdit")->setText(QString::number(m_tcpPort));
    QSignalSpy finished(&d, &MainDialog::jobFinished);
    child<QPushButton>("searchButton")->click();
    // While it runs: status line and every control that could start something else.
    EXPECT_EQ(child<QLabel>("statusLabel")->text(), QStringLiteral("検索中..."));
    for (const char *name : {"loggingCheck", "autoSwitchCheck", "ipEdit", "addButton", "connectButton", "portEdit",
                             "unitList", "searchButton", "browseButton", "rowsCombo"})
        EXPECT_FALSE(child<QWidget>(name)->isEnabled()) << name;
    EXPECT_TRUE(child<QPushButton>("exitButton")->isEnabled());
    ASSERT_TRUE(finished.wait(kJobWaitMs));

    EXPECT_EQ(lines(), (QStringList{line("00-80-92-00-00-11", "QN-210", "ID:3 ", "127.0.0.11"),
                                    line("00-80-92-00-00-12", "QN-220", "ID:5 ", "127.0.0.12"),
                                    line("00-80-92-00-00-13", "QN-110", "ID:1 ", "127.0.0.13"),
                                    line("00-80-92-00-00-14", "QN-120", "ID:2 ", "127.0.0.14")}));
    EXPECT_EQ(d.unitTable().count(), 4);
    EXPECT_EQ(child<QLabel>("statusLabel")->text(), QStringLiteral("Version 1.13"));
    for (const char *name : {"loggingCheck", "autoSwitchCheck", "ipEdit", "portEdit", "unitList", "searchButton",
                             "browseButton", "rowsCombo"})
        EXPECT_TRUE(child<QWidget>(name)->isEnabled()) << name;
    // Nothing selected, no IP typed.
    EXPECT_FALSE(child<QPushButton>("connectButton")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("addButton")->isEnabled());
    EXPECT_TRUE(m_presenter.messages.isEmpty());
}

TEST_F(MainDialogTest, SearchWithAnotherPortListsBlankModelsAndIdsButConnectStillIdentifies)
{
    for (const QString &port : {QString(), QStringLiteral("1")}) {
        SCOPED_TRACE(port.toStdString());
        ASSERT_TRUE(search(port));
        ASSERT_EQ(lines().size(), 4);
        EXPECT_EQ(lines()[0], line("00-80-92-00-00-11", "", "     ", "127.0.0.11"));
        EXPECT_EQ(lines()[3], line("00-80-92-00-00-14", "", "     ", "127.0.0.14"));
    }
    // Connect identifies through the port the unit reported, and the line shows it.
    ASSERT_TRUE(connectRow(2));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(lines()[2], line("00-80-92-00-00-13", "QN-110", "ID:1 ", "127.0.0.13"));
    EXPECT_EQ(lines()[0], line("00-80-92-00-00-11", "", "     ", "127.0.0.11"));
}

// After a failed search the previous table stays, so the lines still shown keep
// standing for the entries at their positions.
TEST_F(MainDialogTest, FailedSearchReportsAndKeepsTheListMatchingTheTable)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    const QStringList before = lines();
    ASSERT_EQ(before.size(), 4);

    // A target that is not an address fails before anything is sent.
    dialog().setSearchTargets({"no-such-address"});
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    EXPECT_EQ(m_presenter.messages, QStringList{QStringLiteral("通信エラー")});
    EXPECT_EQ(lines(), before);
    ASSERT_EQ(dialog().unitTable().count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(before[i], QString::fromStdString(unitListLine(dialog().unitTable()[i])));
    EXPECT_EQ(child<QLabel>("statusLabel")->text(), QStringLiteral("Version 1.13"));
    EXPECT_TRUE(child<QPushButton>("searchButton")->isEnabled());
    EXPECT_TRUE(child<QListWidget>("unitList")->isEnabled());

    // Connect still works on the kept lines.
    ASSERT_TRUE(connectRow(1));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].ipAddress, QStringLiteral("127.0.0.12"));
}

TEST_F(MainDialogTest, SeveralTargetsAreOneSearchAndOneBadTargetDoesNotHideTheOthers)
{
    dialog().setSearchTargets({"no-such-address", "127.0.0.13", "127.255.255.255"});
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    EXPECT_TRUE(m_presenter.messages.isEmpty());
    // The unit asked directly and by broadcast is listed once.
    EXPECT_EQ(lines().size(), 4);
    EXPECT_EQ(lines().filter(QStringLiteral("127.0.0.13")).size(), 1);
}

TEST_F(MainDialogTest, AddButtonFollowsTheIpTextAndConnectFollowsTheSelection)
{
    auto *ip = child<QLineEdit>("ipEdit");
    auto *add = child<QPushButton>("addButton");
    auto *connectButton = child<QPushButton>("connectButton");
    QTest::keyClicks(ip, QStringLiteral("1"));
    EXPECT_TRUE(add->isEnabled());
    ip->clear();
    EXPECT_FALSE(add->isEnabled());

    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    auto *list = child<QListWidget>("unitList");
    list->setCurrentRow(1);
    EXPECT_TRUE(connectButton->isEnabled());
    list->clearSelection();
    EXPECT_FALSE(connectButton->isEnabled());
}

TEST_F(MainDialogTest, AddingAListedAddressChangesNothing)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    const QStringList before = lines();
    for (auto &r : m_responders)
        r->clearLog();
    child<QLineEdit>("ipEdit")->setText(QStringLiteral("127.0.0.12"));
    ASSERT_TRUE(clickAndWait("addButton"));
    EXPECT_EQ(lines(), before);
    EXPECT_TRUE(m_presenter.messages.isEmpty());
    for (auto &r : m_responders)
        EXPECT_EQ(r->queryCount(), 0u);
}

TEST_F(MainDialogTest, AddAppendsTheUnitWithABlankId)
{
    child<QLineEdit>("ipEdit")->setText(QStringLiteral("127.0.0.14"));
    ASSERT_TRUE(clickAndWait("addButton"));
    EXPECT_EQ(lines(), QStringList{line("00-80-92-00-00-14", "", "     ", "127.0.0.14")});
    EXPECT_TRUE(m_presenter.messages.isEmpty());
    // Connecting to it identifies it.
    ASSERT_TRUE(connectRow(0));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].model, Model::QN120);
    EXPECT_EQ(lines(), QStringList{line("00-80-92-00-00-14", "QN-120", "ID:2 ", "127.0.0.14")});
}

TEST_F(MainDialogTest, AddOfAnAddressWhereNothingAnswersSaysSoInTheStatusLine)
{
    child<QLineEdit>("ipEdit")->setText(QStringLiteral("127.0.0.99"));
    ASSERT_TRUE(clickAndWait("addButton"));
    EXPECT_TRUE(lines().isEmpty());
    EXPECT_TRUE(m_presenter.messages.isEmpty());
    EXPECT_EQ(child<QLabel>("statusLabel")->text(), QStringLiteral("127.0.0.99 から応答がありません"));
    // An address that answers puts the version back.
    child<QLineEdit>("ipEdit")->setText(QStringLiteral("127.0.0.14"));
    ASSERT_TRUE(clickAndWait("addButton"));
    EXPECT_EQ(lines().size(), 1);
    EXPECT_EQ(child<QLabel>("statusLabel")->text(), QStringLiteral("Version 1.13"));
}

TEST_F(MainDialogTest, AddOfTextThatIsNoAddressReportsAnError)
{
    child<QLineEdit>("ipEdit")->setText(QStringLiteral("unit-7"));
    ASSERT_TRUE(clickAndWait("addButton"));
    EXPECT_EQ(m_presenter.messages, QStringList{QStringLiteral("通信エラー")});
    EXPECT_TRUE(lines().isEmpty());
}

// An add checks every listed unit again and drops those gone silent: the list is
// rebuilt so that each line still stands for the entry at its position.
TEST_F(MainDialogTest, AddThatDropsSilentUnitsRebuildsTheList)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    ASSERT_EQ(lines().size(), 4);
    child<QListWidget>("unitList")->setCurrentRow(2);  // 127.0.0.13
    m_responders[1]->stop();  // 127.0.0.12 goes quiet
    sim::ResponderConfig hidden;
    hidden.unitIp = "127.0.0.15";
    hidden.tcpPort = m_tcpPort;
    hidden.mac = {0x00, 0x80, 0x92, 0x00, 0x00, 0x15};
    hidden.broadcastAddresses = std::vector<std::string>{};  // not found by a search
    addResponder(hidden);

    child<QLineEdit>("ipEdit")->setText(QStringLiteral("127.0.0.15"));
    ASSERT_TRUE(clickAndWait("addButton"));
    const UnitTable &table = dialog().unitTable();
    ASSERT_EQ(lines().size(), table.count());
    for (int i = 0; i < table.count(); ++i)
        EXPECT_EQ(lines()[i], QString::fromStdString(unitListLine(table[i]))) << i;
    EXPECT_FALSE(lines().join(QLatin1Char('\n')).contains(QStringLiteral("127.0.0.12")));
    EXPECT_TRUE(lines().last().endsWith(QStringLiteral("     127.0.0.15")));
    // The unit selected before is still the one selected.
    const QList<QListWidgetItem *> selected = child<QListWidget>("unitList")->selectedItems();
    ASSERT_EQ(selected.size(), 1);
    EXPECT_TRUE(selected[0]->text().endsWith(QStringLiteral("127.0.0.13")));
}

TEST_F(MainDialogTest, AddAppendsItsLineAndKeepsTheSelection)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    auto *list = child<QListWidget>("unitList");
    list->setCurrentRow(1);
    QListWidgetItem *const selected = list->item(1);
    sim::ResponderConfig hidden;
    hidden.unitIp = "127.0.0.15";
    hidden.tcpPort = m_tcpPort;
    hidden.mac = {0x00, 0x80, 0x92, 0x00, 0x00, 0x15};
    hidden.broadcastAddresses = std::vector<std::string>{};
    addResponder(hidden);

    child<QLineEdit>("ipEdit")->setText(QStringLiteral("127.0.0.15"));
    ASSERT_TRUE(clickAndWait("addButton"));
    ASSERT_EQ(lines().size(), 5);
    EXPECT_EQ(lines()[4], line("00-80-92-00-00-15", "", "     ", "127.0.0.15"));
    EXPECT_EQ(list->item(1), selected);  // the old lines were not rebuilt
    EXPECT_EQ(list->selectedItems(), QList<QListWidgetItem *>{selected});
}

// Two units still at one factory address are two lines, and each line connects
// its own unit.
TEST_F(MainDialogTest, TwoUnitsAnsweringFromOneAddressAreTwoLines)
{
    sim::ResponderConfig twin;
    twin.unitIp = kUnits[0].ip;
    twin.tcpPort = m_tcpPort;
    twin.mac = {0x00, 0x80, 0x92, 0x00, 0x00, 0x21};
    twin.searchDelayMs = 4 * kAnswerSpacingMs;  // after the four others
    addResponder(twin);
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    ASSERT_EQ(lines().size(), 5);
    EXPECT_EQ(lines()[0], line("00-80-92-00-00-11", "QN-210", "ID:3 ", "127.0.0.11"));
    EXPECT_EQ(lines()[4], line("00-80-92-00-00-21", "QN-210", "ID:3 ", "127.0.0.11"));
    ASSERT_TRUE(connectRow(4));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].macText, QStringLiteral("MACアドレス: 00-80-92-00-00-21"));
}

// A reader gets what each display is and what it shows, the status line while searching too.
TEST_F(MainDialogTest, DisplaysAreReadByAssistiveTools)
{
    dialog();
    const auto read = [&](const char *name) {
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(child<QWidget>(name));
        return iface->text(QAccessible::Name) + QStringLiteral(" = ") + iface->text(QAccessible::Value);
    };
    EXPECT_EQ(read("listHeaderLabel"), QStringLiteral("デバイスリストの見出し = MACアドレス        機種      ID    IPアドレス"));
    EXPECT_EQ(read("folderLabel"), QStringLiteral("ログフォルダ = /opt/qnview"));
    EXPECT_EQ(read("statusLabel"), QStringLiteral("状態 = Version 1.13"));
    child<QLineEdit>("portEdit")->setText(QString::number(m_tcpPort));
    QSignalSpy finished(&dialog(), &MainDialog::jobFinished);
    child<QPushButton>("searchButton")->click();
    EXPECT_EQ(read("statusLabel"), QStringLiteral("状態 = 検索中..."));
    ASSERT_TRUE(finished.wait(kJobWaitMs));
    EXPECT_EQ(read("statusLabel"), QStringLiteral("状態 = Version 1.13"));

    QStringList rowsLabels;
    for (const auto &[label, relation] :
         QAccessible::queryAccessibleInterface(child<QComboBox>("rowsCombo"))->relations(QAccessible::Label))
        rowsLabels << label->text(QAccessible::Name);
    EXPECT_TRUE(rowsLabels.contains(QStringLiteral("ファイル自動切換の行数"))) << rowsLabels.join(',').toStdString();

    // The log options are taken at connect; the window says so where they are set.
    const QString note = QStringLiteral("ログの設定は、これから接続するウィンドウに適用されます");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(child<QWidget>("loggingNoteLabel"))->text(QAccessible::Name), note);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(child<QWidget>("loggingCheck"))->text(QAccessible::Description), note);
    EXPECT_TRUE(child<QWidget>("loggingNoteLabel")->isVisible());
}

TEST_F(MainDialogTest, EnterAndEscapeNeverCloseTheDialogNorSearch)
{
    MainDialog &d = dialog();
    d.activateWindow();
    for (const char *focus : {"portEdit", "searchButton", "ipEdit", "unitList", "exitButton"}) {
        SCOPED_TRACE(focus);
        QWidget *w = child<QWidget>(focus);
        w->setFocus();
        for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape})
            QTest::keyClick(w, Qt::Key(key));
        EXPECT_TRUE(d.isVisible());
        EXPECT_FALSE(d.busy());
        EXPECT_EQ(child<QLabel>("statusLabel")->text(), QStringLiteral("Version 1.13"));
    }
    for (int key : {Qt::Key_Return, Qt::Key_Escape})
        QTest::keyClick(&d, Qt::Key(key));
    EXPECT_TRUE(d.isVisible());
}

TEST_F(MainDialogTest, EveryControlIsReachedByItsMnemonic)
{
    MainDialog &d = dialog();
    QApplication::setActiveWindow(&d);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    QStringList asked;
    d.setFolderChooser([&](QWidget *, const QString &title, const QString &) {
        asked << title;
        return QString();
    });
    // A button's mnemonic clicks it after a short animation: each key waits for what it does.
    auto alt = [&](char key, const std::function<bool()> &done) {
        QTest::keyClick(&d, Qt::Key(Qt::Key_A + (key - 'A')), Qt::AltModifier);
        return QTest::qWaitFor(done, kJobWaitMs);
    };
    const auto focusOn = [](QWidget *w) { return [w] { return QApplication::focusWidget() == w; }; };
    const auto checked = [](QCheckBox *box) { return [box] { return box->isChecked(); }; };

    EXPECT_TRUE(alt('P', focusOn(child<QLineEdit>("portEdit"))));
    QTest::keyClicks(QApplication::focusWidget(), QString::number(m_tcpPort));
    EXPECT_TRUE(alt('I', focusOn(child<QLineEdit>("ipEdit"))));
    EXPECT_TRUE(alt('E', checked(child<QCheckBox>("loggingCheck"))));
    EXPECT_TRUE(alt('F', checked(child<QCheckBox>("autoSwitchCheck"))));
    EXPECT_TRUE(alt('R', [&] { return !asked.isEmpty(); }));
    EXPECT_EQ(asked, QStringList{QStringLiteral("ログフォルダを選択してください")});

    QSignalSpy finished(&d, &MainDialog::jobFinished);
    ASSERT_TRUE(alt('S', [&] { return finished.count() > 0; }));
    EXPECT_EQ(lines().size(), 4);
    // The list, whatever had the focus in its group before.
    EXPECT_TRUE(alt('D', focusOn(child<QListWidget>("unitList"))));
    QTest::keyClick(child<QListWidget>("unitList"), Qt::Key_Down);
    EXPECT_TRUE(child<QPushButton>("connectButton")->isEnabled());
    finished.clear();
    ASSERT_TRUE(alt('C', [&] { return finished.count() > 0; }));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_TRUE(alt('X', [&] { return !d.isVisible(); }));
}

TEST_F(MainDialogTest, ExitEndsTheDialogWithResultZero)
{
    MainDialog &d = dialog();
    d.setResult(5);
    child<QPushButton>("exitButton")->click();
    EXPECT_FALSE(d.isVisible());
    EXPECT_EQ(d.result(), 0);
}

// The header's columns stand exactly over the list's columns, in pixels, with the
// fixed-pitch Japanese face; the Japanese glyphs are really there (not blank boxes).
TEST_F(MainDialogTest, HeaderColumnsLineUpWithTheListAfterASearch)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    MainDialog &d = dialog();
    auto *list = child<QListWidget>("unitList");
    auto *header = child<QLabel>("listHeaderLabel");
    const QFontMetrics metrics(list->font());
    EXPECT_TRUE(QFontMetrics(header->font()).inFont(QChar(0x6A5F)));  // 機
    EXPECT_EQ(metrics.horizontalAdvance(QStringLiteral("機")), 2 * metrics.horizontalAdvance(QLatin1Char('0')));

    const QString headerText = header->text();
    const int textMargin = list->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, list) + 1;
    const QString first = list->item(0)->text();
    const QRect item = list->visualItemRect(list->item(0));
    struct Column {
        const char *header;
        const char *line;
    };
    for (const Column &c : {Column{"機種", "QN-210"}, Column{"ID", "ID:3"}, Column{"IPアドレス", "127.0.0.11"}}) {
        SCOPED_TRACE(c.header);
        const QString h = QString::fromUtf8(c.header);
        const int headerX = header->mapTo(&d, QPoint(header->contentsRect().left()
                                                    + metrics.horizontalAdvance(headerText.left(headerText.indexOf(h))), 0)).x();
        const QString l = QString::fromLatin1(c.line);
        const int lineX = list->viewport()->mapTo(&d, QPoint(item.left() + textMargin
                                                            + metrics.horizontalAdvance(first.left(first.indexOf(l))), 0)).x();
        EXPECT_NEAR(headerX, lineX, 1);
    }
    // The whole line fits without scrolling sideways.
    EXPECT_LE(metrics.horizontalAdvance(first) + 2 * textMargin, list->viewport()->width());

    const QString shots = qEnvironmentVariable("QN_TEST_SHOT_DIR");
    if (!shots.isEmpty())
        d.grab().save(shots + QStringLiteral("/maindialog.png"));
}

// The worker must not touch a dialog that is gone; its late result is dropped.
TEST_F(MainDialogTest, ClosingDuringASearchIsSafe)
{
    child<QLineEdit>("portEdit")->setText(QString::number(m_tcpPort));
    child<QPushButton>("searchButton")->click();
    ASSERT_TRUE(dialog().busy());
    m_dialog.reset();
    // Let the search finish: its worker identifies every unit it found, last of all, and
    // then drops its result, as the dialog is gone.
    for (auto &r : m_responders)
        ASSERT_TRUE(r->waitForQueries(3, kJobWaitMs));
    for (int unit = 0; unit < m_sim.unitCount(); ++unit)
        ASSERT_TRUE(m_sim.waitForAnswers(unit, 1, kJobWaitMs));
    QCoreApplication::processEvents();
    EXPECT_TRUE(m_presenter.messages.isEmpty());
    // A new dialog searches normally afterwards.
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    EXPECT_EQ(lines().size(), 4);
}

} // namespace
} // namespace qn::test
