#include "dialogs/signalnamedialog.h"

#include "dialogs/fieldtext.h"
#include "ui_signalnamedialog.h"

#include <QShowEvent>

namespace qn {

SignalNameDialog::SignalNameDialog(const QString &name, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::SignalNameDialog>()), m_name(name)
{
    m_ui->setupUi(this);
    fieldtext::keepTypingLimit(m_ui->nameEdit, NameMaxLength);
    fieldtext::limitCp932Bytes(m_ui->nameEdit, NameMaxBytes);
    connect(m_ui->okButton, &QPushButton::clicked, this, &SignalNameDialog::accept);
}

SignalNameDialog::~SignalNameDialog() = default;

void SignalNameDialog::loadFields()
{
    fieldtext::setLimitedText(m_ui->nameEdit, m_name, NameMaxLength);
    m_ui->nameEdit->setFocus();
    m_ui->nameEdit->selectAll();
}

void SignalNameDialog::accept()
{
    m_name = m_ui->nameEdit->text();
    QDialog::accept();
}

void SignalNameDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
