#pragma once
// Text helpers shared by the settings dialogs (internal to this library).
#include <QString>

class QLineEdit;

namespace qn::fieldtext {

// A number as the dialogs show it ("%f": 1.000000). A value that is not finite shows
// as 0.000000, which is also what reading it back would give.
QString fixed(double value);

// What OK makes of a numeric edit: the field unchanged when the text is still the one
// shown for it (only finite fields), else the text read leniently.
double readBack(const QString &text, const QString &shown, double field);

// Puts text into an edit that accepts at most limit typed characters. A longer text
// that the owner hands in is kept whole rather than cut, so pressing OK does not
// shorten a stored name or unit; typing can then only shorten it back to the limit.
// The same holds for a byte limit set with limitCp932Bytes.
void setLimitedText(QLineEdit *edit, const QString &text, int limit);
// Connect once per edit: keeps the limit of setLimitedText while the operator types.
void keepTypingLimit(QLineEdit *edit, int limit);

// Refuses typing and pasting that would make the edit's text longer than maxBytes in
// code page 932, the encoding of the settings file. A longer text the owner put in
// stays (put it in with setLimitedText); it may only get shorter.
void limitCp932Bytes(QLineEdit *edit, int maxBytes);

} // namespace qn::fieldtext
