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
    DoAlertInputs inputs;
    for (int c = 0; c < kInputs; ++c) {
        const AiChannel &ch = aiChannel(c);
        inputs[size_t(c)] = {ch.ledOutside ? 1 : 0, ch.highThreshold, ch.lowThreshold, ch.range};
    }
    DoAlertChoice shown;
    shown.monitoredInput = now.monitoredInput;
    shown.hysteresisWidth = now.hysteresis;
    shown.hysteresisDirection = now.direction;
    DoAlertDialog dlg(shown, inputs, this);
    if (!runSettingsDialog(dlg))
        return;
    const DoAlertChoice chosen = dlg.choice();
    // The alert's own enabled state is not the dialog's: it stays as its check box has it.
    DoAlert alert = now;
    alert.monitoredInput = chosen.monitoredInput;
    alert.hysteresis = chosen.hysteresisWidth;
    alert.direction = chosen.hysteresisDirection;
    postDoAlert(output, alert, chosen.ledCondition != 0, chosen.lowCode, chosen.highCode);
}

} // namespace qn
