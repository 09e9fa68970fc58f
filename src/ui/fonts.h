#pragma once
// Font faces the windows ask for by name, mapped to what this machine has.
#include <QFont>

namespace qn {

// Stands for "ＭＳ ゴシック": a fixed-pitch face that has Japanese glyphs, so text in
// columns lines up (the device list, the trend canvas). pixelSize <= 0 keeps the default size.
QFont fixedCjkFont(int pixelSize = 0);
// Stands for "Verdana" (legend and value labels of the graph page).
QFont labelFont(int pointSize);

} // namespace qn
