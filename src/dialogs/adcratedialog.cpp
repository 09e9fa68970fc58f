#include "dialogs/adcratedialog.h"

#include "ui_adcratedialog.h"

#include <QShowEvent>

namespace qn {

AdcRateDialog::AdcRateDialog(int rateCode, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::AdcRateDialog>()), m_rateCode(rateCode)
{
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &AdcRateDialog::accept);
}

AdcRateDialog::~AdcRateDialog() = default;

QStringList AdcRateDialog::rateTexts()
{
    return {QStringLiteral("10sps"),   QStringLiteral("16.6sps"), QStringLiteral("50sps"),
            QStringLiteral("60sps"),   QStringLiteral("400sps"),  QStringLiteral("1200sps"),
            QStringLiteral("3600sps"), QStringLiteral("14400sps")};
}

int AdcRateDialog::rowForCode(int code) { return code >= 0 && code < RateCount ? code : -1; }

void AdcRateDialog::loadFields()
{
    m_ui->rateList->setCurrentIndex(rowForCode(m_rateCode));
    m_ui->rateList->setFocus();
}

void AdcRateDialog::accept()
{
    m_rateCode = m_ui->rateList->currentIndex();
    QDialog::accept();
}

void AdcRateDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
