#include "pages/qn120page.h"

#include "ui_qn120page.h"

namespace qn {

Qn120Page::Qn120Page(QWidget *parent, DevicePageArgs args) : AnalogOutputPage(parent, Model::QN120, std::move(args))
{
    Ui::Qn120Page form;
    form.setupUi(this);
    bindControls();
}

} // namespace qn
