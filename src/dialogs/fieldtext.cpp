#include "dialogs/fieldtext.h"

#include "common/cp932.h"
#include "common/numbertext.h"

#include <QLineEdit>
#include <QValidator>

#include <algorithm>
#include <cmath>

namespace qn::fieldtext {

namespace {

class Cp932ByteLimit final : public QValidator {
public:
    Cp932ByteLimit(QLineEdit *edit, int maxBytes) : QValidator(edit), m_maxBytes(maxBytes), m_allowed(maxBytes) {}
    State validate(QString &input, int &) const override
    {
        const int bytes = int(toCp932(input).size());
        if (bytes > m_allowed)
            return Invalid;
        // A text the owner put in over the limit may shrink, never grow back.
        m_allowed = std::max(m_maxBytes, std::min(m_allowed, bytes));
        return Acceptable;
    }
    void allow(const QString &text) { m_allowed = std::max(m_maxBytes, int(toCp932(text).size())); }

private:
    const int m_maxBytes;
    mutable int m_allowed;
};

} // namespace

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
    if (auto *bytes = dynamic_cast<Cp932ByteLimit *>(const_cast<QValidator *>(edit->validator())))
        bytes->allow(text);
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

void limitCp932Bytes(QLineEdit *edit, int maxBytes)
{
    edit->setValidator(new Cp932ByteLimit(edit, maxBytes));
}

} // namespace qn::fieldtext
