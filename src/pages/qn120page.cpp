#include "pages/qn120page.h"

#include <memory>

#include "ui_qn120page.h"

namespace qn {

Qn120Page::Qn120Page(QWidget *parent, DevicePageArgs args) : AnalogOutputPage(parent, Model::QN120, std::move(args))
{
    auto form = std::make_shared<Ui::Qn120Page>();
    form->setupUi(this);
    bindControls([form](QWidget *page) { form->retranslateUi(page); });
}

} // namespace qn
