#include "pages/qn110page.h"

#include "ui_qn110page.h"

namespace qn {

Qn110Page::Qn110Page(QWidget *parent, DevicePageArgs args) : AnalogOutputPage(parent, Model::QN110, std::move(args))
{
    // The form's widgets belong to the page; the page finds them again by name.
    Ui::Qn110Page().setupUi(this);
    bindControls();
}

} // namespace qn
