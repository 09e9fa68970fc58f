#include "ui/elidedtext.h"

#include "ui/accessibility.h"

#include <QEvent>
#include <QLabel>
#include <QVariant>

#include <algorithm>

namespace qn {
namespace {

const char kFullText[] = "qnFullText";
const char kShownText[] = "qnElidedText";

// Cuts the text again when the label's room changes; one per label, owned by it.
class ElideOnResize final : public QObject {
public:
    explicit ElideOnResize(QLabel *label) : QObject(label) { label->installEventFilter(this); }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Resize || event->type() == QEvent::FontChange)
            showElided(static_cast<QLabel *>(watched), fullText(static_cast<QLabel *>(watched)));
        return false;
    }
    static void showElided(QLabel *label, const QString &whole)
    {
        label->setProperty(kFullText, whole);
        label->setAccessibleDescription(whole);
        int room = label->contentsRect().width() - 2 * label->margin();
        // A framed label indents its text by half an "x" when no indent is set.
        if (label->indent() < 0 && label->frameWidth() > 0)
            room -= label->fontMetrics().horizontalAdvance(QLatin1Char('x')) / 2;
        else if (label->indent() > 0)
            room -= label->indent();
        const QString shown = label->fontMetrics().elidedText(whole, Qt::ElideRight, std::max(0, room));
        if (label->text() != shown)
            label->setText(shown);
        label->setProperty(kShownText, shown);
        label->setToolTip(shown == whole ? QString() : whole);
    }
};

} // namespace

void setElidedText(QLabel *label, const QString &text)
{
    if (!label->property(kFullText).isValid())
        new ElideOnResize(label);
    const QString old = accessibleValueText(label);
    ElideOnResize::showElided(label, text);
    if (old != text)
        announceValueChange(label, old);
}

QString fullText(const QLabel *label)
{
    // A text set on the label directly since (setText) is what it shows, whole.
    const QVariant whole = label->property(kFullText);
    return whole.isValid() && label->property(kShownText).toString() == label->text() ? whole.toString()
                                                                                       : label->text();
}

} // namespace qn
