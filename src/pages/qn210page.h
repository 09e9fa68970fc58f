#pragma once
// The control page of a QN-210 unit: the analog-input page as it is.
#include "pages/analoginputpage.h"

namespace qn {

class Qn210Page final : public AnalogInputPage {
    Q_OBJECT
public:
    Qn210Page(QWidget *parent, DevicePageArgs args);
};

} // namespace qn
