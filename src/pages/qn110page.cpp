#include "pages/qn110page.h"

#include <memory>

#include "ui_qn110page.h"

namespace qn {

Qn110Page::Qn110Page(QWidget *parent, DevicePageArgs args) : AnalogOutputPage(parent, Model::QN110, std::move(args))
{
    // The form's widgets belong to the page; the page finds them again by name.
    auto form = std::make_shared<Ui::Qn110Page>();
    form->setupUi(this);
    bindControls([form](QWidget *page) { form->retranslateUi(page); });
}

} // namespace qn
