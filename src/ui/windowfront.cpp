#include "ui/windowfront.h"

#include <QWidget>

namespace qn {

void bringToFront(QWidget *window)
{
    if (!window)
        return;
    window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace qn
