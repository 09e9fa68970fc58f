#include "pages/devicepages.h"

#include "pages/qn110page.h"
#include "pages/qn120page.h"
#include "pages/qn210page.h"

namespace qn {

DevicePage *createDevicePage(int modelIndex, QWidget *parent, const DevicePageArgs &args)
{
    switch (modelIndex) {
    case 0:
    // The QN-220 answers every QN-210 request alike; its own page adds the thermocouple
    // and DO alert controls on top of this one.
    case 1:
        return new Qn210Page(parent, modelIndex, args);
    case 2:
        return new Qn110Page(parent, args);
    case 3:
        return new Qn120Page(parent, args);
    default:
        return nullptr;
    }
}

} // namespace qn
