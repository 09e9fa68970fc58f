// The analog-output pages' reads of what the unit holds (each output's mode and value,
// its thresholds), at start-up, after a reconnect and in turn while the page is open.
#include "pages/analogoutputpage.h"

#include "graph/trendcanvas.h"
#include "history/trendseries.h"
#include "model/outputmode.h"

#include <QLineEdit>

#include <optional>

namespace qn {

namespace {

QString fromStd(const std::string &text) { return QString::fromStdString(text); }

} // namespace

void AnalogOutputPage::readUnitState()
{
    // Each output's state, then each output's thresholds; the inputs' start-up reading
    // goes out after the first step, outside the chain.
    runChain(unitStateReads());
    if (session()->getDI(kStartupRead, completion([this](const auto &r) { onGetDI(r); })))
        ++m_diReadsPending;
}

std::vector<DevicePage::ReadStep> AnalogOutputPage::unitStateReads()
{
    std::vector<ReadStep> steps;
    for (int c = 0; c < outputs(); ++c)
        steps.push_back([this, c](const StepDone &done) {
            session()->getAO(c, completion([this, done](const auto &r) { onGetAO(r, done); }));
        });
    for (int c = 0; c < outputs(); ++c)
        steps.push_back([this, c](const StepDone &done) {
            session()->getADCThreshold(c, completion([this, done](const auto &r) { onGetADCThreshold(r, done); }));
        });
    return steps;
}

void AnalogOutputPage::onGetAO(const Result<AnalogOutput> &result, const StepDone &done)
{
    if (!result || !validChannel(result->channel)) {
        done(false);
        return;
    }
    const int channel = result->channel;
    AoChannel &ch = m_ao[channel];
    // Read again while the operator sets the output (or sweeps it): what the operator
    // sent is newer than this reading.
    if (ch.sweeping || ch.writesPending > 0) {
        done(true);
        return;
    }
    const int raw = ao::signExtend16(result->raw);
    // Nothing changed on the unit: the page stays as the operator left it (an output on
    // in control state 0 after a failed sweep, say).
    if (ch.known && result->mode == ch.mode && raw == ch.confirmedRaw && ch.raw == raw) {
        outputConfirmed(channel); // what it shows is current
        done(true);
        return;
    }
    // Another mode (set elsewhere, or a unit restarted): the trace and the graph range
    // were of the old one, as after a change with "V/I".
    const bool modeChanged = ch.known && result->mode != ch.mode;
    ch.known = true;
    ch.mode = result->mode;
    ch.confirmedRaw = raw;
    // A value the operator is typing (not yet sent with "更新") stays in the edit.
    QLineEdit *edit = m_aoControls[channel].valueEdit;
    const std::optional<QString> typed =
        ch.state == ControlState::Edited ? std::optional<QString>(edit->text()) : std::nullopt;
    showConfirmed(channel);
    if (typed)
        edit->setText(*typed);
    if (modeChanged) {
        if (TrendSeries *s = series(channel))
            s->clear();
        scaled(channel).useDefaultRange();
    } else if (!ch.scaling.hasOwnRange()) {
        scaled(channel).useDefaultRange();
    }
    scaled(channel).sendUnit();
    outputConfirmed(channel);
    if (modeChanged)
        refreshGraph();
    done(true);
}

void AnalogOutputPage::onGetADCThreshold(const Result<Threshold> &result, const StepDone &done)
{
    if (!result || !validChannel(result->channel)) {
        done(false);
        return;
    }
    AoChannel &ch = m_ao[result->channel];
    const bool same = ch.ledOutside == (result->outside != 0) && ch.thresholdMode == result->mode
        && ch.thresholdLow == result->low && ch.thresholdHigh == result->high;
    ch.ledOutside = result->outside != 0;
    ch.thresholdMode = result->mode;
    ch.thresholdLow = result->low;
    ch.thresholdHigh = result->high;
    if (!same)
        updateBar(result->channel);
    done(true);
}

void AnalogOutputPage::showConfirmed(int channel)
{
    // The edit shows the unit's output through the channel's formula, as everything
    // else on the page reads the edit as a converted value.
    AoChannel &ch = m_ao[channel];
    ch.raw = ch.confirmedRaw;
    ch.outputOn = ch.raw != 0;
    ch.value = ao::physicalFromRaw(ch.mode, ch.raw) * ch.scaling.factor + ch.scaling.offset;
    m_aoControls[channel].valueEdit->setText(fromStd(ao::valueText(ch.mode, ch.value)));
    showOutput(channel);
    setControlState(channel, ch.outputOn ? ControlState::On : ControlState::Off);
}

} // namespace qn
