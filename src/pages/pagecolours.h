#pragma once
// The colours every page lights its lamps and threshold bars in.
#include <QColor>
#include <QPalette>
#include <QWidget>

namespace qn {

inline const QColor kLampOn(255, 0, 0);
inline const QColor kLampOff(0, 0, 0);
inline const QColor kBarLit(255, 0, 0);
inline const QColor kBarUnlit(0, 0, 255);
// A lamp or bar whose state is no longer current (the unit stopped answering): the page
// disables it and it shows neither on nor off.
inline const QColor kStale(170, 170, 170);

// Lights role of a lamp or bar in colour; disabled, it shows the stale grey instead.
inline void paintLit(QWidget *widget, QPalette::ColorRole role, const QColor &colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Active, role, colour);
    palette.setColor(QPalette::Inactive, role, colour);
    palette.setColor(QPalette::Disabled, role, kStale);
    widget->setPalette(palette);
}

} // namespace qn
