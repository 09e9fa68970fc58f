#include "common/cp932.h"

#include <algorithm>

namespace qn {
namespace {
// ICU knows code page 932 as windows-31j; plain Shift_JIS lacks the NEC and IBM rows.
const char *codecName()
{
    static const char *name = QStringEncoder("windows-31j").isValid() ? "windows-31j" : "Shift_JIS";
    return name;
}

// Code page 932 keeps printable ASCII, tab and line breaks as they are (plain Shift_JIS
// does not: yen sign, overline; and the converter moves some other control codes), so
// texts of those only, most of what the files hold, need no converter at all.
bool asciiUnchanged()
{
    static const bool unchanged = qstrcmp(codecName(), "windows-31j") == 0;
    return unchanged;
}

bool plainAscii(char16_t c) { return (c >= 0x20 && c < 0x7F) || c == u'\t' || c == u'\n' || c == u'\r'; }

bool isPlainAscii(const QString &text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return plainAscii(c.unicode()); });
}

bool isPlainAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return plainAscii(static_cast<unsigned char>(c)); });
}

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
} // namespace

QStringEncoder cp932Encoder()
{
    return QStringEncoder(codecName());
}

QStringDecoder cp932Decoder()
{
    return QStringDecoder(codecName());
}

QByteArray toCp932(QStringEncoder &encoder, const QString &text)
{
    if (asciiUnchanged() && isPlainAscii(text))
        return text.toLatin1();
    // Each text on its own: nothing a text ends with may carry into the next one.
    encoder.resetState();
    return encoder.encode(text);
}

QString fromCp932(QStringDecoder &decoder, const QByteArray &bytes)
{
    if (asciiUnchanged() && isPlainAscii(bytes))
        return QString::fromLatin1(bytes);
    decoder.resetState();
    return decoder.decode(bytes);
}

QByteArray toCp932(const QString &text)
{
    if (asciiUnchanged() && isPlainAscii(text))
        return text.toLatin1();
    QStringEncoder encoder = cp932Encoder();
    return encoder.encode(text);
}

QString fromCp932(const QByteArray &bytes)
{
    if (asciiUnchanged() && isPlainAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder = cp932Decoder();
    return decoder.decode(bytes);
}

QByteArray cutCp932(const QByteArray &bytes, int maxBytes)
{
    int i = 0;
    while (i < bytes.size()) {
        const int width = isLeadByte(static_cast<unsigned char>(bytes[i])) && i + 1 < bytes.size() ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return bytes.left(i);
}

} // namespace qn
