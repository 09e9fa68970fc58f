#include "unit/reading.h"

#include "model/inputrange.h"
#include "model/outputmode.h"

namespace qn::unit {

namespace {

const ChannelSetup &setupOf(const ChannelSetups &setups, int channel)
{
    static const ChannelSetup none;
    return std::size_t(channel) < setups.analog.size() ? setups.analog[std::size_t(channel)] : none;
}

std::string digitalName(const ChannelSetups &setups, int channel)
{
    return std::size_t(channel) < setups.digital.size() ? setups.digital[std::size_t(channel)]
                                                         : std::to_string(channel + 1);
}

} // namespace

double inputValue(const UnitState &state, int channel, const ChannelSetup &setup)
{
    const int raw = state.inputs.values()[std::size_t(channel)];
    return ai::convertedValue(raw, state.ranges[std::size_t(channel)], setup.factor, setup.offset);
}

double outputValue(const UnitState &state, int channel, const ChannelSetup &setup)
{
    const AnalogOutput &o = state.outputs[std::size_t(channel)];
    return ao::physicalFromRaw(o.mode, ao::signExtend16(o.raw)) * setup.factor + setup.offset;
}

NamedReading named(const Reading &reading, const ChannelSetups &setups)
{
    const UnitState &state = reading.state;
    const ModelTraits &t = traits(state.model);
    NamedReading r;
    r.model = state.model;
    r.unitId = state.unitId;
    r.time = reading.time;
    r.quality = reading.quality;
    for (int c = 0; c < t.analogInputs; ++c) {
        const ChannelSetup &s = setupOf(setups, c);
        const int range = state.ranges[std::size_t(c)];
        ChannelValue ch;
        ch.signalName = s.signalName;
        ch.raw = state.inputs.values()[std::size_t(c)];
        ch.value = inputValue(state, c, s);
        ch.valueText = ai::trimmedValue(ch.value);
        ch.unit = s.unitText.empty() ? std::string(ai::defaultUnit(range)) : s.unitText;
        r.channels.push_back(std::move(ch));
    }
    for (int o = 0; o < t.digitalOutputs; ++o)
        r.digitalOutputs.push_back({digitalName(setups, o), bool((state.doPattern >> o) & 1)});
    for (int m = 0; m < t.digitalInputs; ++m)
        r.digitalInputs.push_back({digitalName(setups, m), bool((state.diBits >> m) & 1)});
    for (int c = 0; c < t.analogOutputs; ++c) {
        const ChannelSetup &s = setupOf(setups, c);
        const int mode = state.outputs[std::size_t(c)].mode;
        ChannelValue ch;
        ch.signalName = s.signalName;
        ch.raw = ao::signExtend16(state.outputs[std::size_t(c)].raw);
        ch.value = outputValue(state, c, s);
        ch.valueText = ao::valueText(mode, ch.value);
        ch.unit = s.unitText.empty() ? std::string(ao::unitName(mode)) : s.unitText;
        r.channels.push_back(std::move(ch));
    }
    return r;
}

} // namespace qn::unit
