#pragma once
// Code page 932 (Shift_JIS as Windows writes it): the encoding of the settings file
// and the CSV logs, so files move between this program and the Windows one unchanged.
#include <QByteArray>
#include <QString>

namespace qn {

QByteArray toCp932(const QString &text);
QString fromCp932(const QByteArray &bytes);
// The longest leading part of bytes that holds at most maxBytes bytes and does not
// end inside a double-byte character.
QByteArray cutCp932(const QByteArray &bytes, int maxBytes);

} // namespace qn
