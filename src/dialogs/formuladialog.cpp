#include "dialogs/formuladialog.h"

#include "dialogs/fieldtext.h"
#include "ui/numericedit.h"
#include "ui_formuladialog.h"

#include <QShowEvent>

namespace qn {


FormulaDialog::FormulaDialog(const Formula &shown, Side side, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::FormulaDialog>()), m_formula(shown)
{
    m_ui->setupUi(this);
    for (QLineEdit *edit : {m_ui->factorEdit, m_ui->offsetEdit, m_ui->graphMinEdit, m_ui->graphMaxEdit})
        attachNumericFilter(edit, NumberChars::Decimal);
    fieldtext::keepTypingLimit(m_ui->unitEdit, UnitMaxLength);
    connect(m_ui->okButton, &QPushButton::clicked, this, &FormulaDialog::accept);

    const bool input = side == Side::Input;
    // The labels by page kind: an input's measured value, an output's set value.
    m_ui->factorLabel->setText(input ? tr("測定値 ×") : tr("出力設定値 ×"));
    m_ui->resultLabel->setText(input ? tr("＝ 表示値") : tr("＝ 換算出力値"));
    m_ui->unitLabel->setText(input ? tr("表示値の単位:") : tr("換算出力値の単位:"));
    fieldtext::setLimitedText(m_ui->unitEdit, shown.unit, UnitMaxLength);
    m_shown = {fieldtext::fixed(shown.factor), fieldtext::fixed(shown.offset), fieldtext::fixed(shown.graphMin),
               fieldtext::fixed(shown.graphMax)};
    m_ui->factorEdit->setText(m_shown[0]);
    m_ui->offsetEdit->setText(m_shown[1]);
    m_ui->graphMinEdit->setText(m_shown[2]);
    m_ui->graphMaxEdit->setText(m_shown[3]);
}

FormulaDialog::~FormulaDialog() = default;

void FormulaDialog::accept()
{
    // Numbers left as shown keep the precision they came with (the text has six decimals).
    const Formula opened = m_formula;
    m_formula.factor = fieldtext::readBack(m_ui->factorEdit->text(), m_shown[0], opened.factor);
    m_formula.offset = fieldtext::readBack(m_ui->offsetEdit->text(), m_shown[1], opened.offset);
    m_formula.graphMin = fieldtext::readBack(m_ui->graphMinEdit->text(), m_shown[2], opened.graphMin);
    m_formula.graphMax = fieldtext::readBack(m_ui->graphMaxEdit->text(), m_shown[3], opened.graphMax);
    m_formula.unit = m_ui->unitEdit->text();
    QDialog::accept();
}

void FormulaDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous()) {
        m_ui->factorEdit->setFocus();
        m_ui->factorEdit->selectAll();
    }
    QDialog::showEvent(event);
}

} // namespace qn
