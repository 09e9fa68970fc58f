// The main dialog's search with no addresses named, as the program ships: the
// query goes out of every network card. It is run only by search_e2e.sh, inside
// network namespaces that script makes, which says what the list must show;
// run any other way it skips.
#include "app/maindialog.h"

#include <QListWidget>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace qn {
namespace {

TEST(MainDialogEveryNetwork, ListsTheUnitsOfEveryNetwork)
{
    const QString expected = qEnvironmentVariable("QN_NETNS_SEARCH_EXPECT");
    if (expected.isEmpty())
        GTEST_SKIP() << "only inside the namespaces of search_e2e.sh";
    MainDialogConfig config;
    ASSERT_TRUE(config.searchTargets.empty());
    MainDialog dialog(config, [](const UnitWindowArgs &) {});
    dialog.show();
    dialog.findChild<QLineEdit *>(QStringLiteral("portEdit"))->setText(qEnvironmentVariable("QN_NETNS_SEARCH_PORT"));
    QSignalSpy finished(&dialog, &MainDialog::jobFinished);
    dialog.findChild<QPushButton *>(QStringLiteral("searchButton"))->click();
    ASSERT_TRUE(finished.wait(30000));
    auto *list = dialog.findChild<QListWidget *>(QStringLiteral("unitList"));
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    EXPECT_EQ(lines.join(QLatin1Char('\n')), expected);
}

} // namespace
} // namespace qn
