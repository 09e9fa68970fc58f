#include "pages/channelscaling.h"

#include "graph/graphtab.h"
#include "graph/trendcanvas.h"
#include "pages/devicepage.h"

namespace qn {

void ScaledChannel::takeOwnRange(double min, double max) const
{
    scaling.graphMin = scaling.savedGraphMin = min;
    scaling.graphMax = scaling.savedGraphMax = max;
    if (TrendSeries *s = page.series(channel))
        s->setRange(scaling.graphMin, scaling.graphMax);
}

void ScaledChannel::load() const
{
    const ChannelSettings saved = unitSettings().getConversion(settingsCode, page.unitId(), kind, channel);
    scaling.factor = saved.a;
    scaling.offset = saved.b;
    scaling.unit = saved.unitText;
    if (saved.graphMax > saved.graphMin)
        takeOwnRange(saved.graphMin, saved.graphMax);
}

void ScaledChannel::useDefaultRange() const
{
    takeOwnRange(defaultRange.min, defaultRange.max);
    scaling.savedGraphMin = 0.0;
    scaling.savedGraphMax = 0.0;
}

void ScaledChannel::apply(const Formula &formula) const
{
    scaling.factor = formula.factor;
    scaling.offset = formula.offset;
    scaling.unit = formula.unit;
    if (formula.graphMax > formula.graphMin) {
        takeOwnRange(formula.graphMin, formula.graphMax);
    } else {
        page.showPausedMessage(DevicePage::invalidGraphRangeMessage);
        useDefaultRange();
    }
    save();
}

void ScaledChannel::reset() const
{
    scaling.factor = 1.0;
    scaling.offset = 0.0;
    scaling.unit.clear();
}

void ScaledChannel::save() const
{
    unitSettings().setConversion(settingsCode, page.unitId(), kind, channel, scaling.factor, scaling.offset,
                                 scaling.unit, scaling.savedGraphMin, scaling.savedGraphMax);
}

void ScaledChannel::sendUnit() const
{
    if (GraphTab *tab = page.graphTab())
        tab->setChannelUnit(channel, rangeCode, scaling.factor, scaling.offset, scaling.unit);
}

std::optional<Formula> ScaledChannel::ask(FormulaDialog::Side side) const
{
    FormulaDialog dialog(scaling.formula(), side, &page);
    if (!page.runSettingsDialog(dialog))
        return std::nullopt;
    return dialog.formula();
}

} // namespace qn
