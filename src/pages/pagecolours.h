#pragma once
// The colours every page lights its lamps and threshold bars in.
#include <QColor>

namespace qn {

inline const QColor kLampOn(255, 0, 0);
inline const QColor kLampOff(0, 0, 0);
inline const QColor kBarLit(255, 0, 0);
inline const QColor kBarUnlit(0, 0, 255);

} // namespace qn
