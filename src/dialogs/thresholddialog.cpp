#include "dialogs/thresholddialog.h"

#include "dialogs/fieldtext.h"
#include "ui/numericedit.h"
#include "ui_thresholddialog.h"

#include <QShowEvent>

namespace qn {

ThresholdDialog::ThresholdDialog(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ThresholdDialog>())
{
    m_ui->setupUi(this);
    attachNumericFilter(m_ui->lowEdit, NumberChars::Decimal);
    attachNumericFilter(m_ui->highEdit, NumberChars::Decimal);
    connect(m_ui->okButton, &QPushButton::clicked, this, &ThresholdDialog::accept);
}

ThresholdDialog::~ThresholdDialog() = default;

void ThresholdDialog::loadFields()
{
    m_shownHigh = fieldtext::fixed(high);
    m_shownLow = fieldtext::fixed(low);
    m_ui->highEdit->setText(m_shownHigh);
    m_ui->lowEdit->setText(m_shownLow);
    m_ui->outsideCheck->setChecked(ledOutside != 0);
    m_ui->lowEdit->setFocus();
    m_ui->lowEdit->selectAll();
}

void ThresholdDialog::accept()
{
    // A value left as shown keeps its full precision: six decimals are coarser than one
    // threshold step on the small ranges, and re-reading the text would move the
    // unit's threshold although the operator changed nothing.
    low = fieldtext::readBack(m_ui->lowEdit->text(), m_shownLow, low);
    high = fieldtext::readBack(m_ui->highEdit->text(), m_shownHigh, high);
    ledOutside = m_ui->outsideCheck->isChecked() ? 1 : 0;
    QDialog::accept();
}

void ThresholdDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
