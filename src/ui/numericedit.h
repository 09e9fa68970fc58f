#pragma once
// The input filter of every numeric edit: on each change the text is cut to its
// longest allowed prefix, and "数字以外は入力できません" is shown first when anything
// was cut. GUI thread only.
#include "common/numbertext.h"

#include <QString>

#include <functional>

class QLineEdit;

namespace qn {

// Filters edit on every change of its text. beforeMessage/afterMessage (optional)
// bracket the message box, for pages that pause their timer work meanwhile.
void attachNumericFilter(QLineEdit *edit, NumberChars allowed,
                         std::function<void()> beforeMessage = {},
                         std::function<void()> afterMessage = {});

// One filtering step on the edit's current text (what attachNumericFilter runs).
// Returns true when something was cut.
bool applyNumericFilter(QLineEdit *edit, NumberChars allowed);

// "数字以外は入力できません" in the current language.
QString notANumberMessage();

} // namespace qn
