#include "pages/devicepages.h"

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
    default:
        return nullptr;
    }
}

} // namespace qn
