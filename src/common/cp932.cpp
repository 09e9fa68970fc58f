#include "common/cp932.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace qn {
namespace {
// ICU knows code page 932 as windows-31j; plain Shift_JIS lacks the NEC and IBM rows.
const char *codecName()
{
    static const char *name = QStringEncoder("windows-31j").isValid() ? "windows-31j" : "Shift_JIS";
    return name;
}

bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
} // namespace

QByteArray toCp932(const QString &text)
{
    QStringEncoder encoder(codecName());
    return encoder.encode(text);
}

QString fromCp932(const QByteArray &bytes)
{
    QStringDecoder decoder(codecName());
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
