#pragma once
// A unit's state as the unit last confirmed it, in typed values: the settings another client
// may change (ranges, thresholds, thermocouple settings, DO alerts, output states, modes and
// codes) and the latest inputs. Each checked reply is applied by one function that says what
// it changed, so a view clears a trend series on a range or mode change whoever made it.
// Plain data; used on one thread at a time.
#include "link/replies.h"
#include "model/model.h"

#include <array>
#include <cstdint>
#include <optional>

namespace qn::unit {

// What a request reads or a reply tells about; the steps of the start-up reads and re-reads.
enum class Item : std::uint8_t {
    Identity,     // GetUnitModelID
    Range,        // GetAIRange / SetAIRange, per input
    AdcRate,      // GetADCsps / SetADCsps
    Threshold,    // GetADCThreshold / SetADCThreshold, per channel
    Thermocouple, // GetTCSetting / SetTCSetting, per input (QN-220)
    DOAlert,      // GetDOAlert, per output (QN-220)
    DOStates,     // GetDO / SetDO
    Output,       // GetAO / SetAO, per output (QN-110/120)
    Inputs,       // GetAllAI (QN-210/220) or GetDI (QN-110/120): a reading
};

struct Step {
    Item item;
    int channel = 0;
    friend bool operator==(const Step &, const Step &) = default;
};

struct UnitState {
    Model model = Model::QN210;
    int unitId = 0;
    std::array<int, 3> ranges{2, 2, 2};
    int adcRate = 0;
    std::array<Threshold, 3> thresholds{};
    std::array<ThermocoupleSetting, 3> thermocouples{};
    std::array<DOAlertState, 2> doAlerts{};
    int doPattern = 0;
    std::array<AnalogOutput, 3> outputs{}; // each output's mode and the code it was set to (read back)
    AnalogInputs inputs{};                 // the latest reading's codes (QN-210/220)
    int diBits = 0;                        // the latest reading's DI bits (QN-110/120)
};

// What applying a reply did. changed: a value differs from the one held before.
struct Applied {
    bool accepted = true; // false: the reply does not fit the model (the state is unchanged)
    bool changed = false;
};

// The model and ID a unit reports, when it is a model this program reads.
std::optional<UnitState> stateFor(const UnitModelId &ids);
// Whether the unit's identification is still the one the state was made for.
bool sameUnit(const UnitState &state, const UnitModelId &ids);

// A range code is taken when the conversion table knows it (0..7), whatever a list offers.
bool knownRange(int range);

Applied apply(UnitState &state, const InputRange &reply);
Applied apply(UnitState &state, const AdcRate &reply);
Applied apply(UnitState &state, const Threshold &reply);
Applied apply(UnitState &state, const ThermocoupleSetting &reply);
Applied apply(UnitState &state, const DOAlertState &reply);
Applied apply(UnitState &state, const DigitalOutputs &reply);
Applied apply(UnitState &state, const AnalogOutput &reply);
Applied apply(UnitState &state, const AnalogInputs &reply);
Applied apply(UnitState &state, const DigitalInputs &reply);

// The steps a model's state needs (each channel of each item); the Inputs step is not among them.
template <typename F>
void forEachSettingStep(Model model, F &&f)
{
    const ModelTraits &t = traits(model);
    for (int c = 0; c < t.analogInputs; ++c)
        f(Step{Item::Range, c});
    if (t.analogInputs > 0)
        f(Step{Item::AdcRate, 0});
    const int thresholds = t.analogInputs > 0 ? t.analogInputs : t.analogOutputs;
    for (int c = 0; c < thresholds; ++c)
        f(Step{Item::Threshold, c});
    if (t.thermocouple)
        for (int c = 0; c < t.analogInputs; ++c)
            f(Step{Item::Thermocouple, c});
    if (t.doAlert)
        for (int o = 0; o < t.digitalOutputs; ++o)
            f(Step{Item::DOAlert, o});
    if (t.digitalOutputs > 0)
        f(Step{Item::DOStates, 0});
    for (int c = 0; c < t.analogOutputs; ++c)
        f(Step{Item::Output, c});
}

// The items a row's values depend on: the ranges (inputs) and the outputs.
inline bool rowItem(Item item)
{
    return item == Item::Range || item == Item::DOStates || item == Item::Output;
}

} // namespace qn::unit
