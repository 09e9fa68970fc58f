// QN-VIEW: one copy per user, the main dialog for the life of the program.
#include "app/maindialog.h"
#include "app/unitwindow.h"
#include "app/startup.h"
#include "graph/canvasregistry.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("QN-VIEW"));
    QApplication::setWindowIcon(qn::applicationIcon());

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("QN-VIEW"));
    const QCommandLineOption searchAddress(
        QStringLiteral("search-address"),
        QStringLiteral("Send unit searches only to ADDRESS (repeatable) instead of out of every network card."),
        QStringLiteral("ADDRESS"));
    parser.addOption(searchAddress);
    parser.process(app);

    // A second copy ends at once and silently; the first keeps running.
    const qn::SingleInstanceLock lock;
    if (!lock.acquired())
        return 0;

    const QString executable = QCoreApplication::applicationFilePath();
    qn::MainDialogConfig config;
    config.programFolder = qn::programFolder(executable);
    config.settingsPath = qn::settingsPathFor(executable);
    config.versionText = qn::programVersionText();
    const QStringList targets = parser.values(searchAddress);
    if (!targets.isEmpty()) {
        config.searchTargets.clear();
        for (const QString &target : targets)
            config.searchTargets.push_back(target.trimmed().toStdString());
    }

    qn::CanvasRegistry::instance().setNextId(1400);

    // Each connect opens an independent unit window; the main dialog keeps no hold on it.
    qn::MainDialog dialog(config, qn::UnitWindow::opener());
    // The main dialog lives as long as the program but blocks no other window: the
    // unit windows it opens stay usable beside it. So it is shown modeless and the
    // program ends when it finishes (exit button or close box).
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&dialog, &QDialog::finished, &app, &QCoreApplication::quit);
    dialog.show();
    app.exec();

    // The program ends with its main dialog: the unit windows still open stop their
    // sessions before the application object goes.
    qn::UnitWindow::closeAllWindows();
    qn::UnitWindow::waitForAllWindowsClosed();
    return 0;
}
