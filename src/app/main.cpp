// QN-VIEW: one copy per user, the main dialog for the life of the program.
#include "app/maindialog.h"
#include "app/singleinstance.h"
#include "app/startup.h"
#include "app/unitwindow.h"
#include "ui/language.h"
#include "ui/windowfront.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QStandardPaths>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>

namespace {

// Options that only print and exit must work without a display, as on a terminal over ssh.
bool onlyPrints(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char *option : {"-h", "--help", "-?", "--help-all", "-v", "--version", "--print-settings-path"}) {
            if (std::strcmp(argv[i], option) == 0)
                return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char **argv)
{
    const std::unique_ptr<QCoreApplication> application = onlyPrints(argc, argv)
        ? std::make_unique<QCoreApplication>(argc, argv)
        : std::make_unique<QApplication>(argc, argv);
    QCoreApplication &app = *application;
    QCoreApplication::setApplicationName(QStringLiteral("QN-VIEW"));
    QCoreApplication::setApplicationVersion(QStringLiteral("%1 (%2)").arg(QStringLiteral(QN_VERSION_STRING),
                                                                         qn::programVersionText()));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Finds the QNNET I/O units on the network and opens a window for each."));
    const QCommandLineOption searchAddress(
        QStringLiteral("search-address"),
        QStringLiteral("Send unit searches only to ADDRESS (repeatable) instead of out of every network card."),
        QStringLiteral("ADDRESS"));
    parser.addOption(searchAddress);
    const QCommandLineOption printSettingsPath(
        QStringLiteral("print-settings-path"),
        QStringLiteral("Print where the per-unit settings file is kept, and exit."));
    parser.addOption(printSettingsPath);
    const QCommandLineOption language(
        QStringLiteral("language"),
        QStringLiteral("Show the windows in LANGUAGE (en or ja) this time; the choice made in the main window stays."),
        QStringLiteral("LANGUAGE"));
    parser.addOption(language);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    // Beside the program for a copy in a folder of its own (as it always was); in the
    // user's configuration folder for a program installed where its users cannot write.
    const QString executable = QCoreApplication::applicationFilePath();
    const QString folder = qn::programFolder(executable);
    const bool folderWritable = qn::canCreateFilesIn(folder);
    const QString configFolder = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    const QString settingsPath = qn::settingsLocation(executable, configFolder, folderWritable);
    const QString optionsPath = QDir(configFolder).filePath(QStringLiteral("options.ini"));
    std::optional<qn::Language> chosenLanguage;
    if (parser.isSet(language)) {
        chosenLanguage = qn::languageFromCode(parser.value(language));
        if (!chosenLanguage) {
            std::fprintf(stderr, "--language takes en or ja.\n");
            return 1;
        }
    }
    if (parser.isSet(printSettingsPath)) {
        std::printf("%s\n", qPrintable(QDir::toNativeSeparators(settingsPath)));
        return 0;
    }

    // A second start brings the running copy to the front and ends.
    qn::SingleInstance instance;
    if (!instance.isFirst()) {
        if (instance.askRunningCopyToShow())
            return 0;
        std::fprintf(stderr, "QN-VIEW is running already but does not answer.\n");
        return 1;
    }
    // The command line's language for this run, else the one chosen in the main window,
    // else the desktop's.
    if (!chosenLanguage)
        chosenLanguage = qn::MainDialog::rememberedLanguage(optionsPath);
    qn::setLanguage(chosenLanguage.value_or(qn::desktopLanguage()));

    if (!settingsPath.startsWith(folder + QLatin1Char('/')))
        QDir().mkpath(configFolder);
    qn::MainDialogConfig config;
    config.programFolder = qn::defaultLogFolder(
        folder, QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), folderWritable);
    config.settingsPath = settingsPath;
    config.optionsPath = optionsPath;
    config.versionText = qn::programVersionText();
    const QStringList targets = parser.values(searchAddress);
    if (!targets.isEmpty()) {
        config.searchTargets.clear();
        for (const QString &target : targets)
            config.searchTargets.push_back(target.trimmed().toStdString());
    }

    QApplication::setWindowIcon(qn::applicationIcon());

    // Each connect opens an independent unit window; the main dialog keeps no hold on it.
    qn::MainDialog dialog(config, qn::UnitWindow::opener());
    dialog.setOpenWindowFinder(qn::UnitWindow::finder());
    QObject::connect(&instance, &qn::SingleInstance::showRequested, &dialog,
                     [&dialog] { qn::bringToFront(&dialog); });
    // The main dialog lives as long as the program but blocks no other window: the
    // unit windows it opens stay usable beside it. So it is shown modeless and the
    // program ends when it finishes (exit button or close box).
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(&dialog, &QDialog::finished, &app, &QCoreApplication::quit);
    dialog.show();
    app.exec();
    // A start while the windows close must not show the dialog again.
    QObject::disconnect(&instance, nullptr, &dialog, nullptr);

    // The program ends with its main dialog: the unit windows still open stop their
    // sessions before the application object goes.
    qn::UnitWindow::closeAllWindows();
    qn::UnitWindow::waitForAllWindowsClosed();
    return 0;
}
