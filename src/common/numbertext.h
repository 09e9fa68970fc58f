#pragma once
// How typed numbers are treated everywhere in the program: the input filter of the
// numeric edits and the lenient parsing of what they hold.
#include <QString>

namespace qn {

enum class NumberChars { Digits, Decimal }; // "0123456789" or "0123456789-."

// The longest prefix of text made only of the allowed characters; everything from
// the first other character on is dropped. *cut tells whether anything was dropped.
QString numericPrefix(const QString &text, NumberChars allowed, bool *cut = nullptr);

// The longest numeric prefix as a number ("1-2" gives 1, "-3.5V" gives -3.5),
// 0 when the text starts with none ("." and "abc" give 0).
double parseLenient(const QString &text);
int parseLenientInt(const QString &text);

} // namespace qn
