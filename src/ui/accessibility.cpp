#include "ui/accessibility.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>
#include <QVariant>

namespace qn {
namespace {

const char kValueDisplay[] = "qnValueDisplay";
const char kStateWords[] = "qnAccessibleState";
const char kFromAccessibleName[] = "qnLabelFromAccessibleName";

// A label read as a value: name says what, value and text say what it shows now.
class ValueDisplayAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit ValueDisplayAccessible(QLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            const QString name = widget()->accessibleName();
            return name.isEmpty() ? value() : name;
        }
        case QAccessible::Value:
            return value();
        default:
            return QAccessibleWidget::text(t);
        }
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }
    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    // QAccessibleTextInterface: the shown value as read-only text, nothing selectable.
    void selection(int, int *startOffset, int *endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QString text(int startOffset, int endOffset) const override
    {
        return value().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(value().size()); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint &) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int *startOffset, int *endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

private:
    QString value() const { return accessibleValueText(static_cast<const QLabel *>(object())); }
};

QAccessibleInterface *valueDisplayFactory(const QString &, QObject *object)
{
    auto *label = qobject_cast<QLabel *>(object);
    if (label && label->property(kValueDisplay).toBool())
        return new ValueDisplayAccessible(label);
    return nullptr;
}

void installFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(valueDisplayFactory);
        return true;
    }();
    (void)installed;
}

void announceChange(QLabel *label, const QString &oldValue)
{
    if (!QAccessible::isActive()) // no assistive tool listens
        return;
    const QString newValue = accessibleValueText(label);
    QAccessibleValueChangeEvent valueChanged(label, newValue);
    QAccessible::updateAccessibility(&valueChanged);
    QAccessibleTextUpdateEvent textChanged(label, 0, oldValue, newValue);
    QAccessible::updateAccessibility(&textChanged);
}

} // namespace

void exposeAsValueDisplay(QLabel *label, const QString &name)
{
    installFactoryOnce();
    label->setProperty(kValueDisplay, true);
    if (!name.isEmpty())
        label->setAccessibleName(name);
    // A form that names the label has had Qt build (and keep) its plain interface
    // already, to announce the name: drop it, so the next question gets this one.
    QAccessibleInterface *current = QAccessible::queryAccessibleInterface(label);
    if (current && !dynamic_cast<ValueDisplayAccessible *>(current))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(current));
}

void setDisplayText(QLabel *label, const QString &text)
{
    if (label->text() == text)
        return;
    if (!QAccessible::isActive()) { // no assistive tool listens: nothing to announce
        label->setText(text);
        return;
    }
    const QString old = accessibleValueText(label);
    label->setText(text);
    if (accessibleValueText(label) != old)
        announceChange(label, old);
}

void setAccessibleState(QLabel *display, const QString &words)
{
    const QString old = accessibleValueText(display);
    display->setProperty(kStateWords, words);
    if (words != old)
        announceChange(display, old);
}

QString accessibleValueText(const QLabel *display)
{
    const QVariant words = display->property(kStateWords);
    return words.isValid() ? words.toString() : display->text();
}

QLabel *linkAccessibleLabel(QWidget *control, const QString &text)
{
    QWidget *parent = control->parentWidget();
    auto *label = new QLabel(text.isEmpty() ? control->accessibleName() : text, parent);
    label->setObjectName(control->objectName() + QStringLiteral("AccessibleLabel"));
    label->setProperty(kFromAccessibleName, text.isEmpty());
    label->setBuddy(control);
    label->hide();
    return label;
}

void renameAccessibleLabels(QWidget *root)
{
    for (QLabel *label : root->findChildren<QLabel *>()) {
        if (label->property(kFromAccessibleName).toBool() && label->buddy())
            label->setText(label->buddy()->accessibleName());
    }
}

} // namespace qn
