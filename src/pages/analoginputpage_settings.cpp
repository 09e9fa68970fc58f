// The analog-input pages' settings buttons: each opens its channel settings dialog and
// applies what the operator confirmed (applySignalName, applyConversion, postThreshold,
// postAdcRate in analoginputpage.h).
//
// While a dialog is open the page counts as busy, so a close of the unit window waits
// until the dialog has returned instead of pulling the page from under it; the close
// also cancels the dialog. The tick is not paused: automatic reading, toggling and
// logging go on while the operator edits a setting; only message boxes pause the page.
#include "pages/analoginputpage.h"

#include "dialogs/adcratedialog.h"
#include "dialogs/formuladialog.h"
#include "dialogs/thresholddialog.h"

namespace qn {

void AnalogInputPage::onFormulaButton(int channel)
{
    if (channel < 0 || channel >= kInputs || isClosing())
        return;
    const std::optional<Formula> formula = scaled(channel).ask(FormulaDialog::Side::Input);
    if (isClosing())
        return;
    if (formula)
        applyConversion(channel, *formula);
    refreshGraph();
}

void AnalogInputPage::onSignalNameButton(RecordKind kind, int channel)
{
    const int channels = kind == kOutputKind ? kOutputs : kInputs;
    if ((kind != kInputKind && kind != kOutputKind) || channel < 0 || channel >= channels || isClosing())
        return;
    if (const std::optional<QString> name = askSignalName(signalName(kind, channel)))
        applySignalName(kind, channel, *name);
}

void AnalogInputPage::onAdcRateButton()
{
    if (isClosing())
        return;
    AdcRateDialog dlg(adcRate(), this);
    // OK with no rate chosen (the unit reported a code the list does not have and the
    // operator picked none) leaves the unit as it is.
    if (runSettingsDialog(dlg) && dlg.rateCode() >= 0)
        postAdcRate(dlg.rateCode());
}

void AnalogInputPage::onThresholdButton(int channel)
{
    if (channel < 0 || channel >= kInputs || isClosing())
        return;
    const AiChannel &ch = m_ai[size_t(channel)];
    // In V or mA as measured (range 0 in V, not mV), before the conversion formula.
    ThresholdDialog dlg({ai::thresholdLowValue(ch.lowThreshold, ch.range),
                         ai::thresholdHighValue(ch.highThreshold, ch.range), ch.ledOutside},
                        this);
    if (runSettingsDialog(dlg)) {
        const LedThresholds set = dlg.thresholds();
        postThreshold(channel, set.ledOutside, set.low, set.high);
    }
}

// ---- what the dialogs apply ------------------------------------------------------

void AnalogInputPage::applyConversion(int channel, const Formula &formula)
{
    if (channel < 0 || channel >= kInputs)
        return;
    const ScaledChannel scaling = scaled(channel);
    scaling.apply(formula);
    scaling.sendUnit();
    updateConvertedText(channel);
    updateBarColour(channel);
}

void AnalogInputPage::postThreshold(int channel, bool ledOutside, double lowValue, double highValue)
{
    if (channel < 0 || channel >= kInputs)
        return;
    const AiChannel &ch = m_ai[channel];
    postThresholdCodes(channel, ledOutside, ai::thresholdCode(lowValue, ch.range),
                       ai::thresholdCode(highValue, ch.range));
}

void AnalogInputPage::postThresholdCodes(int channel, bool ledOutside, int lowCode, int highCode)
{
    if (channel < 0 || channel >= kInputs)
        return;
    session()->setADCThreshold(channel, ledOutside ? 1 : 0, m_ai[channel].thresholdMode, highCode, lowCode,
                               completion([this](const auto &r) { onSetADCThreshold(r); }));
}

void AnalogInputPage::onSetADCThreshold(const Result<Threshold> &result)
{
    if (!result || result->channel < 0 || result->channel >= kInputs) {
        showTimeoutMessage();
        return;
    }
    storeThreshold(result->channel, result->outside, result->low, result->high);
}

void AnalogInputPage::storeThreshold(int channel, int outside, int low, int high)
{
    AiChannel &ch = m_ai[channel];
    ch.ledOutside = outside != 0;
    ch.lowThreshold = low;
    ch.highThreshold = high;
    updateBarColour(channel);
}

void AnalogInputPage::postAdcRate(int code)
{
    session()->setADCsps(code, completion([this](const auto &r) { onSetADCsps(r); }));
}

void AnalogInputPage::onSetADCsps(const Result<AdcRate> &result)
{
    if (!result) {
        showTimeoutMessage();
        return;
    }
    m_adcRate = result->code;
}

} // namespace qn
