// The QN-210 page's settings buttons: each opens its channel settings dialog and applies
// what the operator confirmed (applySignalName, applyConversion, postThreshold,
// postAdcRate in dlgqn210.h).
//
// While a dialog is open the page counts as busy, so a close of the unit window waits
// until the dialog has returned instead of pulling the page from under it; the close
// also cancels the dialog. The tick is not paused: automatic reading, toggling and
// logging go on while the operator edits a setting; only message boxes pause the page.
#include "pages/dlgqn210.h"

#include "dialogs/ceditadcsps.h"
#include "dialogs/ceditanalogcalc.h"
#include "dialogs/ceditsignalname.h"
#include "dialogs/ceditthreshold.h"
#include "dialogs/dialogrunner.h"

#include <QDialog>
#include <QTimer>

namespace qn {

void DlgQN210::onFormulaButton(int channel)
{
    if (channel < 0 || channel >= kInputs || isClosing())
        return;
    const AiChannel &ch = m_ai[size_t(channel)];
    CEditAnalogCalc dlg(this);
    dlg.factor = ch.a;
    dlg.offset = ch.b;
    dlg.unit = ch.unit;
    // The range the series shows now (for a new unit the input range's default).
    dlg.graphMin = ch.graphMin;
    dlg.graphMax = ch.graphMax;
    dlg.factorLabel = CEditAnalogCalc::InputFactorLabel;
    dlg.resultLabel = CEditAnalogCalc::InputResultLabel;
    dlg.unitLabel = CEditAnalogCalc::InputUnitLabel;
    const bool ok = runSettingsDialog(dlg);
    if (isClosing())
        return;
    if (ok)
        applyConversion(channel, dlg.factor, dlg.offset, dlg.unit, dlg.graphMin, dlg.graphMax);
    RefreshGraph();
}

void DlgQN210::onSignalNameButton(int kind, int channel)
{
    const int channels = kind == kOutputKind ? kOutputs : kInputs;
    if ((kind != kInputKind && kind != kOutputKind) || channel < 0 || channel >= channels || isClosing())
        return;
    CEditSignalName dlg(this);
    dlg.name = signalName(kind, channel).left(CEditSignalName::NameMaxLength);
    if (runSettingsDialog(dlg))
        applySignalName(kind, channel, dlg.name);
}

void DlgQN210::onAdcRateButton()
{
    if (isClosing())
        return;
    CEditADCsps dlg(this);
    dlg.rateIndex = adcRate();
    // OK with no rate chosen (the unit reported a code the list does not have and the
    // operator picked none) leaves the unit as it is.
    if (runSettingsDialog(dlg) && dlg.rateIndex >= 0)
        postAdcRate(dlg.rateIndex);
}

void DlgQN210::onThresholdButton(int channel)
{
    if (channel < 0 || channel >= kInputs || isClosing())
        return;
    const AiChannel &ch = m_ai[size_t(channel)];
    CEditThreshold dlg(this);
    // In V or mA as measured (range 0 in V, not mV), before the conversion formula.
    dlg.low = ai::thresholdLowValue(ch.lowThreshold, ch.range);
    dlg.high = ai::thresholdHighValue(ch.highThreshold, ch.range);
    dlg.ledOutside = ch.ledOutside ? 1 : 0;
    if (runSettingsDialog(dlg))
        postThreshold(channel, dlg.ledOutside != 0, dlg.low, dlg.high);
}

bool DlgQN210::runSettingsDialog(QDialog &dialog)
{
    // A close of the unit window (disconnect, or the program ending) takes the open dialog
    // with it as if cancelled, so the close need not wait for the operator.
    QTimer closeWatch;
    closeWatch.setInterval(50);
    connect(&closeWatch, &QTimer::timeout, &dialog, [this, &dialog] {
        if (isClosing() && dialog.isVisible())
            dialog.reject();
    });
    closeWatch.start();
    int result = QDialog::Rejected;
    {
        BusyScope busy(*this);
        result = runDialog(dialog);
    }
    // Once the page is closing nothing may be posted any more.
    return result == QDialog::Accepted && !isClosing();
}

} // namespace qn
