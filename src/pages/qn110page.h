#pragma once
// The control page of a QN-110 unit: analog outputs AO1 and AO2, digital inputs DI1-DI3.
// All of its behaviour is the analog-output page's; this class brings the form.
#include "pages/analogoutputpage.h"

namespace qn {

class Qn110Page final : public AnalogOutputPage {
    Q_OBJECT
public:
    Qn110Page(QWidget *parent, DevicePageArgs args);
};

} // namespace qn
