#include "dialogs/formuladialog.h"

#include "dialogs/fieldtext.h"
#include "ui/numericedit.h"
#include "ui_formuladialog.h"

#include <QShowEvent>

namespace qn {

const QString FormulaDialog::InputFactorLabel = QStringLiteral("測定値 ×");
const QString FormulaDialog::InputResultLabel = QStringLiteral("＝ 表示値");
const QString FormulaDialog::InputUnitLabel = QStringLiteral("表示値の単位:");
const QString FormulaDialog::OutputFactorLabel = QStringLiteral("出力設定値 ×");
const QString FormulaDialog::OutputResultLabel = QStringLiteral("＝ 換算出力値");
const QString FormulaDialog::OutputUnitLabel = QStringLiteral("換算出力値の単位:");

FormulaDialog::FormulaDialog(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::FormulaDialog>())
{
    m_ui->setupUi(this);
    for (QLineEdit *edit : {m_ui->factorEdit, m_ui->offsetEdit, m_ui->graphMinEdit, m_ui->graphMaxEdit})
        attachNumericFilter(edit, NumberChars::Decimal);
    fieldtext::keepTypingLimit(m_ui->unitEdit, UnitMaxLength);
    connect(m_ui->okButton, &QPushButton::clicked, this, &FormulaDialog::accept);
}

FormulaDialog::~FormulaDialog() = default;

void FormulaDialog::useLabelsOf(Side side)
{
    const bool input = side == Side::Input;
    factorLabel = input ? InputFactorLabel : OutputFactorLabel;
    resultLabel = input ? InputResultLabel : OutputResultLabel;
    unitLabel = input ? InputUnitLabel : OutputUnitLabel;
}

void FormulaDialog::loadFields()
{
    m_ui->factorLabel->setText(factorLabel);
    m_ui->resultLabel->setText(resultLabel);
    m_ui->unitLabel->setText(unitLabel);
    fieldtext::setLimitedText(m_ui->unitEdit, unit, UnitMaxLength);
    m_shown = {fieldtext::fixed(factor), fieldtext::fixed(offset), fieldtext::fixed(graphMin),
               fieldtext::fixed(graphMax)};
    m_ui->factorEdit->setText(m_shown[0]);
    m_ui->offsetEdit->setText(m_shown[1]);
    m_ui->graphMinEdit->setText(m_shown[2]);
    m_ui->graphMaxEdit->setText(m_shown[3]);
    m_ui->factorEdit->setFocus();
    m_ui->factorEdit->selectAll();
}

void FormulaDialog::accept()
{
    // Numbers left as shown keep the precision they came with (the text has six decimals).
    factor = fieldtext::readBack(m_ui->factorEdit->text(), m_shown[0], factor);
    offset = fieldtext::readBack(m_ui->offsetEdit->text(), m_shown[1], offset);
    graphMin = fieldtext::readBack(m_ui->graphMinEdit->text(), m_shown[2], graphMin);
    graphMax = fieldtext::readBack(m_ui->graphMaxEdit->text(), m_shown[3], graphMax);
    unit = m_ui->unitEdit->text();
    factorLabel = m_ui->factorLabel->text();
    resultLabel = m_ui->resultLabel->text();
    unitLabel = m_ui->unitLabel->text();
    QDialog::accept();
}

void FormulaDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
