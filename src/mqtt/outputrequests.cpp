#include "mqtt/outputrequests.h"

#include "model/outputmode.h"

namespace qn::mqtt {

OutputRequest stateRequest(const Command &command)
{
    if (command.kind == OutputKind::Digital)
        return {proto::Op::GetDO};
    return {proto::Op::GetAO, {command.channel - 1}};
}

OutputRequest setRequest(const Command &command, const proto::Results &state, double factor, double offset)
{
    if (command.kind == OutputKind::Digital) {
        const int bit = 1 << (command.channel - 1);
        const int pattern = command.value != 0 ? (state[0] | bit) : (state[0] & ~bit);
        return {proto::Op::SetDO, {pattern & 0xFF}};
    }
    const int mode = state[1]; // GetAO: channel, mode, code
    return {proto::Op::SetAO,
            {command.channel - 1, mode, ao::rawFromPhysical(mode, ao::physicalFromConverted(command.value, factor, offset))}};
}

} // namespace qn::mqtt
