#include "unit/unitstate.h"

#include <utility>

namespace qn::unit {

namespace {

bool inRange(int channel, std::size_t size)
{
    return channel >= 0 && std::size_t(channel) < size;
}

// Sets held to value; whether it differed.
template <typename T>
Applied keep(T &held, const T &value)
{
    const bool changed = !(held.values() == value.values());
    held = value;
    return {true, changed};
}

Applied keepInt(int &held, int value)
{
    return {true, std::exchange(held, value) != value};
}

constexpr Applied kRejected{false, false};

} // namespace

std::optional<UnitState> stateFor(const UnitModelId &ids)
{
    const std::optional<Model> model = modelFromId(ids.modelId);
    if (!model || ids.unitId < 0 || ids.unitId > 15)
        return std::nullopt;
    UnitState state;
    state.model = *model;
    state.unitId = ids.unitId;
    for (int c = 0; c < 3; ++c) {
        state.thresholds[std::size_t(c)].channel = c;
        state.thermocouples[std::size_t(c)].channel = c;
        state.outputs[std::size_t(c)].channel = c;
    }
    for (int o = 0; o < 2; ++o)
        state.doAlerts[std::size_t(o)].channel = o;
    return state;
}

bool sameUnit(const UnitState &state, const UnitModelId &ids)
{
    return ids.modelId == traits(state.model).modelId && ids.unitId == state.unitId;
}

bool knownRange(int range)
{
    return range >= 0 && range <= 7;
}

Applied apply(UnitState &state, const InputRange &reply)
{
    if (!inRange(reply.channel, std::size_t(traits(state.model).analogInputs)) || !knownRange(reply.range))
        return kRejected;
    return keepInt(state.ranges[std::size_t(reply.channel)], reply.range);
}

Applied apply(UnitState &state, const AdcRate &reply)
{
    return keepInt(state.adcRate, reply.code);
}

Applied apply(UnitState &state, const Threshold &reply)
{
    if (!inRange(reply.channel, state.thresholds.size()))
        return kRejected;
    return keep(state.thresholds[std::size_t(reply.channel)], reply);
}

Applied apply(UnitState &state, const ThermocoupleSetting &reply)
{
    if (!traits(state.model).thermocouple || !inRange(reply.channel, state.thermocouples.size()))
        return kRejected;
    return keep(state.thermocouples[std::size_t(reply.channel)], reply);
}

Applied apply(UnitState &state, const DOAlertState &reply)
{
    if (!traits(state.model).doAlert || !inRange(reply.channel, state.doAlerts.size()))
        return kRejected;
    return keep(state.doAlerts[std::size_t(reply.channel)], reply);
}

Applied apply(UnitState &state, const DigitalOutputs &reply)
{
    if (traits(state.model).digitalOutputs == 0)
        return kRejected;
    return keepInt(state.doPattern, reply.pattern & 0x3);
}

Applied apply(UnitState &state, const AnalogOutput &reply)
{
    if (!inRange(reply.channel, std::size_t(traits(state.model).analogOutputs)))
        return kRejected;
    return keep(state.outputs[std::size_t(reply.channel)], reply);
}

Applied apply(UnitState &state, const AnalogInputs &reply)
{
    if (traits(state.model).analogInputs == 0)
        return kRejected;
    return keep(state.inputs, reply);
}

Applied apply(UnitState &state, const DigitalInputs &reply)
{
    if (traits(state.model).digitalInputs == 0)
        return kRejected;
    return keepInt(state.diBits, reply.bits);
}

} // namespace qn::unit
