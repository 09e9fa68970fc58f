#pragma once
// Texts made by the parts without Qt (the unit list, the range tables) that windows show.
// Those parts keep their Japanese texts (qnctl prints them, nothing else changes); the
// windows show them in the current language. GUI thread only.
#include <QString>

#include <string_view>

namespace qn {

// utf8 (a text of the link or the model) as shown in the current language.
QString shownText(std::string_view utf8);
// A unit's information line "MACアドレス: 00-80-92-00-00-11" in the current language.
QString shownMacText(const QString &macInfo);

} // namespace qn
