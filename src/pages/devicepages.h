#pragma once
// The control page of a model. GUI thread only.
#include "pages/devicepage.h"

namespace qn {

// A new, not yet initialised page for the model, or nullptr for a model without one.
// The caller calls initialise() once the page is placed.
DevicePage *createDevicePage(Model model, QWidget *parent, const DevicePageArgs &args);

} // namespace qn
