#include "pages/qn210page.h"

namespace qn {

Qn210Page::Qn210Page(QWidget *parent, DevicePageArgs args) : AnalogInputPage(parent, Model::QN210, std::move(args))
{
}

} // namespace qn
