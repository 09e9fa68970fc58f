#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace qn {

QFont fixedCjkFont(int pixelSize)
{
    static const QString family = [] {
        const QStringList wanted = {QStringLiteral("IPAGothic"), QStringLiteral("IPAゴシック"),
                                    QStringLiteral("MS Gothic"), QStringLiteral("ＭＳ ゴシック"),
                                    QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("VL Gothic")};
        const QStringList have = QFontDatabase::families();
        for (const QString &f : wanted)
            if (have.contains(f))
                return f;
        return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    }();
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    return font;
}

QFont labelFont(int pointSize)
{
    QFont font(QStringLiteral("Verdana"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    return font;
}

} // namespace qn
