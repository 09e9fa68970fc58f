#include "link/replies.h"

#include "link/net.h"

namespace qn {

LinkError LinkError::fromSocketError(int code)
{
    switch (code) {
    case net::kErrTimedOut: return {Kind::TimedOut, code};
    case net::kErrConnectionRefused: return {Kind::Refused, code};
    case 3: // connect() without a host
    case net::kErrAddressNotAvailable:
    case net::kErrNetworkDown:
    case net::kErrNetworkUnreachable:
    case net::kErrHostDown:
    case net::kErrHostUnreachable: return {Kind::Unreachable, code};
    default: return {Kind::ConnectionLost, code};
    }
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
