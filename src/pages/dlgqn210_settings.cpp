// The QN-210 page's settings buttons: each opens its channel settings dialog and applies
// what the operator confirmed (applySignalName, applyConversion, postThreshold,
// postAdcRate in dlgqn210.h). Hold a DevicePage::ModalScope around every dialog so the
// tick pauses and a disconnect waits for the dialog to close.
#include "pages/dlgqn210.h"

namespace qn {

void DlgQN210::onFormulaButton(int channel)
{
    Q_UNUSED(channel);
}

void DlgQN210::onSignalNameButton(int kind, int channel)
{
    Q_UNUSED(kind);
    Q_UNUSED(channel);
}

void DlgQN210::onAdcRateButton()
{
}

void DlgQN210::onThresholdButton(int channel)
{
    Q_UNUSED(channel);
}

} // namespace qn
