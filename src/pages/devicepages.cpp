#include "pages/devicepages.h"

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
    case Model::QN120:
        return nullptr;
    }
    return nullptr;
}

} // namespace qn
