#pragma once
// From a unit's answers to a Reading: the names, formulas and units of the settings file
// applied the way the unit window applies them.
#include "qnlog/reading.h"
#include "qnlog/unitqueries.h"

namespace qn {
class UnitSettingsStore;
}

namespace qn::logsvc {

// Keeps the outputs a reading brought (a reading without them logs the outputs as last read,
// as the unit window logs them as it last knew them).
void keepOutputs(UnitSetup &setup, const ReadingAnswers &answers);
// The reading the answers make, named and converted with the settings store's records.
Reading readingFrom(const UnitSetup &setup, const UnitIdentity &identity, const ReadingAnswers &answers,
                    const UnitSettingsStore &settings, std::chrono::system_clock::time_point time);

} // namespace qn::logsvc
