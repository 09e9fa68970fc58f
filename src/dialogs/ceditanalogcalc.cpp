#include "dialogs/ceditanalogcalc.h"

#include "dialogs/fieldtext.h"
#include "ui/numericedit.h"
#include "ui_ceditanalogcalc.h"

#include <QShowEvent>

namespace qn {

const QString CEditAnalogCalc::InputFactorLabel = QStringLiteral("測定値 ×");
const QString CEditAnalogCalc::InputResultLabel = QStringLiteral("＝ 表示値");
const QString CEditAnalogCalc::InputUnitLabel = QStringLiteral("表示値の単位:");
const QString CEditAnalogCalc::OutputFactorLabel = QStringLiteral("出力設定値 ×");
const QString CEditAnalogCalc::OutputResultLabel = QStringLiteral("＝ 換算出力値");
const QString CEditAnalogCalc::OutputUnitLabel = QStringLiteral("換算出力値の単位:");

CEditAnalogCalc::CEditAnalogCalc(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CEditAnalogCalc>())
{
    m_ui->setupUi(this);
    for (QLineEdit *edit : {m_ui->factorEdit, m_ui->offsetEdit, m_ui->graphMinEdit, m_ui->graphMaxEdit})
        attachNumericFilter(edit, NumberChars::Decimal);
    fieldtext::keepTypingLimit(m_ui->unitEdit, UnitMaxLength);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CEditAnalogCalc::accept);
}

CEditAnalogCalc::~CEditAnalogCalc() = default;

void CEditAnalogCalc::loadFields()
{
    m_ui->factorLabel->setText(factorLabel);
    m_ui->resultLabel->setText(resultLabel);
    m_ui->unitLabel->setText(unitLabel);
    fieldtext::setLimitedText(m_ui->unitEdit, unit, UnitMaxLength);
    m_ui->factorEdit->setText(fieldtext::fixed(factor));
    m_ui->offsetEdit->setText(fieldtext::fixed(offset));
    m_ui->graphMinEdit->setText(fieldtext::fixed(graphMin));
    m_ui->graphMaxEdit->setText(fieldtext::fixed(graphMax));
    m_ui->factorEdit->setFocus();
    m_ui->factorEdit->selectAll();
}

void CEditAnalogCalc::accept()
{
    factor = parseLenient(m_ui->factorEdit->text());
    offset = parseLenient(m_ui->offsetEdit->text());
    graphMin = parseLenient(m_ui->graphMinEdit->text());
    graphMax = parseLenient(m_ui->graphMaxEdit->text());
    unit = m_ui->unitEdit->text();
    factorLabel = m_ui->factorLabel->text();
    resultLabel = m_ui->resultLabel->text();
    unitLabel = m_ui->unitLabel->text();
    QDialog::accept();
}

void CEditAnalogCalc::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
