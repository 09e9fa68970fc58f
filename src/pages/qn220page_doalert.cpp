// The "設定" button of a QN-220 output's DO alert: the place where the DO alert dialog
// opens. It gets the output's alert (doAlert) and, for the three inputs, their LED
// thresholds and ranges (aiChannel); after OK it hands the result to postDoAlert, which
// sends SetDOAlert and then the monitored input's SetADCThreshold.
#include "pages/qn220page.h"

namespace qn {

void Qn220Page::openDoAlertDialog(int output)
{
    // No DO alert dialog in this build yet: the button does nothing.
    (void)output;
}

} // namespace qn
