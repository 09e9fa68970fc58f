#include "dialogs/thresholddialog.h"

#include "dialogs/fieldtext.h"
#include "ui/numericedit.h"
#include "ui_thresholddialog.h"

#include <QShowEvent>

namespace qn {

ThresholdDialog::ThresholdDialog(const LedThresholds &shown, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ThresholdDialog>()), m_value(shown)
{
    m_ui->setupUi(this);
    attachNumericFilter(m_ui->lowEdit, NumberChars::Decimal);
    attachNumericFilter(m_ui->highEdit, NumberChars::Decimal);
    connect(m_ui->okButton, &QPushButton::clicked, this, &ThresholdDialog::accept);
}

ThresholdDialog::~ThresholdDialog() = default;

void ThresholdDialog::loadFields()
{
    m_shownHigh = fieldtext::fixed(m_value.high);
    m_shownLow = fieldtext::fixed(m_value.low);
    m_ui->highEdit->setText(m_shownHigh);
    m_ui->lowEdit->setText(m_shownLow);
    m_ui->outsideCheck->setChecked(m_value.ledOutside);
    m_ui->lowEdit->setFocus();
    m_ui->lowEdit->selectAll();
}

void ThresholdDialog::accept()
{
    // A value left as shown keeps its full precision: six decimals are coarser than one
    // threshold step on the small ranges, and re-reading the text would move the
    // unit's threshold although the operator changed nothing.
    m_value.low = fieldtext::readBack(m_ui->lowEdit->text(), m_shownLow, m_value.low);
    m_value.high = fieldtext::readBack(m_ui->highEdit->text(), m_shownHigh, m_value.high);
    m_value.ledOutside = m_ui->outsideCheck->isChecked();
    QDialog::accept();
}

void ThresholdDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
