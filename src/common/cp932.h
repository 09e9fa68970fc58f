#pragma once
// Code page 932 (Shift_JIS as Windows writes it): the encoding of the settings file
// and the CSV logs, so files move between this program and the Windows one unchanged.
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

namespace qn {

QByteArray toCp932(const QString &text);
QString fromCp932(const QByteArray &bytes);
// The same with a converter the caller keeps, where many texts go in a row: building a
// converter costs far more than converting a short text.
QStringEncoder cp932Encoder();
QStringDecoder cp932Decoder();
QByteArray toCp932(QStringEncoder &encoder, const QString &text);
QString fromCp932(QStringDecoder &decoder, const QByteArray &bytes);
// The longest leading part of bytes that holds at most maxBytes bytes and does not
// end inside a double-byte character.
QByteArray cutCp932(const QByteArray &bytes, int maxBytes);

} // namespace qn
