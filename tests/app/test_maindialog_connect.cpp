// Connecting from the main dialog: which line, what the unit's window is handed, a unit
// that already has a window, and units that cannot be connected.
#include "maindialogtest.h"

namespace qn::test {
namespace {

// A screen reader or an automation tool selects a line without moving the list's
// current row; "接続(C)" connects the selected line all the same.
TEST_F(MainDialogTest, ConnectTakesALineSelectedThroughTheAccessibilityInterface)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    auto *list = child<QListWidget>("unitList");
    list->setCurrentRow(0);
    QAccessibleInterface *cell = QAccessible::queryAccessibleInterface(list)->child(2);
    ASSERT_TRUE(cell && cell->actionInterface());
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    ASSERT_TRUE(cell->state().selected);
    EXPECT_EQ(list->currentRow(), 0);

    auto *connectButton = child<QPushButton>("connectButton");
    ASSERT_TRUE(connectButton->isEnabled());
    QSignalSpy finished(&dialog(), &MainDialog::jobFinished);
    QAccessible::queryAccessibleInterface(connectButton)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    ASSERT_TRUE(finished.count() > 0 || finished.wait(kJobWaitMs));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].ipAddress, QStringLiteral("127.0.0.13"));
}

TEST_F(MainDialogTest, ConnectHandsTheUnitsValuesToItsWindow)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    child<QCheckBox>("loggingCheck")->setChecked(true);
    ASSERT_TRUE(connectRow(0));
    ASSERT_EQ(m_opened.size(), 1u);
    const UnitWindowArgs &a = m_opened[0];
    EXPECT_EQ(a.model, Model::QN210);
    EXPECT_EQ(a.ipAddress, QStringLiteral("127.0.0.11"));
    EXPECT_EQ(a.tcpPort, m_tcpPort);
    EXPECT_EQ(a.title, QStringLiteral("QN-210(ID:3) - 127.0.0.11"));
    EXPECT_EQ(a.macText, QStringLiteral("MACアドレス: 00-80-92-00-00-11"));
    EXPECT_EQ(a.unitId, 3);
    EXPECT_TRUE(a.loggingEnabled);
    EXPECT_EQ(a.logFolder, QStringLiteral("/opt/qnview"));
    EXPECT_EQ(a.rowsPerFile, -1);
    EXPECT_TRUE(m_presenter.messages.isEmpty());

    // Model indexes of the other three, and a second connect to the same unit.
    for (int row : {1, 2, 3, 3})
        ASSERT_TRUE(connectRow(row));
    ASSERT_EQ(m_opened.size(), 5u);
    EXPECT_EQ(m_opened[1].model, Model::QN220);
    EXPECT_EQ(m_opened[1].title, QStringLiteral("QN-220(ID:5) - 127.0.0.12"));
    EXPECT_EQ(m_opened[2].model, Model::QN110);
    EXPECT_EQ(m_opened[3].model, Model::QN120);
    EXPECT_EQ(m_opened[4].title, m_opened[3].title);
}

TEST_F(MainDialogTest, DoubleClickOnALineConnectsToIt)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    auto *list = child<QListWidget>("unitList");
    QSignalSpy finished(&dialog(), &MainDialog::jobFinished);
    // As a mouse sends it: the second press arrives as the double click.
    const QPoint onLine = list->visualItemRect(list->item(1)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, onLine);
    QTest::mousePress(list->viewport(), Qt::LeftButton, {}, onLine);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, onLine);
    QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, onLine);
    ASSERT_TRUE(finished.count() > 0 || finished.wait(kJobWaitMs));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].model, Model::QN220);
}

// A second window on a unit doubles its load and its log: the open one comes forward
// and the operator is asked first.
TEST_F(MainDialogTest, ConnectingAgainBringsTheUnitsWindowForwardAndAsks)
{
    m_dialog = std::make_unique<MainDialog>(config(), UnitWindow::opener());
    m_dialog->setOpenWindowFinder(UnitWindow::finder());
    m_dialog->show();
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    ASSERT_TRUE(connectRow(2));
    ASSERT_EQ(UnitWindow::openWindows().size(), 1);
    UnitWindow *first = UnitWindow::openWindows()[0];
    // Its messages name the unit.
    QWidget *inside = first->findChild<QTabWidget *>()->widget(0);
    EXPECT_EQ(messageTitle(inside), QStringLiteral("QN-VIEW - QN-110(ID:1) - 127.0.0.13"));

    first->showMinimized();
    m_presenter.answer = false;
    ASSERT_TRUE(connectRow(2));
    const QString question = QStringLiteral(
        "QN-110(ID:1) - 127.0.0.13 には既に接続しています。\n"
        "もう一つ接続すると、ユニットとの通信とログが二重になります。接続しますか？");
    EXPECT_EQ(m_presenter.messages.count(question), 1);
    EXPECT_FALSE(first->isMinimized());
    EXPECT_EQ(UnitWindow::openWindows().size(), 1);

    m_presenter.answer = true;
    ASSERT_TRUE(connectRow(2));
    const QList<UnitWindow *> windows = UnitWindow::openWindows();
    ASSERT_EQ(windows.size(), 2);
    for (UnitWindow *w : windows) {
        EXPECT_EQ(w->windowTitle(), QStringLiteral("QN-110(ID:1) - 127.0.0.13"));
        EXPECT_EQ(w->args().model, Model::QN110);
        EXPECT_TRUE(w->isWindow());
        EXPECT_EQ(w->parentWidget(), nullptr);
        // A model whose control page this version lacks says so in the control tab.
        if (!w->page()) {
            auto *note = w->findChild<QLabel *>(QStringLiteral("noControlPageLabel"));
            ASSERT_NE(note, nullptr);
            EXPECT_TRUE(note->text().contains(QStringLiteral("制御ページ")));
            EXPECT_FALSE(note->accessibleName().isEmpty());
        }
    }
    EXPECT_TRUE(m_dialog->isEnabled());
    UnitWindow::closeAllWindows();
    EXPECT_TRUE(UnitWindow::waitForAllWindowsClosed());
}

TEST_F(MainDialogTest, UnitOfAnUnknownModelConnectsToNothing)
{
    const test::FakeTcpUnit odd = unknownModelUnit("127.0.0.16");
    sim::ResponderConfig r;
    r.unitIp = "127.0.0.16";
    r.tcpPort = odd.port();
    r.mac = {0x00, 0x80, 0x92, 0x00, 0x00, 0x16};
    addResponder(r);
    ASSERT_TRUE(search(QString::number(odd.port())));
    int row = -1;
    for (int i = 0; i < lines().size(); ++i)
        if (lines()[i].endsWith(QStringLiteral("127.0.0.16")))
            row = i;
    ASSERT_GE(row, 0);
    EXPECT_EQ(lines()[row], line("00-80-92-00-00-16", "", "ID:6 ", "127.0.0.16"));
    ASSERT_TRUE(connectRow(row));
    EXPECT_TRUE(m_opened.empty());
    EXPECT_TRUE(m_presenter.messages.isEmpty());
}

TEST_F(MainDialogTest, ConnectToAUnitThatDoesNotAnswerReportsAndOpensNothing)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    m_sim.setOnline(2, false);
    ASSERT_TRUE(connectRow(2));
    EXPECT_TRUE(m_opened.empty());
    EXPECT_EQ(m_presenter.messages, QStringList{QStringLiteral("通信エラー")});
    EXPECT_EQ(lines()[2], line("00-80-92-00-00-13", "QN-110", "ID:1 ", "127.0.0.13"));
    EXPECT_TRUE(child<QPushButton>("connectButton")->isEnabled());
}

// An assistive tool selects a line without making it the current one: connect still
// takes the selected line.
TEST_F(MainDialogTest, ALineSelectedByAnAssistiveToolIsTheOneConnected)
{
    ASSERT_TRUE(search(QString::number(m_tcpPort)));
    auto *list = child<QListWidget>("unitList");
    list->setCurrentRow(0);
    list->clearSelection();
    QAccessibleInterface *line = QAccessible::queryAccessibleInterface(list)->child(2);
    ASSERT_NE(line, nullptr);
    line->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    ASSERT_TRUE(child<QPushButton>("connectButton")->isEnabled());
    ASSERT_TRUE(clickAndWait("connectButton"));
    ASSERT_EQ(m_opened.size(), 1u);
    EXPECT_EQ(m_opened[0].ipAddress, QStringLiteral("127.0.0.13"));
}

} // namespace
} // namespace qn::test
