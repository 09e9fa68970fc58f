#pragma once
// GUI thread.
class QWidget;

namespace qn {

// Shows window in front of the others, restored if it was minimised, with the keyboard.
void bringToFront(QWidget *window);

} // namespace qn
