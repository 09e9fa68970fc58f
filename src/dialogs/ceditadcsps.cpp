#include "dialogs/ceditadcsps.h"

#include "ui_ceditadcsps.h"

#include <QShowEvent>

namespace qn {

CEditADCsps::CEditADCsps(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CEditADCsps>())
{
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CEditADCsps::accept);
}

CEditADCsps::~CEditADCsps() = default;

QStringList CEditADCsps::rateTexts()
{
    return {QStringLiteral("10sps"),   QStringLiteral("16.6sps"), QStringLiteral("50sps"),
            QStringLiteral("60sps"),   QStringLiteral("400sps"),  QStringLiteral("1200sps"),
            QStringLiteral("3600sps"), QStringLiteral("14400sps")};
}

int CEditADCsps::rowForCode(int code) { return code >= 0 && code < RateCount ? code : -1; }

void CEditADCsps::loadFields()
{
    m_ui->rateList->setCurrentIndex(rowForCode(rateIndex));
    m_ui->rateList->setFocus();
}

void CEditADCsps::accept()
{
    rateIndex = m_ui->rateList->currentIndex();
    QDialog::accept();
}

void CEditADCsps::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
