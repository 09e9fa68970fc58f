#include "link/datagrams.h"

#include <algorithm>

namespace qn {

std::optional<MacAddress> parseSearchReply(Bytes datagram)
{
    if (datagram.size() < kSearchReplyMacOffset + 6 || datagram.size() > kSearchReplyMax)
        return std::nullopt;
    MacAddress mac;
    std::copy_n(datagram.begin() + kSearchReplyMacOffset, mac.size(), mac.begin());
    return mac;
}

std::optional<uint16_t> parseDetailReply1(Bytes datagram)
{
    if (datagram.size() < kDetailReplyPortOffset + 2 || datagram.size() > kDetailReply1Max)
        return std::nullopt;
    return uint16_t(datagram[kDetailReplyPortOffset] | (datagram[kDetailReplyPortOffset + 1] << 8));
}

bool acceptDetailReply2(Bytes datagram) { return datagram.size() <= kDetailReply2Max; }

bool echoesRequest(Bytes request, Bytes reply)
{
    return request.size() >= 2 && reply.size() >= 2 && reply[0] == uint8_t(request[0] + 0x20)
        && reply[1] == uint8_t(request[1] + 0x20);
}

std::optional<UnitIdentity> parseIdentifyReply(Bytes reply)
{
    if (reply.size() < kIdentifyReplyLength || !echoesRequest(kIdentifyRequest, reply))
        return std::nullopt;
    if ((reply[2] & 0xF0) != 0x20 || (reply[3] & 0xF0) != 0x20)
        return std::nullopt;
    return UnitIdentity{reply[3] & 0x0F, 15 - (reply[2] & 0x0F)};
}

} // namespace qn
