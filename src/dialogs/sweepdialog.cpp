#include "dialogs/sweepdialog.h"

#include "dialogs/fieldtext.h"
#include "ui/messages.h"
#include "ui/numericedit.h"
#include "ui_sweepdialog.h"

#include <QShowEvent>

namespace qn {

SweepDialog::SweepDialog(QWidget *parent) : QDialog(parent), m_ui(std::make_unique<Ui::SweepDialog>())
{
    m_ui->setupUi(this);
    for (QLineEdit *edit : {m_ui->riseEdit, m_ui->fallEdit}) {
        edit->setMaxLength(TimeMaxLength);
        attachNumericFilter(edit, NumberChars::Digits);
    }
    for (QLineEdit *edit : {m_ui->lowEdit, m_ui->highEdit})
        attachNumericFilter(edit, NumberChars::Decimal);
    connect(m_ui->okButton, &QPushButton::clicked, this, &SweepDialog::accept);
}

SweepDialog::~SweepDialog() = default;

void SweepDialog::loadFields()
{
    m_shownLow = QString::asprintf("%2.5f", sweepLow);
    m_shownHigh = QString::asprintf("%2.5f", sweepHigh);
    m_ui->lowEdit->setText(m_shownLow);
    m_ui->highEdit->setText(m_shownHigh);
    m_ui->riseEdit->setText(QString::number(sweepT1));
    m_ui->fallEdit->setText(QString::number(sweepT2));
    m_ui->lowUnitLabel->setText(unitText);
    m_ui->highUnitLabel->setText(unitText);
    m_ui->lowEdit->setFocus();
    m_ui->lowEdit->selectAll();
}

void SweepDialog::accept()
{
    // Values left as shown keep their precision (the text has five decimals).
    const double low = fieldtext::readBack(m_ui->lowEdit->text(), m_shownLow, sweepLow);
    const double high = fieldtext::readBack(m_ui->highEdit->text(), m_shownHigh, sweepHigh);
    if (!(low < high)) {
        showMessage(this, lowNotBelowHighMessage());
        return;
    }
    sweepLow = low;
    sweepHigh = high;
    sweepT1 = parseLenientInt(m_ui->riseEdit->text());
    sweepT2 = parseLenientInt(m_ui->fallEdit->text());
    QDialog::accept();
}

void SweepDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
