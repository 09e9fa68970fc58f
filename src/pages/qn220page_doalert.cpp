// The "設定" button of a QN-220 output's DO alert: the DO alert dialog with the output's
// alert and, for the three inputs, their LED thresholds and ranges. After OK postDoAlert
// sends SetDOAlert and then the monitored input's SetADCThreshold.
#include "pages/qn220page.h"

#include "dialogs/doalertdialog.h"

namespace qn {

void Qn220Page::openDoAlertDialog(int output)
{
    if (output < 0 || output >= kOutputs || isClosing())
        return;
    const DoAlert &now = m_alert[size_t(output)];
    DoAlertDialog dlg(this);
    dlg.monitoredInput = now.monitoredInput;
    dlg.hysteresisWidth = now.hysteresis;
    dlg.hysteresisDirection = now.direction;
    for (int c = 0; c < kInputs; ++c) {
        const AiChannel &ch = aiChannel(c);
        dlg.inputs[size_t(c)] = {ch.ledOutside ? 1 : 0, ch.highThreshold, ch.lowThreshold, ch.range};
    }
    if (!runSettingsDialog(dlg))
        return;
    // The alert's own enabled state is not the dialog's: it stays as its check box has it.
    DoAlert alert = now;
    alert.monitoredInput = dlg.monitoredInput;
    alert.hysteresis = dlg.hysteresisWidth;
    alert.direction = dlg.hysteresisDirection;
    postDoAlert(output, alert, dlg.ledCondition != 0, dlg.lowCode, dlg.highCode);
}

} // namespace qn
