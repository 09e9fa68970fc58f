#include "ui/messages.h"

#include <QApplication>
#include <QFileInfo>
#include <QMessageBox>
#include <QPointer>

#include <memory>
#include <utility>

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
    void informAsync(QWidget *parent, const QString &text, std::function<void()> dismissed) override
    {
        auto *box = new QMessageBox(QMessageBox::NoIcon, applicationTitle(), text, QMessageBox::Ok, parent);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setProperty(kAsyncProperty, true);
        blockOnlyItsWindow(*box, parent);
        // Answered or destroyed unanswered (its window went): either way exactly once.
        auto once = std::make_shared<std::function<void()>>(std::move(dismissed));
        const auto fire = [once] {
            if (std::function<void()> f = std::exchange(*once, nullptr))
                f();
        };
        QObject::connect(box, &QDialog::finished, box, fire);
        QObject::connect(box, &QObject::destroyed, fire);
        box->open();
    }
    void closeAsync(QWidget *parent) override
    {
        if (!parent)
            return;
        const auto boxes = parent->findChildren<QMessageBox *>(Qt::FindDirectChildrenOnly);
        for (QMessageBox *box : boxes) {
            if (box->property(kAsyncProperty).toBool())
                delete box;
        }
    }

private:
    static constexpr const char *kAsyncProperty = "qnAsyncMessage";
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
