#pragma once
// What a checked command writes to a unit: a DO pattern that changes one output and keeps the
// others, an analog output's code for a value in the channel's converted unit. Pure
// functions; any thread.
#include "mqtt/command.h"

namespace qn::mqtt {

// The pattern for SetDO from the one GetDO gave.
int outputPattern(const Command &command, int currentPattern);
// The code for SetAO: the value through the channel's formula backwards (converted =
// factor * physical + offset), then truncated and clamped to the range of the output's mode,
// as the unit window does.
int analogOutputCode(const Command &command, int mode, double factor, double offset);

} // namespace qn::mqtt
