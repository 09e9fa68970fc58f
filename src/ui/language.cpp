#include "ui/language.h"

#include <QApplication>
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

namespace qn {
namespace {

struct Translators {
    Language language = Language::Japanese;
    QTranslator *program = nullptr;  // the English catalogue
    QTranslator *qt = nullptr;       // Qt's Japanese (standard buttons, file chooser)
};

Translators &translators()
{
    static Translators t;
    return t;
}

void drop(QTranslator *&translator)
{
    if (!translator)
        return;
    QCoreApplication::removeTranslator(translator);
    delete translator;
    translator = nullptr;
}

// Qt's catalogue "qt_ja" from where Qt keeps it, or from "translations" beside the program
// (a copy unpacked into a folder of its own); nullptr when neither has it.
QTranslator *loadQtJapanese()
{
    auto *translator = new QTranslator;
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    for (const QString &folder : {QLibraryInfo::path(QLibraryInfo::TranslationsPath),
                                  QCoreApplication::applicationDirPath() + QStringLiteral("/translations")}) {
        if (translator->load(japanese, QStringLiteral("qt"), QStringLiteral("_"), folder))
            return translator;
    }
    delete translator;
    return nullptr;
}

class Retranslator final : public QObject {
public:
    Retranslator(QWidget *widget, std::function<void()> apply) : QObject(widget), m_apply(std::move(apply)) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent() && event->type() == QEvent::LanguageChange)
            m_apply();
        return false;
    }

private:
    std::function<void()> m_apply;
};

} // namespace

void keepTranslated(QWidget *widget, std::function<void()> apply)
{
    apply();
    widget->installEventFilter(new Retranslator(widget, std::move(apply)));
}

QString languageCode(Language language)
{
    return language == Language::English ? QStringLiteral("en") : QStringLiteral("ja");
}

std::optional<Language> languageFromCode(const QString &code)
{
    const QString c = code.trimmed().toLower();
    if (c == QLatin1String("en"))
        return Language::English;
    if (c == QLatin1String("ja"))
        return Language::Japanese;
    return std::nullopt;
}

Language languageForUiLanguages(const QStringList &uiLanguages)
{
    if (uiLanguages.isEmpty())
        return Language::Japanese;
    const QString first = uiLanguages.first();
    // "en", "en-US", "en_GB"; never "C" or "POSIX", which say nothing of a preference.
    if (first.compare(QLatin1String("en"), Qt::CaseInsensitive) == 0
        || first.startsWith(QLatin1String("en-"), Qt::CaseInsensitive)
        || first.startsWith(QLatin1String("en_"), Qt::CaseInsensitive))
        return Language::English;
    return Language::Japanese;
}

Language desktopLanguage()
{
    return languageForUiLanguages(QLocale::system().uiLanguages());
}

QString languageName(Language language)
{
    return language == Language::English ? QStringLiteral("English") : QStringLiteral("日本語");
}

Language currentLanguage()
{
    return translators().language;
}

void setLanguage(Language language)
{
    Translators &t = translators();
    const bool first = !t.program && !t.qt;
    if (!first && t.language == language)
        return;
    drop(t.program);
    drop(t.qt);
    t.language = language;
    if (language == Language::English) {
        t.program = new QTranslator;
        if (t.program->load(QStringLiteral(":/i18n/qnview_en.qm")))
            QCoreApplication::installTranslator(t.program);
        else
            drop(t.program);
    } else {
        t.qt = loadQtJapanese();
        if (t.qt)
            QCoreApplication::installTranslator(t.qt);
    }
    // Qt announces a translator only while the event loop runs; before that (at start,
    // in tests) the windows are told here. Events to one window are merged into one.
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        for (QWidget *w : QApplication::topLevelWidgets())
            QCoreApplication::postEvent(w, new QEvent(QEvent::LanguageChange));
    }
}

} // namespace qn
