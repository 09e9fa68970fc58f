#include "ui/numericedit.h"

#include "ui/messages.h"

#include <QCoreApplication>
#include <QLineEdit>

namespace qn {

QString notANumberMessage()
{
    return QCoreApplication::translate("qn::NumericEdit", "数字以外は入力できません");
}

bool applyNumericFilter(QLineEdit *edit, NumberChars allowed)
{
    bool cut = false;
    const QString kept = numericPrefix(edit->text(), allowed, &cut);
    if (!cut)
        return false;
    showMessage(edit, notANumberMessage);
    edit->setText(kept);
    return true;
}

void attachNumericFilter(QLineEdit *edit, NumberChars allowed, std::function<void()> beforeMessage,
                         std::function<void()> afterMessage)
{
    QObject::connect(edit, &QLineEdit::textChanged, edit, [=] {
        bool cut = false;
        numericPrefix(edit->text(), allowed, &cut);
        if (!cut)
            return;
        if (beforeMessage)
            beforeMessage();
        applyNumericFilter(edit, allowed);
        if (afterMessage)
            afterMessage();
    });
}

} // namespace qn
