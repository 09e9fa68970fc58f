#include "dialogs/thermocoupledialog.h"

#include "ui_thermocoupledialog.h"

#include <QShowEvent>

namespace qn {

ThermocoupleDialog::ThermocoupleDialog(const ThermocoupleChoice &shown, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::ThermocoupleDialog>()), m_choice(shown)
{
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &ThermocoupleDialog::accept);
}

ThermocoupleDialog::~ThermocoupleDialog() = default;

void ThermocoupleDialog::loadFields()
{
    // A value the lists do not hold selects nothing rather than some other item.
    const int type = m_choice.type;
    const int burnoutOutput = m_choice.burnoutOutput;
    m_ui->typeList->setCurrentIndex(type >= 0 && type < m_ui->typeList->count() ? type : -1);
    m_ui->burnoutOutputList->setCurrentIndex(
        burnoutOutput >= 0 && burnoutOutput < m_ui->burnoutOutputList->count() ? burnoutOutput : -1);
    m_ui->coldJunctionCheck->setChecked(m_choice.flags & ColdJunctionFlag);
    m_ui->burnoutCheck->setChecked(m_choice.flags & BurnoutDetectionFlag);
    m_ui->typeList->setFocus();
}

void ThermocoupleDialog::accept()
{
    m_choice.flags = (m_ui->burnoutCheck->isChecked() ? BurnoutDetectionFlag : 0)
        | (m_ui->coldJunctionCheck->isChecked() ? ColdJunctionFlag : 0);
    m_choice.type = m_ui->typeList->currentIndex();
    m_choice.burnoutOutput = m_ui->burnoutOutputList->currentIndex();
    QDialog::accept();
}

void ThermocoupleDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
