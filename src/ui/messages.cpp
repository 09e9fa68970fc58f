#include "ui/messages.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

namespace qn {
namespace {

// A message of one unit's window blocks that window only: the main window and the
// other units' windows stay usable, as a message box owned by one window does.
void blockOnlyItsWindow(QMessageBox &box, QWidget *parent)
{
    if (parent)
        box.setWindowModality(Qt::WindowModal);
}

class MessageBoxPresenter final : public MessagePresenter {
public:
    void inform(QWidget *parent, const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
        blockOnlyItsWindow(box, parent);
        box.exec();
    }
    bool confirm(QWidget *parent, const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, applicationTitle(), text,
                        QMessageBox::Ok | QMessageBox::Cancel, parent);
        blockOnlyItsWindow(box, parent);
        return box.exec() == QMessageBox::Ok;
    }
};

MessageBoxPresenter g_messageBoxes;
MessagePresenter *g_presenter = &g_messageBoxes;

} // namespace

QString applicationTitle()
{
    // The executable's base name, as the message boxes have always been captioned.
    const QString path = QCoreApplication::applicationFilePath();
    const QString base = QFileInfo(path).completeBaseName();
    return base.isEmpty() ? QStringLiteral("QN-VIEW") : base;
}

void setMessagePresenter(MessagePresenter *presenter)
{
    g_presenter = presenter ? presenter : &g_messageBoxes;
}

MessagePresenter &messagePresenter() { return *g_presenter; }

} // namespace qn
