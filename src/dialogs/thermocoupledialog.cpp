#include "dialogs/thermocoupledialog.h"

#include "ui_thermocoupledialog.h"

#include <QShowEvent>

namespace qn {

ThermocoupleDialog::ThermocoupleDialog(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ThermocoupleDialog>())
{
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &ThermocoupleDialog::accept);
}

ThermocoupleDialog::~ThermocoupleDialog() = default;

void ThermocoupleDialog::loadFields()
{
    // A value the lists do not hold selects nothing rather than some other item.
    m_ui->typeList->setCurrentIndex(type >= 0 && type < m_ui->typeList->count() ? type : -1);
    m_ui->burnoutOutputList->setCurrentIndex(
        burnoutOutput >= 0 && burnoutOutput < m_ui->burnoutOutputList->count() ? burnoutOutput : -1);
    m_ui->coldJunctionCheck->setChecked(flags & ColdJunctionFlag);
    m_ui->burnoutCheck->setChecked(flags & BurnoutDetectionFlag);
    m_ui->typeList->setFocus();
}

void ThermocoupleDialog::accept()
{
    flags = (m_ui->burnoutCheck->isChecked() ? BurnoutDetectionFlag : 0)
        | (m_ui->coldJunctionCheck->isChecked() ? ColdJunctionFlag : 0);
    type = m_ui->typeList->currentIndex();
    burnoutOutput = m_ui->burnoutOutputList->currentIndex();
    QDialog::accept();
}

void ThermocoupleDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
