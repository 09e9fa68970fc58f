// Every form in English shows no Japanese but the operator's own data; switched back to
// Japanese it shows exactly what it showed before. The windows stay open (and connected)
// across the switches: the change of language reaches them where they are.
#include "../pages/pagetestsupport.h"

#include "app/maindialog.h"
#include "csvlog/channellog.h"
#include "dialogs/adcratedialog.h"
#include "dialogs/doalertdialog.h"
#include "dialogs/formuladialog.h"
#include "dialogs/outputrangedialog.h"
#include "dialogs/signalnamedialog.h"
#include "dialogs/sweepdialog.h"
#include "dialogs/thermocoupledialog.h"
#include "dialogs/thresholddialog.h"
#include "graph/graphtab.h"
#include "pages/analogoutputpage.h"
#include "ui/language.h"
#include "ui/numericedit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTimer>

#include <memory>

namespace qn::test {
namespace {

// Kana, CJK ideographs, CJK punctuation and full-width forms.
const QRegularExpression kJapanese(QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));

void add(QStringList &texts, const QString &where, const QString &text)
{
    if (!text.isEmpty())
        texts << where + QStringLiteral(": ") + text;
}

// What a person sees or hears of window: every visible widget's texts, and the names and
// descriptions assistive tools read.
QStringList shownTexts(QWidget *window)
{
    QStringList texts;
    add(texts, QStringLiteral("title"), window->windowTitle());
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    for (QWidget *w : widgets) {
        const QString at = w->objectName();
        // Menus are seen when opened: all of them count.
        if (auto *menu = qobject_cast<QMenu *>(w)) {
            for (QAction *action : menu->actions())
                add(texts, at, action->text());
        }
        if (w != window && !w->isVisibleTo(window))
            continue;
        if (auto *label = qobject_cast<QLabel *>(w))
            add(texts, at, label->text());
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            add(texts, at, button->text());
        if (auto *group = qobject_cast<QGroupBox *>(w))
            add(texts, at, group->title());
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                add(texts, at, tabs->tabText(i));
        }
        if (auto *combo = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < combo->count(); ++i)
                add(texts, at, combo->itemText(i));
        }
        add(texts, at, w->toolTip());
        if (QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w)) {
            add(texts, at, a->text(QAccessible::Name));
            add(texts, at, a->text(QAccessible::Description));
        }
    }
    return texts;
}

// With QN_LANGUAGE_SHOTS set, each form as shown is also saved there as a picture
// (<language>-<form>.png), for a person to look for cut-off texts (run it with QT_FONT_DPI=192
// as well).
void keepPicture(QWidget *form, const QString &name)
{
    const QString folder = qEnvironmentVariable("QN_LANGUAGE_SHOTS");
    if (folder.isEmpty())
        return;
    QDir().mkpath(folder);
    form->grab().save(QStringLiteral("%1/%2-%3.png").arg(folder, languageCode(currentLanguage()), name));
}

// Japanese left in texts once what the operator typed or the test gave (user data) is
// taken out.
QStringList japaneseIn(QStringList texts, const QStringList &userData)
{
    QStringList left;
    for (QString text : texts) {
        for (const QString &data : userData)
            text.replace(data, QString());
        if (text.contains(kJapanese))
            left << text;
    }
    return left;
}

class LanguageTest : public UnitWindowTest {
protected:
    // The fixture's unit settings, presenter and log folder, with a unit of each model.
    void SetUp() override
    {
        setLanguage(Language::Japanese);
        unitSettings().resetToDefaults();
        unitSettings().setPath(QString());
        setMessagePresenter(&presenter);
        ASSERT_TRUE(logDir.isValid());
    }
    void TearDown() override
    {
        for (QPointer<UnitWindow> &w : windows) {
            if (w)
                w->disconnectUnit();
        }
        waitUntil([this] {
            for (QPointer<UnitWindow> &w : windows)
                if (w)
                    return false;
            return true;
        });
        UnitWindowTest::TearDown();
        setLanguage(Language::Japanese);
    }

    // A window per model, each reading a simulated unit of its own.
    void openWindows()
    {
        const std::pair<Model, int> models[] = {{Model::QN110, proto::kModelQN110}, {Model::QN120, proto::kModelQN120},
                                                {Model::QN210, proto::kModelQN210}, {Model::QN220, proto::kModelQN220}};
        std::vector<int> units;
        for (const auto &[model, id] : models) {
            sim::UnitConfig config;
            config.modelId = id;
            config.unitId = 3;
            config.bindIp = "127.0.0.1";
            config.discovery.enabled = false;
            units.push_back(simulator.addUnit(config));
        }
        std::string error;
        ASSERT_TRUE(simulator.start(&error)) << error;
        for (size_t i = 0; i < std::size(models); ++i) {
            UnitWindowArgs args = windowArgs(false);
            args.model = models[i].first;
            args.tcpPort = simulator.tcpPort(units[i]);
            auto *w = new UnitWindow(args, timeouts);
            w->show();
            windows.push_back(w);
            ASSERT_TRUE(waitUntil([w] { return w->page() && w->page()->completionsRun() >= 5; }));
        }
    }

    // Every form of the program as it shows now: the main window, the unit windows on
    // each tab, each dialog and each message box.
    QStringList allTexts()
    {
        QStringList texts;
        MainDialogConfig config;
        config.addTiming = {300, 300, 300};
        MainDialog main(config, {});
        main.show();
        const auto click = [&main](const char *button) {
            main.findChild<QPushButton *>(QString::fromLatin1(button))->click();
            EXPECT_TRUE(waitUntil([&main] { return !main.busy(); }));
        };
        // A search that fails before sending anything: the main window's message.
        presenter.messages.clear();
        main.setSearchTargets({"no-such-address"});
        click("searchButton");
        const QStringList mainMessages = presenter.messages;
        EXPECT_EQ(mainMessages.size(), 1);
        // An add where nothing answers, said in the status line.
        main.findChild<QLineEdit *>(QStringLiteral("ipEdit"))->setText(QStringLiteral("127.0.0.99"));
        click("addButton");
        EXPECT_TRUE(main.findChild<QLabel *>(QStringLiteral("statusLabel"))->text().contains(QStringLiteral("127.0.0.99")));
        main.setFolderChooser([&texts](QWidget *, const QString &title, const QString &) {
            add(texts, QStringLiteral("folderChooser"), title);
            return QString();
        });
        click("browseButton");
        texts << shownTexts(&main);
        keepPicture(&main, QStringLiteral("main"));
        for (UnitWindow *w : windows) {
            for (int tab = 0; tab < 2; ++tab) {
                w->selectTab(tab);
                texts << shownTexts(w);
                keepPicture(w, QStringLiteral("%1-%2").arg(QString::fromUtf8(traits(w->args().model).name.data(), qsizetype(traits(w->args().model).name.size()))).arg(tab));
            }
        }
        std::vector<std::unique_ptr<QDialog>> dialogs;
        dialogs.push_back(std::make_unique<AdcRateDialog>());
        dialogs.push_back(std::make_unique<DoAlertDialog>(DoAlertChoice{}, DoAlertInputs{}));
        dialogs.push_back(std::make_unique<FormulaDialog>(Formula{}, FormulaDialog::Side::Input));
        dialogs.push_back(std::make_unique<FormulaDialog>(Formula{}, FormulaDialog::Side::Output));
        dialogs.push_back(std::make_unique<OutputRangeDialog>());
        dialogs.push_back(std::make_unique<SignalNameDialog>());
        dialogs.push_back(std::make_unique<SweepDialog>());
        dialogs.push_back(std::make_unique<ThermocoupleDialog>());
        dialogs.push_back(std::make_unique<ThresholdDialog>());
        for (const auto &d : dialogs) {
            d->show();
            texts << shownTexts(d.get());
            keepPicture(d.get(), d->objectName());
        }
        // The real boxes, with Qt's own buttons in the same language.
        setMessagePresenter(nullptr);
        const QStringList messages = mainMessages
            + QStringList{DevicePage::timeoutMessage(), DevicePage::invalidPeriodMessage(),
                          DevicePage::logOpenFailedMessage(), DevicePage::invalidGraphRangeMessage(),
                          notANumberMessage(), SweepDialog::lowNotBelowHighMessage(),
                          MainDialog::alreadyConnectedQuestion(QStringLiteral("QN-210(ID:3) - 127.0.0.1"))};
        for (const QString &message : messages) {
            messagePresenter().informAsync(&main, message, {});
            for (QMessageBox *box : main.findChildren<QMessageBox *>()) {
                texts << shownTexts(box);
                keepPicture(box, QStringLiteral("message-%1").arg(message.size()));
            }
            messagePresenter().closeAsync(&main);
        }
        setMessagePresenter(&presenter);
        // An output's button while its edited value waits to be sent.
        add(texts, QStringLiteral("aoToggleButton"), AnalogOutputPage::updateText());
        return texts;
    }

    void switchTo(Language language)
    {
        setLanguage(language);
        QCoreApplication::processEvents();
    }

    std::vector<QPointer<UnitWindow>> windows;
};

TEST_F(LanguageTest, EveryFormInEnglishAndBackInJapaneseUnchanged)
{
    openWindows();
    const QStringList japanese = allTexts();
    ASSERT_FALSE(japaneseIn(japanese, {}).isEmpty());

    switchTo(Language::English);
    // Apart from user data (none here carries Japanese), only the language chooser's
    // "日本語", which names the language in itself.
    const QStringList english = allTexts();
    EXPECT_EQ(japaneseIn(english, {languageName(Language::Japanese)}).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_TRUE(english.contains(QStringLiteral("disconnectButton: Disconnect")));

    switchTo(Language::Japanese);
    // The windows go on reading their units meanwhile, so the clock of "最終読み取り" may
    // have moved on; everything else must read as it did.
    const auto withoutClock = [](const QStringList &texts) {
        static const QRegularExpression clock(QStringLiteral("\\b\\d{1,2}:\\d{2}:\\d{2}\\b"));
        return texts.join(QLatin1Char('\n')).replace(clock, QStringLiteral("hh:mm:ss")).toStdString();
    };
    EXPECT_EQ(withoutClock(allTexts()), withoutClock(japanese));
    for (QPointer<UnitWindow> &w : windows)
        ASSERT_TRUE(w && !w->isClosing()); // still connected: nothing reconnected
}

// A question up while the language changes says its text and its buttons again in the new
// language; back in Japanese it is word for word what it was.
TEST_F(LanguageTest, AQuestionUpAcrossASwitchFollowsTheLanguage)
{
    const QString unit = QStringLiteral("QN-210(ID:3) - 127.0.0.1");
    QWidget parent;
    QStringList seen;  // Japanese, English, Japanese again
    QTimer::singleShot(0, &parent, [&] {
        auto *box = parent.findChild<QMessageBox *>();
        ASSERT_TRUE(box);
        for (Language language : {Language::Japanese, Language::English, Language::Japanese}) {
            switchTo(language);
            EXPECT_EQ(box->text(), MainDialog::alreadyConnectedQuestion(unit));
            seen << shownTexts(box).join(QLatin1Char('\n'));
        }
        box->button(QMessageBox::Cancel)->click();
    });
    setMessagePresenter(nullptr);
    EXPECT_FALSE(askOkCancel(&parent, [&unit] { return MainDialog::alreadyConnectedQuestion(unit); }));
    setMessagePresenter(&presenter);
    ASSERT_EQ(seen.size(), 3);
    EXPECT_EQ(japaneseIn({seen[1]}, {}).join(QLatin1Char('\n')).toStdString(), "");
    EXPECT_TRUE(seen[1].contains(QStringLiteral(": Cancel"))) << seen[1].toStdString();
    EXPECT_EQ(seen[2].toStdString(), seen[0].toStdString());
    EXPECT_FALSE(japaneseIn({seen[0]}, {}).isEmpty());
}

// What files and the unit rely on never follows the language.
TEST_F(LanguageTest, LogHeaderIsTheSameInBothLanguages)
{
    const QStringList columns{QStringLiteral("AI1"), QStringLiteral("AI2"), QStringLiteral("AI3"),
                              QStringLiteral("DO1"), QStringLiteral("DO2")};
    const QString japanese = analogInputLogHeader(columns);
    const QString outputs = analogOutputLogHeader({QStringLiteral("DI1")}, {QStringLiteral("AO1")});
    switchTo(Language::English);
    EXPECT_EQ(analogInputLogHeader(columns), japanese);
    EXPECT_EQ(analogOutputLogHeader({QStringLiteral("DI1")}, {QStringLiteral("AO1")}), outputs);
    EXPECT_TRUE(japanese.startsWith(QStringLiteral("日付,時刻,")));
}

// The choice in the main window applies at once and is what the next start takes.
TEST_F(LanguageTest, ChoiceInTheMainWindowAppliesAtOnceAndIsRemembered)
{
    MainDialogConfig config;
    config.optionsPath = logDir.filePath(QStringLiteral("options.ini"));
    EXPECT_EQ(MainDialog::rememberedLanguage(config.optionsPath), std::nullopt);
    MainDialog main(config, {});
    auto *combo = main.findChild<QComboBox *>(QStringLiteral("languageCombo"));
    auto *search = main.findChild<QPushButton *>(QStringLiteral("searchButton"));
    ASSERT_TRUE(combo && search);
    EXPECT_EQ(search->text(), QStringLiteral("検索(&S)"));
    const int english = combo->findText(QStringLiteral("English"));
    combo->setCurrentIndex(english);
    emit combo->activated(english);
    QCoreApplication::processEvents();
    EXPECT_EQ(currentLanguage(), Language::English);
    EXPECT_EQ(search->text(), QStringLiteral("&Search"));
    EXPECT_EQ(MainDialog::rememberedLanguage(config.optionsPath), Language::English);
}

TEST(Language, ChosenByCodeOrByTheDesktop)
{
    EXPECT_EQ(languageFromCode(QStringLiteral("en")), Language::English);
    EXPECT_EQ(languageFromCode(QStringLiteral(" JA ")), Language::Japanese);
    EXPECT_EQ(languageFromCode(QStringLiteral("de")), std::nullopt);
    const struct { QStringList ui; Language expected; } cases[] = {
        {{QStringLiteral("en-US"), QStringLiteral("ja")}, Language::English},
        {{QStringLiteral("en")}, Language::English},
        {{QStringLiteral("ja-JP"), QStringLiteral("en")}, Language::Japanese},
        {{QStringLiteral("C")}, Language::Japanese},
        {{QStringLiteral("POSIX")}, Language::Japanese},
        {{}, Language::Japanese},
    };
    for (const auto &c : cases)
        EXPECT_EQ(languageForUiLanguages(c.ui), c.expected) << c.ui.join(QLatin1Char(',')).toStdString();
}

} // namespace
} // namespace qn::test
