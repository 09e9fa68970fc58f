#pragma once
// The unit requests that carry out a checked command: one that reads the output's present
// state, then, from its answer, the one that sets it (a DO pattern holds every output; an
// analog output keeps its V/I mode). Pure functions; any thread.
#include "link/protocol.h"
#include "mqtt/command.h"

namespace qn::mqtt {

struct OutputRequest {
    proto::Op op;
    proto::Args args{};
};

// GetDO, or GetAO of the channel.
OutputRequest stateRequest(const Command &command);
// SetDO with the one output changed, or SetAO with the value through the channel's formula
// (converted = factor * physical + offset) and the clamp of its mode, as the unit window does.
OutputRequest setRequest(const Command &command, const proto::Results &state, double factor, double offset);

} // namespace qn::mqtt
