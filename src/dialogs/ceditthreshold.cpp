#include "dialogs/ceditthreshold.h"

#include "dialogs/fieldtext.h"
#include "ui/numericedit.h"
#include "ui_ceditthreshold.h"

#include <QShowEvent>

namespace qn {

CEditThreshold::CEditThreshold(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CEditThreshold>())
{
    m_ui->setupUi(this);
    attachNumericFilter(m_ui->lowEdit, NumberChars::Decimal);
    attachNumericFilter(m_ui->highEdit, NumberChars::Decimal);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CEditThreshold::accept);
}

CEditThreshold::~CEditThreshold() = default;

void CEditThreshold::loadFields()
{
    m_ui->highEdit->setText(fieldtext::fixed(high));
    m_ui->lowEdit->setText(fieldtext::fixed(low));
    m_ui->outsideCheck->setChecked(ledOutside != 0);
    m_ui->lowEdit->setFocus();
    m_ui->lowEdit->selectAll();
}

void CEditThreshold::accept()
{
    low = parseLenient(m_ui->lowEdit->text());
    high = parseLenient(m_ui->highEdit->text());
    ledOutside = m_ui->outsideCheck->isChecked() ? 1 : 0;
    QDialog::accept();
}

void CEditThreshold::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
