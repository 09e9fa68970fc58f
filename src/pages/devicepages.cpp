#include "pages/devicepages.h"

#include "pages/qn110page.h"
#include "pages/qn120page.h"
#include "pages/qn210page.h"
#include "pages/qn220page.h"

namespace qn {

DevicePage *createDevicePage(Model model, QWidget *parent, const DevicePageArgs &args)
{
    switch (model) {
    case Model::QN210:
        return new Qn210Page(parent, args);
    case Model::QN220:
        return new Qn220Page(parent, args);
    case Model::QN110:
        return new Qn110Page(parent, args);
    case Model::QN120:
        return new Qn120Page(parent, args);
    }
    return nullptr;
}

} // namespace qn
