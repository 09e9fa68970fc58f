// The analog outputs' sweep: its step on the page's tick, the "SWEEP" button (which
// stays down while its channel sweeps), its settings, and its stop after a failure.
#include "pages/analogoutputpage.h"

#include "dialogs/sweepdialog.h"
#include "model/outputmode.h"
#include "pages/outputchannelrow.h"

#include <QLineEdit>

namespace qn {

namespace {

QString fromStd(const std::string &text) { return QString::fromStdString(text); }

} // namespace

void AnalogOutputPage::runSweepStep(int channel)
{
    AoChannel &ch = m_ao[channel];
    const SweepStep step = sweepStep(ch.sweep, ch.sweepStart, m_clock());
    ch.sweepStart = step.cycleStart;
    // Skipped while the previous step is still on its way: a slow unit would otherwise
    // queue steps without end and the output would lag ever further behind.
    if (!step.value || ch.writesPending > 0)
        return;
    m_aoControls[channel].valueEdit->setText(fromStd(ao::valueText(ch.mode, *step.value)));
    sendValue(channel);
}

void AnalogOutputPage::toggleSweep(int channel)
{
    if (!validChannel(channel) || isClosing())
        return;
    AoChannel &ch = m_ao[channel];
    if (!ch.sweeping) {
        ch.sweeping = true;
        ch.sweepStart = m_clock();
        setControlState(channel, ControlState::Sweeping);
        return;
    }
    ch.sweeping = false;
    setControlState(channel, ControlState::Off);
    toggleOutput(channel);
    // Switched off, the edit shows what an output of 0 reads as through the formula, so
    // the next ON/OFF starts from there; switched on, it keeps the value just sent.
    if (!ch.outputOn)
        m_aoControls[channel].valueEdit->setText(fromStd(ao::valueText(ch.mode, ch.scaling.offset)));
}

void AnalogOutputPage::stopSweepsAfterFailure()
{
    // Stopped, each channel shows the output the unit last confirmed, in control state 0
    // whether or not that output is still on ("換算式", "V/I" and the graph's Scale enabled;
    // ON/OFF switches an output still on off). A step still on its way settles its channel
    // the same way when it comes back.
    for (int c = 0; c < outputs(); ++c) {
        AoChannel &ch = m_ao[c];
        if (!ch.sweeping)
            continue;
        ch.sweeping = false;
        ch.stoppedByFailure = true;
        if (ch.writesPending == 0)
            settleStoppedSweep(c);
        else
            setControlState(c, ControlState::Off);
    }
    if (m_diAuto.isOn())
        m_diAuto.set(false);
}

void AnalogOutputPage::onSweepSettingsButton(int channel)
{
    if (!validChannel(channel) || isClosing())
        return;
    const AoChannel &ch = m_ao[channel];
    SweepDialog dlg(ch.sweep, fromStd(std::string(ao::unitName(ch.mode))), this);
    if (runSettingsDialog(dlg))
        m_ao[channel].sweep = dlg.settings();
}

} // namespace qn
