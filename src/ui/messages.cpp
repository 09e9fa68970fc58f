#include "ui/messages.h"

#include <QApplication>
#include <QEvent>
#include <QMessageBox>
#include <QPointer>

#include <memory>
#include <utility>

namespace qn {
namespace {

constexpr const char *kSourceNameProperty = "qnMessageSourceName";

// A box that speaks the language of the moment: its text is made again and its caption
// and buttons renewed when the language changes while it is up.
class MessageBox final : public QMessageBox {
public:
    MessageBox(Icon icon, QWidget *parent, MessageText text, StandardButtons buttons)
        : QMessageBox(icon, messageTitle(parent), text.text(), buttons, parent), m_text(std::move(text))
    {
    }

protected:
    void changeEvent(QEvent *event) override
    {
        if (event->type() == QEvent::LanguageChange) {
            setText(m_text.text());
            setWindowTitle(messageTitle(parentWidget()));
        }
        QMessageBox::changeEvent(event);
    }

private:
    MessageText m_text;
};

// Every message the program informs of is a problem the operator has to know about
// (a time-out, a refused entry, a file that cannot be written); questions ask.
QMessageBox *makeBox(QMessageBox::Icon icon, QWidget *parent, const MessageText &text,
                     QMessageBox::StandardButtons buttons)
{
    return new MessageBox(icon, parent, text, buttons);
}

// A message of one unit's window blocks that window only: the main window and the
// other units' windows stay usable, as a message box owned by one window does.
void blockOnlyItsWindow(QMessageBox &box, QWidget *parent)
{
    if (parent)
        box.setWindowModality(Qt::WindowModal);
}

class MessageBoxPresenter final : public MessagePresenter {
public:
    void inform(QWidget *parent, const MessageText &text) override
    {
        const std::unique_ptr<QMessageBox> box(makeBox(QMessageBox::Warning, parent, text, QMessageBox::Ok));
        blockOnlyItsWindow(*box, parent);
        box->exec();
    }
    bool confirm(QWidget *parent, const MessageText &text) override
    {
        const std::unique_ptr<QMessageBox> box(
            makeBox(QMessageBox::Question, parent, text, QMessageBox::Ok | QMessageBox::Cancel));
        blockOnlyItsWindow(*box, parent);
        return box->exec() == QMessageBox::Ok;
    }
    void informAsync(QWidget *parent, const MessageText &text, std::function<void()> dismissed) override
    {
        QMessageBox *box = makeBox(QMessageBox::Warning, parent, text, QMessageBox::Ok);
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
    return QStringLiteral("QN-VIEW");
}

void setMessageSourceName(QWidget *window, const QString &unitName)
{
    window->setProperty(kSourceNameProperty, unitName);
}

QString messageTitle(const QWidget *parent)
{
    // Up through the parents, dialogs included: a dialog opened from a unit's window
    // belongs to that unit too.
    for (const QWidget *w = parent; w; w = w->parentWidget()) {
        const QString name = w->property(kSourceNameProperty).toString();
        if (!name.isEmpty())
            return applicationTitle() + QStringLiteral(" - ") + name;
    }
    return applicationTitle();
}

void setMessagePresenter(MessagePresenter *presenter)
{
    g_presenter = presenter ? presenter : &g_messageBoxes;
}

MessagePresenter &messagePresenter() { return *g_presenter; }

} // namespace qn
