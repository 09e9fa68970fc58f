#pragma once
// Font faces the windows ask for by name, mapped to what this machine has.
#include <QFont>

namespace qn {

// Both lay text out without the shaping engine where its script needs none (figures, Latin,
// Japanese): value displays and the canvas's labels change with every reading, and shaping
// was most of what laying them out cost. Scripts that need shaping still get it.
//
// Stands for "ＭＳ ゴシック": a fixed-pitch face that has Japanese glyphs, so text in
// columns lines up (the device list, the trend canvas). pixelSize <= 0 keeps the default size.
QFont fixedCjkFont(int pixelSize = 0);
// Stands for "Verdana" (legend and value labels of the graph page).
QFont labelFont(int pointSize);

} // namespace qn
