#pragma once
// Enter and Escape never close or confirm the main dialog, a unit window, a control page
// or the graph page: their key presses stop at these windows. One rule for all of them.
#include <QEvent>
#include <QKeyEvent>

namespace qn {

inline bool isEnterOrEscape(const QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<const QKeyEvent *>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

// For keyPressEvent: accepts an Enter or Escape and says so; anything else goes on to the
// base class.
inline bool swallowEnterOrEscape(QKeyEvent *event)
{
    if (!isEnterOrEscape(event))
        return false;
    event->accept();
    return true;
}

} // namespace qn
