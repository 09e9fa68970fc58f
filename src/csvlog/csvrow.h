#pragma once
// The one row builder of the CSV logs: the header line and a row's fields (after date and
// time) of a named reading, for the unit window's pages and the logging service alike, so
// both write the same bytes from the same reading. Input, DO and DI columns are named with at
// most 16 bytes of their signal names; an analog output's column keeps its name whole.
#include "unit/reading.h"

#include <QString>
#include <QStringList>

namespace qn {

class UnitSettingsStore;

// The names, formulas and units the settings file gives a unit's channels (the analog ones,
// then the ON/OFF ones, as unit::ChannelSetups holds them).
unit::ChannelSetups channelSetups(const UnitSettingsStore &settings, Model model, int unitId);

QString csvRowHeader(const unit::NamedReading &reading);
QStringList csvRowFields(const unit::NamedReading &reading);

} // namespace qn
