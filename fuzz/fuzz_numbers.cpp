// How typed and stored numbers are read: the numeric edits' filter and lenient parser
// over any text, and the settings file's numbers against the C library's atof.
#include "settings/unitsettings.h"
#include "common/numbertext.h"

#include <cmath>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkFilter(const QString &text, qn::NumberChars allowed)
{
    const QString chars = allowed == qn::NumberChars::Decimal ? QStringLiteral("0123456789-.")
                                                              : QStringLiteral("0123456789");
    bool cut = false;
    const QString prefix = qn::numericPrefix(text, allowed, &cut);
    check(text.startsWith(prefix));
    check(cut == (prefix.size() < text.size()));
    for (QChar c : prefix)
        check(chars.contains(c));
    if (cut)
        check(!chars.contains(text[prefix.size()]));
    // The filter's output is its own fixed point.
    bool cutAgain = true;
    check(qn::numericPrefix(prefix, allowed, &cutAgain) == prefix && !cutAgain);
    check(std::isfinite(qn::parseLenient(prefix)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);
    checkFilter(text, qn::NumberChars::Digits);
    checkFilter(text, qn::NumberChars::Decimal);
    check(std::isfinite(qn::parseLenient(text)));
    (void)qn::parseLenientInt(text);

    // The fuzzer never sets a locale: atof here is the C locale's.
    const std::string terminated(bytes.constData(), std::size_t(bytes.size()));
    const double expected = std::atof(terminated.c_str());
    const double read = qn::numberFromSettingsText(QByteArray(terminated.c_str()));
    if (std::isnan(expected))
        check(std::isnan(read));
    else
        check(read == expected && std::signbit(read) == std::signbit(expected));
    return 0;
}
