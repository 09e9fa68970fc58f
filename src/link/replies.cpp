#include "link/replies.h"

#include "link/net.h"

namespace qn {

LinkError LinkError::fromSocketError(int code)
{
    if (code == kNoHost)
        return {Kind::Unreachable, code};
    return {net::errorKind(code), code};
}

std::string LinkError::text() const
{
    const char *what = "connection lost";
    switch (kind) {
    case Kind::TimedOut: what = "time-out"; break;
    case Kind::Refused: what = "refused"; break;
    case Kind::ConnectionLost: break;
    case Kind::Malformed: what = "malformed reply"; break;
    case Kind::Unreachable: what = "unreachable"; break;
    }
    if (kind == Kind::Malformed && code == 0)
        return what;
    return std::string(what) + " (" + std::to_string(code) + ")";
}

AnyReply anyReplyFromValues(proto::Op op, const proto::Results &values)
{
    AnyReply out;
    [&]<std::size_t... I>(std::index_sequence<I...>) {
        (void)((int(op) == int(I) + 1
                && (out = replyFromValues<ReplyOf_t<static_cast<proto::Op>(I + 1)>>(values), true))
               || ...);
    }(std::make_index_sequence<std::size_t(proto::kOpCount)>());
    return out;
}

Result<AnyReply> decodeAnyReply(proto::Op op, const proto::Args &args, const uint8_t *reply)
{
    if (const std::optional<proto::Results> values = proto::decodeReply(op, args, reply))
        return anyReplyFromValues(op, *values);
    return LinkError::malformed();
}

std::pair<proto::Results, int> valuesOf(const AnyReply &reply)
{
    return std::visit(
        [](const auto &r) {
            proto::Results out{};
            const auto values = r.values();
            for (std::size_t i = 0; i < values.size(); ++i)
                out[i] = values[i];
            return std::pair{out, int(values.size())};
        },
        reply);
}

} // namespace qn
