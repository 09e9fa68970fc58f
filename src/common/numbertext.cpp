#include "common/numbertext.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <stdlib.h>

namespace qn {

QString numericPrefix(const QString &text, NumberChars allowed, bool *cut)
{
    const QString chars = allowed == NumberChars::Decimal ? QStringLiteral("0123456789-.")
                                                          : QStringLiteral("0123456789");
    qsizetype n = 0;
    while (n < text.size() && chars.contains(text[n]))
        ++n;
    if (cut)
        *cut = n < text.size();
    return text.left(n);
}

double parseLenient(const QString &text)
{
    // strtod in the C locale reads the longest numeric prefix, as the unit tools always have.
    // The C locale explicitly: the application sets the user's locale, and under one with a
    // decimal comma plain strtod would read "1.5" as 1.
#ifdef _WIN32
    static const _locale_t cLocale = _create_locale(LC_ALL, "C");
    const QByteArray bytes = text.trimmed().toLatin1();
    const double v = cLocale ? _strtod_l(bytes.constData(), nullptr, cLocale) : std::strtod(bytes.constData(), nullptr);
#else
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray bytes = text.trimmed().toLatin1();
    const double v = cLocale ? strtod_l(bytes.constData(), nullptr, cLocale) : std::strtod(bytes.constData(), nullptr);
#endif
    return std::isfinite(v) ? v : 0.0;
}

int parseLenientInt(const QString &text)
{
    const QByteArray bytes = text.trimmed().toLatin1();
    const long v = std::strtol(bytes.constData(), nullptr, 10);
    if (v > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    if (v < std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    return int(v);
}

} // namespace qn
