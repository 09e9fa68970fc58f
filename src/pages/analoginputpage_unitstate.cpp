// The analog-input pages' reads of what the unit holds (outputs, ADC rate, ranges,
// thresholds), at start-up, after a reconnect and in turn while the page is open, and the
// input ranges the operator changes.
#include "pages/analoginputpage.h"

#include "graph/trendcanvas.h"
#include "history/trendseries.h"
#include "ui/showntext.h"

#include "ui_analoginputpage.h"

#include <QStandardItemModel>

#include <algorithm>

namespace qn {

// ---- reads of the unit's state -------------------------------------------------------

void AnalogInputPage::postStartup()
{
    runChain(unitStateReads());
}

std::vector<DevicePage::ReadStep> AnalogInputPage::unitStateReads()
{
    std::vector<ReadStep> steps{outputsRead()};
    for (std::vector<ReadStep> part : {settingSteps(), modelReads()})
        steps.insert(steps.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
    return steps;
}

DevicePage::ReadStep AnalogInputPage::outputsRead()
{
    return [this](const StepDone &done) {
        session()->getDO(completion([this, done](const auto &r) { onGetDO(r, done); }));
    };
}

std::vector<DevicePage::ReadStep> AnalogInputPage::settingSteps()
{
    std::vector<ReadStep> steps{[this](const StepDone &done) {
        session()->getADCsps(completion([this, done](const auto &r) { onGetADCsps(r, done); }));
    }};
    for (int c = 0; c < kInputs; ++c)
        steps.push_back([this, c](const StepDone &done) {
            session()->getAIRange(c, completion([this, done](const auto &r) { onGetAIRange(r, done); }));
        });
    for (int c = 0; c < kInputs; ++c)
        steps.push_back([this, c](const StepDone &done) {
            session()->getADCThreshold(c, completion([this, done](const auto &r) { onGetADCThreshold(r, done); }));
        });
    return steps;
}

void AnalogInputPage::onGetDO(const Result<DigitalOutputs> &result, const StepDone &done)
{
    // A SetDO on its way is newer than what this read found.
    if (result && m_doWritesPending == 0) {
        if (result->pattern == (m_doState[0] | (m_doState[1] << 1)))
            readingArrived({m_lamps[0], m_lamps[1]});
        else
            storeDoPattern(result->pattern);
    }
    done(result.ok());
}

void AnalogInputPage::storeDoPattern(int pattern)
{
    m_doState = {pattern & 1, (pattern >> 1) & 1};
    showLamps();
    readingArrived({m_lamps[0], m_lamps[1]});
}

void AnalogInputPage::onGetADCsps(const Result<AdcRate> &result, const StepDone &done)
{
    if (result)
        m_adcRate = result->code;
    done(result.ok());
}

void AnalogInputPage::onGetAIRange(const Result<InputRange> &result, const StepDone &done)
{
    if (!result || result->channel < 0 || result->channel >= kInputs) {
        done(false);
        return;
    }
    const int channel = result->channel;
    const int range = result->range;
    // Every code the conversion knows is taken, whatever the list offers (a QN-210 input
    // on code 6 reads in °C); a code outside it is no answer.
    if (range < 0 || range > ai::kHighestRange) {
        done(false);
        return;
    }
    // The operator's range on its way is newer than this read.
    if (m_rangeWritesPending[channel] > 0) {
        done(true);
        return;
    }
    AiChannel &ch = m_ai[channel];
    // The same range read again: nothing to show anew.
    if (ch.rangeKnown && range == ch.range) {
        done(true);
        return;
    }
    ch.rangeKnown = true;
    // A range changed elsewhere (or a unit restarted with another): the reading shown
    // and the channel's trace were of the old one.
    const bool changed = range != ch.range;
    if (changed) {
        clearReading(channel);
        if (TrendSeries *s = series(channel))
            s->clear();
    }
    ch.range = range;
    setRangeCombo(channel, range);
    applyRangeToBar(channel);
    if (!ch.scaling.hasOwnRange())
        scaled(channel).useDefaultRange();
    scaled(channel).sendUnit();
    rangeApplied(channel);
    if (changed)
        refreshGraph();
    done(true);
}

void AnalogInputPage::onGetADCThreshold(const Result<Threshold> &result, const StepDone &done)
{
    if (!result || result->channel < 0 || result->channel >= kInputs) {
        done(false);
        return;
    }
    m_ai[result->channel].thresholdMode = result->mode;
    storeThreshold(result->channel, result->outside, result->low, result->high);
    done(true);
}

// ---- input ranges ------------------------------------------------------------------

void AnalogInputPage::setRangeCombo(int channel, int range)
{
    // A code the list has no item for (6 on a QN-210, 7 on either model) shows as one more
    // item with the name of what the unit measures on it, greyed so it cannot be chosen; it
    // goes again once the unit reports a range of the list.
    QComboBox *combo = m_rangeCombos[channel];
    m_settingCombo = true;
    const int offered = int(ai::rangeItems(traits(model()).thermocouple).size());
    while (combo->count() > offered)
        combo->removeItem(combo->count() - 1);
    int index = range;
    if (range >= offered) {
        combo->addItem(shownText(ai::rangeName(range)));
        if (auto *items = qobject_cast<QStandardItemModel *>(combo->model()))
            items->item(offered)->setEnabled(false);
        index = offered;
    }
    combo->setCurrentIndex(index);
    m_settingCombo = false;
}

void AnalogInputPage::changeRange(int channel, int range)
{
    const bool ok = askPaused([] { return tr("設定を変更すると、換算式と単位の設定も初期化されます。よろしいですか？"); });
    if (isClosing())
        return;
    if (!ok) {
        setRangeCombo(channel, m_ai[channel].range);
        return;
    }
    setRangeCombo(channel, range);
    if (session()->setAIRange(channel, range,
                              completion([this, channel](const auto &r) { onSetAIRange(channel, r); })))
        ++m_rangeWritesPending[channel];
}

void AnalogInputPage::onSetAIRange(int channel, const Result<InputRange> &result)
{
    if (channel < 0 || channel >= kInputs)
        return;
    m_rangeWritesPending[channel] = std::max(m_rangeWritesPending[channel] - 1, 0);
    if (!result) {
        setRangeCombo(channel, m_ai[channel].range);
        showTimeoutMessage();
        return;
    }
    const int range = result->range;
    AiChannel &ch = m_ai[channel];
    ch.range = range;
    setRangeCombo(channel, range);
    applyRangeToBar(channel);
    clearReading(channel);
    const ScaledChannel scaling = scaled(channel);
    scaling.reset();
    scaling.sendUnit();
    scaling.useDefaultRange();
    scaling.save();
    if (TrendSeries *s = series(channel))
        s->clear();
    rangeApplied(channel);
    refreshGraph();
}

} // namespace qn
