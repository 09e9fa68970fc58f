#pragma once
// A QN-120 unit's control page. Three analog outputs (AO1-AO3) and two digital inputs
// (DI1, DI2); the form differs from the QN-110's, the logic is the same one.
#include "pages/analogoutputpage.h"

namespace qn {

class Qn120Page final : public AnalogOutputPage {
    Q_OBJECT
public:
    Qn120Page(QWidget *parent, DevicePageArgs args);
};

} // namespace qn
