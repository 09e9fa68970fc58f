#include "ui/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace qn {

QFont fixedCjkFont(int pixelSize)
{
    static const QString family = [] {
        // VL Gothic first: IPAGothic's figures stand about 0.03 em above the baseline while
        // its full stop sits on it, so at the 11-14 px the canvas and the device list use,
        // the stop falls into the pixel row below the figures and "+10.000" reads like
        // "+10,000" whatever the hinting or anti-aliasing. VL Gothic's figures and stop share
        // the baseline, and its half-width glyphs are exactly half its full-width ones, so
        // columns mixing Japanese and Latin text still line up.
        const QStringList wanted = {QStringLiteral("VL Gothic"), QStringLiteral("VL ゴシック"),
                                    QStringLiteral("MS Gothic"), QStringLiteral("ＭＳ ゴシック"),
                                    QStringLiteral("Noto Sans Mono CJK JP"), QStringLiteral("IPAGothic"),
                                    QStringLiteral("IPAゴシック")};
        const QStringList have = QFontDatabase::families();
        for (const QString &f : wanted)
            if (have.contains(f))
                return f;
        return QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
    }();
    QFont font(family);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    font.setStyleStrategy(QFont::PreferNoShaping);
    if (pixelSize > 0)
        font.setPixelSize(pixelSize);
    return font;
}

QFont labelFont(int pointSize)
{
    QFont font(QStringLiteral("Verdana"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(pointSize);
    font.setStyleStrategy(QFont::PreferNoShaping);
    return font;
}

} // namespace qn
