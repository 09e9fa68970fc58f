#include "mqtt/outputcommand.h"

#include "model/outputmode.h"

namespace qn::mqtt {

int outputPattern(const Command &command, int currentPattern)
{
    const int bit = 1 << (command.channel - 1);
    return (command.value != 0 ? (currentPattern | bit) : (currentPattern & ~bit)) & 0xFF;
}

int analogOutputCode(const Command &command, int mode, double factor, double offset)
{
    return ao::rawFromPhysical(mode, ao::physicalFromConverted(command.value, factor, offset));
}

} // namespace qn::mqtt
