#pragma once
// The language the program speaks: Japanese (its own texts, the default) or English
// (translated through Qt's translation system, the catalogue built into the program).
// Only what a person reads changes; files, requests and settings never do.
//
// GUI thread only.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QWidget;

namespace qn {

enum class Language { Japanese, English };

// "ja" / "en": the code written to the options file and taken by --language.
QString languageCode(Language language);
// A code as written by languageCode (case and spaces ignored); nullopt for anything else.
std::optional<Language> languageFromCode(const QString &code);
// The desktop's preference before the operator has chosen: English when its first
// interface language is English, Japanese for anything else (a C/POSIX locale included).
Language languageForUiLanguages(const QStringList &uiLanguages);
Language desktopLanguage();

// Installs the program's catalogue and Qt's own translation for language, removing those
// of the previous one; every window receives QEvent::LanguageChange and retranslates.
void setLanguage(Language language);
Language currentLanguage();

// Runs apply now and again each time widget is told of a change of language: for the
// texts a window sets in code on widgets it made in code (a form's own texts are renewed
// by its retranslateUi). The filter goes with widget.
void keepTranslated(QWidget *widget, std::function<void()> apply);

// How a language is offered in the chooser: in its own language ("日本語", "English").
QString languageName(Language language);

} // namespace qn
