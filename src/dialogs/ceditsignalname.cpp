#include "dialogs/ceditsignalname.h"

#include "dialogs/fieldtext.h"
#include "ui_ceditsignalname.h"

#include <QShowEvent>

namespace qn {

CEditSignalName::CEditSignalName(QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CEditSignalName>())
{
    m_ui->setupUi(this);
    fieldtext::keepTypingLimit(m_ui->nameEdit, NameMaxLength);
    fieldtext::limitCp932Bytes(m_ui->nameEdit, NameMaxBytes);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CEditSignalName::accept);
}

CEditSignalName::~CEditSignalName() = default;

void CEditSignalName::loadFields()
{
    fieldtext::setLimitedText(m_ui->nameEdit, name, NameMaxLength);
    m_ui->nameEdit->setFocus();
    m_ui->nameEdit->selectAll();
}

void CEditSignalName::accept()
{
    name = m_ui->nameEdit->text();
    QDialog::accept();
}

void CEditSignalName::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

} // namespace qn
