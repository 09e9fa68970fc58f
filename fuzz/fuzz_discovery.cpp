// The discovery datagrams and the identification reply over any bytes: each parser
// takes exactly the lengths its reply may have, reads its fields from where they sit,
// and the identification agrees with the wire protocol's own decoder.
#include "link/datagrams.h"
#include "link/protocol.h"

#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const qn::Bytes bytes(data, size);

    const auto mac = qn::parseSearchReply(bytes);
    check(mac.has_value() == (size >= qn::kSearchReplyMacOffset + 6 && size <= qn::kSearchReplyMax));
    if (mac)
        check(std::memcmp(mac->data(), data + qn::kSearchReplyMacOffset, mac->size()) == 0);

    const auto port = qn::parseDetailReply1(bytes);
    check(port.has_value() == (size >= qn::kDetailReplyPortOffset + 2 && size <= qn::kDetailReply1Max));
    if (port)
        check(*port == (data[qn::kDetailReplyPortOffset] | data[qn::kDetailReplyPortOffset + 1] << 8));

    check(qn::acceptDetailReply2(bytes) == (size <= qn::kDetailReply2Max));

    const auto identity = qn::parseIdentifyReply(bytes);
    if (size < qn::kIdentifyReplyLength) {
        check(!identity);
    } else {
        int unitId = -1, modelId = -1;
        const bool decoded = qn::proto::decodeIdentification(data, unitId, modelId) == 0;
        check(identity.has_value() == decoded);
        if (identity)
            check(identity->unitId == unitId && identity->modelId == modelId && unitId >= 0 && unitId <= 15);
    }
    // Any split of the bytes into a request and a reply.
    if (size >= 1) {
        const size_t cut = data[0] % size;
        (void)qn::echoesRequest(bytes.subspan(0, cut), bytes.subspan(cut));
    }
    return 0;
}
