#include "ui/showntext.h"

#include <QCoreApplication>

namespace qn {
namespace {

constexpr char kContext[] = "qn::ShownText";
constexpr char kMacCaption[] = "MACアドレス: ";

// Where the translation catalogue finds these texts; they must match the link's and the
// model's exactly (the language test shows every one of them in English).
[[maybe_unused]] constexpr const char *kMarked[] = {
    // the unit list's header (link/unitlist.h): the English keeps its column positions
    QT_TRANSLATE_NOOP("qn::ShownText", "MACアドレス        機種      ID    IPアドレス"),
    QT_TRANSLATE_NOOP("qn::ShownText", "MACアドレス: "),
    // input ranges (model/inputrange.cpp)
    QT_TRANSLATE_NOOP("qn::ShownText", "0-20mA (外付け250Ω)"),
    QT_TRANSLATE_NOOP("qn::ShownText", "0-20mA (外付け50Ω)"),
    QT_TRANSLATE_NOOP("qn::ShownText", "熱電対"),
    // a DO alert's analog range (model/doalert.cpp)
    QT_TRANSLATE_NOOP("qn::ShownText", "電圧[±0.1V]"),
    QT_TRANSLATE_NOOP("qn::ShownText", "電圧[±1V]"),
    QT_TRANSLATE_NOOP("qn::ShownText", "電圧[±10V]"),
    QT_TRANSLATE_NOOP("qn::ShownText", "電圧[±30V]"),
    QT_TRANSLATE_NOOP("qn::ShownText", "電流[0-20mA]"),
    QT_TRANSLATE_NOOP("qn::ShownText", "温度[℃]"),
};

} // namespace

QString shownText(std::string_view utf8)
{
    const QByteArray source(utf8.data(), qsizetype(utf8.size()));
    return QCoreApplication::translate(kContext, source.constData());
}

QString shownMacText(const QString &macInfo)
{
    const QString caption = QString::fromUtf8(kMacCaption);
    if (!macInfo.startsWith(caption))
        return macInfo;
    return QCoreApplication::translate(kContext, kMacCaption) + macInfo.mid(caption.size());
}

} // namespace qn
