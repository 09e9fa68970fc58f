#include "dialogs/outputrangedialog.h"

#include "ui_outputrangedialog.h"

#include <QShowEvent>

namespace qn {

OutputRangeDialog::OutputRangeDialog(int mode, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::OutputRangeDialog>()), m_mode(mode)
{
    m_ui->setupUi(this);
    connect(m_ui->okButton, &QPushButton::clicked, this, &OutputRangeDialog::accept);
}

OutputRangeDialog::~OutputRangeDialog() = default;

void OutputRangeDialog::loadFields()
{
    // An index the list does not have selects nothing, as -1 does.
    m_ui->rangeCombo->setCurrentIndex(m_mode >= 0 && m_mode < m_ui->rangeCombo->count() ? m_mode : -1);
    m_ui->rangeCombo->setFocus();
}

void OutputRangeDialog::accept()
{
    m_mode = m_ui->rangeCombo->currentIndex();
    QDialog::accept();
}

void OutputRangeDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
