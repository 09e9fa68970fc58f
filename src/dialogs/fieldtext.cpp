#include "dialogs/fieldtext.h"

#include "common/numbertext.h"

#include <QLineEdit>

#include <algorithm>
#include <cmath>

namespace qn::fieldtext {

QString fixed(double value)
{
    return QString::asprintf("%f", std::isfinite(value) ? value : 0.0);
}

double readBack(const QString &text, const QString &shown, double field)
{
    if (text == shown && std::isfinite(field))
        return field;
    return parseLenient(text);
}

void setLimitedText(QLineEdit *edit, const QString &text, int limit)
{
    edit->setMaxLength(std::max<int>(limit, int(text.size())));
    edit->setText(text);
}

void keepTypingLimit(QLineEdit *edit, int limit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit, limit](const QString &text) {
        // Never above what is there now, never below the limit.
        edit->setMaxLength(std::max<int>(limit, std::min<int>(edit->maxLength(), int(text.size()))));
    });
}

} // namespace qn::fieldtext
