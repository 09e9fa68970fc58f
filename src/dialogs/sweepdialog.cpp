#include "dialogs/sweepdialog.h"

#include "dialogs/fieldtext.h"
#include "ui/messages.h"
#include "ui/numericedit.h"
#include "ui_sweepdialog.h"

#include <QShowEvent>

namespace qn {

SweepDialog::SweepDialog(const SweepSettings &shown, const QString &unitText, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SweepDialog>()), m_settings(shown), m_unitText(unitText)
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
    m_shownLow = QString::asprintf("%2.5f", m_settings.low);
    m_shownHigh = QString::asprintf("%2.5f", m_settings.high);
    m_ui->lowEdit->setText(m_shownLow);
    m_ui->highEdit->setText(m_shownHigh);
    m_ui->riseEdit->setText(QString::number(m_settings.t1));
    m_ui->fallEdit->setText(QString::number(m_settings.t2));
    m_ui->lowUnitLabel->setText(m_unitText);
    m_ui->highUnitLabel->setText(m_unitText);
    m_ui->lowEdit->setFocus();
    m_ui->lowEdit->selectAll();
}

void SweepDialog::accept()
{
    // Values left as shown keep their precision (the text has five decimals).
    const double low = fieldtext::readBack(m_ui->lowEdit->text(), m_shownLow, m_settings.low);
    const double high = fieldtext::readBack(m_ui->highEdit->text(), m_shownHigh, m_settings.high);
    if (!(low < high)) {
        showMessage(this, lowNotBelowHighMessage);
        return;
    }
    m_settings = SweepSettings{parseLenientInt(m_ui->riseEdit->text()), parseLenientInt(m_ui->fallEdit->text()), high,
                               low};
    QDialog::accept();
}

void SweepDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
