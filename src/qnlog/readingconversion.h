#pragma once
// From a unit's answers to a Reading: which requests make a model's reading, and the names,
// formulas and units from the settings file applied the way the unit window applies them.
#include "model/model.h"
#include "qnlog/reading.h"
#include "qnlog/unitqueries.h"

#include <array>
#include <optional>

namespace qn {
class UnitSettingsStore;
}

namespace qn::logsvc {

// What the service learns from a unit when it connects.
struct UnitSetup {
    Model model = Model::QN210;
    int unitId = 0;
    std::array<int, 3> inputRanges{2, 2, 2}; // QN-210/220
};

// The model and ID request; then, by model, what the readings need besides (the input ranges).
std::vector<Query> identificationQueries();
std::vector<Query> setupQueries(Model model);
// The identification's answer: nullopt for a model ID no page supports.
std::optional<UnitSetup> setupFromIdentification(const proto::Results &identification);
void applySetupResults(UnitSetup &setup, const std::vector<proto::Results> &results);

// The requests of one reading: inputs and outputs' states (QN-210/220), inputs and outputs'
// values (QN-110/120).
std::vector<Query> readingQueries(Model model);
// The reading the answers make, named and converted with the settings store's records.
Reading readingFrom(const UnitSetup &setup, const UnitIdentity &identity, const std::vector<proto::Results> &answers,
                    const UnitSettingsStore &settings, std::chrono::system_clock::time_point time);

} // namespace qn::logsvc
