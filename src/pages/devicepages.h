#pragma once
// The control page of a model, by model index (0 = QN-210, 1 = QN-220, 2 = QN-110,
// 3 = QN-120). GUI thread only.
#include "pages/devicepage.h"

namespace qn {

// A new, not yet initialised page for the model, or nullptr for a model without one.
// The caller calls initialise() once the page is placed.
DevicePage *createDevicePage(int modelIndex, QWidget *parent, const DevicePageArgs &args);

} // namespace qn
